// The trustee scan without a window, on a small simulated network, through the counting
// platform: the records it makes and the calls it makes for them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "capture/volume_scan.h"
#include "formats/rights_file.h"
#include "formats/windows1252.h"
#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

// 25 trustees on Shared (two batches), U1 also on a deeper directory and the volume root.
std::string Network() {
  std::string users, assignments;
  for (int i = 1; i <= 25; ++i) {
    const std::string name = "U" + std::to_string(i);
    users += R"({ "name": ")" + name + R"(", "class": "User" },)";
    assignments += R"({ "server": "FS1", "volume": "VOL", "directory": "SHARED", "object": ")" +
                   name + R"(.ACME", "rights": )" + std::to_string(i) + "},";
  }
  return R"({ "trees": [ { "name": "T", "objects": [ { "name": "ACME", "class": "Organization",
      "children": [ )" +
         users + R"( { "name": "IDLE", "class": "User" } ] } ] } ],
    "servers": [ { "name": "FS1", "tree": "T", "volumes": [ { "name": "VOL",
      "directories": [ "Shared", "Apps/Tools/Bin" ] } ] } ],
    "assignments": [ )" +
         assignments + R"(
      { "server": "FS1", "volume": "VOL", "directory": "APPS/TOOLS/BIN", "object": "U1.ACME",
        "rights": "Read-FileScan" },
      { "server": "FS1", "volume": "VOL", "directory": "", "object": "U1.ACME",
        "rights": "Supervisor" } ] })";
}

class CountingListing : public nw::FileListing {
 public:
  explicit CountingListing(nw::FileListing& inner) : inner_(inner) {}
  std::string Dir(const std::string& path) override {
    ++asked[path];
    return inner_.Dir(path);
  }
  std::map<std::string, int> asked;

 private:
  nw::FileListing& inner_;
};

class Recorder : public capture::ScanObserver {
 public:
  void OnObject(std::int64_t counter, const std::string& name) override {
    objects.push_back(std::to_string(counter) + " " + name);
  }
  void OnRecord(const formats::RightsRecord& record, const std::string& path) override {
    records.push_back(formats::FormatRightsRecord(record));
    paths.push_back(path);
  }
  std::vector<std::string> objects, records, paths;
};

class ScanEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), Network());
    platform_ =
        std::make_unique<testing_support::CountingPlatform>(sim::OpenNetwork(network_.path()));
    listing_ = std::make_unique<CountingListing>(platform_->Files());
  }

  capture::ScanSummary Scan(std::vector<std::string> names, capture::ScanOptions options = {},
                            const capture::RecordSink& sink = nullptr) {
    std::size_t next = 0;
    return capture::ScanVolume(
        platform_->Client(), *listing_, {"T", "FS1", "VOL"},
        [&]() -> std::optional<std::string> {
          if (next == names.size()) return std::nullopt;
          return names[next++];
        },
        sink ? sink : [&](const formats::RightsRecord& r) { written.push_back(r.object); },
        observer, options);
  }
  long Calls(const std::string& call) const { return platform_->Counter().Count(call); }

  testing_support::TempDir network_;
  std::unique_ptr<testing_support::CountingPlatform> platform_;
  std::unique_ptr<CountingListing> listing_;
  Recorder observer;
  std::vector<std::string> written;
};

