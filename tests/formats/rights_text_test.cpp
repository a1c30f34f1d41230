#include "capture/rights_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace capture {
namespace {

struct MaskCase {
  std::uint16_t mask;
  const char* text;
};

class RightsTextTest : public testing::TestWithParam<MaskCase> {};

TEST_P(RightsTextTest, GivesTheWordsOfTheSetBitsInOrder) {
  EXPECT_EQ(BuildRightsText(GetParam().mask), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeMasks, RightsTextTest,
    testing::Values(MaskCase{0x0000, ""}, MaskCase{0x0004, ""}, MaskCase{0x0100, "Supervisor"},
                    MaskCase{0x01FF,
                             "Read-Write-Create-Delete-AccessCtrl-FileScan-Modify-Supervisor"},
                    MaskCase{0x00FB, "Read-Write-Create-Delete-AccessCtrl-FileScan-Modify"},
                    MaskCase{0xFE00, ""},
                    MaskCase{0xFFFF,
                             "Read-Write-Create-Delete-AccessCtrl-"
                             "FileScan-Modify-Supervisor"},
                    MaskCase{0x00DB, "Read-Write-Create-Delete-FileScan-Modify"},
                    MaskCase{0x0181, "Read-Modify-Supervisor"}));

INSTANTIATE_TEST_SUITE_P(SingleBits, RightsTextTest,
                         testing::Values(MaskCase{0x0001, "Read"}, MaskCase{0x0002, "Write"},
                                         MaskCase{0x0004, ""}, MaskCase{0x0008, "Create"},
                                         MaskCase{0x0010, "Delete"}, MaskCase{0x0020, "AccessCtrl"},
                                         MaskCase{0x0040, "FileScan"}, MaskCase{0x0080, "Modify"},
                                         MaskCase{0x0100, "Supervisor"}, MaskCase{0x0200, ""},
                                         MaskCase{0x0400, ""}, MaskCase{0x0800, ""},
                                         MaskCase{0x1000, ""}, MaskCase{0x2000, ""},
                                         MaskCase{0x4000, ""}, MaskCase{0x8000, ""}));

TEST(RightsText, BitsWithoutAWordChangeNothing) {
  for (unsigned mask = 0; mask <= 0x01FF; ++mask) {
    const std::string plain = BuildRightsText(static_cast<std::uint16_t>(mask & 0x01FB));
    EXPECT_EQ(BuildRightsText(static_cast<std::uint16_t>(mask | 0xFE04)), plain) << mask;
    EXPECT_EQ(plain.find(' '), std::string::npos);
    EXPECT_FALSE(!plain.empty() && (plain.front() == '-' || plain.back() == '-')) << plain;
  }
}

}  // namespace
}  // namespace capture
