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

// A filter that cannot be set fails alike in the dry run and the restore, and sets nothing.
TEST_F(CliSecurityTest, FiltersThatCannotBeSetFailTheSameInTheDryRun) {
  const std::pair<const char*, const char*> cases[] = {
      {"FS1,DATA:,Read", "the volume root takes no filter"},
      {"FS1,DATA:\\Nope,Read", "directory missing (E= 35228)"},
      {"FS1,DATA:\\Shared,Bogus", "rights text 'Bogus' holds a word that is no right"},
      {"FS9,DATA:\\Shared,Read", "server unreachable (E= 34887)"},
  };
  std::vector<std::string> filters, said;
  for (const auto& [filter, why] : cases) {
    filters.push_back(filter);
    said.push_back("failed filter " + std::string(filter) + "," + why);
  }
  Write("none.RIGHTS", {});
  Write("none.FILTERS", filters);
  const std::vector<std::string> before = Dump("--filters");
  for (const char* args : {"restore --dry-run none.RIGHTS", "restore none.RIGHTS"}) {
    SCOPED_TRACE(args);
    const Result run = Cli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out), said);
  }
  EXPECT_EQ(Dump("--filters"), before);
}

// The demo's FS1/DATA captured, cleared and restored from the rights file and its filters
// file: the restore says each filter on a line of its own, and verify finds no difference.
TEST_F(CliSecurityTest, FiltersComeBackWithTheRecordsAndVerifyComparesThem) {
  ASSERT_EQ(Cli("-q capture --by-object --tree QARN --volume FS1_DATA").status, 0);
  const std::vector<std::string> filters = Dump("--filters --server FS1 --volume DATA");
  ASSERT_THAT(filters, Contains("FS1,DATA:\\Shared\\Forms,Read-FileScan"));
  ASSERT_EQ(Netsim("clear --server FS1 --volume DATA").status, 0);
  const Result restore = Cli("restore FS1_DATA.RIGHTS");
  EXPECT_THAT(Lines(restore.out), Contains("add filter FS1,DATA:\\Shared\\Forms,Read-FileScan"));
  EXPECT_THAT(restore.err,
              HasSubstr(" records and " + std::to_string(filters.size()) + " filters: "));
  EXPECT_EQ(Dump("--filters --server FS1 --volume DATA"), filters);
  EXPECT_THAT(Lines(Cli("verify FS1_DATA.RIGHTS").out),
              ElementsAre(StartsWith("missing "),  // the demo's folder that is gone
                          "1 difference: 0 changed, 1 missing, 0 extra"));

  // Each edit of the live filters is one difference, in the words of records.
  const std::pair<const char*, const char*> edits[] = {
      {"FS1,DATA:\\Shared\\Forms,Read",
       "change filter FS1,DATA:\\Shared\\Forms,Read-FileScan,Read"},
      {"FS1,DATA:\\Shared\\Forms,Supervisor-Read-Write-Create-Delete-AccessCtrl-FileScan-Modify",
       "missing filter FS1,DATA:\\Shared\\Forms,Read-FileScan"},
      {"FS1,DATA:\\Finance,Write", "extra filter FS1,DATA:\\Finance,Write"},
  };
  for (const auto& [edit, difference] : edits) {
    SCOPED_TRACE(edit);
    Write("edit.RIGHTS", {});
    Write("edit.FILTERS", {edit});
    ASSERT_EQ(Cli("-q restore edit.RIGHTS").status, 0);
    const Result verify = Cli("verify FS1_DATA.RIGHTS");
    EXPECT_EQ(verify.status, 1);
    EXPECT_THAT(Lines(verify.out), Contains(difference));
    EXPECT_THAT(Cli("verify --no-filters FS1_DATA.RIGHTS").out,
                EndsWith("\n1 difference: 0 changed, 1 missing, 0 extra\n"));
    ASSERT_EQ(Cli("-q restore FS1_DATA.RIGHTS --exact").status, 1);  // the folder that is gone
  }
  EXPECT_EQ(Dump("--filters --server FS1 --volume DATA"), filters);
}

