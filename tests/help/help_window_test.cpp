// Help: the help file Tolvane ships, the help menu and the viewer, the What's This pop-up
// menu of the tab control and of the browse control, F1 and What's This mode.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QWhatsThis>
#include <filesystem>
#include <map>

#include "app/help_viewer.h"
#include "support/window_scene.h"

namespace {

namespace fs = std::filesystem;
using app::Form1;
using namespace ::testing;
using testing_support::HelpRequest;
using testing_support::ReadFileBytes;

// The names the window gives its controls' topics, as the viewer and the pop-up show them.
const std::map<int, std::string> kWindowTopics = {{2, "The \"Read Trustees\" tab"},
                                                  {3, "The \"Write Trustees\" tab"},
                                                  {5, "Select File To Write Trustees From"},
                                                  {10, "Select Tree"},
                                                  {11, "Select Volume"},
                                                  {12, "GetTrustees"},
                                                  {13, "Refresh Trees"}};

TEST(ShippedHelp, HoldsEveryTopicTheWindowNamesAndNoLinkLeadsNowhere) {
  std::map<int, std::string> titles;
  for (const auto& entry : fs::directory_iterator(TOLVANE_HELP_SOURCE)) {
    SCOPED_TRACE(entry.path().filename());
    const int topic = std::stoi(entry.path().stem());
    QTextDocument page;
    page.setMarkdown(QString::fromStdString(ReadFileBytes(entry.path())));
    const QTextBlock title = page.firstBlock(), popup = title.next();
    EXPECT_EQ(title.blockFormat().headingLevel(), 1);
    titles[topic] = title.text().toStdString();
    // The first paragraph is the What's This pop-up: present and short.
    EXPECT_TRUE(popup.blockFormat().headingLevel() == 0 && !popup.textList() &&
                !popup.text().isEmpty());
    EXPECT_LE(popup.text().size(), 160);
    for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const std::string link = it.fragment().charFormat().anchorHref().toStdString();
        if (link.empty()) continue;
        EXPECT_TRUE(fs::is_regular_file(entry.path().parent_path() / link)) << link;
      }
    }
    // The build puts it next to the program.
    EXPECT_EQ(ReadFileBytes(fs::path(TOLVANE_HELP_BUILT) / entry.path().filename()),
              ReadFileBytes(entry.path()));
  }
  EXPECT_TRUE(titles.count(1));  // the contents
  for (const auto& [topic, title] : kWindowTopics) EXPECT_EQ(titles[topic], title);
}

void CloseViewer() {
  delete app::HelpViewerWindow();
  delete app::HelpViewerProblem();
}

std::string ViewerText() { return app::HelpViewerBrowser()->toPlainText().toStdString(); }

// What the pop-up of a topic reads.
std::string PopupText(const std::string& file, int topic, QWidget* control) {
  app::ShowHelpPopup(file, topic, control);
  QWidget* popup = QApplication::activePopupWidget();
  const std::string text = popup ? popup->accessibleName().toStdString() : "(no pop-up)";
  QWhatsThis::hideText();
  return text;
}

class HelpWindow : public testing_support::WindowSceneTest {
 protected:
  HelpWindow() : WindowSceneTest("window_one_server_network.json") {}
  void SetUp() override {
    CloseViewer();
    fs::copy(TOLVANE_HELP_SOURCE, program / "Tolvane.HLP");
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
  void ClickTab(int tab) {
    QTest::mouseClick(form->SSTab1->tabBar(), Qt::LeftButton, {},
                      form->SSTab1->tabBar()->tabRect(tab).center());
  }
  std::pair<int, int> TabNumbers() const {
    return {Form1::HelpContextID(form->SSTab1), Form1::WhatsThisHelpID(form->SSTab1)};
  }
  // What the pop-up of the last What's This reads, after checking there was exactly one.
  std::string ShownPopup(int topic, QWidget* control) {
    EXPECT_EQ(desktop.whatsThisShown.size(), 1u);
    if (desktop.whatsThisShown.size() != 1) return {};
    const testing_support::WhatsThisShown& shown = desktop.whatsThisShown[0];
    EXPECT_EQ(shown.topic, topic);
    EXPECT_EQ(shown.control, control);
    EXPECT_EQ(shown.file, HelpFile());
    return PopupText(shown.file, shown.topic, shown.control);
  }
};

void ClickLink(const QString& text) {
  QTextBrowser* browser = app::HelpViewerBrowser();
  QTextCursor at(browser->document());
  at.setPosition(browser->document()->find(text).selectionStart() + 1);
  browser->setTextCursor(at);
  browser->ensureCursorVisible();
  QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(at).center());
}

