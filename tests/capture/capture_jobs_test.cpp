// The command line's scans of one volume on several platforms side by side, and its scan of
// directories' trustee lists in batches: the same records, in the same order, as the window's
// scan of each object, and fewer round trips.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capture/filters.h"
#include "capture/volume_scan.h"
#include "cli/capture_scan.h"
#include "formats/filters_file.h"
#include "formats/rights_file.h"
#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/shaped_network.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

// Hidden directories and a hidden file (their names come back as the server spells them),
// trustees on files, filters, a directory with more trustees than one batch holds, names
// whose order differs between "/" and " " ("A b" against "A b/C"), and the volume root.
std::string NetworkJson() {
  std::string users, crowd;
  for (int i = 1; i <= 30; ++i) {
    const std::string name = "C" + std::to_string(i);
    users += R"({"name": ")" + name + R"(", "class": "User"},)";
    crowd += R"({"server": "FS1", "volume": "VOL", "directory": "Shared", "object": ")" + name +
             R"(.ACME", "rights": )" + std::to_string(i) + "},";
  }
  return R"({ "trees": [ { "name": "T", "objects": [ { "name": "ACME", "class": "Organization",
  "children": [ )" +
         users +
         R"( {"name": "U1", "class": "User"}, {"name": "U2", "class": "User"},
  {"name": "Staff", "class": "Group"},
  {"name": "FS1_VOL", "class": "Volume", "server": "FS1", "volume": "VOL"} ] } ] } ],
 "servers": [ { "name": "FS1", "tree": "T", "volumes": [ { "name": "VOL",
   "directories": [ "Shared", "Apps/Tools/Bin", ".Secret/Deep", "Zeta Dir", "A b/C", "A b c" ],
   "files": [ "Apps/EDIT.EXE", ".Secret/key.txt" ] } ] } ],
 "assignments": [ )" +
         crowd +
         R"(
  {"server": "FS1", "volume": "VOL", "directory": "Zeta Dir", "object": "U1.ACME", "rights": "Read"},
  {"server": "FS1", "volume": "VOL", "directory": ".Secret/Deep", "object": "U1.ACME", "rights": "Read-FileScan"},
  {"server": "FS1", "volume": "VOL", "directory": ".Secret/key.txt", "object": "U2.ACME", "rights": "Read"},
  {"server": "FS1", "volume": "VOL", "directory": "Apps/EDIT.EXE", "object": "U1.ACME", "rights": "Read-Modify"},
  {"server": "FS1", "volume": "VOL", "directory": "A b/C", "object": "U1.ACME", "rights": "Write"},
  {"server": "FS1", "volume": "VOL", "directory": "A b c", "object": "U1.ACME", "rights": "Create"},
  {"server": "FS1", "volume": "VOL", "directory": "Apps", "object": "U1.ACME", "rights": "Supervisor"},
  {"server": "FS1", "volume": "VOL", "directory": "Shared", "object": "U1.ACME", "rights": "Delete"},
  {"server": "FS1", "volume": "VOL", "directory": "", "object": "Staff.ACME", "rights": "FileScan"},
  {"server": "FS1", "volume": "VOL", "directory": "Apps/Tools/Bin", "object": "Staff.ACME", "rights": 511}
 ],
 "filters": [ {"server": "FS1", "volume": "VOL", "path": ".Secret", "rights": "Read"},
              {"server": "FS1", "volume": "VOL", "path": "Apps/EDIT.EXE", "rights": ""},
              {"server": "FS1", "volume": "VOL", "path": "Shared", "rights": "Read-FileScan"} ],
 "workstation": { "trees": [ "T" ] } })";
}

// Unmapped names, a name twice, a name the client cannot carry, and the crowd in an order of
// its own, so that objects of the second batch of Shared come before the first.
std::vector<std::string> Names() {
  std::vector<std::string> names{"U1.ACME",         "NOSUCH.ACME", "C27.ACME",  "U1.ACME",
                                 "\u03A9mega.ACME", "U2.ACME",     "Staff.ACME"};
  for (int i = 30; i >= 1; --i) names.push_back("C" + std::to_string(i) + ".ACME");
  return names;
}

class NoObserver : public capture::ScanObserver {
 public:
  void OnObject(std::int64_t, const std::string&) override {}
  void OnRecord(const formats::RightsRecord&, const std::string&) override {}
};

class CaptureJobsTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::LoadNetworkJson(network_.path(), NetworkJson()); }

  // The window's scan, object after object: what every other way must write.
  std::string WindowRecords(const cli::ScanObjects& objects) {
    auto platform = sim::OpenNetwork(network_.path());
    std::size_t next = 0;
    std::string bytes;
    NoObserver observer;
    capture::ScanVolume(
        platform->Client(), platform->Files(), {objects.tree, "FS1", "VOL"},
        [&]() -> std::optional<std::string> {
          if (next == objects.names.size()) return std::nullopt;
          return objects.names[next++];
        },
        [&](const formats::RightsRecord& r) { bytes += formats::FormatRightsRecord(r); }, observer);
    return bytes;
  }

  struct Scanned {
    std::string records;
    std::vector<formats::FilterRecord> filters;
    long calls = 0;  // client calls, over every worker
  };
  Scanned Scan(const cli::ScanObjects& objects, bool byDirectory, std::size_t jobs) {
    std::vector<std::unique_ptr<testing_support::CountingPlatform>> platforms;
    std::vector<nw::NetWarePlatform*> workers;
    for (std::size_t i = 0; i < jobs; ++i) {
      platforms.push_back(
          std::make_unique<testing_support::CountingPlatform>(sim::OpenNetwork(network_.path())));
      workers.push_back(platforms.back().get());
    }
    Scanned scanned;
    cli::VolumeScan scan{"FS1", "VOL", &objects, byDirectory, &scanned.filters, nullptr};
    cli::ScanVolumeOn(workers, scan, [&](const formats::RightsRecord& r) {
      scanned.records += formats::FormatRightsRecord(r);
    });
    for (const auto& platform : platforms) scanned.calls += platform->Counter().Total();
    return scanned;
  }

  testing_support::TempDir network_;
};

TEST_F(CaptureJobsTest, EveryWayAndEveryNumberOfJobsWritesTheWindowsRecordsAndFilters) {
  const cli::ScanObjects objects{"T", Names(), {}};
  const std::string window = WindowRecords(objects);
  auto platform = sim::OpenNetwork(network_.path());
  const std::vector<formats::FilterRecord> filters =
      capture::ReadFilters(platform->Client(), "FS1", "VOL");
  // What the window's file holds: hidden names as the server spells them, each object's
  // paths in the server's order (by folded path, " " before "/"), the name given twice written
  // twice.
  ASSERT_THAT(window, HasSubstr("T,U1.ACME,FS1,VOL:\\.SECRET\\DEEP,Read-FileScan\r\n"
                                "T,U1.ACME,FS1,VOL:\\A b c,Create\r\n"
                                "T,U1.ACME,FS1,VOL:\\A b\\C,Write\r\n"));
  ASSERT_THAT(window, HasSubstr("T,U2.ACME,FS1,VOL:\\.SECRET\\KEY.TXT,Read\r\n"));
  ASSERT_EQ(filters.size(), 3u);
  for (const bool byDirectory : {false, true}) {
    for (const std::size_t jobs : {1, 3, 8}) {
      SCOPED_TRACE(std::string(byDirectory ? "by directory, " : "by object, ") +
                   std::to_string(jobs) + " jobs");
      const Scanned scanned = Scan(objects, byDirectory, jobs);
      EXPECT_EQ(scanned.records, window);
      EXPECT_EQ(scanned.filters, filters);
    }
  }
}

// A version 3 server's objects come with their IDs: none is looked up.
TEST_F(CaptureJobsTest, ObjectsGivenWithTheirIDsAreScannedUnderThem) {
  const cli::ScanObjects byName{"T", {"U1.ACME", "Staff.ACME"}, {}};
  const std::string window = WindowRecords(byName);
  auto platform = sim::OpenNetwork(network_.path());
  const nw::NWCONN_HANDLE conn = capture::VolumeConnection(platform->Client(), "FS1", "VOL");
  std::vector<nw::nuint32> ids;
  for (const char* name : {"U1.ACME", "Staff.ACME"}) {
    nw::NWDSContextHandle context = 0;
    ASSERT_EQ(platform->Client().NWDSCreateContextHandle(&context), 0);
    nw::nuint32 id = 0;
    ASSERT_EQ(platform->Client().NWDSMapNameToID(context, conn, name, &id), 0);
    platform->Client().NWDSFreeContext(context);
    ids.push_back(id);
  }
  // Named as no object of the tree, so that a lookup by name would find nothing.
  const cli::ScanObjects given{"T", {"X1", "X2"}, {ids[0], ids[1]}};
  std::string expected = window;
  for (const auto& [from, to] : {std::pair{"U1.ACME", "X1"}, std::pair{"Staff.ACME", "X2"}}) {
    for (std::size_t at = expected.find(from); at != std::string::npos; at = expected.find(from)) {
      expected.replace(at, std::string(from).size(), to);
    }
  }
  for (const bool byDirectory : {false, true}) {
    SCOPED_TRACE(byDirectory);
    EXPECT_EQ(Scan(given, byDirectory, 3).records, expected);
  }
}

