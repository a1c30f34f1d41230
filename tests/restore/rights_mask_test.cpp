#include "restore/rights_mask.h"

#include <gtest/gtest.h>

#include "formats/rights_text.h"

namespace {

struct MaskCase {
  const char* text;
  std::optional<std::uint16_t> mask;  // nullopt: no rights text
};

class RightsMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(RightsMaskTest, GivesTheMaskOfItsWordsOrRefusesTheText) {
  EXPECT_EQ(restore::RightsMaskFromText(GetParam().text), GetParam().mask) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Words, RightsMaskTest,
    ::testing::Values(
        MaskCase{"Read-Write-FileScan", 71}, MaskCase{"read-write", 7}, MaskCase{"Read", 5},
        MaskCase{"READ", 5}, MaskCase{"Write", 2}, MaskCase{"Supervisor", 0x0100},
        MaskCase{"Read-Write-Create-Delete-AccessCtrl-FileScan-Modify-Supervisor", 0x01FF},
        MaskCase{"Modify-Supervisor", 0x0180}, MaskCase{"", 0},
        // Any order and case; a word named twice grants its right once.
        MaskCase{"fileSCAN-Read", 0x0045}, MaskCase{"supervisor-accessctrl-DELETE", 0x0130},
        MaskCase{"Write-Write", 2}));

// Each of these once granted the rights it did spell and silently dropped the one it meant.
INSTANTIATE_TEST_SUITE_P(
    NoRightsText, RightsMaskTest,
    ::testing::Values(MaskCase{"Superviser", std::nullopt},
                      MaskCase{"Read-Wrte-FileScan", std::nullopt},
                      MaskCase{"Read-FileScan ", std::nullopt},  // a blank
                      MaskCase{"Read - Write", std::nullopt},    // blanks
                      MaskCase{"Read--Write", std::nullopt},     // an empty word
                      MaskCase{"-Read", std::nullopt}, MaskCase{"Read-", std::nullopt},
                      MaskCase{"-", std::nullopt}, MaskCase{" ", std::nullopt},
                      MaskCase{"Read,Write", std::nullopt}, MaskCase{"FileScan Read", std::nullopt},
                      MaskCase{"xxaccessctrlxx", std::nullopt},  // a word inside another
                      MaskCase{"ReadWrite", std::nullopt}, MaskCase{"Rea", std::nullopt}));

// Restoring a captured text and capturing again gives the same text, for every mask.
TEST(RightsMaskRoundTrip, RestoreInvertsCapture) {
  for (std::uint32_t mask = 0; mask <= 0xFFFF; ++mask) {
    const std::string captured = formats::BuildRightsText(static_cast<std::uint16_t>(mask));
    const std::optional<std::uint16_t> restored = restore::RightsMaskFromText(captured);
    ASSERT_TRUE(restored.has_value()) << captured;
    ASSERT_EQ(formats::BuildRightsText(*restored), captured) << "mask " << mask;
  }
}

}  // namespace
