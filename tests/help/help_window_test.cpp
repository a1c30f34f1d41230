// Help in the window: the help menu, the What's This pop-up menu of the tab control and of the
// browse control, F1 and What's This mode; the help viewer over a help file on disk.

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
#include <QTextBrowser>
#include <QUrl>
#include <QWhatsThis>
#include <filesystem>

#include "app/help_viewer.h"
#include "support/window_scene.h"

namespace {

using app::Form1;
using ::testing::HasSubstr;
using testing_support::HelpRequest;

void CloseViewer() {
  delete app::HelpViewerWindow();
  delete app::HelpViewerProblem();
}

class HelpWindow : public ::testing::Test, protected testing_support::WindowScene {
 protected:
  HelpWindow()
      : WindowScene(R"({ "trees": [ { "name": "CORP", "objects": [
          { "name": "Main", "class": "Organization" } ] } ],
          "workstation": { "trees": [ "CORP" ] } })") {}
  void SetUp() override {
    CloseViewer();
    std::filesystem::copy_file(TOLVANE_HELP_SOURCE, program / "Tolvane.HLP");
    // Help requests also reach the real viewer.
    desktop.afterHelp = [](const HelpRequest& r) {
      app::OpenHelpViewer(r.file, r.command, r.data);
    };
    ASSERT_TRUE(Open());
    Show();
  }
  void TearDown() override {
    if (QWhatsThis::inWhatsThisMode()) QWhatsThis::leaveWhatsThisMode();
    form.reset();
    CloseViewer();
  }

  std::string HelpFile() const { return program.path().string() + "/Tolvane.HLP"; }
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
};

// The viewer is one non-modal window that follows links and leaves quitting to the main window.
TEST_F(HelpWindow, HelpMenuOpensTheContentsOfTolvaneHlpInTheProgramFolderInTheViewer) {
  form->mnuHelp->trigger();
  EXPECT_EQ(desktop.helpRequests,
            (std::vector<HelpRequest>{{program.path().string() + "/Tolvane.hlp", 3, 0}}));
  QWidget* window = app::HelpViewerWindow();  // "Tolvane.hlp" finds "Tolvane.HLP"
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(app::HelpViewerTopic(), 1);
  EXPECT_FALSE(window->isModal());
  EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane Help - Tolvane Help");
  app::OpenHelpViewer(HelpFile(), app::HELP_CONTEXT, 11);
  EXPECT_EQ(app::HelpViewerWindow(), window);
  EXPECT_EQ(app::HelpViewerTopic(), 11);
  emit app::HelpViewerBrowser()->anchorClicked(QUrl("topic:20"));
  EXPECT_EQ(app::HelpViewerTopic(), 20);
  emit app::HelpViewerBrowser()->anchorClicked(QUrl("topic:8"));
  EXPECT_THAT(app::HelpViewerBrowser()->toPlainText().toStdString(),
              HasSubstr("There is no topic 8 in the help file"));
  app::ShowHelpPopup(HelpFile(), 11, form->NWBrowse1);
  EXPECT_EQ(app::LastHelpPopupHtml(), app::HelpPopupHtml(HelpFile(), 11));
  EXPECT_THAT(app::LastHelpPopupHtml(), HasSubstr("<b>Select Volume</b>"));
  EXPECT_TRUE(desktop.messages.empty());
}

// A right click over the tab control (bar or empty page) or the browse control offers What's This
// for the tab that shows or the browse control; one over another control offers nothing.
TEST_F(HelpWindow, RightClickThenWhatsThisShowsTheTopicOfWhatWasClicked) {
  QTabBar* bar = form->SSTab1->tabBar();
  QWidget* tabs = form->SSTab1;
  struct Case {
    int tab;  // shown first
    QWidget* target;
    QPoint at;
    bool answer;     // the user picks "What's This?"
    int topic;       // shown, or 0
    QWidget* shown;  // the control it is shown for; nullptr: no pop-up menu
  } cases[] = {
      {0, bar, bar->tabRect(0).center(), true, 2, tabs},
      {1, bar, bar->tabRect(1).center(), true, 3, tabs},
      {1, bar, bar->tabRect(1).center(), false, 0, tabs},
      {0, Page(0), EmptySpot(0), true, 2, tabs},
      {1, Page(1), EmptySpot(1), true, 3, tabs},
      {0, form->NWBrowse1->viewport(), QPoint(5, 5), true, 11, form->NWBrowse1},
      {0, form->Label1, QPoint(2, 2), true, 0, nullptr},
      {0, form->Command3, QPoint(5, 5), true, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.target->objectName().toStdString() << " tab " << c.tab);
    ClickTab(c.tab, Qt::LeftButton);
    desktop.whatsThisShown.clear();
    desktop.popupsShown = 0;
    desktop.popupAnswers = {c.answer};
    QTest::mouseClick(c.target, Qt::RightButton, {}, c.at);
    EXPECT_EQ(desktop.popupsShown, c.shown ? 1 : 0);
    ASSERT_EQ(desktop.whatsThisShown.size(), c.topic ? 1u : 0u);
    if (c.topic) {
      EXPECT_EQ(desktop.whatsThisShown[0].topic, c.topic);
      EXPECT_EQ(desktop.whatsThisShown[0].control, c.shown);
      EXPECT_EQ(desktop.whatsThisShown[0].file, HelpFile());
    }
    EXPECT_EQ(TabNumbers(), std::make_pair(2 + c.tab, 2 + c.tab));
    EXPECT_EQ(form->ThisControl, nullptr);
  }
  EXPECT_EQ(app::HelpViewerWindow(), nullptr);
  form->mnuWhatsThisHelp->trigger();  // with no control chosen
  EXPECT_EQ(desktop.whatsThisShown.size(), 0u);
  EXPECT_FALSE(desktop.endedWith.has_value());
}

