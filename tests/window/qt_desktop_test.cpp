// The Qt desktop's own logic: file filters, message text, the running-instance lock.
#include "app/qt_desktop.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(QtDesktopTest, FiltersMessageTextAndOneInstanceAtATime) {
  EXPECT_EQ(app::QtNameFilters("Trustee File|*.RIGHTS|All Files|*.*"),
            (QStringList{"Trustee File (*.RIGHTS *.rights)", "All Files (*.*)"}));
  EXPECT_EQ(app::QtNameFilters("Text|*.txt;*.Log"),
            QStringList{"Text (*.txt *.TXT *.Log *.LOG *.log)"});
  EXPECT_EQ(app::QtNameFilters("Dangling name"), QStringList{});
  EXPECT_EQ(app::MessageBoxText("First\rSecond\r\nThird <b>"), "First\nSecond\nThird <b>");

  // One instance at a time while the first lives.
  testing_support::TempDir folder;
  const QString lock = QString::fromStdString((folder / "run/tolvane.lock").string());
  {
    app::QtDesktop first(lock);
    EXPECT_FALSE(first.PreviousInstance());
    EXPECT_FALSE(first.PreviousInstance());  // asking again does not find itself
    app::QtDesktop second(lock);
    EXPECT_TRUE(second.PreviousInstance());
  }
  app::QtDesktop later(lock);
  EXPECT_FALSE(later.PreviousInstance());
}

}  // namespace
