// tolvane-cli restore and verify from pipes and onto full disks, checked through tolvane-netsim.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Lines;

namespace fs = std::filesystem;
using namespace ::testing;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Result = testing_support::ProgramResult;

class CliRestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::CreateDemoNetwork(network());
    ASSERT_EQ(Cli("-q capture --tree QARN --volume FS1_DATA").status, 0);
    // The demo's assignment on a directory that is gone cannot be granted again; without it
    // the file restores whole. The lines keep their "\r".
    std::string data;
    for (const std::string& line : Lines(ReadFileBytes(temp_ / "FS1_DATA.RIGHTS"))) {
      if (line.find("\\OLD PROJECTS,") == std::string::npos) data += line + "\n";
    }
    WriteFileBytes(temp_ / "data.RIGHTS", data);
    records_ = Lines(data).size();
    ASSERT_EQ(Cli("-q capture --tree QARN --volume FS2_APPS").status, 0);
    held_ = Dump();
    restored_ = held_;
    std::erase_if(restored_, [](const std::string& line) {
      return line.find("DATA:\\Old Projects,") != std::string::npos;
    });
    ASSERT_EQ(restored_.size(), held_.size() - 1);
    ASSERT_GT(records_, 30u);
  }

  std::string Environment() const { return "TOLVANE_NETWORK='" + network().string() + "'"; }
  Result Cli(const std::string& args) {
    return testing_support::RunProgram(temp_.path(), Environment(), CLI_TOOL, args);
  }
  // A line of the shell in the test's folder, with $CLI and $NETSIM; its status is the line's.
  Result Shell(const std::string& line) {
    WriteFileBytes(temp_ / "run.sh",
                   "CLI='" CLI_TOOL "'\nNETSIM='" NETSIM_TOOL "'\n" + line + "\n");
    return testing_support::RunProgram(temp_.path(), Environment(), "/bin/bash", "run.sh");
  }
  // Every assignment of the network, as tolvane-netsim dumps it.
  std::vector<std::string> Dump() {
    const Result dump =
        testing_support::RunProgram(temp_.path(), Environment(), NETSIM_TOOL, "dump");
    EXPECT_EQ(dump.status, 0) << dump.err;
    return Lines(dump.out);
  }
  void ClearData() { sim::ClearAssignments(network(), "FS1", "DATA"); }
  fs::path network() const { return temp_ / "net"; }

  testing_support::TempDir temp_;
  std::vector<std::string> held_;      // every assignment of the network
  std::vector<std::string> restored_;  // those that data.RIGHTS gives back after a clear
  std::size_t records_ = 0;            // of data.RIGHTS
};

TEST_F(CliRestoreTest, RestoresFromAPipeAndFromStandardInputWhatTheFileHolds) {
  for (const char* line : {"cat data.RIGHTS | \"$CLI\" restore /dev/stdin",
                           "\"$CLI\" restore --dry-run - <data.RIGHTS >/dev/null && "
                           "\"$CLI\" restore - <data.RIGHTS"}) {
    SCOPED_TRACE(line);
    ClearData();
    const Result restore = Shell(line);
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(Lines(restore.out).size(), records_);
    EXPECT_THAT(restore.err,
                HasSubstr(std::to_string(records_) + " records: " + std::to_string(records_) +
                          " added, 0 changed, 0 already there, 0 failed."));
    EXPECT_EQ(Dump(), restored_);
  }
}

// A bad line anywhere stops the whole file before any grant, from a file or standard input.
TEST_F(CliRestoreTest, AFileThatFailsItsCheckGrantsNothing) {
  const std::string good = ReadFileBytes(temp_ / "data.RIGHTS");
  const std::size_t third = good.find("\r\n", good.find("\r\n") + 2) + 2;
  WriteFileBytes(temp_ / "bad.RIGHTS",
                 good.substr(0, third) + "T,O,FS1,DATA:,Read,Write\r\n" + good.substr(third));
  ClearData();
  const std::vector<std::string> before = Dump();
  const std::pair<const char*, const char*> cases[] = {
      {"cat bad.RIGHTS | \"$CLI\" restore -", "Standard input, line 3"},
      {"\"$CLI\" verify bad.RIGHTS", "The file bad.RIGHTS, line 3"}};
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE(line);
    const Result restore = Shell(line);
    EXPECT_THAT(restore, Refused(message));
    EXPECT_EQ(Dump(), before);
  }
}