void ClickButton(const char* caption) {
  for (auto* button : app::HelpViewerWindow()->findChildren<QPushButton*>())
    if (button->text() == caption) return QTest::mouseClick(button, Qt::LeftButton);
  ADD_FAILURE() << "no button " << caption;
}

// One non-modal window that follows links back and forward and leaves quitting to the window.
TEST_F(HelpWindow, HelpMenuOpensTheContentsAndTheViewerFollowsLinksBackAndForward) {
  form->mnuHelp->trigger();
  EXPECT_EQ(desktop.helpRequests,
            (std::vector<HelpRequest>{{program.path().string() + "/Tolvane.hlp", 3, 0}}));
  QWidget* window = app::HelpViewerWindow();  // "Tolvane.hlp" finds "Tolvane.HLP"
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isModal());
  EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
  auto seen = [&] {
    return std::make_pair(app::HelpViewerTopic(), window->windowTitle().toStdString());
  };
  EXPECT_EQ(seen(), std::make_pair(1, std::string("Tolvane Help - Tolvane Help")));

  ClickLink("Select Volume");
  EXPECT_EQ(seen(), std::make_pair(11, std::string("Tolvane Help - Select Volume")));
  EXPECT_THAT(ViewerText(), StartsWith("Select Volume\nBrowse the chosen tree down"));
  ClickButton("&Back");
  EXPECT_EQ(app::HelpViewerTopic(), 1);
  ClickButton("&Forward");
  EXPECT_EQ(app::HelpViewerTopic(), 11);
  ClickButton("&Contents");
  EXPECT_EQ(app::HelpViewerTopic(), 1);

  // A FIFO where a page belongs reads as no page rather than hanging the window.
  ASSERT_EQ(mkfifo((program.path() / "Tolvane.HLP" / "8.md").c_str(), 0600), 0);
  app::OpenHelpViewer(HelpFile(), app::HELP_CONTEXT, 8);
  EXPECT_EQ(app::HelpViewerWindow(), window);
  EXPECT_EQ(seen(), std::make_pair(8, std::string("Tolvane Help")));
  EXPECT_EQ(ViewerText(), "There is no topic 8 in the help file " + HelpFile() + ".");
  EXPECT_EQ(PopupText(HelpFile(), 8, form->NWBrowse1), ViewerText());
  EXPECT_TRUE(desktop.messages.empty());
}

// A right click on the tab control or the browse control offers its What's This; elsewhere none.
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
      {1, bar, bar->tabRect(1).center(), false, 0, tabs},
      {0, Page(0), EmptySpot(0), true, 2, tabs},
      {1, Page(1), EmptySpot(1), true, 3, tabs},
      {0, form->NWBrowse1->viewport(), QPoint(5, 5), true, 11, form->NWBrowse1},
      {0, form->Label1, QPoint(2, 2), true, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.target->objectName().toStdString() << " tab " << c.tab);
    ClickTab(c.tab);
    desktop.whatsThisShown.clear();
    desktop.popupsShown = 0;
    desktop.popupAnswers = {c.answer};
    QTest::mouseClick(c.target, Qt::RightButton, {}, c.at);
    EXPECT_EQ(desktop.popupsShown, c.shown ? 1 : 0);
    if (c.topic) {
      EXPECT_THAT(ShownPopup(c.topic, c.shown), StartsWith(kWindowTopics.at(c.topic) + "\n"));
    } else {
      EXPECT_TRUE(desktop.whatsThisShown.empty());
    }
    EXPECT_EQ(TabNumbers(), std::make_pair(2 + c.tab, 2 + c.tab));
    EXPECT_EQ(form->ThisControl, nullptr);
  }
  // Nor does a middle or left click on the browse control.
  for (Qt::MouseButton button : {Qt::MiddleButton, Qt::LeftButton}) {
    QTest::mouseClick(form->NWBrowse1->viewport(), button, {}, QPoint(5, 5));
  }
  EXPECT_EQ(desktop.popupsShown, 0);
  EXPECT_EQ(app::HelpViewerWindow(), nullptr);
  form->mnuWhatsThisHelp->trigger();  // with no control chosen
  EXPECT_EQ(desktop.whatsThisShown.size(), 0u);
  EXPECT_FALSE(desktop.endedWith.has_value());
}

