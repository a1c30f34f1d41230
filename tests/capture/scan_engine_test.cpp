// The trustee scan without a window, on a small simulated network: the records it makes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "capture/volume_scan.h"
#include "formats/rights_file.h"
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
  }

  capture::ScanSummary Scan(std::vector<std::string> names, capture::ScanOptions options) {
    std::size_t next = 0;
    return capture::ScanVolume(
        platform_->Client(), platform_->Files(), {"T", "FS1", "VOL"},
        [&]() -> std::optional<std::string> {
          if (next == names.size()) return std::nullopt;
          return names[next++];
        },
        [&](const formats::RightsRecord& r) { written.push_back(r.object); }, observer, options);
  }
  long Calls(const std::string& call) const { return platform_->Counter().Count(call); }

  testing_support::TempDir network_;
  std::unique_ptr<testing_support::CountingPlatform> platform_;
  Recorder observer;
  std::vector<std::string> written;
};

// Set up once or per object, the scan makes the same records; once means one path lookup.
TEST_F(ScanEngineTest, BothWaysOfSettingUpMakeTheSameRecords) {
  for (const bool once : {false, true}) {
    SCOPED_TRACE(once);
    platform_->Counter().calls.clear();
    observer = {};
    const capture::ScanSummary summary =
        Scan({"U1.ACME", "U25.ACME", "NOSUCH.ACME", "IDLE.ACME", "U21.ACME"}, {.setUpOnce = once});
    EXPECT_EQ(summary.objects, 5);
    EXPECT_EQ(summary.unmappedObjects, 1);
    EXPECT_THAT(observer.objects, ElementsAre("0 U1.ACME", "1 U25.ACME", "2 NOSUCH.ACME",
                                              "3 IDLE.ACME", "4 U21.ACME"));
    // U25 and U21 sit in the second batch of Shared's trustee list.
    EXPECT_THAT(observer.records,
                ElementsAre("T,U1.ACME,FS1,VOL:\\Shared,Read\r\n",
                            "T,U1.ACME,FS1,VOL:\\Apps\\Tools\\Bin,Read-FileScan\r\n",
                            "T,U1.ACME,FS1,VOL:,Supervisor\r\n",
                            "T,U25.ACME,FS1,VOL:\\Shared,Read-Create-Delete\r\n",
                            "T,U21.ACME,FS1,VOL:\\Shared,Read-Delete\r\n"));
    EXPECT_EQ(observer.paths[1], "\\\\FS1\\VOL:\\Apps\\Tools\\Bin");
    EXPECT_EQ(Calls("NWParsePath"), once ? 1 : 5);
  }
}

// A name with no Windows-1252 code maps to no object, and the scan goes on with the next.
TEST_F(ScanEngineTest, ANameTheClientCannotCarryIsLeftOutAndTheScanGoesOn) {
  for (const bool once : {false, true}) {
    SCOPED_TRACE(once);
    written.clear();
    const capture::ScanSummary summary = Scan({"\u03A9mega.ACME", "U21.ACME"}, {.setUpOnce = once});
    EXPECT_EQ(summary.objects, 2);
    EXPECT_EQ(summary.unmappedObjects, 1);
    EXPECT_THAT(written, ElementsAre("U21.ACME"));
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