TEST_F(CliRestoreTest, NoPlaceForTheCopyOfTheInputIsBadInput) {
  ClearData();
  const std::vector<std::string> before = Dump();
  const Result refused = Shell("TMPDIR=\"$PWD/none\" \"$CLI\" restore - <data.RIGHTS");
  EXPECT_THAT(refused, Refused("Cannot make a private copy of the input in " +
                               (temp_ / "none").string() + ": No such file or directory."));
  EXPECT_EQ(Dump(), before);
}

TEST_F(CliRestoreTest, MappingsThatCollideOrMatchNothingAreRefusedBeforeAnyGrant) {
  WriteFileBytes(temp_ / "two.RIGHTS",
                 "QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\Users\\JSmith,Read\r\n"
                 "QARN,MBrown.Sales.HQ.QARN,FS1,DATA:\\Users\\MBrown,Read\r\n"
                 "QARN,jsmith.sales.hq.qarn,FS2,data:\\users\\jsmith,Supervisor\r\n");
  ClearData();
  const std::vector<std::string> before = Dump();
  const std::pair<const char*, const char*> cases[] = {
      {"data.RIGHTS --map-server FS22=FS3", "--map-server FS22=FS3 matches no record of the file."},
      {"two.RIGHTS --map-server FS2=FS1",
       "record 1 as it stands, record 3 by --map-server FS2=FS1."},
  };
  for (const auto& [args, message] : cases) {
    for (const char* command : {"restore ", "restore --dry-run ", "verify "}) {
      SCOPED_TRACE(command + std::string(args));
      const Result refused = Cli(command + std::string(args));
      EXPECT_THAT(refused, Refused(message));
      if (*command == 'r') {
        EXPECT_THAT(refused.err, HasSubstr(". Nothing has been granted.\n"));
      }
      EXPECT_EQ(Dump(), before);
    }
  }
  // Records that named one assignment in the file already are no collision.
  const Result swap = Cli("restore two.RIGHTS --map-server FS1=FS2 --map-server FS2=FS1");
  EXPECT_EQ(swap.status, 1) << swap.err;  // FS2 has no DATA volume
  EXPECT_THAT(Lines(swap.out), ElementsAre(StartsWith("failed "), StartsWith("failed "),
                                           StartsWith("add QARN,jsmith.sales.hq.qarn,FS1,")));
}

TEST_F(CliRestoreTest, AFullDiskOnStandardOutputIsAFailureWithAMessage) {
  for (const char* args : {"verify data.RIGHTS", "restore --dry-run data.RIGHTS",
                           "capture --tree QARN --volume FS1_DATA -o -", "--version", "help"}) {
    SCOPED_TRACE(args);
    const Result full = Shell("\"$CLI\" " + std::string(args) + " >/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_THAT(
        full.err,
        HasSubstr("tolvane-cli: Cannot write to standard output: No space left on device."));
  }
  EXPECT_EQ(Dump(), held_);
}