// A filters file that fails its check, or a mapping that fails against the filters, refuses
// the whole run before anything is granted.
TEST_F(CliSecurityTest, ABadFiltersFileOrFilterMappingGrantsNothing) {
  Write("one.RIGHTS", {"QARN,MBrown.Sales.HQ.QARN,FS1,DATA:\\Finance,Read"});
  Write("one.FILTERS", {"FS1,DATA:\\Finance,Read", "FS1,DATA:\\Shared"});
  Write("two.FILTERS", {"FS1,DATA:\\Finance,Read", "FS9,data:\\finance,FileScan"});
  const std::vector<std::string> before = Dump(), filtersBefore = Dump("--filters");
  const std::pair<const char*, const char*> cases[] = {
      {"restore one.RIGHTS", "The filters file one.FILTERS, line 2"},
      {"restore --dry-run one.RIGHTS", "The filters file one.FILTERS, line 2"},
      {"verify one.RIGHTS", "The filters file one.FILTERS, line 2"},
      {"restore --filters none.FILTERS one.RIGHTS", "none.FILTERS"},
      {"restore --filters two.FILTERS one.RIGHTS --map-server FS9=FS1",
       "The mappings make filters 1 and 2 of the filters file one filter (on the same path)"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    EXPECT_THAT(Cli(args), Refused(message));
  }
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(Dump("--filters"), filtersBefore);
  // A mapping that only a filter uses is used; --no-filters leaves it matching nothing.
  Write("nine.FILTERS", {"FS9,DATA:\\Finance,FileScan"});
  const Result mapped = Cli("restore --filters nine.FILTERS one.RIGHTS --map-server FS9=FS1");
  EXPECT_EQ(mapped.status, 0) << mapped.err;
  EXPECT_THAT(Lines(mapped.out),
              ElementsAre(StartsWith("add QARN,MBrown"), "add filter FS1,DATA:\\Finance,FileScan"));
  EXPECT_THAT(Cli("restore --no-filters one.RIGHTS --map-server FS9=FS1"),
              Refused("--map-server FS9=FS1 matches no record of the file."));
}

// After a capture, a few grants and a filter: the exact dry run lists just those, the exact
// restore removes them, and the volume equals its files again. Without a filters file no
// filter is removed.
TEST_F(CliSecurityTest, AnExactRestoreRemovesWhatWasAddedSinceTheCapture) {
  ASSERT_EQ(Cli("-q capture --by-object --tree QARN --volume FS1_DATA").status, 0);
  ASSERT_EQ(Cli("-q capture --server OLDFS --volume SYS").status, 0);
  const std::vector<std::string> held = Dump(), filters = Dump("--filters");
  Write("more.RIGHTS", {"QARN,MBrown.Sales.HQ.QARN,FS1,DATA:\\Finance,Read",
                        "QARN,Admin.QARN,FS1,DATA:\\Shared\\EDIT.EXE,Supervisor",
                        "QARN,ACCOUNTS,OLDFS,SYS:\\MAIL,Read"});
  Write("more.FILTERS", {"FS1,DATA:\\Finance,Read-FileScan"});
  ASSERT_EQ(Cli("-q restore more.RIGHTS").status, 0);
  const std::vector<std::string> removals = {
      "remove QARN,MBrown.Sales.HQ.QARN,FS1,DATA:\\Finance,Read",
      "remove filter FS1,DATA:\\Finance,Read-FileScan",
      "remove QARN,Admin.QARN,FS1,DATA:\\Shared\\EDIT.EXE,Supervisor"};
  const auto removed = [](const Result& run) {
    std::vector<std::string> lines = Lines(run.out);
    std::erase_if(lines, [](const std::string& line) { return !line.starts_with("remove "); });
    return lines;
  };
  const Result dry = Cli("restore --exact --dry-run FS1_DATA.RIGHTS");
  EXPECT_EQ(removed(dry), removals);
  EXPECT_THAT(dry.err, HasSubstr(" already there, 3 to remove, 1 failed."));
  EXPECT_EQ(removed(Cli("restore --exact --no-filters FS1_DATA.RIGHTS")),
            (std::vector{removals[0], removals[2]}));
  EXPECT_THAT(Dump("--filters"), Contains("FS1,DATA:\\Finance,Read-FileScan"));
  EXPECT_EQ(removed(Cli("restore --exact FS1_DATA.RIGHTS")), std::vector{removals[1]});
  EXPECT_EQ(removed(Cli("restore --exact OLDFS_SYS.RIGHTS")),
            std::vector<std::string>{"remove QARN,ACCOUNTS,OLDFS,SYS:\\MAIL,Read"});
  EXPECT_EQ(Dump(), held);
  EXPECT_EQ(Dump("--filters"), filters);
  EXPECT_EQ(Cli("verify OLDFS_SYS.RIGHTS").out, "0 differences: 0 changed, 0 missing, 0 extra\n");
}

// A generated volume with trustees on files and filters: captured, cleared, restored and
// verified it is what it was; after a few grants and a filter more, the exact dry run lists
// those and the exact restore takes them away.
TEST_F(CliSecurityTest, AGeneratedVolumeComesBackWholeAndExact) {
  ASSERT_EQ(Netsim("generate --force --users 60 --groups 6 --directories 40 --assignments 200 "
                   "--file-trustees 30 --filters 20 --seed 7")
                .status,
            0);
  const std::vector<std::string> held = Dump(), filters = Dump("--filters");
  ASSERT_EQ(Cli("-q capture --tree GEN_TREE --volume GENFS_DATA").status, 0);
  ASSERT_EQ(Netsim("clear --server GENFS --volume DATA").status, 0);
  const Result restore = Cli("restore GENFS_DATA.RIGHTS");
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(Lines(restore.out).size(), held.size() + filters.size());
  EXPECT_EQ(Cli("verify GENFS_DATA.RIGHTS").out, "0 differences: 0 changed, 0 missing, 0 extra\n");
  EXPECT_EQ(Dump(), held);
  EXPECT_EQ(Dump("--filters"), filters);

  // One object of the file on a file and on a directory where it holds nothing yet, and a
  // filter where there is none.
  const std::vector<std::string> records = Lines(ReadFileBytes(temp_ / "GENFS_DATA.RIGHTS"));
  const std::string object = records.front().substr(0, records.front().find(",GENFS,"));
  std::vector<std::string> extra(2);  // on a directory, on a file
  for (const std::string& record : records) {
    const std::string place = record.substr(record.find(",GENFS,"));
    const std::string path = place.substr(0, place.rfind(','));
    std::string& slot = extra[path.ends_with(".dat") ? 1 : 0];
    if (slot.empty() &&
        std::find(records.begin(), records.end(), object + place) == records.end()) {
      slot = object + path + ",Read";
    }
  }
  ASSERT_THAT(extra, Each(Not(IsEmpty())));
  const std::string filtered = extra.front().substr(extra.front().find(",GENFS,") + 1);
  Write("extra.RIGHTS", extra);
  Write("extra.FILTERS", {filtered.substr(0, filtered.rfind(',')) + ",Write"});
  ASSERT_EQ(Cli("-q restore extra.RIGHTS").status, 0);
  const Result dry = Cli("restore --exact --dry-run GENFS_DATA.RIGHTS");
  EXPECT_EQ(dry.status, 0) << dry.err;
  std::vector<std::string> removed = Lines(dry.out);
  std::erase_if(removed, [](const std::string& line) { return line.starts_with("same "); });
  EXPECT_THAT(removed, UnorderedElementsAre(
                           "remove " + extra[0], "remove " + extra[1],
                           "remove filter " + filtered.substr(0, filtered.rfind(',')) + ",Write"));
  EXPECT_EQ(Cli("restore --exact GENFS_DATA.RIGHTS").out, dry.out);
  EXPECT_EQ(Dump(), held);
  EXPECT_EQ(Dump("--filters"), filters);
}

// A version 3 server that stands in no tree: its records carry an empty tree, a group's
// record comes back as the group's, and verify reads the live side from the bindery.
TEST_F(CliSecurityTest, ABinderyVolumeInNoTreeComesBackAndVerifies) {
  const fs::path other = temp_ / "other";
  sim::LoadNetworkJson(other, testing_support::TestData("cli_filters_network.json"));
  const std::string env = "TOLVANE_NETWORK='" + other.string() + "'";
  const auto run = [&](const char* program, const std::string& args) {
    return testing_support::RunProgram(temp_.path(), env, program, args);
  };
  ASSERT_EQ(run(CLI_TOOL, "-q capture --server OLD --volume SYS").status, 0);
  const std::vector<std::string> held = Lines(run(NETSIM_TOOL, "dump --server OLD").out);
  ASSERT_THAT(held, Contains(",EVERYONE,OLD,SYS:\\PUBLIC,Read-FileScan"));
  ASSERT_EQ(run(NETSIM_TOOL, "clear --server OLD --volume SYS").status, 0);
  const Result restore = run(CLI_TOOL, "restore OLD_SYS.RIGHTS");
  EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
  EXPECT_THAT(Lines(restore.out), Contains("add ,EVERYONE,OLD,SYS:\\PUBLIC,Read-FileScan"));
  EXPECT_EQ(Lines(run(NETSIM_TOOL, "dump --server OLD").out), held);
  EXPECT_EQ(run(CLI_TOOL, "verify OLD_SYS.RIGHTS").out,
            "0 differences: 0 changed, 0 missing, 0 extra\n");
}

}  // namespace
