// tolvane-cli diff: two captures compared, as files or as folders of them, filters included,
// without a network.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/cli_test.h"

namespace {

using namespace ::testing;
using namespace cli_testing;

constexpr const char* kSame = "0 differences: 0 changed, 0 missing, 0 extra\n";

class CliDiffTest : public CliTest {
 protected:
  // Runs diff where no network is, nor any may be made: HOME is an empty folder.
  Result Diff(const std::string& args) {
    fs::create_directories(home());
    return RunIn(
        "env -u TOLVANE_NETWORK HOME=" + home().string() + " XDG_DATA_HOME=" + home().string(),
        "diff " + args);
  }
  void Write(const std::string& name, const std::string& bytes) {
    fs::create_directories((temp_ / name).parent_path());
    WriteFileBytes(temp_ / name, bytes);
  }
  fs::path home() const { return temp_ / "home"; }
};

// A capture of the network of the filters tests, compared with itself and with itself changed.
TEST_F(CliDiffTest, ACaptureComparedWithItselfAndAfterOneChange) {
  sim::LoadNetworkJson(network(), testing_support::TestData("cli_filters_network.json"));
  const Result captured = Run("capture --tree T --volume FS1_SYS");
  ASSERT_EQ(captured.status, 0) << captured.err;
  fs::copy_file(temp_ / "FS1_SYS.RIGHTS", temp_ / "copy.RIGHTS");
  EXPECT_EQ(Diff("FS1_SYS.RIGHTS FS1_SYS.RIGHTS").out, kSame);
  EXPECT_EQ(Diff("FS1_SYS.RIGHTS FS1_SYS.RIGHTS").status, 0);
  // A copy without its filters file holds no filters: each of the old is missing.
  Result result = Diff("FS1_SYS.RIGHTS copy.RIGHTS");
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.out, EndsWith("5 differences: 0 changed, 5 missing, 0 extra\n"));
  EXPECT_THAT(Diff("--no-filters FS1_SYS.RIGHTS copy.RIGHTS").out, kSame);

  // One assignment's rights changed, in another case and order of words: one line.
  Write("copy.RIGHTS",
        "t,jsmith.acme,fs1,sys:/users/jsmith/,FileScan-Write-Read\r\n"
        "T,Staff.ACME,FS1,SYS:\\PUBLIC\\EDIT.EXE,Read-FileScan\r\n");
  fs::copy_file(temp_ / "FS1_SYS.FILTERS", temp_ / "copy.FILTERS");
  result = Diff("FS1_SYS.RIGHTS copy.RIGHTS");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "change T,Staff.ACME,FS1,SYS:\\PUBLIC\\EDIT.EXE,Read,Read-FileScan\n"
            "1 difference: 1 changed, 0 missing, 0 extra\n");
  EXPECT_TRUE(fs::is_empty(home())) << "diff opened or made a network";
}

TEST_F(CliDiffTest, FoldersCompareTheirCapturesVolumesOnOneSideAllMissingOrExtra) {
  Write("old/FS1_SYS.RIGHTS", "T,A.O,FS1,SYS:\\X,Read\r\nT,B.O,FS1,SYS:,Read\r\n");
  Write("old/FS1_SYS.FILTERS", "FS1,SYS:\\X,Read\r\n");
  Write("old/FS1_DATA.RIGHTS", "T,A.O,FS1,DATA:\\Y,Write\r\nT,Z.O,FS1,DATA:,Read\r\n");
  Write("old/notes.txt", "not a capture\r\n");
  Write("new/FS1_SYS.RIGHTS", "T,B.O,FS1,SYS:,Read-Write\r\nT,A.O,FS1,SYS:\\X,Read\r\n");
  Write("new/FS1_SYS.FILTERS", "FS1,SYS:\\X,FileScan\r\nFS1,SYS:\\Y,\r\n");
  Write("new/FS2_VOL.rights", "T,C.O,FS2,VOL:\\Q,Read\r\n");
  const Result result = Diff("old new");
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.out,
            "change T,B.O,FS1,SYS:,Read,Read-Write\n"
            "missing T,Z.O,FS1,DATA:,Read\n"
            "missing T,A.O,FS1,DATA:\\Y,Write\n"
            "extra T,C.O,FS2,VOL:\\Q,Read\n"
            "change filter FS1,SYS:\\X,Read,FileScan\n"
            "extra filter FS1,SYS:\\Y,\n"
            "6 differences: 2 changed, 2 missing, 2 extra\n");
  EXPECT_EQ(Diff("new old").out.find("missing T,C.O,FS2,VOL:\\Q,Read\n") != std::string::npos,
            true);
  EXPECT_EQ(Diff("old old").out, kSame);
}

TEST_F(CliDiffTest, MappingsApplyToTheOldCapture) {
  Write("old.RIGHTS",
        "QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\Home,Read\r\n"
        "QARN,Boss.QARN,FS1,DATA:,Supervisor\r\n");
  Write("new.RIGHTS",
        "NORDLAB,JSmith.Sales.NordLab,FS3,VOL1:\\Home,Read\r\n"
        "NORDLAB,Chief.NordLab,FS3,VOL1:,Supervisor\r\n");
  Write("m.txt",
        "server FS1=FS3\nvolume DATA=VOL1\ntree QARN=NORDLAB\n"
        "object Boss.QARN=Chief.NordLab\ncontext Sales.HQ.QARN=Sales.NordLab\n");
  EXPECT_EQ(Diff("old.RIGHTS new.RIGHTS --map-file m.txt").out, kSame);
  // The tree is part of an assignment here: the same names in another tree differ.
  Write("m2.txt",
        "server FS1=FS3\nvolume DATA=VOL1\nobject Boss.QARN=Chief.NordLab\n"
        "context Sales.HQ.QARN=Sales.NordLab\n");
  EXPECT_THAT(Diff("old.RIGHTS new.RIGHTS --map-file m2.txt").out,
              EndsWith("\n4 differences: 0 changed, 2 missing, 2 extra\n"));
  EXPECT_THAT(Diff("old.RIGHTS new.RIGHTS --map-file m.txt --map-object X.QARN=Y"),
              Refused("--map-object X.QARN=Y matches no record of the file."));
}

TEST_F(CliDiffTest, UnreadableOrMismatchedInputIsRefused) {
  Write("a.RIGHTS", "T,A.O,FS1,SYS:,Read\r\n");
  Write("bad.RIGHTS", "T,A.O,FS1,SYS:\r\n");
  Write("dir/x.RIGHTS", "");
  const std::tuple<std::string, std::string> cases[] = {
      {"a.RIGHTS missing.RIGHTS", "missing.RIGHTS"},
      {"a.RIGHTS bad.RIGHTS", "bad.RIGHTS, line 1"},
      {"a.RIGHTS dir", "diff compares two rights files or two folders of them"},
      {"dir a.RIGHTS", "diff compares two rights files or two folders of them"},
  };
  ExpectEachRefused(cases, [&](const std::string& args) { return Diff(args); });
  EXPECT_TRUE(fs::is_empty(home()));
}

}  // namespace
