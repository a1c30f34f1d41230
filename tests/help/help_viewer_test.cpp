// The help viewer window and the What's This pop-up text, over a help file on disk.

#include "app/help_viewer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>

#include "app/desktop.h"
#include "support/temp_dir.h"

namespace {

using ::testing::HasSubstr;
using testing_support::WriteFileBytes;

class HelpViewer : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    delete app::HelpViewerWindow();
    delete app::HelpViewerProblem();
  }
  static std::string Shown() { return app::HelpViewerBrowser()->toPlainText().toStdString(); }
  std::string Path() const { return (folder / "help.hlp").string(); }

  testing_support::TempDir folder;
};

TEST_F(HelpViewer, OpensTopicsInOneNonModalWindowAndFollowsLinks) {
  WriteFileBytes(folder / "Help.HLP",
                 "@contents 4\n@topic 4 Index\nStart here. See {topic 7: seven}.\n"
                 "@topic 7 Seven\nShort text.\n\nSecond paragraph, not in the pop-up.\n");
  app::OpenHelpViewer(Path(), app::HELP_CONTENTS, 0);
  QWidget* window = app::HelpViewerWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(app::HelpViewerTopic(), 4);
  EXPECT_EQ(window->windowTitle().toStdString(), "Tolvane Help - Index");
  app::OpenHelpViewer(Path(), app::HELP_CONTEXT, 7);
  EXPECT_EQ(app::HelpViewerWindow(), window);
  EXPECT_THAT(Shown(), HasSubstr("Second paragraph"));
  // Closing the main window must still end the program.
  EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));

  emit app::HelpViewerBrowser()->anchorClicked(QUrl("topic:4"));
  EXPECT_EQ(app::HelpViewerTopic(), 4);
  emit app::HelpViewerBrowser()->anchorClicked(QUrl("topic:8"));
  EXPECT_THAT(Shown(), HasSubstr("There is no topic 8 in the help file"));

  QWidget control;
  app::ShowHelpPopup(Path(), 7, &control);
  EXPECT_THAT(app::LastHelpPopupHtml(), HasSubstr("<b>Seven</b>"));
  EXPECT_THAT(app::LastHelpPopupHtml(), HasSubstr("Short text."));
  EXPECT_THAT(app::LastHelpPopupHtml(), ::testing::Not(HasSubstr("Second paragraph")));
}

TEST_F(HelpViewer, AMissingOrDamagedFileIsSaidOnceInItsOwnMessageAndOpensNoWindow) {
  for (const char* content : {"", "@topic 4 Index\nA { here\n"}) {  // "": no file
    SCOPED_TRACE(content);
    TearDown();
    if (*content) WriteFileBytes(folder / "Help.HLP", content);
    app::OpenHelpViewer(Path(), app::HELP_CONTENTS, 0);
    app::OpenHelpViewer(Path(), app::HELP_CONTEXT, 4);
    EXPECT_EQ(app::HelpViewerWindow(), nullptr);
    ASSERT_NE(app::HelpViewerProblem(), nullptr);
    EXPECT_FALSE(app::HelpViewerProblem()->isModal());
    const std::string says = *content ? "is damaged (line 2:" : "cannot be found";
    EXPECT_THAT(app::HelpViewerProblem()->text().toStdString(), HasSubstr(says));
    int boxes = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++boxes;
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_THAT(app::HelpPopupHtml(Path(), 4), HasSubstr(says));
  }
}

}  // namespace