TEST_F(CliRestoreTest, AReaderThatGoesAwayStopsTheRestoreWhichSaysWhatItDid) {
  // One job tells each grant before the next; more jobs finish the records under way when
  // the reader goes, and count them: either way the summary says what the volume got.
  for (const char* jobs : {"--jobs 1", "--jobs 4"}) {
    SCOPED_TRACE(jobs);
    ClearData();
    // Each round trip is slow, so the reader is gone long before the file is done.
    const Result cut = Shell("TOLVANE_SIM_LATENCY_US=20000 \"$CLI\" restore " + std::string(jobs) +
                             " data.RIGHTS | head -1; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(cut.status, 2);
    EXPECT_THAT(Lines(cut.out), ElementsAre(StartsWith("add QARN,Admin.QARN,FS1,DATA:\\Shared")));
    const std::size_t granted = Dump().size() - (restored_.size() - records_);
    if (std::string(jobs) == "--jobs 1") {
      EXPECT_LT(granted, records_);
    }
    const std::string n = std::to_string(granted);
    EXPECT_THAT(cut.err, AllOf(HasSubstr("Cannot write to standard output: Broken pipe."),
                               HasSubstr("Stopped after " + n + " of " + std::to_string(records_) +
                                         " records: " + n +
                                         " added, 0 changed, 0 already there, 0 failed.")));
    // What was granted is the file's first records, and only those.
    const std::string file = ReadFileBytes(temp_ / "data.RIGHTS");
    std::size_t end = 0;
    for (std::size_t i = 0; i < granted; ++i) end = file.find("\r\n", end) + 2;
    WriteFileBytes(temp_ / "first.RIGHTS", file.substr(0, end));
    EXPECT_EQ(Cli("verify first.RIGHTS").out, "0 differences: 0 changed, 0 missing, 0 extra\n");
  }
}

// Records granted on several jobs take effect as on one: the same result lines in file
// order, the same summary, the same volume after, and the dry run's word for each record the
// restore's. The file grants one trustee's path three times over with other rights, and holds
// records of a server that is down, of an object that is not there and of a folder that is
// gone; the volume holds some records already, some with other rights.
TEST_F(CliRestoreTest, EveryNumberOfJobsGivesTheSameLinesAndTheSameVolume) {
  const std::vector<std::string> data = Lines(ReadFileBytes(temp_ / "FS1_DATA.RIGHTS"));
  const std::vector<std::string> apps = Lines(ReadFileBytes(temp_ / "FS2_APPS.RIGHTS"));
  ASSERT_GT(data.size(), 20u);
  ASSERT_FALSE(apps.empty());
  const auto withRights = [](const std::string& line, const std::string& rights) {
    return line.substr(0, line.rfind(',')) + "," + rights;
  };
  // The first record's rights, without the line's "\r".
  const std::string held =
      data[0].substr(data[0].rfind(',') + 1, data[0].size() - data[0].rfind(',') - 2);
  std::string file, base;
  for (std::size_t i = 0; i < data.size(); ++i) {
    file += data[i] + "\n";
    if (i == 5) file += withRights(data[0], "Read-Write") + "\r\n";
    if (i == 10) {
      for (const std::string& line : apps) file += line + "\n";
    }
    if (i == 15) file += "QARN,Nobody.QARN,FS1,DATA:\\Shared,Read\r\n";
    if (i >= 1 && i <= 3) base += withRights(data[i], "Read") + "\r\n";
    if (i == 4) base += data[i] + "\n";
  }
  file += withRights(data[0], "Supervisor") + "\r\n";
  WriteFileBytes(temp_ / "all.RIGHTS", file);
  WriteFileBytes(temp_ / "base.RIGHTS", base);
  ASSERT_EQ(Shell("\"$NETSIM\" server-down FS2").status, 0);

  Result first;
  std::vector<std::string> after;
  for (const char* jobs : {"1", "2", "8"}) {
    SCOPED_TRACE(std::string("--jobs ") + jobs);
    ClearData();
    ASSERT_EQ(Cli("-q restore --jobs 1 base.RIGHTS").status, 0);
    const Result dry = Cli("restore --dry-run --jobs " + std::string(jobs) + " all.RIGHTS");
    const Result run = Cli("restore --jobs " + std::string(jobs) + " all.RIGHTS");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Lines(dry.out), Lines(run.out));
    if (after.empty()) {
      first = run;
      after = Dump();
      const std::vector<std::string> lines = Lines(run.out);
      ASSERT_EQ(lines.size(), data.size() + apps.size() + 3);
      EXPECT_THAT(lines, Contains("change " + withRights(data[0], "Read-Write") + "," + held));
      EXPECT_EQ(lines.back(), "change " + withRights(data[0], "Supervisor") + ",Read-Write");
      EXPECT_THAT(lines,
                  Contains(HasSubstr("Nobody.QARN,FS1,DATA:\\Shared,Read,object not found")));
      EXPECT_THAT(lines, Contains(AllOf(StartsWith("failed "), HasSubstr(",FS2,APPS:"))));
      EXPECT_THAT(lines, Contains(StartsWith("same ")));
      continue;
    }
    EXPECT_EQ(run.out, first.out);
    EXPECT_EQ(run.err, first.err);
    EXPECT_EQ(Dump(), after);
  }
}

