// Capture, clear, restore, capture again: the two halves agree with each other and the store.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::SortedLines;

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

}  // namespace
