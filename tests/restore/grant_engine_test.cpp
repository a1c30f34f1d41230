// The grant of one record without a window, on a small simulated network, through the
// counting platform: what it grants, what a dry run says, and the calls either makes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "formats/rights_file.h"
#include "netware/sim/sim_network.h"
#include "restore/grant.h"
#include "support/counting_platform.h"
#include "support/temp_dir.h"

namespace {

using restore::GrantFailure;
using restore::GrantStatus;

constexpr const char* kNetwork = R"({
  "trees": [ { "name": "T", "objects": [ { "name": "ACME", "class": "Organization",
    "children": [ { "name": "U1", "class": "User" }, { "name": "U2", "class": "User" } ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "T", "major": 4, "minor": 11,
      "volumes": [ { "name": "VOL", "directories": [ "A", "B/C" ] } ] },
    { "name": "OLD", "major": 3, "minor": 12, "bindery": [ { "name": "GUEST", "type": "user" } ],
      "volumes": [ { "name": "SYS", "directories": [ "PUB" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "VOL", "directory": "A", "object": "U1.ACME", "rights": 1 },
    { "server": "FS1", "volume": "VOL", "directory": "B/C", "object": "U2.ACME",
      "rights": "Read-Write" } ] })";

formats::RightsRecord Record(const std::string& server, const std::string& object,
                             const std::string& directory, const std::string& rights) {
  return {"T", object, server, directory, rights};
}

class GrantEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), kNetwork);
    platform_ =
        std::make_unique<testing_support::CountingPlatform>(sim::OpenNetwork(network_.path()));
  }
  long Calls(const std::string& call) const { return platform_->Counter().Count(call); }
  std::vector<std::string> Dump() const { return sim::DumpAssignments(network_.path(), "", ""); }

  testing_support::TempDir network_;
  std::unique_ptr<testing_support::CountingPlatform> platform_;
};

TEST_F(GrantEngineTest, ADryRunSaysWhatAGrantWouldDoAndGrantsNothing) {
  struct Case {
    formats::RightsRecord record;
    GrantStatus status;
    GrantFailure failure;
    std::uint16_t oldMask;
  };
  const Case cases[] = {
      // A restored Read carries 0x0004, which counts as no change.
      {Record("FS1", "U1.ACME", "VOL:\\A", "Read"), GrantStatus::kAlreadyThere, GrantFailure::kNone,
       1},
      {Record("fs1", "u1.acme", "VOL:\\A", "Read-Write"), GrantStatus::kWouldChange,
       GrantFailure::kNone, 1},
      {Record("FS1", "U2.ACME", "VOL:\\A", "Read"), GrantStatus::kWouldAdd, GrantFailure::kNone, 0},
      {Record("FS1", "U2.ACME", "VOL:", "FileScan"), GrantStatus::kWouldAdd, GrantFailure::kNone,
       0},
      {Record("FS1", "U2.ACME", "VOL:/b/c", "Read-Write"), GrantStatus::kAlreadyThere,
       GrantFailure::kNone, 3},
      {Record("FS1", "U2.ACME", "VOL:\\Gone", "Read"), GrantStatus::kFailed,
       GrantFailure::kDirectoryMissing, 0},
      {Record("FS1", "U2.ACME", "NOVOL:\\A", "Read"), GrantStatus::kFailed,
       GrantFailure::kDirectoryMissing, 0},
      {Record("FS1", "NOBODY.ACME", "VOL:\\A", "Read"), GrantStatus::kFailed,
       GrantFailure::kObjectNotFound, 0},
      {Record("NOSRV", "U1.ACME", "VOL:\\A", "Read"), GrantStatus::kFailed,
       GrantFailure::kConnection, 0},
      {Record("OLD", "GUEST", "SYS:\\PUB", "Read"), GrantStatus::kWouldAdd, GrantFailure::kNone, 0},
  };
  const std::vector<std::string> before = Dump();
  for (const bool reuse : {false, true}) {
    restore::Granter granter(platform_->Client(), platform_->Files(),
                             {.dryRun = true, .reuse = reuse});
    for (const Case& c : cases) {
      SCOPED_TRACE(formats::FormatRightsRecord(c.record));
      const restore::GrantOutcome outcome = granter.Grant(c.record);
      EXPECT_EQ(outcome.status, c.status);
      EXPECT_EQ(outcome.failure, c.failure);
      EXPECT_EQ(outcome.oldMask, c.oldMask);
    }
  }
  EXPECT_EQ(Calls("NWAddTrustee"), 0);
  EXPECT_EQ(Dump(), before);
}

TEST_F(GrantEngineTest, EachRecordHasItsOwnConnectionAndLookupUnlessTheyAreKeptForTheRun) {
  const formats::RightsRecord records[] = {
      Record("FS1", "U1.ACME", "VOL:\\B\\C", "Read"), Record("FS1", "U1.ACME", "VOL:", "FileScan"),
      Record("fs1", "U2.ACME", "VOL:\\A", "Write"), Record("OLD", "GUEST", "SYS:\\PUB", "Read"),
      Record("OLD", "GUEST", "SYS:", "FileScan")};
  struct Case {
    bool reuse;
    long opens, versions, contexts, lookups;
  };
  for (const Case c : {Case{false, 5, 5, 3, 5}, Case{true, 2, 2, 1, 3}}) {
    SCOPED_TRACE(c.reuse);
    platform_->Counter().calls.clear();
    {
      restore::Granter granter(platform_->Client(), platform_->Files(), {.reuse = c.reuse});
      for (const auto& record : records) {
        const restore::GrantOutcome outcome = granter.Grant(record);
        EXPECT_EQ(outcome.status, GrantStatus::kAdded) << record.directory;
        EXPECT_EQ(outcome.failure, GrantFailure::kNone);
      }
      EXPECT_EQ(Calls("NWCCCloseConn"), c.reuse ? 0 : 5);
    }
    EXPECT_EQ(Calls("NWCCOpenConnByName"), c.opens);
    EXPECT_EQ(Calls("NWCCCloseConn"), c.opens);
    EXPECT_EQ(Calls("NWGetFileServerVersionInfo"), c.versions);
    EXPECT_EQ(Calls("NWDSCreateContextHandle"), c.contexts);
    EXPECT_EQ(Calls("NWDSFreeContext"), c.contexts);
    EXPECT_EQ(Calls("NWDSMapNameToID") + Calls("NWGetObjectID"), c.lookups);
    EXPECT_EQ(Calls("NWAddTrustee"), 5);
  }
  EXPECT_THAT(Dump(), ::testing::Contains("T,U1.ACME,FS1,VOL:\\B\\C,Read"));
}

TEST_F(GrantEngineTest, AConnectionThatBrokeCostsItsRecordAndIsOpenedAgain) {
  restore::Granter granter(platform_->Client(), platform_->Files(), {.reuse = true});
  EXPECT_EQ(granter.Grant(Record("FS1", "U1.ACME", "VOL:\\A", "Read")).status, GrantStatus::kAdded);
  sim::SetServerUp(network_.path(), "FS1", false);
  const restore::GrantOutcome down = granter.Grant(Record("FS1", "U1.ACME", "VOL:", "Read"));
  EXPECT_EQ(down.failure, GrantFailure::kAddTrustee);
  EXPECT_EQ(down.code, nw::kServerDown);
  sim::SetServerUp(network_.path(), "FS1", true);
  EXPECT_EQ(granter.Grant(Record("FS1", "U1.ACME", "VOL:", "Read")).status, GrantStatus::kAdded);
  EXPECT_EQ(Calls("NWCCOpenConnByName"), 2);
}

TEST_F(GrantEngineTest, ANameTooLongForItsBufferIsRefusedBeforeAnyLookup) {
  restore::Granter granter(platform_->Client(), platform_->Files());
  const restore::GrantOutcome bindery =
      granter.Grant(Record("OLD", std::string(48, 'G'), "SYS:", "Read"));
  EXPECT_EQ(bindery.failure, GrantFailure::kObjectNameTooLong);
  EXPECT_EQ(bindery.limit, 47u);
  formats::RightsRecord longTree = Record("FS1", "U1.ACME", "VOL:", "Read");
  longTree.tree = std::string(128, 'T');
  EXPECT_EQ(granter.Grant(longTree).failure, GrantFailure::kTreeNameTooLong);
  EXPECT_EQ(Calls("NWGetObjectID") + Calls("NWDSMapNameToID") + Calls("NWAddTrustee"), 0);
}

}  // namespace
