// Placeholder until this room's handlers land.
#include "app/form1.h"

namespace app {

void Form1::Command1_Click() {}
void Form1::SplitSelectedVolume() {}

}  // namespace app
