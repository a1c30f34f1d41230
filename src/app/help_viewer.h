#pragma once
// The help viewer and the What's This pop-up. The help file is a folder of Markdown pages,
// one a topic, each named after its topic's number ("12.md"); topic 1 is the contents. A
// page begins with its title as a heading, and its first paragraph is its pop-up text.

#include <cstdint>
#include <string>

class QMessageBox;
class QTextBrowser;
class QWidget;

namespace app {

// Opens (or raises) the viewer on `helpFile` at a command (HELP_CONTENTS with data 0, or
// HELP_CONTEXT with a topic number) and returns at once. The file's name is matched
// without regard to case, so "Tolvane.hlp" finds "Tolvane.HLP".
void OpenHelpViewer(const std::string& helpFile, std::uint32_t command, std::uint32_t data);

// Shows the title of topic `topic` of `helpFile` in bold over its first paragraph, as a
// pop-up beside `control`; it says so when the file or the topic is missing.
void ShowHelpPopup(const std::string& helpFile, int topic, QWidget* control);

// ---- for tests and screenshots ----
// The viewer window and its text, or nullptr while none has been opened.
QWidget* HelpViewerWindow();
QTextBrowser* HelpViewerBrowser();
// The topic the viewer shows (0 when none).
int HelpViewerTopic();
// The viewer's own message about a file it cannot show, while it is open; else nullptr.
QMessageBox* HelpViewerProblem();

}  // namespace app
