// The window at start-up, its design, shutdown, the tree list and the general rule for
// unexpected errors, on a fake platform that counts every client call.
#include "app/form1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <stdexcept>

#include "support/fake_desktop.h"
#include "support/temp_dir.h"
#include "window/fake_platform.h"

namespace {

using app::Form1;
using app::MsgIcon;
using testing_support::FakeDesktop;
using testing_support::ShownMessage;
using window_test::FakePlatform;

constexpr const char* kDesignPath = R"(NDS:\\QARN\[Root])";

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    desktop.programFolder = programFolder.path().string();
    platform.session.trees = {"ZULU_TREE", "ACME_TREE", "BETA"};
  }
  Form1& Window() {
    if (!form) form = std::make_unique<Form1>(platform, desktop);
    return *form;
  }
  Form1& Loaded() {
    Form1& w = Window();
    EXPECT_TRUE(w.Form_Load());
    return w;
  }
  std::vector<std::string> Trees() {
    std::vector<std::string> items;
    for (int i = 0; i < form->Combo2->count(); ++i) {
      items.push_back(form->Combo2->itemText(i).toStdString());
    }
    return items;
  }

  testing_support::TempDir programFolder;
  FakePlatform platform;
  FakeDesktop desktop;
  std::unique_ptr<Form1> form;
};

TEST_F(WindowTest, StartUpListsTheTreesInTheSessionsOrderWithNoneChosen) {
  Form1& w = Window();
  // Leave traces that start-up must reset.
  w.SSTab1->setCurrentIndex(1);
  w.StatusPanel1->setText("left over");
  w.ObjectCount = 7;
  std::vector<std::string> statusWhileBuilding;
  platform.session.onTrees = [&] { statusWhileBuilding.push_back(w.Status()); };

  ASSERT_TRUE(w.Form_Load());

  EXPECT_EQ(Trees(), (std::vector<std::string>{"ZULU_TREE", "ACME_TREE", "BETA"}));
  EXPECT_EQ(w.Combo2->currentIndex(), -1);
  EXPECT_EQ(w.Combo2->currentText(), "");
  EXPECT_EQ(statusWhileBuilding,
            std::vector<std::string>{"Building list of all valid volume objects"});
  EXPECT_EQ(w.Status(), "");
  EXPECT_EQ(w.ProgressBar1->value(), 0);
  EXPECT_EQ(w.ObjectCount, 0);
  EXPECT_EQ(w.SSTab1->currentIndex(), 0);
  EXPECT_FALSE(w.Command1->isEnabled());
  EXPECT_EQ(w.NWDir2->DirectoryPath, "");
  EXPECT_EQ(w.NWBrowse1->topLevelItemCount(), 0);
  EXPECT_EQ(w.HelpFile, programFolder.path().string() + "/Tolvane.HLP");
  EXPECT_EQ(w.CommonDialog1.DialogTitle, "Open Trustee File");
  EXPECT_EQ(w.CommonDialog1.Filter, "Trustee File|*.RIGHTS|All Files|*.*");
  EXPECT_EQ(w.CommonDialog1.InitDir, programFolder.path().string());
  EXPECT_EQ(platform.client.calls, 1);  // NWCallsInit and nothing else
  EXPECT_EQ(platform.client.initReserved, (std::vector<int>{0, 0}));
  EXPECT_TRUE(desktop.messages.empty());
  EXPECT_FALSE(desktop.endedWith.has_value());
  EXPECT_FALSE(w.Ended());
  // The window-level variables start empty.
  EXPECT_EQ(w.SelectedVolume, "");
  EXPECT_EQ(w.SearchKind, "");
  EXPECT_EQ(w.ThisControl, nullptr);
}

