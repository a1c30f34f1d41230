// Capture, clear, restore, capture again: the tool's two halves agree with each other and
// with the store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture/capture_fixture.h"
#include "capture/rights_file.h"
#include "capture/volume_name.h"

namespace {

using capture_testing::CaptureFixture;
using capture_testing::SortedLines;
using ::testing::Contains;
using testing_support::ReadFileBytes;

class RoundTripTest : public CaptureFixture {
 protected:
  // Captures the selected volume; the rights file's bytes.
  std::string Capture(const std::string& base) {
    desktop_.messages.clear();
    form_->Command1_Click();
    EXPECT_EQ(desktop_.MessageTexts(), std::vector<std::string>{ClosingText(base)});
    return ReadFileBytes(RightsFile(base));
  }

  static std::vector<capture::RightsRecord> Records(const std::filesystem::path& file) {
    capture::RightsFileReader reader(file);
    std::vector<capture::RightsRecord> records;
    while (!reader.AtEnd()) records.push_back(reader.ReadRecord());
    return records;
  }
  // A record in the store dump's form.
  static std::string Line(const capture::RightsRecord& r) {
    return r.tree + "," + r.object + "," + r.server + "," + r.directory + "," + r.rights;
  }
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }
  // Whether the directory "VOLUME:\Dir\Sub" of a record is in the volume's folder.
  bool Exists(const std::string& server, const std::string& volume, const std::string& dir) {
    const std::string below = dir.substr(volume.size() + 1);
    return below.empty() ||
           !platform_->Files().Dir("\\\\" + server + "\\" + volume + below).empty();
  }
};

TEST_F(RoundTripTest, GeneratedVolumeSurvivesClearAndRestoreUnchanged) {
  sim::GenerateOptions options;
  options.users = 4300;
  options.groups = 400;
  options.roles = 150;
  options.units = 150;
  options.directories = 1500;
  options.assignments = 20000;
  options.depth = 8;
  options.crowdedTrustees = 60;
  options.seed = 11;
  sim::GenerateNetwork(network_.path(), options);
  OpenWindow();
  Select(options.tree, options.server + "_" + options.volume);
  const std::string base = options.server + "_" + options.volume;

  const std::vector<std::string> stored = Dump(options.server, options.volume);
  ASSERT_GE(stored.size(), 20000u);
  const std::string first = Capture(base);
  EXPECT_GE(form_->ObjectCount, 5000);
  ASSERT_EQ(SortedLines(first), stored);

  sim::ClearAssignments(network_.path(), options.server, options.volume);
  ASSERT_TRUE(Dump(options.server, options.volume).empty());
  desktop_.messages.clear();
  desktop_.openFileAnswers.push_back(RightsFile(base).string());
  form_->Command4_Click();
  ASSERT_EQ(desktop_.MessageTexts(), std::vector<std::string>{"All trustees have been added."});
  EXPECT_EQ(Dump(options.server, options.volume), stored);

  const std::string second = Capture(base);
  EXPECT_TRUE(second == first) << "the second capture differs from the first";
}

TEST_F(RoundTripTest, DemoNetworkVolumesAgreeWithTheStore) {
  sim::CreateDemoNetwork(network_.path());
  OpenWindow();
  int volumes = 0;
  for (int t = 0; t < form_->Combo2->count(); ++t) {
    const std::string tree = form_->Combo2->itemText(t).toStdString();
    form_->Combo2->setCurrentIndex(t);
    form_->Combo2_Click();
    const std::vector<std::string> found = form_->List3;
    for (const std::string& volume : found) {
      SCOPED_TRACE(tree + " " + volume);
      Select(tree, volume);
      const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(volume);
      Capture(volume);
      const std::vector<std::string> dump = Dump(parts.server, parts.volume);
      const std::vector<capture::RightsRecord> records = Records(RightsFile(volume));
      // A directory gone from the volume keeps the name the client returned (in capitals),
      // so it agrees with the store's name only without regard to case; every other record
      // agrees exactly.
      std::vector<std::string> lines;
      for (const auto& record : records) {
        const std::string line = Line(record);
        lines.push_back(Upper(line));
        if (Exists(parts.server, parts.volume, record.directory)) {
          EXPECT_THAT(dump, Contains(line));
        }
      }
      std::vector<std::string> expected;
      for (const auto& line : dump) expected.push_back(Upper(line));
      std::sort(lines.begin(), lines.end());
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(lines, expected);
      ++volumes;
    }
  }
  EXPECT_GE(volumes, 3);
}

}  // namespace
