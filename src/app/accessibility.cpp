// What assistive technology reads of the window: a name for every control, its tool tip as
// its description, and the What's This pop-up menu opened from the keyboard as well.

#include <QAccessible>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <functional>

#include "app/form1.h"

namespace app {
namespace {

// The Menu key or Shift+F10 on a control whose right click opens the pop-up menu.
class PopupKeyFilter : public QObject {
 public:
  PopupKeyFilter(QObject* parent, std::function<void(QWidget*)> open)
      : QObject(parent), open_(std::move(open)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    bool wanted = false;
    if (event->type() == QEvent::KeyPress) {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      wanted = (key.key() == Qt::Key_Menu && key.modifiers() == Qt::NoModifier) ||
               (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
    } else if (event->type() == QEvent::ContextMenu) {
      // The platform may turn the Menu key into a context menu request of its own.
      wanted =
          static_cast<const QContextMenuEvent&>(*event).reason() == QContextMenuEvent::Keyboard;
    }
    // A key that a control on a page left unhandled is not the tab control's.
    if (!wanted || !static_cast<QWidget*>(watched)->hasFocus()) return false;
    event->accept();
    open_(static_cast<QWidget*>(watched));
    return true;
  }

 private:
  std::function<void(QWidget*)> open_;
};

void Describe(QWidget* control, const char* name) {
  control->setAccessibleName(QString::fromUtf8(name));
  if (!control->toolTip().isEmpty()) control->setAccessibleDescription(control->toolTip());
}

}  // namespace

void Form1::InstallAccessibility() {
  Describe(SSTab1, "Trustees");
  Describe(SSTab1->widget(0), "Read Trustees");
  Describe(SSTab1->widget(1), "Write Trustees");
  Describe(Combo2, "Select Tree");
  Describe(NWBrowse1, "Select Volume");
  Describe(ProgressBar1, "Progress");
  // The panel gets no name of its own: a label without one is read by the text it shows.
  Describe(StatusBar1, "Status");
  for (QPushButton* button : {Command1, Command3, Command4}) {
    Describe(button, button->text().remove(QLatin1Char('&')).toUtf8().constData());
  }
  // The captions name the controls they stand above. A value label keeps no name of its own,
  // so that it is read by the value it shows, with its caption as its label.
  Describe(Label1, "Select Tree");
  Describe(Label2, "Select Volume");
  Label1->setBuddy(Combo2);
  Label2->setBuddy(NWBrowse1);
  const std::pair<QLabel*, QLabel*> values[] = {
      {Label3, Label7}, {Label4, Label8}, {Label5, Label9}, {Label6, Label10}};
  for (const auto& [caption, value] : values) {
    Describe(caption, caption->text().toUtf8().constData());
    caption->setBuddy(value);
  }
  mnuWhatsThis->setAccessibleName(mnuWhatsThis->title());

  // Through the same handlers as a right click, with the menu beside the control rather
  // than at a pointer that may be anywhere.
  auto* keys = new PopupKeyFilter(this, [this](QWidget* watched) {
    QWidget* control = watched == NWBrowse1 ? static_cast<QWidget*>(NWBrowse1) : SSTab1;
    const QPointF at = QPointF(control->rect().center());
    mnuWhatsThis->setProperty(kPopupAtProperty, control->mapToGlobal(control->rect().center()));
    RunGuarded([&] {
      if (control == NWBrowse1) {
        NWBrowse1_MouseButton(2, 0, static_cast<float>(at.x()), static_cast<float>(at.y()));
      } else {
        SSTab1_MouseButton(2, 0, static_cast<float>(at.x()), static_cast<float>(at.y()));
      }
    });
    mnuWhatsThis->setProperty(kPopupAtProperty, QVariant());
  });
  for (QWidget* control : {static_cast<QWidget*>(SSTab1), static_cast<QWidget*>(SSTab1->tabBar()),
                           static_cast<QWidget*>(NWBrowse1)}) {
    control->installEventFilter(keys);
  }
}

}  // namespace app