TEST_F(WindowTest, TheWindowCarriesItsCaptionsAsDesigned) {
  Form1& w = Window();
  EXPECT_EQ(w.windowTitle(), "Tolvane");
  EXPECT_EQ(w.SSTab1->count(), 2);
  EXPECT_EQ(w.SSTab1->tabText(0), "Read Trustees");
  EXPECT_EQ(w.SSTab1->tabText(1), "Write Trustees");

  struct Caption {
    QWidget* control;
    const char* name;
    QString text;
    int tab;
  };
  const std::vector<Caption> captions = {
      {w.Label1, "Label1", w.Label1->text(), 0},
      {w.Label2, "Label2", w.Label2->text(), 0},
      {w.Command1, "Command1", w.Command1->text(), 0},
      {w.Command3, "Command3", w.Command3->text(), 0},
      {w.Command4, "Command4", w.Command4->text(), 1},
      {w.Label3, "Label3", w.Label3->text(), 1},
      {w.Label4, "Label4", w.Label4->text(), 1},
      {w.Label5, "Label5", w.Label5->text(), 1},
      {w.Label6, "Label6", w.Label6->text(), 1},
  };
  const std::vector<QString> expected = {"Select Tree",
                                         "Select Volume",
                                         "&GetTrustees",
                                         "&Refresh Trees",
                                         "Select File To &Write Trustees From",
                                         "Tree",
                                         "Server",
                                         "Object",
                                         "Directory"};
  for (std::size_t i = 0; i < captions.size(); ++i) {
    SCOPED_TRACE(captions[i].name);
    EXPECT_EQ(captions[i].text, expected[i]);
    EXPECT_EQ(captions[i].control->objectName(), captions[i].name);
    EXPECT_TRUE(w.SSTab1->widget(captions[i].tab)->isAncestorOf(captions[i].control));
  }
  for (QLabel* value : {w.Label7, w.Label8, w.Label9, w.Label10}) {
    SCOPED_TRACE(value->objectName().toStdString());
    EXPECT_EQ(value->text(), "");
    EXPECT_EQ(value->font().pointSize(), 12);
    EXPECT_TRUE(w.SSTab1->widget(1)->isAncestorOf(value));
  }
  EXPECT_TRUE(w.SSTab1->widget(0)->isAncestorOf(w.Combo2));
  EXPECT_TRUE(w.SSTab1->widget(0)->isAncestorOf(w.NWBrowse1));
  EXPECT_TRUE(w.SSTab1->widget(0)->isAncestorOf(w.ProgressBar1));
  EXPECT_FALSE(w.Combo2->isEditable());
  EXPECT_FALSE(w.Command1->isEnabled());
}

TEST_F(WindowTest, ToolTipsAndHelpNumbers) {
  Form1& w = Window();
  struct Help {
    QWidget* control;
    const char* toolTip;
    int helpContext;
    int whatsThis;
  };
  const std::vector<Help> table = {
      {w.SSTab1, "", 2, 2},
      {w.Combo2, "Select A Tree", 10, 10},
      {w.NWBrowse1, "Browse To A Volume, And Click On It To Select", 0, 11},
      {w.Command1, "Get The Trustees Assigned To The Selected Volume", 12, 12},
      {w.Command3, "Refresh The Connected Tree List", 13, 13},
      {w.ProgressBar1, "Progress Of The Trustee Read", 0, 0},
      {w.Command4, "Select RIGHTS File to Write Trustees Back To Volume", 0, 5},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.control->objectName().toStdString());
    EXPECT_EQ(row.control->toolTip(), QString(row.toolTip));
    EXPECT_EQ(Form1::HelpContextID(row.control), row.helpContext);
    EXPECT_EQ(Form1::WhatsThisHelpID(row.control), row.whatsThis);
  }
}

TEST_F(WindowTest, MenusTitleBarIconAndSize) {
  Form1& w = Window();
  QStringList bar;
  for (QAction* action : w.menuBar()->actions()) bar << action->text();
  EXPECT_EQ(bar, (QStringList{"E&xit", "&Help"}));
  EXPECT_EQ(w.Exit->menu(), nullptr);  // acts on click, no drop-down
  EXPECT_EQ(w.mnuHelp->menu(), nullptr);
  EXPECT_EQ(w.mnuWhatsThis->title(), "WhatsThis");
  ASSERT_EQ(w.mnuWhatsThis->actions().size(), 1);
  EXPECT_EQ(w.mnuWhatsThis->actions().first(), w.mnuWhatsThisHelp);
  EXPECT_EQ(w.mnuWhatsThisHelp->text(), "What's This?");
  EXPECT_FALSE(w.menuBar()->actions().contains(w.mnuWhatsThis->menuAction()));

  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(16, 16)));
  EXPECT_TRUE(w.windowIcon().availableSizes().contains(QSize(32, 32)));

  // About 5940 by 5610 twips below the menu bar, at 15 twips a pixel.
  const QSize client(w.width(), w.height() - w.menuBar()->sizeHint().height());
  EXPECT_NEAR(client.width() * 15, 5940, 30);
  EXPECT_NEAR(client.height() * 15, 5610, 60);
  EXPECT_EQ(w.SSTab1->geometry(), QRect(8, 8, 379, 345));  // 120, 120, 5685 by 5175 twips

  EXPECT_EQ(w.NWDir1->DirectoryPath, kDesignPath);
  EXPECT_EQ(w.NWDir2->DirectoryPath, kDesignPath);
  EXPECT_EQ(w.NWDir1->Filter, "");
  EXPECT_EQ(w.NWDir2->Filter, "Country,Locality,Organization,Organizational Unit,Volume");
}

struct CentringCase {
  const char* name;
  double dpi;
  QSizeF screenTwips;
  QSize windowPixels;
  float top, left;
};

class CentringTest : public WindowTest, public ::testing::WithParamInterface<CentringCase> {};

