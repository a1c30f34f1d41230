// The grant of one record without a window, on a small simulated network, through the
// counting platform: what it grants, what it says the volume held, and the calls it makes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/rights_file.h"
#include "formats/rights_text.h"
#include "netware/sim/sim_network.h"
#include "restore/grant.h"
#include "support/counting_platform.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;
using restore::GrantFailure;
using restore::GrantStatus;

const std::string kNetwork = testing_support::TestData("restore_grant_network.json");

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

using enum GrantStatus;
using enum GrantFailure;

struct Expected {
  formats::RightsRecord record;
  GrantStatus status;
  GrantFailure failure = kNone;
  const char* held = "";  // kChanged, kSame: the rights held before, as words
};

// Each record's word is true of the volume before it: the hidden folder and a file take
// trustees, a folder that is gone (though the store still lists a trustee there) and a missing
// volume do not, whatever the trustee lists say. Unknown objects and servers and bad rights
// are the window's restore tests' concern.
const Expected kRecords[] = {
    {Record("FS1", "U1.ACME", "VOL:\\A", "Read"), kSame, kNone, "Read"},
    {Record("fs1", "u1.acme", "VOL:\\A", "Read-Write"), kChanged, kNone, "Read"},
    {Record("FS1", "U2.ACME", "VOL:\\A", "Read"), kAdded},
    {Record("FS1", "U2.ACME", "VOL:", "FileScan"), kAdded},
    {Record("FS1", "U2.ACME", "VOL:/b/c", "Read-Write"), kSame, kNone, "Read-Write"},
    {Record("FS1", "U2.ACME", "VOL:\\Home\\.Private", "Read"), kAdded},
    {Record("FS1", "U2.ACME", "VOL:\\A\\readme.txt", "Read"), kAdded},
    {Record("FS1", "U1.ACME", "VOL:\\Gone", "Read"), kFailed, kDirectoryMissing},
    {Record("FS1", "U2.ACME", "NOVOL:\\A", "Read"), kFailed, kDirectoryMissing},
    {Record("OLD", "GUEST", "SYS:\\PUB", "Read"), kAdded},
};

void ExpectOutcome(const restore::GrantOutcome& outcome, const Expected& expected) {
  SCOPED_TRACE(formats::FormatRightsRecord(expected.record));
  EXPECT_EQ(outcome.status, expected.status);
  EXPECT_EQ(outcome.failure, expected.failure);
  if (outcome.status == kChanged || outcome.status == kSame) {
    EXPECT_EQ(formats::BuildRightsText(outcome.oldMask), expected.held);
  }
}

// The restore grants what did not fail; that the dry run foresees it is the property test's.
TEST_F(GrantEngineTest, EachRecordsWordIsTrueOfTheVolume) {
  restore::Granter granter(platform_->Client(), {.reuse = true});
  for (const Expected& expected : kRecords) ExpectOutcome(granter.Grant(expected.record), expected);
  EXPECT_THAT(Dump(),
              UnorderedElementsAre("T,U1.ACME,FS1,VOL:\\A,Read-Write",
                                   "T,U1.ACME,FS1,VOL:\\Gone,Read",  // stale, as it was
                                   "T,U2.ACME,FS1,VOL:,FileScan", "T,U2.ACME,FS1,VOL:\\A,Read",
                                   "T,U2.ACME,FS1,VOL:\\A\\readme.txt,Read",
                                   "T,U2.ACME,FS1,VOL:\\B\\C,Read-Write",
                                   "T,U2.ACME,FS1,VOL:\\Home\\.Private,Read",
                                   HasSubstr(",GUEST,OLD,SYS:\\PUB,Read")));
  // A directory that is not there costs no NWAddTrustee.
  EXPECT_EQ(Calls("NWAddTrustee"), 8);
}

TEST_F(GrantEngineTest, AConnectionThatBrokeCostsItsRecordAndIsOpenedAgain) {
  restore::Granter granter(platform_->Client(), {.reuse = true});
  EXPECT_EQ(granter.Grant(Record("FS1", "U2.ACME", "VOL:\\A", "Read")).status, kAdded);
  sim::SetServerUp(network_.path(), "FS1", false);
  const restore::GrantOutcome down = granter.Grant(Record("FS1", "U2.ACME", "VOL:", "Read"));
  EXPECT_EQ(down.failure, kConnection);
  EXPECT_EQ(down.code, nw::kServerDown);
  sim::SetServerUp(network_.path(), "FS1", true);
  EXPECT_EQ(granter.Grant(Record("FS1", "U2.ACME", "VOL:", "Read")).status, kAdded);
  EXPECT_EQ(Calls("NWCCOpenConnByName"), 2);
}

}  // namespace

namespace {

// Granters of one run, each on a platform of its own, look each object up once between
// them; an object one could not find is asked again by the next, and the IDs they share
// grant to the right objects.
TEST_F(GrantEngineTest, GrantersOfOneRunLookEachObjectUpOnce) {
  testing_support::CountingPlatform other(sim::OpenNetwork(network_.path()));
  restore::FoundObjects found;
  restore::Granter first(platform_->Client(), {.reuse = true});
  restore::Granter second(other.Client(), {.reuse = true});
  first.ShareObjects(&found);
  second.ShareObjects(&found);
  EXPECT_EQ(first.Grant(Record("FS1", "U2.ACME", "VOL:\\A", "Read")).status, kAdded);
  EXPECT_EQ(first.Grant(Record("FS1", "Nobody.ACME", "VOL:\\A", "Read")).failure, kObjectNotFound);
  EXPECT_EQ(Calls("NWDSMapNameToID"), 2);
  EXPECT_EQ(second.Grant(Record("fs1", "u2.acme", "VOL:\\B", "Write")).status, kAdded);
  EXPECT_EQ(other.Counter().Count("NWDSMapNameToID"), 0);
  EXPECT_EQ(second.Grant(Record("FS1", "Nobody.ACME", "VOL:\\B", "Read")).failure, kObjectNotFound);
  EXPECT_EQ(other.Counter().Count("NWDSMapNameToID"), 1);
  EXPECT_THAT(Dump(), IsSupersetOf({"T,U2.ACME,FS1,VOL:\\A,Read", "T,U2.ACME,FS1,VOL:\\B,Write"}));
}

}  // namespace
