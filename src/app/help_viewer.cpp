// Placeholder until the help viewer lands.
#include "app/help_viewer.h"

namespace app {
void OpenHelpViewer(const std::string&, std::uint32_t, std::uint32_t) {}
void ShowHelpPopup(const std::string&, int, QWidget*) {}
}  // namespace app
