// What tolvane-cli writes, and why its capture maps no drive (the drive and the searches of a
// capture that works are checked against the window end to end, the choice of a letter by the
// capture's own tests).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "capture/drive_mapping.h"
#include "cli/output.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

TEST(ResultLine, IsTheWordAndTheRecordInTheFilesFieldSyntax) {
  const formats::RightsRecord record{"QARN", "PMüller.IT.HQ.QARN", "FS1",
                                     "DATA:\\Finance\\Budget, 2024", "Read"};
  const std::tuple<const char*, formats::RightsRecord, std::optional<std::string>, std::string>
      cases[] = {
          {"add", record, std::nullopt,
           "add QARN,PMüller.IT.HQ.QARN,FS1,\"DATA:\\Finance\\Budget, 2024\",Read"},
          {"change", record, "Read-Write",
           "change QARN,PMüller.IT.HQ.QARN,FS1,\"DATA:\\Finance\\Budget, 2024\",Read,Read-Write"},
          {"same", {"T", "O", "S", "SYS:", ""}, std::nullopt, "same T,O,S,SYS:,"},
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
  EXPECT_EQ(cli::RenderProgressBar(0, 10, 10), "[..........]  0/10");
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

class CaptureOnDemoNetwork : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::CreateDemoNetwork(temp_.path());
    platform_ = sim::OpenNetwork(temp_.path());
  }
  testing_support::TempDir temp_;
  std::unique_ptr<nw::NetWarePlatform> platform_;
};

TEST_F(CaptureOnDemoNetwork, MapsNoDriveWhereNoneCanBeMapped) {
  nw::NWSession& session = platform_->Session();
  for (const auto& [server, volume] : {std::pair{"NOSUCH", "SYS"}, {"FS1", "NOSUCH"}}) {
    const capture::CaptureDrive drive = capture::MapCaptureDrive(session, server, volume);
    EXPECT_FALSE(drive.mapped) << server << " " << volume;
    EXPECT_FALSE(drive.candidates.empty());
  }
  EXPECT_EQ(session.DriveMappings().size(), 2u);
}

}  // namespace
