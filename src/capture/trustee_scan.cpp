// Placeholder until this room's handlers land.
#include "app/form1.h"

namespace app {

void Form1::ReadTrusteeRights() {}

}  // namespace app
