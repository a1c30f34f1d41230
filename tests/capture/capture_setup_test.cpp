// The drive a capture maps, the split of the selected volume object name, and trustee paths
// rebuilt from the listing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "capture/drive_choice.h"
#include "capture/trustee_path.h"
#include "capture/volume_name.h"

namespace {

using namespace ::testing;

TEST(DriveChoice, TheSixthLowestFreeLetterAndNeverAMappedOne) {
  std::vector<std::string> allButFive, allButSix;
  for (char c = 'A'; c <= 'U'; ++c) allButFive.push_back(std::string(1, c) + ":");
  allButSix = allButFive;
  allButSix.pop_back();
  const std::tuple<std::vector<std::string>, std::string, std::size_t> cases[] = {
      {{}, "F:", 26},       {{"F:", "H:"}, "G:", 24},
      {{"f:"}, "G:", 25},   {{"1:", "", "\\\\FS1\\SYS", "[:"}, "F:", 26},  // not letters
      {allButSix, "Z:", 6}, {allButFive, "", 5}};
  for (const auto& [mapped, chosen, free] : cases) {
    SCOPED_TRACE(testing::PrintToString(mapped));
    const auto candidates = capture::CandidateDrives(mapped);
    EXPECT_EQ(capture::FreeDrives(mapped).size(), free);
    EXPECT_EQ(candidates.empty() ? "" : candidates.front(), chosen);
  }
}

// The split, and whether the name can name a rights file ("" when it can).
TEST(VolumeName, SplitsAtTheFirstUnderscoreAndRefusesNamesThatCannotNameTheRightsFile) {
  const std::tuple<std::string, capture::VolumeObjectName, std::string> cases[] = {
      {"FS1_SYS", {"FS1", "SYS"}, ""},
      {"FS_1_DATA", {"FS", "1_DATA"}, ""},
      {"FS1_D\xE2\x82\xAC", {"FS1", "D\xE2\x82\xAC"}, ""},  // the euro sign has a code
      {"FS1SYS", {"", ""}, "does not name a server and a volume"},
      {"_SYS", {"", "SYS"}, "server name \"\" is empty"},
      {"FS1_..", {"FS1", ".."}, "volume name \"..\" is \"..\""},
      {"../x_SYS", {"../x", "SYS"}, "holds a \"/\" or \"\\\""},
      {"FS1_A\rB", {"FS1", "A\rB"}, "control character"},
      {"FS1_\xE2\x9C\x93", {"FS1", "\xE2\x9C\x93"}, "no Windows-1252 code"}};
  for (const auto& [selected, split, problem] : cases) {
    SCOPED_TRACE(selected);
    EXPECT_EQ(capture::SplitVolumeObjectName(selected), split);
    const std::string found = capture::VolumeNameProblem(selected);
    if (problem.empty()) {
      EXPECT_EQ(found, "");
    } else {
      EXPECT_THAT(found, ::testing::AllOf(HasSubstr(problem), HasSubstr("The selected volume")));
    }
  }
}

class FakeListing : public nw::FileListing {
 public:
  explicit FakeListing(std::map<std::string, std::string> names) : names(std::move(names)) {}
  std::string Dir(const std::string& path) override {
    const auto found = names.find(path);
    return found == names.end() ? "" : found->second;
  }
  std::map<std::string, std::string> names;
};

TEST(TrusteePath, RebuildsThePathUnderTheHeadAsTheListingNamesIt) {
  struct Case {
    std::string returned;
    std::map<std::string, std::string> listing;
    std::string trusteePath;
  };
  const Case cases[] = {
      // Even a listing that answers for the bare volume does not add it after the head.
      {"VOL1:", {{"\\\\FS1\\VOL1", "VOL1"}}, "\\\\FS1\\VOL1:"},
      // A component not found keeps its returned name, and the lookup goes on under it.
      {"VOL1:USERS/GONE/SUB",
       {{"\\\\FS1\\VOL1\\USERS", "Users"}, {"\\\\FS1\\VOL1\\USERS\\GONE\\SUB", "Sub"}},
       "\\\\FS1\\VOL1:\\Users\\GONE\\Sub"},
      {"VOL1:APPS:DATA/X",
       {{"\\\\FS1\\VOL1\\APPS", "Apps"},
        {"\\\\FS1\\VOL1\\APPS\\DATA", "Data"},
        {"\\\\FS1\\VOL1\\APPS\\DATA\\X", "x"}},
       "\\\\FS1\\VOL1:\\Apps\\Data\\x"}};
  for (const Case& c : cases) {
    FakeListing listing(c.listing);
    EXPECT_EQ(capture::BuildTrusteePath(c.returned, "FS1", "VOL1", listing), c.trusteePath)
        << c.returned;
  }
}

}  // namespace
