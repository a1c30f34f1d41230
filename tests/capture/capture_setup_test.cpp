// The drive a capture maps and the split of the selected volume object name.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/drive_choice.h"
#include "capture/volume_name.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> Letters(char from, char to) {
  std::vector<std::string> drives;
  for (char c = from; c <= to; ++c) drives.push_back(std::string(1, c) + ":");
  return drives;
}

struct DriveCase {
  const char* name;
  std::vector<std::string> mapped;
  std::string chosen;  // "" when no drive can be chosen
  std::size_t free;
};

class DriveChoiceTest : public ::testing::TestWithParam<DriveCase> {};

TEST_P(DriveChoiceTest, ChoosesTheSixthLowestFreeLetterAndNeverAMappedOne) {
  const DriveCase& c = GetParam();
  const auto candidates = capture::CandidateDrives(c.mapped);
  EXPECT_EQ(capture::FreeDrives(c.mapped).size(), c.free);
  if (c.chosen.empty()) {
    EXPECT_THAT(candidates, IsEmpty());
    return;
  }
  ASSERT_FALSE(candidates.empty());
  EXPECT_EQ(candidates.front(), c.chosen);
  EXPECT_EQ(candidates.size(), c.free - capture::kDrivesLeftFree);
  EXPECT_TRUE(std::is_sorted(candidates.begin(), candidates.end()));
  for (const std::string& drive : c.mapped) {
    if (drive.empty()) continue;
    const std::string upper(1, static_cast<char>(std::toupper(drive[0])));
    EXPECT_EQ(std::count(candidates.begin(), candidates.end(), upper + ":"), 0) << drive;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Mappings, DriveChoiceTest,
    ::testing::Values(DriveCase{"None", {}, "F:", 26}, DriveCase{"FAndG", {"F:", "G:"}, "H:", 24},
                      DriveCase{"FAndH", {"F:", "H:"}, "G:", 24},
                      DriveCase{"OutOfOrder", {"H:", "F:", "A:"}, "I:", 23},
                      DriveCase{"LowLetters", {"A:", "B:", "C:"}, "I:", 23},
                      DriveCase{"LastLetterFirst", {"Z:", "A:"}, "G:", 24},
                      DriveCase{"LowerCaseLetter", {"f:"}, "G:", 25},
                      DriveCase{"NotALetter", {"1:", "", "\\\\FS1\\SYS", "[:"}, "F:", 26},
                      DriveCase{"TwiceTheSameLetter", {"F:", "F:", "G:"}, "H:", 24},
                      DriveCase{"SixFree", Letters('A', 'T'), "Z:", 6},
                      DriveCase{"FiveFree", Letters('A', 'U'), "", 5},
                      DriveCase{"AllMapped", Letters('A', 'Z'), "", 0}),
    [](const auto& info) { return info.param.name; });

struct SplitCase {
  const char* name;
  std::string selected;
  std::string server;
  std::string volume;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, SplitsAtTheFirstUnderscore) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(capture::SplitVolumeObjectName(c.selected),
            (capture::VolumeObjectName{c.server, c.volume}));
}

INSTANTIATE_TEST_SUITE_P(Names, SplitTest,
                         ::testing::Values(SplitCase{"Plain", "FS1_SYS", "FS1", "SYS"},
                                           SplitCase{"SecondUnderscore", "FS_1_DATA", "FS",
                                                     "1_DATA"},
                                           SplitCase{"NoUnderscore", "FS1SYS", "", ""},
                                           SplitCase{"LeadingUnderscore", "_SYS", "", "SYS"},
                                           SplitCase{"TrailingUnderscore", "FS1_", "FS1", ""}),
                         [](const auto& info) { return info.param.name; });

struct NameCase {
  const char* name;
  std::string selected;
  std::string problem;  // a piece of the message; "" when the name is fine
};

class VolumeNameProblemTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(VolumeNameProblemTest, RefusesNamesThatCannotNameTheRightsFile) {
  const NameCase& c = GetParam();
  const std::string problem = capture::VolumeNameProblem(c.selected);
  if (c.problem.empty()) {
    EXPECT_EQ(problem, "");
  } else {
    EXPECT_THAT(problem, HasSubstr(c.problem));
    EXPECT_THAT(problem, HasSubstr("The selected volume"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, VolumeNameProblemTest,
    ::testing::Values(NameCase{"Plain", "FS1_SYS", ""},
                      NameCase{"SecondUnderscore", "FS_1_DATA", ""},
                      NameCase{"WindowsCharacter", "FS1_D\xE2\x82\xAC",
                               ""},  // the euro sign has a code
                      NameCase{"NoUnderscore", "FS1SYS", "does not name a server and a volume"},
                      NameCase{"EmptyServer", "_SYS", "server name \"\" is empty"},
                      NameCase{"EmptyVolume", "FS1_", "volume name \"\" is empty"},
                      NameCase{"DotServer", "._SYS", "server name \".\" is \".\""},
                      NameCase{"DotDotVolume", "FS1_..", "volume name \"..\" is \"..\""},
                      NameCase{"SlashInServer", "../x_SYS", "holds a \"/\" or \"\\\""},
                      NameCase{"BackslashInVolume", "FS1_A\\B", "holds a \"/\" or \"\\\""},
                      NameCase{"DoubleQuote", "FS1_A\"B", "double quote"},
                      NameCase{"LineEnd", "FS1_A\rB", "control character"},
                      NameCase{"NoWindowsCode", "FS1_\xE2\x9C\x93", "no Windows-1252 code"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