// A number of jobs below one, or no number, is refused before anything is granted.
TEST_F(CliRestoreTest, JobsBelowOneAreRefused) {
  ClearData();
  const std::vector<std::string> before = Dump();
  for (const char* args :
       {"restore --jobs 0 data.RIGHTS", "restore --jobs -2 data.RIGHTS",
        "verify --jobs 0 data.RIGHTS", "capture --tree QARN --volume FS1_DATA --jobs 0 -o -"}) {
    SCOPED_TRACE(args);
    EXPECT_THAT(Cli(args), Refused("--jobs needs a number of 1 or more."));
  }
  EXPECT_THAT(Cli("restore --jobs many data.RIGHTS"), Refused("--jobs"));
  EXPECT_EQ(Dump(), before);
}

// Two restores at once, in two processes, each on several jobs, leave the volume as one
// restore of both halves does.
TEST_F(CliRestoreTest, TwoProcessesRestoringAtOnceLeaveTheVolumeWhole) {
  const std::vector<std::string> lines = Lines(ReadFileBytes(temp_ / "data.RIGHTS"));
  std::string first, second;
  for (std::size_t i = 0; i < lines.size(); ++i) (i % 2 ? second : first) += lines[i] + "\n";
  WriteFileBytes(temp_ / "first.RIGHTS", first);
  WriteFileBytes(temp_ / "second.RIGHTS", second);
  ClearData();
  const Result both = Shell(
      "\"$CLI\" -q restore --jobs 4 first.RIGHTS >/dev/null & "
      "\"$CLI\" -q restore --jobs 4 second.RIGHTS >/dev/null; a=$?; wait $!; exit $((a + $?))");
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(Dump(), restored_);
}

TEST_F(CliRestoreTest, VerifyComparesEachRecordUnderItsOwnTree) {
  const std::string file = ReadFileBytes(temp_ / "FS1_DATA.RIGHTS");
  const std::size_t second = file.find("\r\n") + 2;
  std::string edited = file;
  edited.replace(second, 4, "NORDLAB");
  WriteFileBytes(temp_ / "tree.RIGHTS", edited);
  const std::string record = edited.substr(second + 8, edited.find("\r\n", second) - second - 8);
  const Result verify = Cli("verify tree.RIGHTS");
  EXPECT_EQ(verify.status, 1) << verify.err;
  // The one record is missing under the tree it names, and there under its real one.
  EXPECT_THAT(Lines(verify.out), ElementsAre("missing NORDLAB," + record, "extra QARN," + record,
                                             "2 differences: 0 changed, 1 missing, 1 extra"));
}

TEST_F(CliRestoreTest, VerifyReportsTheRecordsOfAServerThatIsDownAndComparesTheRest) {
  std::string both =
      ReadFileBytes(temp_ / "data.RIGHTS") + ReadFileBytes(temp_ / "FS2_APPS.RIGHTS");
  const std::string cad = ",FS2,APPS:\\Cad,Read-Write-Create-FileScan\r\n";
  const std::size_t apps = both.find(cad);
  ASSERT_NE(apps, std::string::npos);
  both.replace(apps, cad.size(), ",FS2,APPS:\\Cad,Read\r\n");
  WriteFileBytes(temp_ / "both.RIGHTS", both);
  ASSERT_EQ(Shell("\"$NETSIM\" server-down FS1").status, 0);
  const Result verify = Shell("cat both.RIGHTS | \"$CLI\" verify -");
  EXPECT_EQ(verify.status, 1) << verify.err;
  const std::vector<std::string> lines = Lines(verify.out);
  ASSERT_EQ(lines.size(), 1 + records_ + 1);
  EXPECT_THAT(lines.front(), AllOf(StartsWith("change QARN,"), HasSubstr(",FS2,APPS:\\Cad,Read,")));
  EXPECT_THAT(std::vector(lines.begin() + 1, lines.end() - 1),
              Each(AllOf(StartsWith("failed QARN,"), HasSubstr(",FS1,"), HasSubstr("DATA:"),
                         HasSubstr("Cannot add drive mapping to server FS1, volume DATA"))));
  EXPECT_EQ(lines.back(),
            "1 difference: 1 changed, 0 missing, 0 extra, " + std::to_string(records_) + " failed");
  EXPECT_EQ(Dump(), held_);
}

}  // namespace
