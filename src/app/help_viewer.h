#pragma once
// The help viewer: a separate, non-modal window over a help file of numbered topics.

#include <cstdint>
#include <string>

class QMessageBox;
class QTextBrowser;
class QWidget;

namespace app {

// Opens (or raises) the viewer on `helpFile` at a command (HELP_CONTENTS with data 0, or
// HELP_CONTEXT with a topic number) and returns at once.
void OpenHelpViewer(const std::string& helpFile, std::uint32_t command, std::uint32_t data);

// Shows topic `topic` of `helpFile` as a pop-up beside `control`.
void ShowHelpPopup(const std::string& helpFile, int topic, QWidget* control);

// The pop-up text (HTML) of a topic, as ShowHelpPopup shows it; it says so when the file
// or the topic is missing.
std::string HelpPopupHtml(const std::string& helpFile, int topic);

// ---- for tests and screenshots ----
// The viewer window and its text, or nullptr while none has been opened.
QWidget* HelpViewerWindow();
QTextBrowser* HelpViewerBrowser();
// The topic the viewer shows (0 when none).
int HelpViewerTopic();
// The viewer's own message about a file it cannot show, while it is open; else nullptr.
QMessageBox* HelpViewerProblem();
// What the last pop-up showed.
std::string LastHelpPopupHtml();

}  // namespace app
