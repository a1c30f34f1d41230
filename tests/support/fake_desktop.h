#pragma once
// A desktop that records what the window shows and answers dialogs from a script.

#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/desktop.h"

namespace testing_support {

struct ShownMessage {
  std::string text;
  app::MsgIcon icon;
  std::string title;  // as shown: the application's title when none was given
  bool operator==(const ShownMessage&) const = default;
};

// Failed expectations show a message as its text, icon and title.
inline void PrintTo(const ShownMessage& m, std::ostream* os) {
  *os << '"' << m.text << "\" (icon " << static_cast<int>(m.icon) << ", title \"" << m.title
      << "\")";
}

struct HelpRequest {
  std::string file;
  std::uint32_t command;
  std::uint32_t data;
  bool operator==(const HelpRequest&) const = default;
};

struct WhatsThisShown {
  std::string file;
  int topic;
  QWidget* control;
};

class FakeDesktop : public app::Desktop {
 public:
  // ---- script ----
  // Answers of the Open dialog, in order; nothing (std::nullopt) is a cancel. When the
  // queue is empty the dialog is cancelled.
  std::deque<std::optional<std::string>> openFileAnswers;
  // Answers of pop-up menus, in order: true chooses the menu's first item, false dismisses.
  // When the queue is empty the pop-up is dismissed.
  std::deque<bool> popupAnswers;
  bool previousInstance = false;
  std::string programFolder = "/tmp";
  QSizeF screenTwips{19200, 14400};
  double dpi = 96;
  std::function<void()> beforeMessage;                // runs before a message is recorded
  std::function<void(const HelpRequest&)> afterHelp;  // runs once a help request is recorded

  // ---- record ----
  std::vector<ShownMessage> messages;
  std::vector<HelpRequest> helpRequests;
  std::vector<WhatsThisShown> whatsThisShown;
  int openFileCalls = 0;
  std::string lastOpenTitle, lastOpenFilter, lastOpenInitialDir;
  int popupsShown = 0;
  bool busy = false;
  bool busyDuringLastMessage = false;
  std::optional<int> endedWith;

  void MsgBox(const std::string& text, app::MsgIcon icon, const std::string& title) override;
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& initialDir) override;
  void SetBusy(bool b) override { busy = b; }
  bool Busy() const override { return busy; }
  void PopupMenu(QMenu* menu) override;
  void WinHelp(const std::string& helpFile, std::uint32_t command, std::uint32_t data) override;
  void ShowWhatsThisTopic(const std::string& helpFile, int topic, QWidget* control) override;
  bool PreviousInstance() override { return previousInstance; }
  std::string ProgramFolder() override { return programFolder; }
  QSizeF ScreenSizeTwips() override { return screenTwips; }
  double LogicalDpi() override { return dpi; }
  void EndProgram(int exitCode) override { endedWith = exitCode; }

  // Texts of the messages shown so far.
  std::vector<std::string> MessageTexts() const;
};

}  // namespace testing_support
