// The grant of one record without a window, on a small simulated network, through the
// counting platform: what it grants, what it says the volume held, and the calls it makes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "formats/rights_file.h"
#include "formats/rights_text.h"
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
      "volumes": [ { "name": "VOL", "directories": [ "A", "B/C", "Home/.Private" ],
                     "files": [ "A/readme.txt" ] } ] },
    { "name": "OLD", "major": 3, "minor": 12, "bindery": [ { "name": "GUEST", "type": "user" } ],
      "volumes": [ { "name": "SYS", "directories": [ "PUB" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "VOL", "directory": "A", "object": "U1.ACME", "rights": 1 },
    { "server": "FS1", "volume": "VOL", "directory": "B/C", "object": "U2.ACME",
      "rights": "Read-Write" },
    { "server": "FS1", "volume": "VOL", "directory": "Gone", "object": "U1.ACME",
      "rights": "Read", "missing": true } ] })";

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

struct Expected {
  formats::RightsRecord record;
  GrantStatus status;
  GrantFailure failure;
  const char* held;  // kChanged, kSame: the rights held before, as words
};

// Each record's word is true of the volume before it: the hidden folder takes trustees, a
// file, a folder that is gone (though the store still lists a trustee there) and a missing one
// do not, whatever the trustee lists say.
const Expected kRecords[] = {
    {Record("FS1", "U1.ACME", "VOL:\\A", "Read"), GrantStatus::kSame, GrantFailure::kNone, "Read"},
    {Record("fs1", "u1.acme", "VOL:\\A", "Read-Write"), GrantStatus::kChanged, GrantFailure::kNone,
     "Read"},
    {Record("FS1", "U2.ACME", "VOL:\\A", "Read"), GrantStatus::kAdded, GrantFailure::kNone, ""},
    {Record("FS1", "U2.ACME", "VOL:", "FileScan"), GrantStatus::kAdded, GrantFailure::kNone, ""},
    {Record("FS1", "U2.ACME", "VOL:/b/c", "Read-Write"), GrantStatus::kSame, GrantFailure::kNone,
     "Read-Write"},
    {Record("FS1", "U2.ACME", "VOL:\\Home\\.Private", "Read"), GrantStatus::kAdded,
     GrantFailure::kNone, ""},
    {Record("FS1", "U2.ACME", "VOL:\\A\\readme.txt", "Read"), GrantStatus::kFailed,
     GrantFailure::kDirectoryMissing, ""},
    {Record("FS1", "U1.ACME", "VOL:\\Gone", "Read"), GrantStatus::kFailed,
     GrantFailure::kDirectoryMissing, ""},
    {Record("FS1", "U2.ACME", "VOL:\\Nowhere", "Read"), GrantStatus::kFailed,
     GrantFailure::kDirectoryMissing, ""},
    {Record("FS1", "U2.ACME", "NOVOL:\\A", "Read"), GrantStatus::kFailed,
     GrantFailure::kDirectoryMissing, ""},
    {Record("FS1", "NOBODY.ACME", "VOL:\\A", "Read"), GrantStatus::kFailed,
     GrantFailure::kObjectNotFound, ""},
    {Record("NOSRV", "U1.ACME", "VOL:\\A", "Read"), GrantStatus::kFailed, GrantFailure::kConnection,
     ""},
    {Record("FS1", "U2.ACME", "VOL:\\B\\C", "Superviser"), GrantStatus::kFailed,
     GrantFailure::kBadRights, ""},
    {Record("OLD", "GUEST", "SYS:\\PUB", "Read"), GrantStatus::kAdded, GrantFailure::kNone, ""},
};

void ExpectOutcome(const restore::GrantOutcome& outcome, const Expected& expected) {
  SCOPED_TRACE(formats::FormatRightsRecord(expected.record));
  EXPECT_EQ(outcome.status, expected.status);
  EXPECT_EQ(outcome.failure, expected.failure);
  if (outcome.status == GrantStatus::kChanged || outcome.status == GrantStatus::kSame) {
    EXPECT_EQ(formats::BuildRightsText(outcome.oldMask), expected.held);
  }
}

