// Help in the window: the help menu, the tab control's What's This pop-up menu, F1 and
// What's This mode, and a help file that is missing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWhatsThis>
#include <filesystem>
#include <functional>

#include "app/form1.h"
#include "app/help_viewer.h"
#include "help/tiny_platform.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

using app::Form1;
using testing_support::FakeDesktop;
using testing_support::HelpRequest;

// A fake desktop whose help requests also reach the real viewer.
class ViewerDesktop : public FakeDesktop {
 public:
  void WinHelp(const std::string& file, std::uint32_t command, std::uint32_t data) override {
    FakeDesktop::WinHelp(file, command, data);
    app::OpenHelpViewer(file, command, data);
  }
};

void CloseViewer() {
  delete app::HelpViewerWindow();
  delete app::HelpViewerProblem();
}

class HelpWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseViewer();
    std::filesystem::copy_file(TOLVANE_HELP_SOURCE, folder / "Tolvane.HLP");
    desk.programFolder = folder.path().string();
    form = std::make_unique<Form1>(platform, desk);
    ASSERT_TRUE(form->Form_Load());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    if (QWhatsThis::inWhatsThisMode()) QWhatsThis::leaveWhatsThisMode();
    form.reset();
    CloseViewer();
  }

  std::string HelpFile() const { return folder.path().string() + "/Tolvane.HLP"; }
  QWidget* Page(int tab) const { return form->SSTab1->widget(tab); }
  // A point on a page of the tab control where no control lies.
  QPoint EmptySpot(int tab) const {
    const QPoint spot(Page(tab)->width() - 4, Page(tab)->height() - 4);
    EXPECT_EQ(Page(tab)->childAt(spot), nullptr);
    return spot;
  }
  void ClickTab(int tab, Qt::MouseButton button) {
    QTest::mouseClick(form->SSTab1->tabBar(), button, {},
                      form->SSTab1->tabBar()->tabRect(tab).center());
  }
  std::pair<int, int> TabNumbers() const {
    return {Form1::HelpContextID(form->SSTab1), Form1::WhatsThisHelpID(form->SSTab1)};
  }
  std::vector<int> TopicsShown() const {
    std::vector<int> topics;
    for (const auto& w : desk.whatsThisShown) topics.push_back(w.topic);
    return topics;
  }

  testing_support::TempDir folder;
  help_tests::TinyPlatform platform;
  ViewerDesktop desk;
  std::unique_ptr<Form1> form;
};

TEST_F(HelpWindow, HelpMenuAsksForTheContentsOfTolvaneHlpInTheProgramFolder) {
  form->mnuHelp->trigger();
  EXPECT_EQ(desk.helpRequests,
            (std::vector<HelpRequest>{{folder.path().string() + "/Tolvane.hlp", 3, 0}}));
  // "Tolvane.hlp" finds "Tolvane.HLP": the viewer opens on the contents.
  ASSERT_NE(app::HelpViewerWindow(), nullptr);
  EXPECT_TRUE(app::HelpViewerWindow()->isVisible());
  EXPECT_EQ(app::HelpViewerTopic(), 1);
  EXPECT_EQ(app::HelpViewerProblem(), nullptr);
  EXPECT_TRUE(desk.messages.empty());
}

struct RightClickCase {
  const char* name;
  int tab;
  bool onTabBar;  // else on the page, away from any control
  int topic;
  friend void PrintTo(const RightClickCase& c, std::ostream* os) { *os << c.name; }
};

class RightClick : public HelpWindow, public ::testing::WithParamInterface<RightClickCase> {};

