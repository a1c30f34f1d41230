#pragma once
// A small network on a temporary folder, and the loops a caller of the client runs.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "netware/platform.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace simtest {

// ACME_TREE: ACME{JSmith, Staff, Sales{MBrown, Boss}, Crowd{U01..U45}, two volumes}, and a
// tree OTHER with its own JSmith.ACME. Servers: FS1 (4.11; SYS with Public, Users/JSmith,
// Deep/A/B/C/D; Data number 3 with Crowd, Twenty, .hidden), OLD3 (3.12, bindery GUEST,
// STAFF), DOWN (down). Crowd has 45 trustees, Twenty 20.
std::string SmallNetworkJson();

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;

  nw::NetWareClient& client() { return platform_->Client(); }
  nw::NWSession& session() { return platform_->Session(); }
  std::filesystem::path folder() const { return temp_.path() / "net"; }
  std::unique_ptr<nw::NetWarePlatform> Reopen() { return sim::OpenNetwork(folder()); }

  nw::NWCONN_HANDLE Connect(const std::string& server);
  // The NDS ID of a dotted name from the root of `tree` ("" : the connection's tree).
  std::uint32_t IdOf(const std::string& dotted, const std::string& tree = "");

  testing_support::TempDir temp_;
  std::unique_ptr<nw::NetWarePlatform> platform_;
};

// Every path NWScanObjectTrusteePaths gives for the object, and the final code.
std::pair<std::vector<std::string>, nw::NWRCODE> ScanPaths(nw::NetWareClient& client,
                                                           nw::NWCONN_HANDLE conn, std::uint32_t id,
                                                           std::uint32_t volume);

struct Batch {
  nw::NWRCODE code;
  std::vector<nw::TrusteeEntry> entries;  // up to the first ObjectID 0
  bool terminated;                        // an ObjectID 0 closed the batch
};
// Every batch of a directory's trustee list, the final non-zero one included.
std::vector<Batch> ScanDirectory(nw::NetWareClient& client, nw::NWCONN_HANDLE conn,
                                 const std::string& path);
// The trustees of all batches in order, as (ID, rights).
std::vector<std::pair<std::uint32_t, std::uint16_t>> Trustees(const std::vector<Batch>& batches);

}  // namespace simtest