TEST_F(GrantEngineTest, ADryRunSaysWhatTheVolumeHoldsAndGrantsNothing) {
  const std::vector<std::string> before = Dump();
  for (const bool reuse : {false, true}) {
    SCOPED_TRACE(reuse);
    restore::Granter granter(platform_->Client(), {.dryRun = true, .reuse = reuse});
    for (const Expected& expected : kRecords) {
      ExpectOutcome(granter.Grant(expected.record), expected);
    }
  }
  EXPECT_EQ(Calls("NWAddTrustee"), 0);
  EXPECT_EQ(Dump(), before);
}

// The command line's way: the restore says the dry run's word for every record, and grants
// exactly what the records that did not fail name.
TEST_F(GrantEngineTest, ARestoreSaysTheDryRunsWordForEveryRecord) {
  {
    restore::Granter granter(platform_->Client(), {.reuse = true});
    for (const Expected& expected : kRecords) {
      ExpectOutcome(granter.Grant(expected.record), expected);
    }
  }
  EXPECT_THAT(Dump(),
              ::testing::UnorderedElementsAre(
                  "T,U1.ACME,FS1,VOL:\\A,Read-Write",
                  "T,U1.ACME,FS1,VOL:\\Gone,Read",  // stale, as it was
                  "T,U2.ACME,FS1,VOL:,FileScan", "T,U2.ACME,FS1,VOL:\\A,Read",
                  "T,U2.ACME,FS1,VOL:\\B\\C,Read-Write", "T,U2.ACME,FS1,VOL:\\Home\\.Private,Read",
                  ::testing::HasSubstr(",GUEST,OLD,SYS:\\PUB,Read")));
  // What failed was not attempted: the four records of paths that are no directory, the
  // unknown object and server and the bad rights text cost no NWAddTrustee.
  EXPECT_EQ(Calls("NWAddTrustee"), 7);
}

// Records of one trustee and directory take effect in the file's order, in a dry run as in
// the restore: each sees what the one before granted.
TEST_F(GrantEngineTest, ALaterRecordOfTheSameTrusteeSeesWhatTheEarlierGranted) {
  const Expected records[] = {
      {Record("FS1", "U2.ACME", "VOL:\\A", "Read"), GrantStatus::kAdded, GrantFailure::kNone, ""},
      {Record("FS1", "U2.ACME", "vol:/a/", "Read-Write"), GrantStatus::kChanged,
       GrantFailure::kNone, "Read"},
      {Record("FS1", "u2.acme", "VOL:\\A", "write-read"), GrantStatus::kSame, GrantFailure::kNone,
       "Read-Write"},
      {Record("FS1", "U1.ACME", "VOL:\\A", ""), GrantStatus::kChanged, GrantFailure::kNone, "Read"},
  };
  for (const bool dryRun : {true, false}) {
    SCOPED_TRACE(dryRun);
    restore::Granter granter(platform_->Client(), {.dryRun = dryRun, .reuse = true});
    for (const Expected& expected : records)
      ExpectOutcome(granter.Grant(expected.record), expected);
  }
  EXPECT_THAT(Dump(), ::testing::IsSupersetOf(
                          {"T,U2.ACME,FS1,VOL:\\A,Read-Write", "T,U1.ACME,FS1,VOL:\\A,"}));
}