TEST_P(RightClick, ThenWhatsThisShowsTheTopicOfTheTabThatShows) {
  const auto& c = GetParam();
  ClickTab(c.tab, Qt::LeftButton);
  ASSERT_EQ(form->SSTab1->currentIndex(), c.tab);
  desk.whatsThisShown.clear();
  desk.popupAnswers = {true};
  if (c.onTabBar)
    ClickTab(c.tab, Qt::RightButton);
  else
    QTest::mouseClick(Page(c.tab), Qt::RightButton, {}, EmptySpot(c.tab));

  EXPECT_EQ(desk.popupsShown, 1);
  ASSERT_EQ(desk.whatsThisShown.size(), 1u);
  EXPECT_EQ(desk.whatsThisShown[0].topic, c.topic);
  EXPECT_EQ(desk.whatsThisShown[0].control, form->SSTab1);
  EXPECT_EQ(desk.whatsThisShown[0].file, HelpFile());
  EXPECT_EQ(TabNumbers(), std::make_pair(c.topic, c.topic));
  EXPECT_EQ(form->ThisControl, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Tabs, RightClick,
                         ::testing::Values(RightClickCase{"ReadTrusteesTab", 0, true, 2},
                                           RightClickCase{"WriteTrusteesTab", 1, true, 3},
                                           RightClickCase{"ReadTrusteesPage", 0, false, 2},
                                           RightClickCase{"WriteTrusteesPage", 1, false, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpWindow, DismissingThePopUpShowsNothingAndLeavesThisControlEmpty) {
  ClickTab(1, Qt::LeftButton);
  desk.popupAnswers = {false};
  ClickTab(1, Qt::RightButton);
  EXPECT_EQ(desk.popupsShown, 1);
  EXPECT_TRUE(desk.whatsThisShown.empty());
  EXPECT_EQ(form->ThisControl, nullptr);
  EXPECT_EQ(app::HelpViewerWindow(), nullptr);
}

TEST_F(HelpWindow, LeftClickAndBothButtonsUpdateTheNumbersWithoutAPopUp) {
  // A tab changed with the keyboard leaves the numbers as they were.
  form->SSTab1->tabBar()->setFocus();
  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Right);
  ASSERT_EQ(form->SSTab1->currentIndex(), 1);
  EXPECT_EQ(TabNumbers(), std::make_pair(2, 2));

  form->SSTab1_MouseButton(3, 0, 10, 10);
  EXPECT_EQ(TabNumbers(), std::make_pair(3, 3));

  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Left);
  ASSERT_EQ(form->SSTab1->currentIndex(), 0);
  EXPECT_EQ(TabNumbers(), std::make_pair(3, 3));
  QTest::mouseClick(Page(0), Qt::LeftButton, {}, EmptySpot(0));
  EXPECT_EQ(TabNumbers(), std::make_pair(2, 2));

  EXPECT_EQ(desk.popupsShown, 0);
  EXPECT_TRUE(desk.whatsThisShown.empty());
  EXPECT_EQ(form->ThisControl, nullptr);
}

TEST_F(HelpWindow, WhatsThisWithoutAControlDoesNothing) {
  form->mnuWhatsThisHelp->trigger();
  EXPECT_TRUE(desk.whatsThisShown.empty());
  EXPECT_TRUE(desk.messages.empty());
}

TEST_F(HelpWindow, RightClickOnTheBrowseControlThenWhatsThisShowsTopic11) {
  desk.popupAnswers = {true};
  QTest::mouseClick(form->NWBrowse1->viewport(), Qt::RightButton, {}, QPoint(5, 5));
  ASSERT_EQ(desk.whatsThisShown.size(), 1u);
  EXPECT_EQ(desk.whatsThisShown[0].topic, 11);
  EXPECT_EQ(desk.whatsThisShown[0].control, form->NWBrowse1);
  EXPECT_EQ(form->ThisControl, nullptr);
  // The real pop-up text of that topic is the browse control's help.
  EXPECT_THAT(app::HelpPopupHtml(HelpFile(), 11), ::testing::HasSubstr("Select Volume"));
}

using ControlOf = std::function<QWidget*(Form1&)>;

struct F1Case {
  const char* name;
  int tab;
  ControlOf control;
  std::uint32_t topic;
  friend void PrintTo(const F1Case& c, std::ostream* os) { *os << c.name; }
};

class F1 : public HelpWindow, public ::testing::WithParamInterface<F1Case> {};

TEST_P(F1, OpensTheTopicOfTheFocusedControlOrOfTheTabControlAroundIt) {
  const auto& c = GetParam();
  ClickTab(c.tab, Qt::LeftButton);  // the tab control's numbers follow the tab
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  QWidget* control = c.control(*form);
  control->setFocus();
  desk.helpRequests.clear();
  QTest::keyClick(control, Qt::Key_F1);
  EXPECT_EQ(desk.helpRequests,
            (std::vector<HelpRequest>{{HelpFile(), app::HELP_CONTEXT, c.topic}}));
  EXPECT_EQ(app::HelpViewerTopic(), static_cast<int>(c.topic));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, F1,
    ::testing::Values(F1Case{"TreeList", 0, [](Form1& f) -> QWidget* { return f.Combo2; }, 10},
                      F1Case{"RefreshTrees", 0, [](Form1& f) -> QWidget* { return f.Command3; },
                             13},
                      F1Case{"BrowseControlHasOnlyAWhatsThisNumber", 0,
                             [](Form1& f) -> QWidget* { return f.NWBrowse1; }, 2},
                      F1Case{"WriteButtonHasOnlyAWhatsThisNumber", 1,
                             [](Form1& f) -> QWidget* { return f.Command4; }, 3},
                      F1Case{"TabControl", 1, [](Form1& f) -> QWidget* { return f.SSTab1; }, 3}),
    [](const auto& info) { return std::string(info.param.name); });

struct ModeCase {
  const char* name;
  int tab;
  ControlOf target;  // what the click lands on
  int topic;
  ControlOf shownFor;
  friend void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }
};

