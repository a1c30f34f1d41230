// tolvane-cli capture beyond a tree's volume objects: the filters file beside the rights file,
// trustees on files, a version 3 server's volume from its bindery, and a server's volumes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/cli_test.h"

namespace {

using namespace ::testing;
using namespace cli_testing;

// The file trustee is a record like any other.
constexpr const char* kRights =
    "T,JSMITH.ACME,FS1,SYS:\\USERS\\JSMITH,Read-Write-FileScan\r\n"
    "T,Staff.ACME,FS1,SYS:\\PUBLIC\\EDIT.EXE,Read\r\n";
// Sorted by path, not in the walk's order (A, A\Z, A B); the filter of all eight rights on
// USERS is none; a filter that lets nothing through has an empty rights text.
constexpr const char* kFilters =
    "FS1,SYS:\\A B,Read\r\n"
    "FS1,SYS:\\A\\Z,FileScan\r\n"
    "FS1,\"SYS:\\Budget, 2024\",Read-FileScan\r\n"
    "FS1,SYS:\\PUBLIC\\EDIT.EXE,Read\r\n"
    "FS1,SYS:\\USERS\\JSMITH\\Notes.txt,\r\n";

class CliFiltersTest : public CliTest {
 protected:
  CliFiltersTest() : CliTest("work", testing_support::TestData("cli_filters_network.json")) {}
  // The files of the work folder and their bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(work())) {
      files[entry.path().filename().string()] =
          entry.is_symlink() ? "-> link" : ReadFileBytes(entry.path());
    }
    return files;
  }
};

TEST_F(CliFiltersTest, TheFiltersFileGoesBesideTheRightsFileOrWhereTheOptionsSay) {
  using Contents = std::map<std::string, std::string>;
  const std::tuple<std::string, std::string, Contents> cases[] = {
      {"", "", {{"FS1_SYS.RIGHTS", kRights}, {"FS1_SYS.FILTERS", kFilters}}},
      {"-o night.rights", "", {{"night.rights", kRights}, {"night.FILTERS", kFilters}}},
      {"--filters f.txt", "", {{"FS1_SYS.RIGHTS", kRights}, {"f.txt", kFilters}}},
      {"--no-filters", "", {{"FS1_SYS.RIGHTS", kRights}}},
      {"-o -", kRights, {}},
      {"-o - --filters f.txt", kRights, {{"f.txt", kFilters}}},
      {"-o /dev/null", "", {}}};
  for (const auto& [options, out, files] : cases) {
    SCOPED_TRACE(options);
    fs::remove_all(work());
    fs::create_directory(work());
    const Result result = Run("capture --tree T --volume fs1_sys " + options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(Files(), files);
  }
}

// A link planted where the filters file goes is replaced, never written through; a filters
// file that cannot be made stops the capture before anything is replaced.
TEST_F(CliFiltersTest, ALinkAtTheFiltersFileIsReplacedAndAnUnwritableOneReplacesNothing) {
  WriteFileBytes(temp_ / "victim", "keep");
  fs::create_symlink(temp_ / "victim", work() / "FS1_SYS.FILTERS");
  const Result result = Run("capture --tree T --volume FS1_SYS");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(temp_ / "victim"), "keep");
  EXPECT_THAT(Files(),
              ElementsAre(Pair("FS1_SYS.FILTERS", kFilters), Pair("FS1_SYS.RIGHTS", kRights)));

  WriteFileBytes(work() / "FS1_SYS.RIGHTS", "earlier");
  for (const char* filters : {"--filters no/such/f", "--filters FS1_SYS.RIGHTS"}) {
    SCOPED_TRACE(filters);
    EXPECT_THAT(Run("capture --tree T --volume FS1_SYS " + std::string(filters)),
                Refused("tolvane-cli: "));
    EXPECT_EQ(ReadFileBytes(work() / "FS1_SYS.RIGHTS"), "earlier");
  }
  EXPECT_THAT(Run("capture --tree T --volume FS1_SYS --filters f --no-filters"),
              Refused("excludes"));
}

// A version 3 server's users, then its groups, each in the server's order (by ID); the tree
// field is the server's tree, empty as it stands in none.
TEST_F(CliFiltersTest, ABinderyVolumeIsCapturedFromTheServersBindery) {
  const Result result = Run("capture --server old --volume sys");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Files(),
            (std::map<std::string, std::string>{{"OLD_SYS.RIGHTS",
                                                 ",GUEST,OLD,SYS:\\MAIL,Create\r\n"
                                                 ",SUPERVISOR,OLD,SYS:,Supervisor\r\n"
                                                 ",EVERYONE,OLD,SYS:\\PUBLIC,Read-FileScan\r\n"},
                                                {"OLD_SYS.FILTERS", "OLD,SYS:\\MAIL,Read\r\n"}}));
  // A volume without assignments or filters gets both files, empty.
  EXPECT_EQ(Run("capture --server OLD --volume VOL1").status, 0);
  EXPECT_EQ(ReadFileBytes(work() / "OLD_VOL1.RIGHTS"), "");
  EXPECT_EQ(ReadFileBytes(work() / "OLD_VOL1.FILTERS"), "");
  // A newer server's volume is the volume object of its tree.
  const Result nds = Run("capture --server FS1 --volume SYS -o -");
  EXPECT_EQ(nds.status, 0) << nds.err;
  EXPECT_EQ(nds.out, kRights);
}

TEST_F(CliFiltersTest, TheDemoNetworksVersion3ServerIsCapturedWithItsTree) {
  fs::remove_all(network());
  sim::CreateDemoNetwork(network());
  const Result result = Run("capture --server OLDFS --volume SYS -o -");
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<std::string> lines;
  for (std::string line : testing_support::Lines(result.out)) {
    EXPECT_EQ(line.back(), '\r');
    line.pop_back();
    EXPECT_THAT(line, StartsWith("QARN,"));
    lines.push_back(line);
  }
  // EVERYONE, the one group with an assignment here, comes after every user.
  ASSERT_FALSE(lines.empty());
  EXPECT_THAT(lines.back(), StartsWith("QARN,EVERYONE,"));
  std::ranges::sort(lines);
  EXPECT_EQ(lines, sim::DumpAssignments(network(), "OLDFS", "SYS"));
}

TEST_F(CliFiltersTest, VolumesOfAServerAreListedByNumber) {
  const std::tuple<std::string, int, std::string, std::string> cases[] = {
      {"volumes --server old", 0, "SYS\nVOL1\n", ""},
      {"volumes --server FS1", 0, "SYS\n", ""},
      {"volumes --server NOPE", 2, "", "the server NOPE cannot be reached"},
      {"volumes", 2, "", "volumes needs a TREE or --server"},
      {"capture --server OLD --volume NOPE", 2, "", "'tolvane-cli volumes --server OLD'"},
      {"capture --volume SYS", 2, "", "capture needs --tree"}};
  for (const auto& [args, status, out, err] : cases) {
    SCOPED_TRACE(args);
    const Result result = Run(args);
    EXPECT_EQ(result.status, status) << result.err;
    EXPECT_EQ(result.out, out);
    EXPECT_THAT(result.err, HasSubstr(err));
  }
  EXPECT_THAT(Files(), IsEmpty());
}

}  // namespace
