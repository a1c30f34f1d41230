// tolvane-cli restore and verify with object and context mappings: a volume's trustees moved
// onto another tree whose containers are arranged otherwise, from options or a mapping file.

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

// From QARN to NORDLAB: Sales.HQ.QARN became Sales.NordLab, the rest of HQ went to the top,
// Boss is Chief now. Temp has no object in NORDLAB.
constexpr const char* kMappingFile =
    "# QARN onto NORDLAB\r\n"
    "server FS1=FS3\r\n"
    "volume DATA=VOL1\n"
    "tree QARN=NORDLAB\n"
    "\n"
    "object Boss.QARN=Chief.NordLab\n"
    "context HQ.QARN=NordLab\n"
    "context Sales.HQ.QARN=Sales.NordLab\n";

class CliMappingTest : public CliTest {
 protected:
  CliMappingTest()
      : CliTest("work", testing_support::TestData("cli_tree_migration_network.json")) {}
  void SetUp() override {
    CliTest::SetUp();
    WriteFileBytes(work() / "m.txt", kMappingFile);
    const Result captured = Run("capture --tree QARN --volume FS1_DATA -o old.rights");
    ASSERT_EQ(captured.status, 0) << captured.err;
  }
  // The assignments of the target volume, as the network holds them.
  std::string Target() {
    return testing_support::RunProgram(work(), "", NETSIM_TOOL,
                                       "--network '" + network().string() + "' dump --server FS3")
        .out;
  }
};

TEST_F(CliMappingTest, AMigrationOntoAnotherTreeLeavesOnlyTheObjectsItLacksDifferent) {
  const std::string options[] = {
      "--map-file m.txt",
      "--map-server FS1=FS3 --map-volume DATA=VOL1 --map-tree QARN=NORDLAB "
      "--map-object boss.qarn=Chief.NordLab --map-context Sales.HQ.QARN=Sales.NordLab "
      "--map-context HQ.QARN=NordLab"};
  for (const std::string& given : options) {
    SCOPED_TRACE(given);
    // A fresh network for each, as the first restore granted.
    net_ += "2";
    sim::LoadNetworkJson(network(), testing_support::TestData("cli_tree_migration_network.json"));
    const Result restored = Run("restore old.rights " + given);
    EXPECT_EQ(restored.status, 1) << restored.err;
    // Each record as it was mapped: the longest context first, the object before any.
    EXPECT_EQ(restored.out,
              "add NORDLAB,Chief.NordLab,FS3,VOL1:,Supervisor\n"
              "add NORDLAB,Ann.Sales.NordLab,FS3,VOL1:\\Shared,Read-FileScan\n"
              "add NORDLAB,Ann.Sales.NordLab,FS3,VOL1:\\Shared\\Forms,Read-Write\n"
              "add NORDLAB,JSmith.Sales.NordLab,FS3,VOL1:\\Home\\JSmith,Read-Write-FileScan\n"
              "failed NORDLAB,Temp.NordLab,FS3,VOL1:\\Shared\\Forms,Read,object not found "
              "(E=-601)\n"
              "add filter FS3,VOL1:\\Shared\\Forms,Read-FileScan\n");
    const Result verified = Run("verify old.rights " + given);
    EXPECT_EQ(verified.status, 1) << verified.err;
    EXPECT_EQ(verified.out,
              "missing NORDLAB,Temp.NordLab,FS3,VOL1:\\Shared\\Forms,Read\n"
              "1 difference: 0 changed, 1 missing, 0 extra\n");
  }
}

TEST_F(CliMappingTest, MappingsThatMatchNothingOrMakeTwoRecordsOneGrantNothing) {
  WriteFileBytes(work() / "bad.txt", "server FS1=FS3\n\nobject Boss.QARN Chief.NordLab\n");
  const std::tuple<std::string, std::string> cases[] = {
      {"--map-object Nobody.QARN=X.NordLab",
       "--map-object Nobody.QARN=X.NordLab matches no record of the file."},
      {"--map-context Nowhere.QARN=NordLab", "--map-context Nowhere.QARN=NordLab matches no"},
      {"--map-file m.txt --map-context Other.QARN=NordLab",
       "--map-context Other.QARN=NordLab matches no record"},
      {"--map-object Ann.Sales.HQ.QARN=Temp.HQ.QARN", ""},
      {"--map-object Temp.HQ.QARN=Ann.Sales.NordLab --map-context Sales.HQ.QARN=Sales.NordLab", ""},
      {"--map-file bad.txt", "bad.txt, line 3: object \"Boss.QARN Chief.NordLab\" must have"},
      {"--map-file missing.txt", "The mapping file missing.txt cannot be read."},
      {"--map-context .HQ.QARN=NordLab", "the OLD name has an empty part between its dots."},
  };
  const std::string before = Target();
  for (const auto& [given, message] : cases) {
    SCOPED_TRACE(given);
    for (const char* command : {"restore", "verify"}) {
      const Result result = Run(std::string(command) + " old.rights " + given);
      if (message.empty()) {
        // Two records onto one trustee and directory: refused, whichever mappings did it.
        EXPECT_THAT(result, Refused("one assignment (the same trustee on the same directory)"));
      } else {
        EXPECT_THAT(result, Refused(message));
      }
    }
    EXPECT_EQ(Target(), before);
  }
}

}  // namespace
