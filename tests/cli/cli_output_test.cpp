// The lines and the progress bar tolvane-cli writes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/output.h"

namespace {

using namespace ::testing;

TEST(ResultLine, IsTheWordAndTheRecordInTheFilesFieldSyntax) {
  const formats::RightsRecord record{"QARN", "PMüller.IT.HQ.QARN", "FS1",
                                     "DATA:\\Finance\\Budget, 2024", "Read"};
  const std::tuple<const char*, formats::RightsRecord, std::optional<std::string>, std::string>
      cases[] = {
          {"add", record, std::nullopt,
           "add QARN,PMüller.IT.HQ.QARN,FS1,\"DATA:\\Finance\\Budget, 2024\",Read"},
          {"failed",
           {"T", " O", "S", "SYS:", "Read"},
           "object not found, -601",
           "failed T,\" O\",S,SYS:,Read,\"object not found, -601\""},
          // What the file cannot carry stays on one line, escaped.
          {"extra",
           {"T", "A\r\nB", "S", "SYS:", "Read"},
           std::nullopt,
           "extra T,\"A\\r\\nB\",S,SYS:,Read"},
      };
  for (const auto& [word, given, extra, line] : cases) {
    EXPECT_EQ(cli::ResultLine(word, given, extra), line);
  }
}

TEST(ProgressBar, DrawsInPlaceOnlyWhenShown) {
  EXPECT_EQ(cli::RenderProgressBar(5, 10, 10), "[#####.....]  5/10");
  EXPECT_EQ(cli::RenderProgressBar(12, 10, 10), "[##########] 10/10");
  EXPECT_EQ(cli::RenderProgressBar(0, 0, 4), "[####] 0/0");

  std::ostringstream quiet;
  {
    cli::ProgressBar bar(quiet, false);
    bar.Update(1, 2);
  }
  EXPECT_EQ(quiet.str(), "");

  std::ostringstream terminal;
  {
    cli::ProgressBar bar(terminal, true);
    bar.Update(1, 2);
    bar.Update(1, 2);  // unchanged: not drawn again
  }
  EXPECT_EQ(terminal.str(), "\r" + cli::RenderProgressBar(1, 2, 40) + "\r\033[K");
}

}  // namespace
