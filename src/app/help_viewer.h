#pragma once
// The help viewer: a separate, non-modal window over a help file of numbered topics.

#include <cstdint>
#include <string>

class QWidget;

namespace app {

// Opens (or raises) the viewer on `helpFile` at a command (HELP_CONTENTS with data 0, or
// HELP_CONTEXT with a topic number) and returns at once.
void OpenHelpViewer(const std::string& helpFile, std::uint32_t command, std::uint32_t data);

// Shows topic `topic` of `helpFile` as a pop-up beside `control`.
void ShowHelpPopup(const std::string& helpFile, int topic, QWidget* control);

}  // namespace app
