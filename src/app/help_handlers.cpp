// Placeholder until this room's handlers land.
#include "app/form1.h"

namespace app {

void Form1::mnuHelp_Click() {}
void Form1::mnuWhatsThisHelp_Click() {}
void Form1::SSTab1_MouseButton(int, int, float, float) {}
void Form1::ShowWhatsThis(QWidget*) {}
void Form1::InstallContextHelp() {}

}  // namespace app
