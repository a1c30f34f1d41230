// Placeholder until the window lands.
#include "app/form1.h"

#include "capture/object_list_file.h"

namespace app {

Form1::Form1(nw::NetWarePlatform& platform, Desktop& desktop, QWidget* parent)
    : QMainWindow(parent), platform_(platform), desktop_(desktop) {}
Form1::~Form1() = default;
void Form1::SetHelpNumbers(QWidget*, int, int) {}
int Form1::HelpContextID(const QWidget*) { return 0; }
int Form1::WhatsThisHelpID(const QWidget*) { return 0; }
void Form1::SetStatus(const std::string&) {}
std::string Form1::Status() const { return {}; }
void Form1::RunGuarded(const std::function<void()>& handler) { handler(); }
bool Form1::Form_Load() { return true; }
void Form1::Exit_Click() {}
bool Form1::eventFilter(QObject* watched, QEvent* event) {
  return QMainWindow::eventFilter(watched, event);
}
void Form1::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }

}  // namespace app
