// Help: the help menu, the What's This pop-up menu of the tab control, F1 and What's This
// mode. Everything the user sees goes through the desktop seam.

#include <QApplication>
#include <QHelpEvent>
#include <QKeySequence>
#include <QScopeGuard>
#include <QShortcut>
#include <QTabWidget>
#include <QWhatsThis>
#include <functional>

#include "app/form1.h"

namespace app {
namespace {

// Hands the help events of the controls it watches to the window.
class ContextHelpFilter : public QObject {
 public:
  ContextHelpFilter(QObject* parent, std::function<bool(QWidget*, QEvent*)> handle)
      : QObject(parent), handle_(std::move(handle)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const auto type = event->type();
    if (type != QEvent::WhatsThis && type != QEvent::QueryWhatsThis) return false;
    auto* control = qobject_cast<QWidget*>(watched);
    return control && handle_(control, event);
  }

 private:
  std::function<bool(QWidget*, QEvent*)> handle_;
};

}  // namespace

void Form1::mnuHelp_Click() {
  Desk().WinHelp(Desk().HelpFolder() + "/Tolvane.hlp", HELP_CONTENTS, 0);
}

void Form1::mnuWhatsThisHelp_Click() {
  // Only a right-click pop-up sets ThisControl; chosen any other way, the item does nothing.
  if (ThisControl) ShowWhatsThis(ThisControl);
}

void Form1::ShowWhatsThis(QWidget* control) {
  Desk().ShowWhatsThisTopic(HelpFile, WhatsThisHelpID(control), control);
}

void Form1::SSTab1_MouseButton(int Button, int, float, float) {
  if (SSTab1->currentIndex() == 0) SetHelpNumbers(SSTab1, 2, 2);
  if (SSTab1->currentIndex() == 1) SetHelpNumbers(SSTab1, 3, 3);
  // ThisControl names the control only while its pop-up is open, even if a handler fails.
  const auto clear = qScopeGuard([this] { ThisControl = nullptr; });
  if (Button == 2) {
    ThisControl = SSTab1;
    Desk().PopupMenu(mnuWhatsThis);
  }
}

void Form1::ContextHelpF1() {
  QWidget* control = QApplication::focusWidget();
  if (!control || control->window() != this) control = this;
  for (; control && control != this; control = control->parentWidget()) {
    if (const int topic = HelpContextID(control); topic != 0) {
      Desk().WinHelp(HelpFile, HELP_CONTEXT, static_cast<std::uint32_t>(topic));
      return;
    }
  }
  Desk().WinHelp(HelpFile, HELP_CONTENTS, 0);
}

bool Form1::ContextWhatsThis(QWidget* control, QEvent* event) {
  if (event->type() == QEvent::WhatsThis && control == SSTab1) {
    // A What's This click on the tab control is a mouse press over it: the numbers follow
    // the tab that shows before its topic is looked up.
    const QPoint at = control->mapFromGlobal(static_cast<QHelpEvent*>(event)->globalPos());
    SSTab1_MouseButton(1, 0, static_cast<float>(at.x()), static_cast<float>(at.y()));
  }
  if (WhatsThisHelpID(control) == 0) return false;  // the control around it may have one
  event->accept();
  if (event->type() == QEvent::WhatsThis) RunGuarded([&] { ShowWhatsThis(control); });
  return true;
}

void Form1::InstallContextHelp() {
  auto* filter = new ContextHelpFilter(
      this, [this](QWidget* control, QEvent* event) { return ContextWhatsThis(control, event); });
  // The tab control carries numbers even when they change after start-up.
  SSTab1->installEventFilter(filter);
  for (QWidget* control : findChildren<QWidget*>()) {
    if (control != SSTab1 && WhatsThisHelpID(control) != 0) control->installEventFilter(filter);
  }

  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] { RunGuarded([this] { ContextHelpF1(); }); });
  // Shift+F1, like the title bar's What's This button, lets the next click pick a control.
  auto* shiftF1 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
  connect(shiftF1, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
  setWindowFlag(Qt::WindowContextHelpButtonHint, true);
}

}  // namespace app
