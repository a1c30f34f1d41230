// Placeholder until this room's handlers land.
#include "app/form1.h"

namespace app {

void Form1::BuildTreeList() {}
void Form1::Command3_Click() {}

}  // namespace app