// The directory information answers for a path exactly as NWAddTrustee accepts or refuses it.
TEST_F(GrantEngineTest, TheDirectoryInformationJudgesAPathAsNWAddTrusteeDoes) {
  nw::NetWareClient& client = platform_->Client();
  nw::NWCONN_HANDLE conn = 0;
  ASSERT_EQ(client.NWCCOpenConnByName(0, "FS1", nw::NWCC_NAME_FORMAT_BIND, nw::NWCC_OPEN_LICENSED,
                                      nw::NWCC_TRAN_TYPE_WILD, &conn),
            0);
  const struct {
    const char* path;
    nw::NWRCODE code;
    const char* name;
  } cases[] = {{"VOL:", 0, "VOL"},
               {"vol:\\a", 0, "A"},
               {"VOL:/home/.private/", 0, ".Private"},
               {"VOL:\\A\\readme.txt", nw::kNoMoreEntries, ""},
               {"VOL:\\Gone", nw::kNoMoreEntries, ""},
               {"VOL:\\A\\..\\B", nw::kNoMoreEntries, ""},
               {"NOVOL:\\A", nw::kVolumeDoesNotExist, ""}};
  const nw::nuint32 u2 = [&] {
    nw::NWDSContextHandle context = 0;
    nw::nuint32 id = 0;
    client.NWDSCreateContextHandle(&context);
    client.NWDSMapNameToID(context, conn, "U2.ACME", &id);
    client.NWDSFreeContext(context);
    return id;
  }();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::array<std::uint8_t, nw::kScanSequenceSize> sequence{0xFF, 0xFF, 0xFF, 0xFF};
    std::array<char, 256> name{'x'};
    nw::nuint32 dateTime = 0, owner = 0;
    std::uint8_t rights = 0;
    EXPECT_EQ(client.NWIntScanDirectoryInformation2(conn, 0, c.path, sequence.data(), name.data(),
                                                    name.size(), &dateTime, &owner, &rights, 0),
              c.code);
    EXPECT_STREQ(name.data(), c.name);
    EXPECT_EQ(client.NWAddTrustee(conn, 0, c.path, u2, 0x0041), c.code);
    // One directory a path: going on from the answer finds no more.
    if (c.code == 0) {
      EXPECT_EQ(client.NWIntScanDirectoryInformation2(conn, 0, c.path, sequence.data(), nullptr, 0,
                                                      nullptr, nullptr, nullptr, 0),
                nw::kNoMoreEntries);
    }
  }
  client.NWCCCloseConn(conn);
}

TEST_F(GrantEngineTest, ARightsTextWithAWordThatIsNoRightCostsNoClientCall) {
  for (const bool dryRun : {false, true}) {
    for (const bool reuse : {false, true}) {
      restore::Granter granter(platform_->Client(), {.dryRun = dryRun, .reuse = reuse});
      for (const char* rights : {"Superviser", "Read-Wrte-FileScan", "Read-", "Read - Write"}) {
        const restore::GrantOutcome outcome =
            granter.Grant(Record("FS1", "U2.ACME", "VOL:\\A", rights));
        EXPECT_EQ(outcome.status, GrantStatus::kFailed) << rights;
        EXPECT_EQ(outcome.failure, GrantFailure::kBadRights) << rights;
      }
    }
  }
  EXPECT_EQ(platform_->Counter().Total(), 0);
}

