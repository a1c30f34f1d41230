// What a capture reads beyond the trustee paths: every entry of a volume and the filters
// found on them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "capture/filters.h"
#include "netware/volume_walk.h"
#include "support/counted_network_test.h"

namespace {

using namespace ::testing;

class VolumeSecurityTest : public testing_support::CountedNetworkTest {
 protected:
  VolumeSecurityTest() : CountedNetworkTest("cli_filters_network.json") {}
};

TEST_F(VolumeSecurityTest, TheWalkReachesEveryEntryEachAfterItsDirectory) {
  const nw::NWCONN_HANDLE conn = capture::VolumeConnection(client(), "FS1", "SYS");
  std::vector<std::string> paths;
  const nw::NWRCODE rc = nw::WalkVolume(
      client(), conn, "SYS", [&](const std::string& path, const nw::NW_ENTRY_INFO& entry) {
        // Only directories are walked into: each path's parent came before it.
        const std::string parent = path.substr(0, path.rfind('\\'));
        if (parent != "SYS:") {
          EXPECT_THAT(paths, Contains(parent + "/")) << path;
        }
        paths.push_back(path + ((entry.attributes & nw::FA_DIRECTORY) ? "/" : ""));
      });
  EXPECT_EQ(rc, 0);
  EXPECT_THAT(paths,
              UnorderedElementsAre("SYS:\\A/", "SYS:\\A\\Z/", "SYS:\\A B/", "SYS:\\Budget, 2024/",
                                   "SYS:\\PUBLIC/", "SYS:\\PUBLIC\\EDIT.EXE", "SYS:\\USERS/",
                                   "SYS:\\USERS\\JSMITH/", "SYS:\\USERS\\JSMITH\\Notes.txt"));
}

// A failure part-way fails the whole read: a filters file missing some filters would let a
// restore widen access.
TEST_F(VolumeSecurityTest, AWalkThatFailsPartWayFailsTheFilters) {
  platform_->Counter().after = [&](const std::string& call, nw::NWRCODE rc) {
    return call == "NWScanNSEntryInfo" && platform_->Counter().Count(call) == 4
               ? nw::kInvalidConnection
               : rc;
  };
  EXPECT_THAT([&] { capture::ReadFilters(client(), "FS1", "SYS"); },
              ThrowsMessage<std::runtime_error>(HasSubstr(
                  "the inherited rights filters of server FS1, volume SYS cannot be read (E= "
                  "34817)")));
}

}  // namespace
