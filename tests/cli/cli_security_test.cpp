// tolvane-cli restore and verify of a volume's whole security on the demo network: bindery
// groups, trustees on files, inherited rights filters and the exact restore, checked through
// tolvane-netsim.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace ::testing;
using testing_support::Lines;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Result = testing_support::ProgramResult;

class CliSecurityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::CreateDemoNetwork(network());
    WriteFileBytes(network() / "volumes/FS1/DATA/Shared/EDIT.EXE", "x");
  }

  Result Cli(const std::string& args) {
    return testing_support::RunProgram(temp_.path(), Environment(), CLI_TOOL, args);
  }
  Result Netsim(const std::string& args) {
    return testing_support::RunProgram(temp_.path(), Environment(), NETSIM_TOOL, args);
  }
  // What tolvane-netsim dump prints with `args`.
  std::vector<std::string> Dump(const std::string& args = "") {
    const Result dump = Netsim("dump " + args);
    EXPECT_EQ(dump.status, 0) << dump.err;
    return Lines(dump.out);
  }
  void Write(const std::string& name, const std::vector<std::string>& lines) {
    std::string data;
    for (const std::string& line : lines) data += line + "\r\n";
    WriteFileBytes(temp_ / name, data);
  }
  std::string Environment() const { return "TOLVANE_NETWORK='" + network().string() + "'"; }
  fs::path network() const { return temp_ / "net"; }

  testing_support::TempDir temp_;
};

// The dry run's word is the restore's, and true of the volume before the run: a bindery group
// is found as a group, a trustee on a file is granted on the file, a missing file fails.
TEST_F(CliSecurityTest, GroupsAndFilesGetTheSameWordFromTheDryRunAndTheRestore) {
  const std::pair<const char*, const char*> cases[] = {
      {"QARN,EVERYONE,OLDFS,SYS:\\LOGIN,Read-FileScan", "add"},
      {"QARN,ACCOUNTS,OLDFS,ARCHIVE:\\INVOICES,Read", "change"},
      {"QARN,MBROWN,OLDFS,SYS:\\MAIL,Read-Write-Create-Delete-FileScan-Modify", "same"},
      {"QARN,NOBODY,OLDFS,SYS:\\MAIL,Read", "failed"},
      {"QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\Shared\\EDIT.EXE,Read-Write", "add"},
      {"QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\Shared\\GONE.EXE,Read", "failed"},
  };
  std::vector<std::string> file, words;
  for (const auto& [record, word] : cases) {
    file.push_back(record);
    words.push_back(std::string(word) + " " + record);
  }
  Write("mixed.RIGHTS", file);
  const Result dry = Cli("restore --dry-run mixed.RIGHTS");
  const Result restore = Cli("restore mixed.RIGHTS");
  EXPECT_EQ(restore.status, 1) << restore.err;
  EXPECT_EQ(dry.out, restore.out);
  std::vector<std::string> said = Lines(restore.out);
  ASSERT_EQ(said.size(), words.size()) << restore.out;
  for (std::size_t i = 0; i < said.size(); ++i) EXPECT_THAT(said[i], StartsWith(words[i]));
  EXPECT_THAT(said[1], EndsWith(",Read-FileScan"));
  EXPECT_THAT(said[5], EndsWith(",directory missing (E= 35228)"));
  EXPECT_THAT(Dump("--server OLDFS"),
              IsSupersetOf({"QARN,EVERYONE,OLDFS,SYS:\\LOGIN,Read-FileScan",
                            "QARN,ACCOUNTS,OLDFS,ARCHIVE:\\INVOICES,Read"}));
  EXPECT_THAT(Dump("--server FS1 --volume DATA"),
              Contains("QARN,JSmith.Sales.HQ.QARN,FS1,DATA:\\Shared\\EDIT.EXE,Read-Write"));
  // Granted once, each is there.
  EXPECT_THAT(Lines(Cli("restore --dry-run mixed.RIGHTS").out),
              ElementsAre(StartsWith("same "), StartsWith("same "), StartsWith("same "),
                          StartsWith("failed "), StartsWith("same "), StartsWith("failed ")));
}

}  // namespace
