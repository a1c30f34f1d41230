// The command line's restore engine: the word and reason each record gets, the same in a dry
// run as in the restore.

#include <gtest/gtest.h>

#include "cli/engines.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

using cli::GrantKind;

constexpr const char* kNetwork = R"({
  "trees": [ { "name": "T", "objects": [ { "name": "ACME", "class": "Organization",
    "children": [ { "name": "U1", "class": "User" }, { "name": "U2", "class": "User" } ] } ] } ],
  "servers": [ { "name": "FS1", "tree": "T", "major": 4, "minor": 11,
      "volumes": [ { "name": "VOL", "directories": [ "A" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "VOL", "directory": "A", "object": "U1.ACME", "rights": 1 } ] })";

TEST(RecordGranterTest, TheDryRunAndTheRestoreGiveEachRecordTheSameWordAndReason) {
  const struct {
    formats::RightsRecord record;
    GrantKind kind;
    const char* oldRights;
    const char* failure;
  } cases[] = {
      {{"T", "U1.ACME", "FS1", "VOL:\\A", "Read-Write"}, GrantKind::kChange, "Read", ""},
      {{"T", "U2.ACME", "FS1", "VOL:\\A", "Read"}, GrantKind::kAdd, "", ""},
      {{"T", "U1.ACME", "FS1", "vol:\\a", "write-read"}, GrantKind::kSame, "", ""},
      {{"T", "U2.ACME", "FS1", "VOL:\\Gone", "Read"},
       GrantKind::kFailed,
       "",
       "directory missing (E= 35228)"},
      {{"T", "U2.ACME", "FS1", "VOL:\\A", "Superviser"},
       GrantKind::kFailed,
       "",
       "rights text 'Superviser' holds a word that is no right"},
  };
  testing_support::TempDir network;
  sim::LoadNetworkJson(network.path(), kNetwork);
  const auto platform = sim::OpenNetwork(network.path());
  for (const bool dryRun : {true, false}) {
    SCOPED_TRACE(dryRun);
    cli::RecordGranter granter(*platform, dryRun);
    for (const auto& c : cases) {
      SCOPED_TRACE(c.record.directory + "," + c.record.rights);
      const cli::GrantResult result = granter.Grant(c.record);
      EXPECT_EQ(result.kind, c.kind);
      EXPECT_EQ(result.oldRights, c.oldRights);
      EXPECT_EQ(result.failure, c.failure);
    }
  }
  EXPECT_EQ(
      sim::DumpAssignments(network.path(), "FS1", "VOL"),
      (std::vector<std::string>{"T,U1.ACME,FS1,VOL:\\A,Read-Write", "T,U2.ACME,FS1,VOL:\\A,Read"}));
}

}  // namespace
