// tolvane-cli beside the window: the same rights file, and the verify and migration it adds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::ReadFileBytes;

class CliRoundTripTest : public ::testing::Test {
 protected:
  testing_support::ProgramResult Cli(const std::string& args) {
    return testing_support::RunProgram(scene.program.path(),
                                       "TOLVANE_NETWORK='" + scene.network.path().string() + "'",
                                       CLI_TOOL, args);
  }
  // The window's capture of the volume, then tolvane-cli's (names in other case) with each
  // number of jobs, by directory and by object: the same bytes, but for the record `gone`
  // (none: "") that only the scan of each object finds; the window writes the rights file
  // alone. A verify of the window's file then finds no difference.
  void ExpectCaptureIsTheWindows(const std::string& tree, const std::string& volume,
                                 const std::string& telling, const std::string& gone) {
    ASSERT_TRUE(scene.Open());
    scene.Show();
    scene.SelectVolume(tree, volume);
    scene.GetTrustees();
    const std::string window = scene.Rights(volume);
    ASSERT_THAT(window, HasSubstr(telling));
    EXPECT_THAT(scene.ProgramFiles(), Not(Contains(volume + ".FILTERS")));
    std::string batched = window;
    if (!gone.empty()) {
      ASSERT_THAT(window, HasSubstr(gone + "\r\n"));
      batched.erase(batched.find(gone + "\r\n"), gone.size() + 2);
    }
    const auto verify = Cli("verify " + scene.RightsFile(volume).string());
    EXPECT_EQ(verify.out, "0 differences: 0 changed, 0 missing, 0 extra\n") << verify.err;

    std::string lower = "capture --tree " + tree + " --volume " + volume;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const std::string way : {" --jobs 1", " --jobs 3", "", " --by-object --jobs 1",
                                  " --by-object --jobs 3", " --by-object"}) {
      SCOPED_TRACE(way);
      std::filesystem::remove(scene.RightsFile(volume));
      const auto capture = Cli(lower + way);
      EXPECT_EQ(capture.status, 0) << capture.err;
      EXPECT_EQ(scene.Rights(volume),
                way.find("--by-object") != std::string::npos ? window : batched);
    }
  }
  testing_support::WindowScene scene;
};

TEST_F(CliRoundTripTest, TheCaptureIsTheWindowsByteForByte) {
  scene.Demo();
  // The demo holds an assignment on a folder that is gone, which only the scan of each object
  // finds.
  ExpectCaptureIsTheWindows(
      "QARN", "FS1_DATA", "DATA:\\Finance\\Budget, 2024",
      "QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\OLD PROJECTS,Read-Write-FileScan");
}

// A trustee on a file is completed from the file's own trustee list in the window too.
TEST_F(CliRoundTripTest, TheCaptureOfTrusteesOnFilesIsTheWindowsByteForByte) {
  scene.Load(testing_support::TestData("cli_filters_network.json"));
  ExpectCaptureIsTheWindows("T", "FS1_SYS", "T,Staff.ACME,FS1,SYS:\\PUBLIC\\EDIT.EXE,Read", "");
}

TEST_F(CliRoundTripTest, AMigrationGrantsAVolumesTrusteesOnAnotherServerAndVolume) {
  scene.Load(testing_support::TestData("cli_migration_network.json"));
  ASSERT_EQ(Cli("capture --tree T --volume OLD1_DATA").status, 0);
  // A hidden directory is not listed, so it keeps the name the client returned.
  ASSERT_THAT(ReadFileBytes(scene.program / "OLD1_DATA.RIGHTS"),
              HasSubstr("T,U1.ACME,OLD1,DATA:\\Home\\.PRIVATE,Read-Write\r\n"));
  const std::string maps = " --map-server old1=NEW1 --map-volume data=VOL";

  const auto restore = Cli("restore OLD1_DATA.RIGHTS" + maps);
  EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
  // The source's file, mapped as the restore mapped it, checks the new volume.
  const auto verify = Cli("verify OLD1_DATA.RIGHTS" + maps);
  EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
  EXPECT_EQ(verify.out, "0 differences: 0 changed, 0 missing, 0 extra\n");
  sim::ClearAssignments(scene.network.path(), "NEW1", "VOL");
  const auto missing = Cli("verify OLD1_DATA.RIGHTS" + maps);
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.out,
              AllOf(HasSubstr("missing T,U1.ACME,NEW1,VOL:\\Home\\.PRIVATE,Read-Write\n"),
                    HasSubstr("4 differences: 0 changed, 4 missing, 0 extra")));
}

}  // namespace
