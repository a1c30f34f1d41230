// The trustee scan without a window, on a small simulated network: the records it makes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "capture/volume_scan.h"
#include "formats/rights_file.h"
#include "netware/sim/sim_network.h"
#include "support/counted_network_test.h"

namespace {

using namespace ::testing;

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

class ScanEngineTest : public testing_support::CountedNetworkTest {
 protected:
  // 25 trustees on Shared (two batches), U1 also on a deeper directory and the volume root.
  ScanEngineTest() : CountedNetworkTest("capture_scan_network.json") {}

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

  Recorder observer;
  std::vector<std::string> written;
};

// Set up once or per object, the scan makes the same records and goes on past a name that maps
// to no object or has no Windows-1252 code.
TEST_F(ScanEngineTest, BothWaysOfSettingUpMakeTheSameRecords) {
  for (const bool once : {false, true}) {
    SCOPED_TRACE(once);
    observer = {};
    written.clear();
    const capture::ScanSummary summary =
        Scan({"U1.ACME", "U25.ACME", "NOSUCH.ACME", "\u03A9mega.ACME", "IDLE.ACME", "U21.ACME"},
             {.setUpOnce = once});
    EXPECT_EQ(summary.objects, 6);
    EXPECT_EQ(summary.unmappedObjects, 2);
    EXPECT_THAT(observer.objects, ElementsAre("0 U1.ACME", "1 U25.ACME", "2 NOSUCH.ACME",
                                              "3 \u03A9mega.ACME", "4 IDLE.ACME", "5 U21.ACME"));
    // U25 and U21 sit in the second batch of Shared's trustee list; an object's paths come
    // in the order of their folded paths, the root first.
    EXPECT_THAT(observer.records,
                ElementsAre("T,U1.ACME,FS1,VOL:,Supervisor\r\n",
                            "T,U1.ACME,FS1,VOL:\\Apps\\Tools\\Bin,Read-FileScan\r\n",
                            "T,U1.ACME,FS1,VOL:\\Shared,Read\r\n",
                            "T,U25.ACME,FS1,VOL:\\Shared,Read-Create-Delete\r\n",
                            "T,U21.ACME,FS1,VOL:\\Shared,Read-Delete\r\n"));
    EXPECT_THAT(written, ElementsAre("U1.ACME", "U1.ACME", "U1.ACME", "U25.ACME", "U21.ACME"));
    EXPECT_EQ(observer.paths[1], "\\\\FS1\\VOL:\\Apps\\Tools\\Bin");
  }
}

// Set up once, as the command line sets up, a volume that cannot be reached ends the scan.
TEST_F(ScanEngineTest, AVolumeThatCannotBeReachedEndsTheScanNamingIt) {
  sim::SetServerUp(network_.path(), "FS1", false);
  EXPECT_THAT(
      [&] { Scan({"U1.ACME"}, {.setUpOnce = true}); },
      ThrowsMessage<std::runtime_error>(HasSubstr("\\\\FS1\\VOL cannot be reached (E= 34826)")));
  EXPECT_TRUE(written.empty());
}

}  // namespace
