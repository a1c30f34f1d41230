// Placeholder until this room's handlers land.
#include "app/form1.h"

namespace app {

void Form1::Combo2_Click() {}
void Form1::NWDir1_SearchResults(const std::vector<std::string>&) {}
void Form1::AddVolumeName(const std::string&) {}
void Form1::AddObjectName(const std::string&) {}
void Form1::NWBrowse1_EntrySelected() {}
void Form1::NWBrowse1_MouseButton(int, int, float, float) {}

}  // namespace app
