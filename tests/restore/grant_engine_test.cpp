// The grant of one record and the exact volume without a window, on a small simulated network,
// through the counting platform: what they grant and remove, what they say the volume held,
// and the calls they make.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "formats/rights_file.h"
#include "formats/rights_text.h"
#include "netware/sim/sim_network.h"
#include "restore/exact_volume.h"
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
  std::vector<std::string> Dump(const std::string& server = "") const {
    return sim::DumpAssignments(network_.path(), server, server.empty() ? "" : "VOL");
  }

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

// Beyond the network's own: U2 on B\C, on the root and on a file, and a filter on A.
class ExactVolumeTest : public GrantEngineTest {
 protected:
  void SetUp() override {
    GrantEngineTest::SetUp();
    restore::Granter granter(platform_->Client(), {.reuse = true});
    u2_ = granter.Grant(Record("FS1", "U2.ACME", "VOL:\\B\\C", "Read-Write")).objectID;
    ASSERT_NE(u2_, 0u);
    for (const char* path : {"VOL:", "VOL:\\A\\readme.txt"}) {
      ASSERT_EQ(granter.Grant(Record("FS1", "U2.ACME", path, "FileScan")).status, kAdded);
    }
    ASSERT_EQ(granter.SetFilter("FS1", "VOL:\\A", "Read").status, kAdded);
  }

  // What the file holds (U1 on A by its name only, U2 on B\C by its ID) made exact: each
  // removal as "object path rights" or "filter path rights", with its code.
  std::vector<std::string> Exact(bool dryRun) {
    restore::ExactVolume held{"T", "FS1", "VOL", {}, {}, {}, true};
    held.trusteeNames.insert({"VOL:\\A", "U1.ACME"});
    held.trusteeIDs.insert({"VOL:\\B\\C", u2_});
    std::vector<std::string> said;
    const nw::NWRCODE rc =
        restore::MakeExact(platform_->Client(), held, dryRun, [&](const restore::Removal& removal) {
          said.push_back((removal.filter ? "filter" : removal.tree + " " + removal.object) + " " +
                         removal.path + " " + std::to_string(removal.mask) + " " +
                         std::to_string(removal.code));
        });
    EXPECT_EQ(rc, 0);
    return said;
  }

  nw::nuint32 u2_ = 0;
};

TEST_F(ExactVolumeTest, RemovesWhatTheFileDoesNotHoldInTheOrderOfTheWalk) {
  const std::vector<std::string> removals = {"T U2.ACME VOL: 64 0", "filter VOL:\\A 1 0",
                                             "T U2.ACME VOL:\\A\\readme.txt 64 0"};
  const std::vector<std::string> before = Dump("FS1");
  EXPECT_EQ(Exact(true), removals);
  EXPECT_EQ(Dump("FS1"), before);
  EXPECT_EQ(Exact(false), removals);
  EXPECT_THAT(Dump("FS1"), UnorderedElementsAre("T,U1.ACME,FS1,VOL:\\A,Read",
                                                "T,U1.ACME,FS1,VOL:\\Gone,Read",  // no longer there
                                                "T,U2.ACME,FS1,VOL:\\B\\C,Read-Write"));
  EXPECT_THAT(Exact(false), IsEmpty());
}

// A trustee whose ID the tree cannot name is still shown and removed; U1, held by its name
// alone, cannot be told from it then, and goes too.
TEST_F(ExactVolumeTest, AnIDWithoutANameIsRemovedUnderItsID) {
  platform_->Counter().after = [](const std::string& call, nw::NWRCODE rc) {
    return call == "NWDSMapIDToName" ? nw::kDsNoSuchEntry : rc;
  };
  std::array<char, 32> u2{};
  std::snprintf(u2.data(), u2.size(), "(no name: ID 0x%08X)", static_cast<unsigned>(u2_));
  const std::vector<std::string> said = Exact(false);
  EXPECT_THAT(said, Contains("T " + std::string(u2.data()) + " VOL:\\A\\readme.txt 64 0"));
  EXPECT_EQ(said.size(), 4u);
  EXPECT_THAT(Dump("FS1"), UnorderedElementsAre("T,U1.ACME,FS1,VOL:\\Gone,Read",
                                                "T,U2.ACME,FS1,VOL:\\B\\C,Read-Write"));
}

}  // namespace