TEST_F(ScanEngineTest, BothWaysOfSettingUpMakeTheSameRecordsWithTheirOwnCalls) {
  struct Case {
    bool setUpOnce;
    long parses, contexts, volumeNumbers;
  };
  for (const Case c : {Case{false, 5, 5, 4}, Case{true, 1, 1, 1}}) {
    SCOPED_TRACE(c.setUpOnce);
    platform_->Counter().calls.clear();
    listing_ = std::make_unique<CountingListing>(platform_->Files());
    observer = {};
    const capture::ScanSummary summary =
        Scan({"U1.ACME", "U25.ACME", "NOSUCH.ACME", "IDLE.ACME", "U21.ACME"},
             {.setUpOnce = c.setUpOnce});
    EXPECT_EQ(summary.objects, 5);
    EXPECT_EQ(summary.unmappedObjects, 1);
    EXPECT_THAT(observer.objects, ElementsAre("0 U1.ACME", "1 U25.ACME", "2 NOSUCH.ACME",
                                              "3 IDLE.ACME", "4 U21.ACME"));
    EXPECT_THAT(observer.records,
                ElementsAre("T,U1.ACME,FS1,VOL:\\Shared,Read\r\n",
                            "T,U1.ACME,FS1,VOL:\\Apps\\Tools\\Bin,Read-FileScan\r\n",
                            "T,U1.ACME,FS1,VOL:,Supervisor\r\n",
                            "T,U25.ACME,FS1,VOL:\\Shared,Read-Create-Delete\r\n",
                            "T,U21.ACME,FS1,VOL:\\Shared,Read-Delete\r\n"));
    EXPECT_EQ(observer.paths[1], "\\\\FS1\\VOL:\\Apps\\Tools\\Bin");
    EXPECT_EQ(Calls("NWParsePath"), c.parses);
    EXPECT_EQ(Calls("NWDSCreateContextHandle"), c.contexts);
    EXPECT_EQ(Calls("NWDSFreeContext"), c.contexts);
    EXPECT_EQ(Calls("NWGetVolumeNumber"), c.volumeNumbers);
    // Each directory's list is read once, however many of its trustees are scanned (three
    // on Shared): the root and Bin one batch each, Shared two; a short batch is the last.
    EXPECT_EQ(Calls("NWScanDirectoryForTrustees2"), 1 + 1 + 2);
    // Each prefix of a path is listed once.
    for (const auto& [path, times] : listing_->asked) EXPECT_EQ(times, 1) << path;
    EXPECT_EQ(listing_->asked.size(), 4u);  // Shared, Apps, Apps\Tools, Apps\Tools\Bin
  }
}

TEST_F(ScanEngineTest, AnEmptyListMakesNoCall) {
  EXPECT_EQ(Scan({}, {.setUpOnce = true}).objects, 0);
  EXPECT_EQ(platform_->Counter().Total(), 0);
}

TEST_F(ScanEngineTest, AValueTheFileCannotCarryCostsItsRecordAndAFailingFileTheScan) {
  int calls = 0;
  const capture::ScanSummary summary = Scan({"U1.ACME", "U2.ACME"}, {}, [&](const auto&) {
    if (++calls == 2) throw formats::UnwritableValue("no");
  });
  EXPECT_EQ(summary.skippedRecords, 1);
  EXPECT_EQ(calls, 4);

  EXPECT_THROW(Scan({"U1.ACME"}, {}, [](const auto&) { throw std::runtime_error("disk full"); }),
               std::runtime_error);
}

// The client takes names in Windows-1252: a name without a code there maps to no object, and
// the scan goes on with the next.
TEST_F(ScanEngineTest, ANameTheClientCannotCarryIsLeftOutAndTheScanGoesOn) {
  for (const bool once : {false, true}) {
    SCOPED_TRACE(once);
    written.clear();
    platform_->Counter().calls.clear();
    const capture::ScanSummary summary = Scan({"\u03A9mega.ACME", "U21.ACME"}, {.setUpOnce = once});
    EXPECT_EQ(summary.objects, 2);
    EXPECT_EQ(summary.unmappedObjects, 1);
    EXPECT_THAT(written, ElementsAre("U21.ACME"));
    EXPECT_EQ(Calls("NWDSCreateContextHandle"), Calls("NWDSFreeContext"));
  }
}

TEST_F(ScanEngineTest, AVolumeThatCannotBeReachedEndsTheScanNamingIt) {
  sim::SetServerUp(network_.path(), "FS1", false);
  for (const bool once : {false, true}) {
    try {
      Scan({"U1.ACME"}, {.setUpOnce = once});
      ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr("\\\\FS1\\VOL cannot be reached (E= 34826)"));
    }
  }
  EXPECT_TRUE(written.empty());
}

}  // namespace
