// The Qt desktop's own logic: file filters, message text, the running-instance lock.
#include "app/qt_desktop.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(QtDesktopTest, FiltersOfferEveryCaseOfAnExtension) {
  struct Case {
    const char* filter;
    QStringList expected;
  };
  const std::vector<Case> cases = {
      {"Trustee File|*.RIGHTS|All Files|*.*",
       {"Trustee File (*.RIGHTS *.rights)", "All Files (*.*)"}},
      {"Text|*.txt;*.Log", {"Text (*.txt *.TXT *.Log *.LOG *.log)"}},
      {"", {}},
      {"Dangling name", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    EXPECT_EQ(app::QtNameFilters(c.filter), c.expected);
  }
}

TEST(QtDesktopTest, ALoneCarriageReturnBreaksTheLine) {
  const std::vector<std::pair<std::string, QString>> cases = {
      {"First\rSecond", "First\nSecond"},
      {"First\r\nSecond", "First\nSecond"},
      {"Ends with\r", "Ends with\n"},
      {"No break <b>", "No break <b>"},
      {"Größe", "Größe"},
  };
  for (const auto& [text, shown] : cases) {
    EXPECT_EQ(app::MessageBoxText(text), shown);
  }
}

TEST(QtDesktopTest, OneInstanceAtATimeWhileTheFirstLives) {
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