class WhatsThisMode : public HelpWindow, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(WhatsThisMode, AClickShowsTheTopicOfTheControlUnderIt) {
  const auto& c = GetParam();
  ClickTab(1 - c.tab, Qt::LeftButton);
  // The tab changes by keyboard afterwards: What's This on the tab control still follows
  // the tab that shows, because the click is a mouse press over it.
  form->SSTab1->setCurrentIndex(c.tab);
  QWhatsThis::enterWhatsThisMode();
  QWidget* target = c.target(*form);
  QTest::mouseClick(target, Qt::LeftButton, {}, QRect(QPoint(), target->size()).center());
  EXPECT_EQ(TopicsShown(), std::vector<int>{c.topic});
  if (!desk.whatsThisShown.empty()) {
    EXPECT_EQ(desk.whatsThisShown[0].control, c.shownFor(*form));
  }
  EXPECT_EQ(desk.popupsShown, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, WhatsThisMode,
    ::testing::Values(
        ModeCase{"TreeList", 0, [](Form1& f) -> QWidget* { return f.Combo2; }, 10,
                 [](Form1& f) -> QWidget* { return f.Combo2; }},
        ModeCase{"BrowseControl", 0, [](Form1& f) -> QWidget* { return f.NWBrowse1->viewport(); },
                 11, [](Form1& f) -> QWidget* { return f.NWBrowse1; }},
        ModeCase{"RefreshTrees", 0, [](Form1& f) -> QWidget* { return f.Command3; }, 13,
                 [](Form1& f) -> QWidget* { return f.Command3; }},
        ModeCase{"WriteButton", 1, [](Form1& f) -> QWidget* { return f.Command4; }, 5,
                 [](Form1& f) -> QWidget* { return f.Command4; }},
        ModeCase{"LabelOnTheReadTab", 0, [](Form1& f) -> QWidget* { return f.Label1; }, 2,
                 [](Form1& f) -> QWidget* { return f.SSTab1; }},
        ModeCase{"ValueLabelOnTheWriteTab", 1, [](Form1& f) -> QWidget* { return f.Label7; }, 3,
                 [](Form1& f) -> QWidget* { return f.SSTab1; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpWindow, ShiftF1EntersWhatsThisMode) {
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  form->Combo2->setFocus();
  QTest::keyClick(form->Combo2, Qt::Key_F1, Qt::ShiftModifier);
  EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
  EXPECT_TRUE(desk.helpRequests.empty());
}

TEST_F(HelpWindow, AMissingHelpFileChangesNothingInTheWindowAndIsReportedOnce) {
  std::filesystem::remove(folder / "Tolvane.HLP");
  ClickTab(1, Qt::LeftButton);
  form->SetStatus("Ready");
  const QRect geometry = form->geometry();

  form->mnuHelp->trigger();
  form->mnuHelp->trigger();

  EXPECT_EQ(desk.helpRequests.size(), 2u);
  EXPECT_EQ(app::HelpViewerWindow(), nullptr);
  ASSERT_NE(app::HelpViewerProblem(), nullptr);
  EXPECT_TRUE(app::HelpViewerProblem()->isVisible());
  EXPECT_FALSE(app::HelpViewerProblem()->isModal());
  EXPECT_EQ(app::HelpViewerProblem()->text().toStdString(),
            "The help file " + folder.path().string() + "/Tolvane.hlp cannot be found.");
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++boxes;
  EXPECT_EQ(boxes, 1);

  // The window itself: no message of its own, nothing changed.
  EXPECT_TRUE(desk.messages.empty());
  EXPECT_EQ(form->Status(), "Ready");
  EXPECT_EQ(form->SSTab1->currentIndex(), 1);
  EXPECT_EQ(form->geometry(), geometry);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->Ended());
  EXPECT_FALSE(desk.endedWith.has_value());
  EXPECT_FALSE(desk.busy);
  EXPECT_EQ(form->Combo2->count(), 1);
}

}  // namespace
