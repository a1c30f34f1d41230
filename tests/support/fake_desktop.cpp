#include "support/fake_desktop.h"

#include <QAction>
#include <QMenu>

namespace testing_support {

void FakeDesktop::MsgBox(const std::string& text, app::MsgIcon icon, const std::string& title) {
  if (beforeMessage) beforeMessage();
  messages.push_back({text, icon, title.empty() ? std::string(app::kAppTitle) : title});
  busyDuringLastMessage = busy;
}

std::optional<std::string> FakeDesktop::OpenFile(const std::string& title,
                                                 const std::string& filter,
                                                 const std::string& initialDir) {
  ++openFileCalls;
  lastOpenTitle = title;
  lastOpenFilter = filter;
  lastOpenInitialDir = initialDir;
  if (openFileAnswers.empty()) return std::nullopt;
  auto answer = openFileAnswers.front();
  openFileAnswers.pop_front();
  return answer;
}

void FakeDesktop::PopupMenu(QMenu* menu) {
  ++popupsShown;
  bool choose = false;
  if (!popupAnswers.empty()) {
    choose = popupAnswers.front();
    popupAnswers.pop_front();
  }
  // As with a real pop-up, the chosen item's handler runs before the call returns.
  if (choose && menu && !menu->actions().isEmpty()) menu->actions().first()->trigger();
}

void FakeDesktop::WinHelp(const std::string& helpFile, std::uint32_t command, std::uint32_t data) {
  helpRequests.push_back({helpFile, command, data});
  if (afterHelp) afterHelp(helpRequests.back());
}

void FakeDesktop::ShowWhatsThisTopic(const std::string& helpFile, int topic, QWidget* control) {
  whatsThisShown.push_back({helpFile, topic, control});
}

std::vector<std::string> FakeDesktop::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

}  // namespace testing_support
