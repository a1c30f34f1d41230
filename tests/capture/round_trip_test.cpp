// Capture, clear, restore, capture again: the tool's two halves agree with each other and
// with the store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture/capture_fixture.h"
#include "capture/volume_name.h"
#include "formats/rights_file.h"

namespace {

using capture_testing::CaptureFixture;
using capture_testing::SortedLines;
using ::testing::Contains;
using testing_support::ReadFileBytes;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class RoundTripTest : public CaptureFixture {
 protected:
  // Captures the selected volume; the rights file's bytes.
  std::string Capture(const std::string& base) {
    desktop_.messages.clear();
    form_->Command1_Click();
    EXPECT_EQ(desktop_.MessageTexts(), std::vector<std::string>{ClosingText(base)});
    return ReadFileBytes(RightsFile(base));
  }
};

TEST_F(RoundTripTest, GeneratedVolumeSurvivesClearAndRestoreUnchanged) {
  const sim::GenerateOptions options{.users = 4300,
                                     .groups = 400,
                                     .roles = 150,
                                     .units = 150,
                                     .directories = 1500,
                                     .assignments = 20000,
                                     .depth = 8,
                                     .crowdedTrustees = 60,
                                     .seed = 11};
  sim::GenerateNetwork(network_.path(), options);
  OpenWindow();
  const std::string base = options.server + "_" + options.volume;
  Select(options.tree, base);

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
  EXPECT_TRUE(Capture(base) == first) << "the second capture differs from the first";
}

TEST_F(RoundTripTest, DemoNetworkVolumesAgreeWithTheStore) {
  sim::CreateDemoNetwork(network_.path());
  OpenWindow();
  int volumes = 0;
  for (int t = 0; t < form_->Combo2->count(); ++t) {
    const std::string tree = form_->Combo2->itemText(t).toStdString();
    form_->Combo2->setCurrentIndex(t);
    form_->Combo2_Click();
    for (const std::string& volume : std::vector<std::string>(form_->List3)) {
      SCOPED_TRACE(tree + " " + volume);
      Select(tree, volume);
      const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(volume);
      Capture(volume);
      const std::vector<std::string> dump = Dump(parts.server, parts.volume);
      // A directory gone from the volume keeps the name the client returned (in capitals),
      // so it agrees with the store's name only without regard to case; every other record
      // agrees exactly.
      std::vector<std::string> lines, expected;
      formats::RightsFileReader reader(RightsFile(volume));
      while (!reader.AtEnd()) {
        const formats::RightsRecord r = reader.ReadRecord();
        const std::string line =
            r.tree + "," + r.object + "," + r.server + "," + r.directory + "," + r.rights;
        lines.push_back(Upper(line));
        const std::string below = r.directory.substr(parts.volume.size() + 1);
        if (below.empty() ||
            !platform_->Files().Dir("\\\\" + parts.server + "\\" + parts.volume + below).empty()) {
          EXPECT_THAT(dump, Contains(line));
        }
      }
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
