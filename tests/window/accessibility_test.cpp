// What assistive technology reads of the window, through Qt's accessibility interface, and
// the What's This pop-up menu opened from the keyboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWhatsThis>

#include "app/form1.h"
#include "app/help_viewer.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

using app::Form1;

constexpr const char* kNetwork = R"({
  "trees": [ { "name": "ACME_TREE", "objects": [ { "name": "ACME", "class": "Organization" } ] } ],
  "servers": [ { "name": "FS1", "tree": "ACME_TREE", "volumes": [ { "name": "SYS" } ] } ],
  "workstation": { "trees": [ "ACME_TREE" ] }
})";

QString Text(QObject* object, QAccessible::Text kind) {
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
  return accessible ? accessible->text(kind) : QStringLiteral("<no interface>");
}

class AccessibilityTest : public ::testing::Test {
 protected:
  AccessibilityTest() {
    sim::LoadNetworkJson(network.path(), kNetwork);
    platform = sim::OpenNetwork(network.path());
    desktop.programFolder = folder.path().string();
    form = std::make_unique<Form1>(*platform, desktop);
    form->Form_Load();
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  testing_support::TempDir network;
  testing_support::TempDir folder;
  std::unique_ptr<nw::NetWarePlatform> platform;
  testing_support::FakeDesktop desktop;
  std::unique_ptr<Form1> form;
};

TEST_F(AccessibilityTest, EveryControlHasANameAndItsToolTipAsDescription) {
  Form1& f = *form;
  f.Label7->setText("ACME_TREE");  // a value label keeps its caption's name whatever it shows
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
      {f.Label7, "Tree", ""},
      {f.Label8, "Server", ""},
      {f.Label9, "Object", ""},
      {f.Label10, "Directory", ""},
      {f.StatusBar1, "Status", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control->objectName().toStdString());
    EXPECT_EQ(Text(row.control, QAccessible::Name).toStdString(), row.name);
    EXPECT_EQ(Text(row.control, QAccessible::Description).toStdString(), row.description);
  }
  EXPECT_EQ(f.Label3->buddy(), f.Label7);  // the caption labels its value
  EXPECT_EQ(f.Label1->buddy(), f.Combo2);

  // Every named control of the window, the tab control included, has a name.
  for (QWidget* control : f.findChildren<QWidget*>()) {
    const QString name = control->objectName();
    if (name.isEmpty() || name.startsWith("qt_") || !control->isVisibleTo(&f)) continue;
    SCOPED_TRACE(control->objectName().toStdString());
    EXPECT_FALSE(Text(control, QAccessible::Name).isEmpty());
  }
}

TEST_F(AccessibilityTest, TheWhatsThisMenuIsReadWithItsItem) {
  QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(form->mnuWhatsThis);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->text(QAccessible::Name), "WhatsThis");
  ASSERT_EQ(menu->childCount(), 1);
  EXPECT_EQ(menu->child(0)->text(QAccessible::Name), "What's This?");
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
      {"Shift+F10 on the browse control", 0, true, Qt::Key_F10, Qt::ShiftModifier, 11},
      {"Menu key on Read Trustees", 0, false, Qt::Key_Menu, Qt::NoModifier, 2},
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
    EXPECT_EQ(app::Form1::WhatsThisHelpID(form->SSTab1), row.tab == 0 ? 2 : 3);
    EXPECT_EQ(form->ThisControl, nullptr);
    // The menu opens beside the control, not wherever the pointer is; a right click later
    // opens it at the pointer again.
    QWidget* owner =
        row.browse ? static_cast<QWidget*>(form->NWBrowse1) : static_cast<QWidget*>(form->SSTab1);
    EXPECT_EQ(popupAt.toPoint(), owner->mapToGlobal(owner->rect().center()));
    EXPECT_FALSE(form->mnuWhatsThis->property(app::kPopupAtProperty).isValid());
  }
  // Other keys open nothing, nor does the Menu key on a button of a page.
  const int popups = desktop.popupsShown;
  QTest::keyClick(form->NWBrowse1, Qt::Key_F10);
  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Menu, Qt::ControlModifier);
  form->SSTab1->setCurrentIndex(0);
  form->Command3->setFocus();
  QTest::keyClick(form->Command3, Qt::Key_Menu);
  EXPECT_EQ(desktop.popupsShown, popups);
}

TEST_F(AccessibilityTest, ThePopupTopicIsReadWithItsText) {
  testing_support::WriteFileBytes(folder / "Tolvane.HLP",
                                  "@topic 11 Select Volume\nBrowse down to a volume object.\n");
  app::ShowHelpPopup((folder / "Tolvane.HLP").string(), 11, form->NWBrowse1);
  QWidget* popup = nullptr;
  for (QWidget* shown : QApplication::topLevelWidgets()) {
    if (shown->inherits("QWhatsThat") && shown->isVisible()) popup = shown;
  }
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(Text(popup, QAccessible::Name).toStdString(),
            "Select Volume\nBrowse down to a volume object.");
  QWhatsThis::hideText();
}

}  // namespace
