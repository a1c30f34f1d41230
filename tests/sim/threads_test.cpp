// One network served to several threads at once, each with a platform of its own: grants
// made side by side while others read trustee lists leave the store as grants made one by
// one, and no call finds the store locked.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "formats/rights_file.h"
#include "netware/sim/sim_network.h"
#include "netware/trustee_list.h"
#include "restore/grant.h"
#include "support/store_masks.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

// The records a dump of the network gives, as a rights file reads them.
std::vector<formats::RightsRecord> Records(const std::filesystem::path& folder,
                                           const std::filesystem::path& file) {
  {
    std::ofstream out(file, std::ios::binary);
    for (const std::string& line : sim::DumpAssignments(folder)) out << line << "\r\n";
  }
  formats::RightsFileReader reader(file);
  std::vector<formats::RightsRecord> records;
  while (!reader.AtEnd()) records.push_back(reader.ReadRecord());
  return records;
}

TEST(SimThreads, GrantsSideBySideLeaveTheStoreAsGrantsOneByOne) {
  testing_support::TempDir temp;
  const std::filesystem::path folder = temp / "net";
  sim::GenerateOptions options;
  options.users = 300;
  options.directories = 120;
  options.assignments = 1500;
  options.crowdedTrustees = 200;
  options.fileTrustees = 60;
  sim::GenerateNetwork(folder, options);
  const auto held = testing_support::StoreMasks(folder, "GENFS", "DATA");
  const std::vector<formats::RightsRecord> records = Records(folder, temp / "all.RIGHTS");
  ASSERT_EQ(records.size(), held.size());

  std::map<std::string, std::uint16_t> oneByOne;
  for (std::size_t threads : {1u, 4u, 8u}) {
    SCOPED_TRACE(std::to_string(threads) + " threads granting");
    sim::ClearAssignments(folder, "GENFS", "DATA");
    std::atomic<std::size_t> added{0}, other{0}, readFailures{0};
    std::atomic<bool> granting{true};
    std::vector<std::jthread> readers;
    // Two more platforms read every directory's trustee list over and over meanwhile.
    for (int reader = 0; reader < 2; ++reader) {
      readers.emplace_back([&, reader] {
        auto platform = sim::OpenNetwork(folder);
        nw::NWCONN_HANDLE conn = 0;
        if (platform->Client().NWCCOpenConnByName(0, "GENFS", 0, 0, 0, &conn) != 0) {
          ++readFailures;
          return;
        }
        for (std::size_t i = reader; granting; i = (i + 7) % records.size()) {
          nw::TrusteeList list;
          const std::string path = "GENFS/" + records[i].directory;
          if (nw::ReadEntryTrusteeList(platform->Client(), conn, path.c_str(), &list) != 0) {
            ++readFailures;
          }
        }
      });
    }
    {
      std::vector<std::jthread> granters;
      for (std::size_t t = 0; t < threads; ++t) {
        granters.emplace_back([&, t] {
          auto platform = sim::OpenNetwork(folder);
          restore::Granter granter(platform->Client(),
                                   {.dryRun = false, .reuse = true, .groups = true});
          for (std::size_t i = t; i < records.size(); i += threads) {
            const restore::GrantOutcome outcome = granter.Grant(records[i]);
            ++(outcome.status == restore::GrantStatus::kAdded ? added : other);
          }
        });
      }
    }
    granting = false;
    readers.clear();
    EXPECT_EQ(added, records.size());
    EXPECT_EQ(other, 0u);
    EXPECT_EQ(readFailures, 0u);
    // A restored Read carries a bit more than the generated masks: one thread is the measure.
    const auto masks = testing_support::StoreMasks(folder, "GENFS", "DATA");
    EXPECT_EQ(masks.size(), held.size());
    if (oneByOne.empty()) oneByOne = masks;
    EXPECT_EQ(masks, oneByOne);
  }
}

}  // namespace
