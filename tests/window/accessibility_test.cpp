// What assistive technology reads of the window, through Qt's accessibility interface, and
// the What's This pop-up menu opened from the keyboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <iterator>
#include <vector>

#include "support/window_scene.h"

namespace {

using app::Form1;

QString Text(QObject* object, QAccessible::Text kind) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  return accessible ? accessible->text(kind) : QStringLiteral("<no interface>");
}

class AccessibilityTest : public testing_support::WindowSceneTest {
 protected:
  AccessibilityTest() : WindowSceneTest("window_one_server_network.json") {
    EXPECT_TRUE(Open());
    Show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
};

TEST_F(AccessibilityTest, EveryControlHasANameAndItsToolTipAsDescription) {
  Form1& f = *form;
  struct Row {
    QWidget* control;
    const char* name;
    const char* description;
  };
  const Row rows[] = {
      {f.SSTab1->widget(0), "Read Trustees", ""},
      {f.SSTab1->widget(1), "Write Trustees", ""},
      {f.Combo2, "Select Tree", "Select A Tree"},
      {f.NWBrowse1, "Select Volume", "Browse To A Volume, And Click On It To Select"},
      {f.Command1, "GetTrustees", "Get The Trustees Assigned To The Selected Volume"},
      {f.Command3, "Refresh Trees", "Refresh The Connected Tree List"},
      {f.ProgressBar1, "Progress", "Progress Of The Trustee Read"},
      {f.Command4, "Select File To Write Trustees From",
       "Select RIGHTS File to Write Trustees Back To Volume"},
      {f.StatusBar1, "Status", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control->objectName().toStdString());
    EXPECT_EQ(Text(row.control, QAccessible::Name).toStdString(), row.name);
    EXPECT_EQ(Text(row.control, QAccessible::Description).toStdString(), row.description);
  }
  EXPECT_EQ(f.Label3->buddy(), f.Label7);  // the caption labels its value
  EXPECT_EQ(f.Label1->buddy(), f.Combo2);

  // Every named control has a name, but value labels and the status, which may show nothing.
  const QWidget* const shownValues[] = {f.Label7, f.Label8, f.Label9, f.Label10, f.StatusPanel1};
  for (QWidget* control : f.findChildren<QWidget*>()) {
    const QString name = control->objectName();
    if (name.isEmpty() || name.startsWith("qt_") || !control->isVisibleTo(&f)) continue;
    if (std::find(std::begin(shownValues), std::end(shownValues), control) !=
        std::end(shownValues)) {
      continue;
    }
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_FALSE(Text(control, QAccessible::Name).isEmpty());
  }
}

// The captions of the value labels, as the labels' Label relation gives them.
QStringList Captions(QObject* object) {
  QStringList captions;
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  if (accessible == nullptr) return captions;
  for (const auto& [other, relation] : accessible->relations(QAccessible::Label)) {
    captions << other->text(QAccessible::Name);
  }
  return captions;
}

// During and after a restore the value labels and the status are read exactly as shown.
TEST_F(AccessibilityTest, TheValueLabelsAndTheStatusAreReadAsTheyAreShown) {
  Form1& f = *form;
  struct Read {
    QString status, statusName, object, objectName;
  };
  std::vector<Read> reads;
  desktop.beforeMessage = [&] {
    reads.push_back({f.StatusPanel1->text(), Text(f.StatusPanel1, QAccessible::Name),
                     f.Label9->text(), Text(f.Label9, QAccessible::Name)});
  };
  WriteTrusteesFrom("ACME_TREE,ACME,FS1,SYS:,Read\r\nACME_TREE,Nobody.ACME,FS1,SYS:,Read\r\n",
                    "FS1_SYS.RIGHTS");
  ASSERT_EQ(reads.size(), 2u) << ::testing::PrintToString(desktop.MessageTexts());
  // The failure of the second record, then the closing message with the status cleared.
  EXPECT_EQ(reads[0].statusName, "Adding Trustee Rights");
  EXPECT_EQ(reads[0].objectName, "Nobody.ACME");
  EXPECT_EQ(reads[1].statusName, "");
  for (const Read& read : reads) {
    EXPECT_EQ(read.statusName, read.status);
    EXPECT_EQ(read.objectName, read.object);
  }
  struct Row {
    QLabel* value;
    const char* shown;
    const char* caption;
  };
  const Row rows[] = {{f.Label7, "ACME_TREE", "Tree"},
                      {f.Label8, "FS1", "Server"},
                      {f.Label9, "Nobody.ACME", "Object"},
                      {f.Label10, "SYS:", "Directory"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.caption);
    EXPECT_EQ(row.value->text(), row.shown);
    EXPECT_EQ(Text(row.value, QAccessible::Name), row.shown);
    EXPECT_EQ(Captions(row.value), QStringList{row.caption});
  }
}

TEST_F(AccessibilityTest, TheMenuKeyAndShiftF10OpenThePopupThroughTheRightClickHandlers) {
  struct Row {
    const char* what;
    int tab;
    bool browse;  // else the tab control's tab bar
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int topic;
  };
  const Row rows[] = {
      {"Menu key on the browse control", 0, true, Qt::Key_Menu, Qt::NoModifier, 11},
      {"Shift+F10 on Write Trustees", 1, false, Qt::Key_F10, Qt::ShiftModifier, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    desktop.whatsThisShown.clear();
    form->SSTab1->setCurrentIndex(row.tab);
    QWidget* control = row.browse ? static_cast<QWidget*>(form->NWBrowse1)
                                  : static_cast<QWidget*>(form->SSTab1->tabBar());
    control->setFocus();
    ASSERT_TRUE(control->hasFocus());
    desktop.popupAnswers = {true};
    const int popups = desktop.popupsShown;
    QVariant popupAt;
    const auto seen = QObject::connect(form->mnuWhatsThisHelp, &QAction::triggered, [&] {
      popupAt = form->mnuWhatsThis->property(app::kPopupAtProperty);
    });
    QTest::keyClick(control, row.key, row.modifiers);
    QObject::disconnect(seen);
    EXPECT_EQ(desktop.popupsShown, popups + 1);
    ASSERT_EQ(desktop.whatsThisShown.size(), 1u);
    EXPECT_EQ(desktop.whatsThisShown[0].topic, row.topic);
    // The menu opens beside the control, not at the pointer; a later right click is at it.
    QWidget* owner =
        row.browse ? static_cast<QWidget*>(form->NWBrowse1) : static_cast<QWidget*>(form->SSTab1);
    EXPECT_EQ(popupAt.toPoint(), owner->mapToGlobal(owner->rect().center()));
    EXPECT_FALSE(form->mnuWhatsThis->property(app::kPopupAtProperty).isValid());
  }
  // Other keys open nothing, nor does the Menu key on a button of a page.
  const int popups = desktop.popupsShown;
  QTest::keyClick(form->NWBrowse1, Qt::Key_F10);
  form->SSTab1->setCurrentIndex(0);
  form->Command3->setFocus();
  QTest::keyClick(form->Command3, Qt::Key_Menu);
  EXPECT_EQ(desktop.popupsShown, popups);
}

}  // namespace