TEST_F(GrantEngineTest, EachRecordHasItsOwnConnectionAndLookupUnlessTheyAreKeptForTheRun) {
  const formats::RightsRecord records[] = {
      Record("FS1", "U1.ACME", "VOL:\\B\\C", "Read"), Record("FS1", "U1.ACME", "VOL:", "FileScan"),
      Record("fs1", "U2.ACME", "VOL:\\A", "Write"), Record("OLD", "GUEST", "SYS:\\PUB", "Read"),
      Record("OLD", "GUEST", "SYS:", "FileScan")};
  struct Case {
    bool reuse;
    GrantStatus status;
    long opens, versions, contexts, lookups;
  };
  for (const Case c : {Case{false, GrantStatus::kGranted, 5, 5, 3, 5},
                       Case{true, GrantStatus::kAdded, 2, 2, 1, 3}}) {
    SCOPED_TRACE(c.reuse);
    sim::ClearAssignments(network_.path(), "FS1", "VOL");
    sim::ClearAssignments(network_.path(), "OLD", "SYS");
    platform_->Counter().calls.clear();
    {
      restore::Granter granter(platform_->Client(), {.reuse = c.reuse});
      for (const auto& record : records) {
        const restore::GrantOutcome outcome = granter.Grant(record);
        EXPECT_EQ(outcome.status, c.status) << record.directory;
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
    // The window's way asks nothing of the directory before it grants.
    EXPECT_EQ(Calls("NWScanDirectoryForTrustees2") + Calls("NWIntScanDirectoryInformation2"),
              c.reuse ? 10 : 0);
  }
  EXPECT_THAT(Dump(), ::testing::Contains("T,U1.ACME,FS1,VOL:\\B\\C,Read"));
}

// A typical file: many trustees on each directory of a volume just cleared. Each directory
// costs what it is and its trustee list once, in batches of 20; each object one lookup.
TEST(GrantRoundTripsTest, ARestoreCostsAtMostOneAndAHalfRoundTripsARecord) {
  constexpr int kUsers = 45, kDirectories = 8;
  std::string users, directories, file;
  for (int u = 0; u < kUsers; ++u) {
    users += std::string(u ? "," : "") + R"({ "name": "U)" + std::to_string(u) +
             R"(", "class": "User" })";
  }
  for (int d = 0; d < kDirectories; ++d)
    directories += (d ? ",\"D" : "\"D") + std::to_string(d) + "\"";
  testing_support::TempDir network;
  sim::LoadNetworkJson(network.path(), R"({ "trees": [ { "name": "T", "objects": [
      { "name": "ACME", "class": "Organization", "children": [ )" +
                                           users + R"( ] } ] } ],
    "servers": [ { "name": "FS1", "tree": "T", "volumes": [ { "name": "VOL",
      "directories": [ )" + directories + R"( ] } ] } ] })");
  testing_support::CountingPlatform platform(sim::OpenNetwork(network.path()));
  std::vector<formats::RightsRecord> records;
  for (int d = 0; d < kDirectories; ++d) {
    for (int u = 0; u < kUsers; ++u) {
      records.push_back(Record("FS1", "U" + std::to_string(u) + ".ACME",
                               "VOL:\\D" + std::to_string(d), u % 2 ? "Read" : "Read-FileScan"));
    }
  }
  for (const bool dryRun : {true, false}) {
    SCOPED_TRACE(dryRun);
    platform.Counter().calls.clear();
    {
      restore::Granter granter(platform.Client(), {.dryRun = dryRun, .reuse = true});
      for (const auto& record : records) {
        EXPECT_EQ(granter.Grant(record).status, GrantStatus::kAdded);
      }
    }
    EXPECT_EQ(platform.Counter().Count("NWIntScanDirectoryInformation2"), kDirectories);
    EXPECT_EQ(platform.Counter().Count("NWScanDirectoryForTrustees2"), kDirectories);
    EXPECT_EQ(platform.Counter().Count("NWDSMapNameToID"), kUsers);
    EXPECT_LE(platform.Counter().Total(), static_cast<long>(records.size() * 3 / 2));
  }
  // A second run finds every assignment there: 45 trustees a directory read in three batches,
  // the last one short, and nothing granted again.
  platform.Counter().calls.clear();
  {
    restore::Granter granter(platform.Client(), {.reuse = true});
    for (const auto& record : records) {
      EXPECT_EQ(granter.Grant(record).status, GrantStatus::kSame);
    }
  }
  EXPECT_EQ(platform.Counter().Count("NWScanDirectoryForTrustees2"), 3 * kDirectories);
  EXPECT_EQ(platform.Counter().Count("NWAddTrustee"), 0);
}

TEST_F(GrantEngineTest, AConnectionThatBrokeCostsItsRecordAndIsOpenedAgain) {
  restore::Granter granter(platform_->Client(), {.reuse = true});
  EXPECT_EQ(granter.Grant(Record("FS1", "U2.ACME", "VOL:\\A", "Read")).status, GrantStatus::kAdded);
  sim::SetServerUp(network_.path(), "FS1", false);
  const restore::GrantOutcome down = granter.Grant(Record("FS1", "U2.ACME", "VOL:", "Read"));
  EXPECT_EQ(down.failure, GrantFailure::kConnection);
  EXPECT_EQ(down.code, nw::kServerDown);
  sim::SetServerUp(network_.path(), "FS1", true);
  EXPECT_EQ(granter.Grant(Record("FS1", "U2.ACME", "VOL:", "Read")).status, GrantStatus::kAdded);
  EXPECT_EQ(Calls("NWCCOpenConnByName"), 2);
}

TEST_F(GrantEngineTest, ANameTooLongForItsBufferIsRefusedBeforeAnyLookup) {
  restore::Granter granter(platform_->Client());
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