// An assignment on a folder removed behind the server's back: only the scan of each object
// finds it, which is why that scan stays the default.
TEST_F(CaptureJobsTest, OnlyTheScanOfEachObjectFindsAnAssignmentOnAPathThatIsGone) {
  sim::LoadNetworkJson(network_.path(), R"({ "assignments": [ {"server": "FS1", "volume": "VOL",
      "directory": "Old Projects", "object": "U2.ACME", "rights": "Read", "missing": true } ] })");
  const cli::ScanObjects objects{"T", {"U2.ACME"}, {}};
  const std::string gone = "T,U2.ACME,FS1,VOL:\\OLD PROJECTS,Read\r\n";
  EXPECT_THAT(Scan(objects, false, 2).records, HasSubstr(gone));
  EXPECT_THAT(Scan(objects, true, 2).records, Not(HasSubstr(gone)));
}

// Round trips of a capture at one job on a generated network: the batched reads of
// directories' trustee lists make far fewer client calls per assignment than asking each
// object for its paths.
TEST(CaptureRoundTrips, TheBatchedScanMakesFewerThanHalfACallAnAssignment) {
  testing_support::TempDir network;
  const sim::GenerateOptions options = testing_support::ShapedNetwork(500);
  const sim::GenerateSummary summary = sim::GenerateNetwork(network.path(), options);
  auto platform = sim::OpenNetwork(network.path());
  // The generated objects, every one: users, groups, roles and units.
  cli::ScanObjects objects{options.tree, {}, {}};
  for (const std::string& line : sim::DumpAssignments(network.path())) {
    const std::size_t first = line.find(',');
    const std::string name = line.substr(first + 1, line.find(',', first + 1) - first - 1);
    if (objects.names.empty() || objects.names.back() != name) objects.names.push_back(name);
  }
  std::vector<double> perAssignment;
  std::string written[2];
  for (const bool byDirectory : {false, true}) {
    testing_support::CountingPlatform counting(sim::OpenNetwork(network.path()));
    std::vector<formats::FilterRecord> filters;
    cli::VolumeScan scan{options.server, options.volume, &objects, byDirectory, &filters, nullptr};
    std::size_t records = 0;
    cli::ScanVolumeOn({&counting}, scan, [&](const formats::RightsRecord& r) {
      written[byDirectory] += formats::FormatRightsRecord(r);
      ++records;
    });
    ASSERT_EQ(records, static_cast<std::size_t>(summary.assignments));
    EXPECT_EQ(filters.size(), static_cast<std::size_t>(summary.filters));
    perAssignment.push_back(static_cast<double>(counting.Counter().Total()) / summary.assignments);
  }
  EXPECT_EQ(written[0], written[1]);
  EXPECT_LT(perAssignment[1], 0.5) << "by object " << perAssignment[0];
  EXPECT_LT(perAssignment[1], perAssignment[0] / 2);
}

// Scanners that meet one directory at once wait for the first one's reading of its list;
// a reading that failed is forgotten, so that the next scanner reads it again.
TEST(SharedTrusteeListsTest, EachListIsReadOnceHoweverManyScannersMeetItAtOnce) {
  capture::SharedTrusteeLists lists;
  std::atomic<int> reads{0};
  const auto slowRead = [&] {
    ++reads;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return nw::TrusteeList{{7, 0x1FF}};
  };
  std::vector<std::shared_ptr<const nw::TrusteeList>> got(6);
  {
    std::vector<std::jthread> scanners;
    for (auto& each : got) scanners.emplace_back([&] { each = lists.Get("VOL:DIR", slowRead); });
  }
  EXPECT_EQ(reads, 1);
  for (const auto& each : got) EXPECT_EQ(each, got.front());

  const auto failing = [&]() -> nw::TrusteeList { throw std::runtime_error("E=0x8801"); };
  EXPECT_THROW(lists.Get("VOL:GONE", failing), std::runtime_error);
  EXPECT_EQ(lists.Get("VOL:GONE", slowRead)->size(), 1u);
  EXPECT_EQ(reads, 2);
}

}  // namespace