TEST_P(CentringTest, CentresInTwipsKeepingHalvesAndNegatives) {
  const CentringCase& c = GetParam();
  desktop.dpi = c.dpi;
  desktop.screenTwips = c.screenTwips;
  Form1& w = Window();
  w.setFixedSize(c.windowPixels);
  ASSERT_TRUE(w.Form_Load());
  EXPECT_EQ(w.TopTwips, c.top);
  EXPECT_EQ(w.LeftTwips, c.left);
  const double twipsPerPixel = 1440.0 / c.dpi;
  EXPECT_EQ(w.pos(), QPoint(static_cast<int>(std::lround(c.left / twipsPerPixel)),
                            static_cast<int>(std::lround(c.top / twipsPerPixel))));
}

INSTANTIATE_TEST_SUITE_P(
    Window, CentringTest,
    ::testing::Values(
        // 401 pixels at 96 dpi are 6015 twips: (9000 - 6015) / 2.
        CentringCase{"HalfATwip", 96, {12000, 9000}, {400, 401}, 1492.5f, 3000.0f},
        CentringCase{"TallerThanTheScreen", 96, {4000, 3000}, {400, 401}, -1507.5f, -1000.0f},
        CentringCase{"OtherDpi", 144, {9001, 9001}, {600, 601}, 1495.5f, 1500.5f}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ASecondInstanceIsRefusedBeforeAnythingElse) {
  desktop.previousInstance = true;
  Form1& w = Window();
  w.show();
  EXPECT_FALSE(w.Form_Load());
  EXPECT_EQ(desktop.messages,
            (std::vector<ShownMessage>{{"Application already running", MsgIcon::None, "Tolvane"}}));
  EXPECT_TRUE(desktop.endedWith.has_value());
  EXPECT_TRUE(w.Ended());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(platform.client.calls, 0);
  EXPECT_EQ(platform.session.treeCalls, 0);
  EXPECT_EQ(w.HelpFile, "");
  EXPECT_EQ(w.Combo2->count(), 0);
}

TEST_F(WindowTest, AFailedNWCallsInitEndsStartUpWithItsMessage) {
  platform.client.initCode = nw::kCallsInitFailed;
  Form1& w = Window();
  w.show();
  EXPECT_FALSE(w.Form_Load());
  EXPECT_EQ(
      desktop.messages,
      (std::vector<ShownMessage>{{"NWCallsInit returns errors !", MsgIcon::None, "Tolvane"}}));
  EXPECT_TRUE(desktop.endedWith.has_value());
  EXPECT_NE(*desktop.endedWith, 0);
  EXPECT_TRUE(w.Ended());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(platform.client.calls, 1);  // no NetWare call follows
  EXPECT_EQ(platform.session.treeCalls, 0);
  EXPECT_EQ(w.Combo2->count(), 0);
  EXPECT_EQ(w.NWDir2->DirectoryPath, kDesignPath);  // later steps did not run
  // Nothing the user does afterwards reaches a handler.
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  EXPECT_EQ(platform.session.treeCalls, 0);
}

TEST_F(WindowTest, RefreshTreesWithNoTreesLeavesTheListEmpty) {
  Form1& w = Loaded();
  w.show();
  platform.session.trees.clear();
  QTest::mouseClick(w.Command3, Qt::LeftButton);
  EXPECT_EQ(w.Combo2->count(), 0);
  EXPECT_EQ(w.Status(), "");
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(WindowTest, RefreshTreesKeepsTheSelectedVolume) {
  platform.session.trees = {"ACME_TREE"};
  platform.nds.Add(R"(NDS:\\ACME_TREE\ACME)", "Organization");
  platform.nds.Add(R"(NDS:\\ACME_TREE\ACME\FS1_SYS)", "Volume");
  Form1& w = Loaded();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

  w.Combo2->setCurrentIndex(0);
  emit w.Combo2->activated(0);
  QTreeWidgetItem* volume = w.NWBrowse1->ItemFor(R"(NDS:\\ACME_TREE\ACME\FS1_SYS)");
  ASSERT_NE(volume, nullptr);
  QTest::mouseClick(w.NWBrowse1->viewport(), Qt::LeftButton, {},
                    w.NWBrowse1->visualItemRect(volume).center());
  ASSERT_EQ(w.SelectedVolume, "FS1_SYS");
  ASSERT_TRUE(w.Command1->isEnabled());

  platform.session.trees = {"NEW_TREE", "ACME_TREE"};
  QTest::mouseClick(w.Command3, Qt::LeftButton);

  EXPECT_EQ(Trees(), (std::vector<std::string>{"NEW_TREE", "ACME_TREE"}));
  EXPECT_EQ(w.Combo2->currentIndex(), -1);
  EXPECT_EQ(w.SelectedVolume, "FS1_SYS");
  EXPECT_TRUE(w.Command1->isEnabled());
  EXPECT_EQ(w.List3, std::vector<std::string>{"FS1_SYS"});
  EXPECT_EQ(w.NWDir2->DirectoryPath, R"(NDS:\\ACME_TREE\[ROOT])");
  EXPECT_EQ(w.NWBrowse1->SelectedEntries().size(), 1u);
  EXPECT_EQ(w.Status(), "");
}

TEST_F(WindowTest, ExitAndClosingEndTheProgramWithoutAClientCall) {
  for (bool byMenu : {true, false}) {
    SCOPED_TRACE(byMenu ? "E&xit" : "closing the window");
    form.reset();
    desktop.endedWith.reset();
    Form1& w = Loaded();
    w.show();
    const int callsBefore = platform.client.calls;
    const int mappingsBefore = platform.session.mappingCalls;
    if (byMenu) {
      w.Exit->trigger();
    } else {
      w.close();
    }
    EXPECT_EQ(desktop.endedWith, 0);
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(platform.client.calls, callsBefore);
    EXPECT_EQ(platform.session.mappingCalls, mappingsBefore);
    EXPECT_TRUE(desktop.messages.empty());
  }
}

TEST_F(WindowTest, AnUnhandledFailureIsShownAndEndsTheProgram) {
  struct Case {
    const char* name;
    std::function<void()> fail;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"std::exception", [] { throw std::runtime_error("The network store is damaged"); },
       "The network store is damaged"},
      {"anything else", [] { throw 42; }, "Unexpected error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    form.reset();
    desktop.messages.clear();
    desktop.endedWith.reset();
    platform.session.onTrees = nullptr;
    Form1& w = Loaded();
    w.show();
    platform.session.onTrees = c.fail;
    desktop.busy = true;  // a failing command may leave the hourglass behind
    const int treeCalls = platform.session.treeCalls;

    QTest::mouseClick(w.Command3, Qt::LeftButton);

    EXPECT_EQ(desktop.messages,
              (std::vector<ShownMessage>{{c.shown, MsgIcon::Critical, "Tolvane"}}));
    EXPECT_FALSE(desktop.busyDuringLastMessage);
    EXPECT_EQ(desktop.endedWith, 1);
    EXPECT_TRUE(w.Ended());
    EXPECT_FALSE(w.isVisible());
    // The program is over: no further handler runs.
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    EXPECT_EQ(platform.session.treeCalls, treeCalls + 1);
    EXPECT_EQ(desktop.messages.size(), 1u);
  }
}

TEST_F(WindowTest, AFailureDuringStartUpFollowsTheGeneralRule) {
  platform.session.onTrees = [] { throw std::runtime_error("The network store is locked"); };
  Form1& w = Window();
  bool loaded = false;
  w.RunGuarded([&] { loaded = w.Form_Load(); });
  EXPECT_FALSE(loaded);
  EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{"The network store is locked"});
  EXPECT_EQ(desktop.endedWith, 1);
}

// A press over the tab control itself, tab bar or page, reaches its handler; one over a
// control on a page does not.
TEST_F(WindowTest, PressesOverTheTabControlReachItsHandler) {
  Form1& w = Loaded();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QWidget* page0 = w.SSTab1->widget(0);
  const QPoint emptyPagePoint(page0->width() - 5, page0->height() - 5);
  ASSERT_EQ(page0->childAt(emptyPagePoint), nullptr);

  struct Press {
    const char* where;
    QWidget* widget;
    QPoint at;
    int popups;
  };
  const std::vector<Press> presses = {
      {"tab bar", w.SSTab1->tabBar(), w.SSTab1->tabBar()->tabRect(0).center(), 1},
      {"page", page0, emptyPagePoint, 1},
      {"label on the page", w.Label1, QPoint(2, 2), 0},
      {"button on the page", w.Command3, QPoint(5, 5), 0},
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.where);
    desktop.popupsShown = 0;
    QTest::mousePress(press.widget, Qt::RightButton, {}, press.at);
    QTest::mouseRelease(press.widget, Qt::RightButton, {}, press.at);
    EXPECT_EQ(desktop.popupsShown, press.popups);
    EXPECT_EQ(w.ThisControl, nullptr);
  }
  EXPECT_FALSE(desktop.endedWith.has_value());
}

TEST_F(WindowTest, ALeftPressOnATabSwitchesBeforeTheHandlerRuns) {
  Form1& w = Loaded();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  QTabBar* bar = w.SSTab1->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_EQ(w.SSTab1->currentIndex(), 1);
  EXPECT_EQ(Form1::WhatsThisHelpID(w.SSTab1), 3);
  EXPECT_EQ(Form1::HelpContextID(w.SSTab1), 3);
  EXPECT_EQ(desktop.popupsShown, 0);
}

}  // namespace