TEST_F(HelpWindow, AMiddleClickUpdatesTheNumbersWithoutAPopUpAndTheKeyboardDoesNot) {
  // A tab changed with the keyboard leaves the numbers as they were.
  form->SSTab1->tabBar()->setFocus();
  QTest::keyClick(form->SSTab1->tabBar(), Qt::Key_Right);
  ASSERT_EQ(form->SSTab1->currentIndex(), 1);
  EXPECT_EQ(TabNumbers(), std::make_pair(2, 2));
  QTest::mouseClick(Page(1), Qt::MiddleButton, {}, EmptySpot(1));
  EXPECT_EQ(TabNumbers(), std::make_pair(3, 3));
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
    EXPECT_THAT(ViewerText(), StartsWith(kWindowTopics.at(topic) + "\n"));
  }
  // The title in bold over the first paragraph.
  for (auto [target, topic, shownFor] :
       {std::tuple<QWidget*, int, QWidget*>{form->NWBrowse1->viewport(), 11, form->NWBrowse1},
        {form->Label1, 2, form->SSTab1}}) {
    desktop.whatsThisShown.clear();
    QWhatsThis::enterWhatsThisMode();
    QTest::mouseClick(target, Qt::LeftButton, {}, QRect(QPoint(), target->size()).center());
    EXPECT_THAT(ShownPopup(topic, shownFor), StartsWith(kWindowTopics.at(topic) + "\n"));
  }
  EXPECT_THAT(ShownPopup(2, form->SSTab1), EndsWith("then press GetTrustees."));
  EXPECT_EQ(desktop.popupsShown, 0);
}

TEST(HelpViewer, AMissingHelpFileIsSaidOnceInItsOwnMessageAndOpensNoWindow) {
  testing_support::TempDir folder;
  const std::string path = (folder / "help.hlp").string();
  // Nothing of that name, then the name taken by a file.
  for (const std::string says : {"cannot be found.", "cannot be read: it is not a folder."}) {
    SCOPED_TRACE(says);
    CloseViewer();
    if (says != "cannot be found.") testing_support::WriteFileBytes(folder / "Help.HLP", "");
    app::OpenHelpViewer(path, app::HELP_CONTENTS, 0);
    app::OpenHelpViewer(path, app::HELP_CONTEXT, 4);
    EXPECT_EQ(app::HelpViewerWindow(), nullptr);
    ASSERT_NE(app::HelpViewerProblem(), nullptr);
    EXPECT_FALSE(app::HelpViewerProblem()->isModal());
    const std::string found = says == "cannot be found." ? path : (folder / "Help.HLP").string();
    EXPECT_EQ(app::HelpViewerProblem()->text().toStdString(),
              "The help file " + found + " " + says);
    EXPECT_EQ(std::ranges::count_if(
                  QApplication::topLevelWidgets(),
                  [](QWidget* w) { return qobject_cast<QMessageBox*>(w) && w->isVisible(); }),
              1);
    EXPECT_EQ(PopupText(path, 4, nullptr), app::HelpViewerProblem()->text().toStdString());
  }
  CloseViewer();
}

}  // namespace
