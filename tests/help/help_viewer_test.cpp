// The help viewer window and the What's This pop-up text, over a help file on disk.

#include "app/help_viewer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QWhatsThis>
#include <filesystem>

#include "app/desktop.h"
#include "support/temp_dir.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing_support::WriteFileBytes;

const char* const kSmallHelp =
    "@contents 4\n"
    "@topic 4 Index\n"
    "Start here. See {topic 7: seven} or {topic 8: nowhere}.\n"
    "@topic 7 Seven & <more>\n"
    "Short text of seven.\n"
    "\n"
    "Second paragraph, not in the pop-up. Back to {topic 4: the index}.\n";

class HelpViewer : public ::testing::Test {
 protected:
  void SetUp() override { Close(); }
  void TearDown() override {
    Close();
    QWhatsThis::hideText();
  }
  static void Close() {
    delete app::HelpViewerWindow();
    delete app::HelpViewerProblem();
  }
  static std::string Shown() { return app::HelpViewerBrowser()->toPlainText().toStdString(); }
  static void Follow(const char* url) { emit app::HelpViewerBrowser()->anchorClicked(QUrl(url)); }

  testing_support::TempDir folder;
  std::string Path(const char* name) const { return (folder / name).string(); }
};

TEST_F(HelpViewer, OpensTheContentsOrATopicAndReusesOneNonModalWindow) {
  WriteFileBytes(folder / "Help.HLP", kSmallHelp);

  app::OpenHelpViewer(Path("help.hlp"), app::HELP_CONTENTS, 0);
  QWidget* window = app::HelpViewerWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(app::HelpViewerTopic(), 4);
  EXPECT_THAT(Shown(), HasSubstr("Start here."));
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane Help - Index");

  app::OpenHelpViewer(Path("HELP.hlp"), app::HELP_CONTEXT, 7);
  EXPECT_EQ(app::HelpViewerWindow(), window);
  EXPECT_EQ(app::HelpViewerTopic(), 7);
  EXPECT_THAT(Shown(), HasSubstr("Second paragraph"));
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane Help - Seven & <more>");
  // Closing the main window must still end the program.
  EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(HelpViewer, LinksLeadBetweenTopicsAndBackAgain) {
  WriteFileBytes(folder / "Help.HLP", kSmallHelp);
  app::OpenHelpViewer(Path("Help.HLP"), app::HELP_CONTENTS, 0);

  Follow("topic:7");
  EXPECT_EQ(app::HelpViewerTopic(), 7);
  Follow("topic:4");
  EXPECT_EQ(app::HelpViewerTopic(), 4);
  Follow("https://example.com/");  // not a topic: stays where it is
  EXPECT_EQ(app::HelpViewerTopic(), 4);
  app::HelpViewerBrowser()->backward();
  EXPECT_EQ(app::HelpViewerTopic(), 7);

  Follow("topic:8");
  EXPECT_EQ(app::HelpViewerTopic(), 8);
  EXPECT_THAT(Shown(), HasSubstr("There is no topic 8 in the help file"));

  // The Contents button goes home from anywhere.
  for (auto* b : app::HelpViewerWindow()->findChildren<QPushButton*>())
    if (b->text() == "&Contents") b->click();
  EXPECT_EQ(app::HelpViewerTopic(), 4);
}

TEST_F(HelpViewer, ReadsTheFileAfreshOnEveryRequest) {
  WriteFileBytes(folder / "Help.HLP", kSmallHelp);
  app::OpenHelpViewer(Path("Help.HLP"), app::HELP_CONTEXT, 7);
  WriteFileBytes(folder / "Help.HLP", "@topic 7 Seven\nRewritten.\n");
  app::OpenHelpViewer(Path("Help.HLP"), app::HELP_CONTEXT, 7);
  EXPECT_THAT(Shown(), HasSubstr("Rewritten."));
}

struct TroubleCase {
  const char* name;
  const char* content;  // nullptr: no file at all
  const char* says;
  friend void PrintTo(const TroubleCase& c, std::ostream* os) { *os << c.name; }
};

class HelpViewerTrouble : public HelpViewer, public ::testing::WithParamInterface<TroubleCase> {};

TEST_P(HelpViewerTrouble, SaysSoInItsOwnMessageOnceAndOpensNoWindow) {
  const auto& c = GetParam();
  if (c.content) WriteFileBytes(folder / "Help.HLP", c.content);
  app::OpenHelpViewer(Path("help.hlp"), app::HELP_CONTENTS, 0);
  app::OpenHelpViewer(Path("help.hlp"), app::HELP_CONTEXT, 4);

  EXPECT_EQ(app::HelpViewerWindow(), nullptr);
  QMessageBox* box = app::HelpViewerProblem();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(box->isModal());
  EXPECT_THAT(box->text().toStdString(), HasSubstr(c.says));
  EXPECT_THAT(box->text().toStdString(), HasSubstr(folder.path().string()));
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++boxes;
  EXPECT_EQ(boxes, 1);
  // The pop-up says the same in its own place.
  EXPECT_THAT(app::HelpPopupHtml(Path("help.hlp"), 4), HasSubstr(c.says));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HelpViewerTrouble,
    ::testing::Values(TroubleCase{"Missing", nullptr, "cannot be found"},
                      TroubleCase{"Damaged", "@topic 4 Index\nA { here\n", "is damaged (line 2:"},
                      TroubleCase{"NotText", "@topic 4 Index\n\xFF\xFE\n", "is damaged (line 2:"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpViewer, AGoodFileAfterABadOneOpensNormally) {
  app::OpenHelpViewer(Path("help.hlp"), app::HELP_CONTENTS, 0);
  ASSERT_NE(app::HelpViewerProblem(), nullptr);
  WriteFileBytes(folder / "Help.HLP", kSmallHelp);
  app::OpenHelpViewer(Path("help.hlp"), app::HELP_CONTENTS, 0);
  ASSERT_NE(app::HelpViewerWindow(), nullptr);
  EXPECT_EQ(app::HelpViewerTopic(), 4);
}

TEST_F(HelpViewer, PopUpShowsTheTitleAndFirstParagraphBesideTheControl) {
  WriteFileBytes(folder / "Help.HLP", kSmallHelp);
  QWidget control;
  control.resize(200, 100);
  control.show();

  app::ShowHelpPopup(Path("help.hlp"), 7, &control);
  const std::string html = app::LastHelpPopupHtml();
  EXPECT_THAT(html, HasSubstr("<b>Seven &amp; &lt;more&gt;</b>"));
  EXPECT_THAT(html, HasSubstr("Short text of seven."));
  EXPECT_THAT(html, Not(HasSubstr("Second paragraph")));
  bool shown = false;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (QString(w->metaObject()->className()) == "QWhatsThat" && w->isVisible()) shown = true;
  EXPECT_TRUE(shown);

  app::ShowHelpPopup(Path("help.hlp"), 99, &control);
  EXPECT_THAT(app::LastHelpPopupHtml(), HasSubstr("There is no topic 99 in the help file"));
}

}  // namespace