TEST_F(HelpWindow, LeftClickAndButton3UpdateTheNumbersWithoutAPopUp) {
  // A tab changed with the keyboard leaves the numbers as they were.
  form->SSTab1->tabBar()->setFocus();
  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Right);
  ASSERT_EQ(form->SSTab1->currentIndex(), 1);
  EXPECT_EQ(TabNumbers(), std::make_pair(2, 2));
  form->SSTab1_MouseButton(3, 0, 10, 10);
  EXPECT_EQ(TabNumbers(), std::make_pair(3, 3));
  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Left);
  EXPECT_EQ(TabNumbers(), std::make_pair(3, 3));
  QTest::mouseClick(Page(0), Qt::LeftButton, {}, EmptySpot(0));
  EXPECT_EQ(TabNumbers(), std::make_pair(2, 2));
  EXPECT_EQ(desktop.popupsShown, 0);
  EXPECT_TRUE(desktop.whatsThisShown.empty());
}

TEST_F(HelpWindow, F1AndWhatsThisModeShowTheControlsTopicOrThatOfTheTabControl) {
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  for (auto [control, topic] : {std::pair<QWidget*, int>{form->Combo2, 10}, {form->NWBrowse1, 2}}) {
    control->setFocus();
    desktop.helpRequests.clear();
    QTest::keyClick(control, Qt::Key_F1);
    EXPECT_EQ(desktop.helpRequests,
              (std::vector<HelpRequest>{{HelpFile(), app::HELP_CONTEXT, std::uint32_t(topic)}}));
  }
  for (auto [target, topic, shownFor] :
       {std::tuple<QWidget*, int, QWidget*>{form->NWBrowse1->viewport(), 11, form->NWBrowse1},
        {form->Label1, 2, form->SSTab1}}) {
    desktop.whatsThisShown.clear();
    QWhatsThis::enterWhatsThisMode();
    QTest::mouseClick(target, Qt::LeftButton, {}, QRect(QPoint(), target->size()).center());
    ASSERT_EQ(desktop.whatsThisShown.size(), 1u) << topic;
    EXPECT_EQ(desktop.whatsThisShown[0].topic, topic);
    EXPECT_EQ(desktop.whatsThisShown[0].control, shownFor);
  }
  EXPECT_EQ(desktop.popupsShown, 0);
}

TEST(HelpViewer, AMissingOrDamagedFileIsSaidOnceInItsOwnMessageAndOpensNoWindow) {
  testing_support::TempDir folder;
  const std::string path = (folder / "help.hlp").string();
  for (const char* content : {"", "@topic 4 Index\nA { here\n"}) {  // "": no file
    SCOPED_TRACE(content);
    CloseViewer();
    if (*content) testing_support::WriteFileBytes(folder / "Help.HLP", content);
    app::OpenHelpViewer(path, app::HELP_CONTENTS, 0);
    app::OpenHelpViewer(path, app::HELP_CONTEXT, 4);
    EXPECT_EQ(app::HelpViewerWindow(), nullptr);
    ASSERT_NE(app::HelpViewerProblem(), nullptr);
    EXPECT_FALSE(app::HelpViewerProblem()->isModal());
    const std::string says = *content ? "is damaged (line 2:" : "cannot be found";
    EXPECT_THAT(app::HelpViewerProblem()->text().toStdString(), HasSubstr(says));
    EXPECT_EQ(std::ranges::count_if(
                  QApplication::topLevelWidgets(),
                  [](QWidget* w) { return qobject_cast<QMessageBox*>(w) && w->isVisible(); }),
              1);
    EXPECT_THAT(app::HelpPopupHtml(path, 4), HasSubstr(says));
  }
  CloseViewer();
}

}  // namespace
