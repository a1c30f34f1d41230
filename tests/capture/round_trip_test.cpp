// Capture, clear, restore, capture again: the tool's two halves agree with each other and
// with the store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>

#include "capture/volume_name.h"
#include "formats/rights_file.h"
#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::SortedLines;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

class RoundTripTest : public ::testing::Test, protected testing_support::WindowScene {
 protected:
  // Captures the selected volume; the rights file's bytes.
  std::string Capture(const std::string& base) {
    desktop.messages.clear();
    GetTrustees();
    EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{ClosingText(base)});
    return Rights(base);
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
  Generate(options);
  ASSERT_TRUE(Open());
  Show();
  const std::string base = options.server + "_" + options.volume;
  SelectVolume(options.tree, base);

  const std::vector<std::string> stored = Dump(options.server, options.volume);
  const std::map<std::string, std::uint16_t> masks = Masks(options.server, options.volume);
  ASSERT_GE(stored.size(), 20000u);
  ASSERT_EQ(masks.size(), stored.size());
  const std::string first = Capture(base);
  EXPECT_GE(form->ObjectCount, 5000);
  ASSERT_EQ(SortedLines(first), stored);

  sim::ClearAssignments(network.path(), options.server, options.volume);
  ASSERT_TRUE(Dump(options.server, options.volume).empty());
  WriteTrustees(RightsFile(base).string());
  ASSERT_EQ(desktop.MessageTexts(), std::vector<std::string>{"All trustees have been added."});
  EXPECT_EQ(Dump(options.server, options.volume), stored);
  // Every bit comes back as captured, except that a granted Read carries 0x0004 with it.
  std::map<std::string, std::uint16_t> expected = masks;
  int reads = 0;
  for (auto& [assignment, mask] : expected) {
    if (mask & 0x0001) mask |= 0x0004, ++reads;
  }
  EXPECT_GT(reads, 0);
  EXPECT_TRUE(Masks(options.server, options.volume) == expected) << "a restored mask differs";
  EXPECT_TRUE(Capture(base) == first) << "the second capture differs from the first";
}

TEST_F(RoundTripTest, DemoNetworkVolumesAgreeWithTheStore) {
  Demo();
  ASSERT_TRUE(Open());
  Show();
  int volumes = 0;
  for (int t = 0; t < form->Combo2->count(); ++t) {
    const std::string tree = form->Combo2->itemText(t).toStdString();
    ChooseTree(tree);
    for (const std::string& volume : std::vector<std::string>(form->List3)) {
      SCOPED_TRACE(tree + " " + volume);
      SelectVolume(tree, volume);
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
            !platform->Files().Dir("\\\\" + parts.server + "\\" + parts.volume + below).empty()) {
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
