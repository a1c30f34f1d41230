// An exact volume on a small simulated network, through the counting platform: what it finds
// beyond the file, in which order, what it removes, and an ID that has no name.

#include "restore/exact_volume.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "netware/sim/sim_network.h"
#include "restore/grant.h"
#include "support/counting_platform.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

class ExactVolumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), testing_support::TestData("restore_grant_network.json"));
    platform_ =
        std::make_unique<testing_support::CountingPlatform>(sim::OpenNetwork(network_.path()));
    // Beyond the network's own: U2 on the root and on a file, and a filter on A.
    restore::Granter granter(platform_->Client(), {.reuse = true});
    u2_ = granter.Grant({"T", "U2.ACME", "FS1", "VOL:\\B\\C", "Read-Write"}).objectID;
    ASSERT_NE(u2_, 0u);
    for (const char* path : {"VOL:", "VOL:\\A\\readme.txt"}) {
      ASSERT_EQ(granter.Grant({"T", "U2.ACME", "FS1", path, "FileScan"}).status,
                restore::GrantStatus::kAdded);
    }
    ASSERT_EQ(granter.SetFilter("FS1", "VOL:\\A", "Read").status, restore::GrantStatus::kAdded);
  }

  // What the file holds: U1 on A by its name only, U2 on B\C by its ID.
  restore::ExactVolume Held() const {
    restore::ExactVolume volume{"T", "FS1", "VOL", {}, {}, {}, true};
    volume.trusteeNames.insert({"VOL:\\A", "U1.ACME"});
    volume.trusteeIDs.insert({"VOL:\\B\\C", u2_});
    return volume;
  }
  // Each removal as "object path rights" or "filter path rights", with its code.
  std::vector<std::string> Exact(bool dryRun) {
    std::vector<std::string> said;
    const nw::NWRCODE rc = restore::MakeExact(
        platform_->Client(), Held(), dryRun, [&](const restore::Removal& removal) {
          said.push_back((removal.filter ? "filter" : removal.tree + " " + removal.object) + " " +
                         removal.path + " " + std::to_string(removal.mask) + " " +
                         std::to_string(removal.code));
        });
    EXPECT_EQ(rc, 0);
    return said;
  }
  std::vector<std::string> Dump() const {
    return sim::DumpAssignments(network_.path(), "FS1", "VOL");
  }

  testing_support::TempDir network_;
  std::unique_ptr<testing_support::CountingPlatform> platform_;
  nw::nuint32 u2_ = 0;
};

TEST_F(ExactVolumeTest, RemovesWhatTheFileDoesNotHoldInTheOrderOfTheWalk) {
  const std::vector<std::string> removals = {"T U2.ACME VOL: 64 0", "filter VOL:\\A 1 0",
                                             "T U2.ACME VOL:\\A\\readme.txt 64 0"};
  const std::vector<std::string> before = Dump();
  EXPECT_EQ(Exact(true), removals);
  EXPECT_EQ(Dump(), before);
  EXPECT_EQ(Exact(false), removals);
  EXPECT_THAT(Dump(), UnorderedElementsAre("T,U1.ACME,FS1,VOL:\\A,Read",
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
  EXPECT_THAT(Dump(), UnorderedElementsAre("T,U1.ACME,FS1,VOL:\\Gone,Read",
                                           "T,U2.ACME,FS1,VOL:\\B\\C,Read-Write"));
}

}  // namespace
