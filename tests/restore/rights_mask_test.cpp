#include "restore/rights_mask.h"

#include <gtest/gtest.h>

#include "formats/rights_text.h"

namespace {

struct MaskCase {
  const char* text;
  std::uint16_t mask;
};

class RightsMaskTest : public ::testing::TestWithParam<MaskCase> {};

TEST_P(RightsMaskTest, GivesTheMaskOfItsWords) {
  EXPECT_EQ(restore::RightsMaskFromText(GetParam().text), GetParam().mask) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RightsMaskTest,
    ::testing::Values(
        MaskCase{"Read-Write-FileScan", 71}, MaskCase{"read-write", 7}, MaskCase{"Read", 5},
        MaskCase{"READ", 5}, MaskCase{"Write", 2}, MaskCase{"Supervisor", 0x0100},
        MaskCase{"Read-Write-Create-Delete-AccessCtrl-FileScan-Modify-Supervisor", 0x01FF},
        MaskCase{"Modify-Supervisor", 0x0180}, MaskCase{"", 0}, MaskCase{"nothing here", 0},
        // Words are found anywhere, in any order.
        MaskCase{"FileScan Read", 0x0045}, MaskCase{"xxaccessctrlxx", 0x0020}));

// Restoring a captured text and capturing again gives the same text, for every mask.
TEST(RightsMaskRoundTrip, RestoreInvertsCapture) {
  for (std::uint32_t mask = 0; mask <= 0xFFFF; ++mask) {
    const std::string captured = formats::BuildRightsText(static_cast<std::uint16_t>(mask));
    ASSERT_EQ(formats::BuildRightsText(restore::RightsMaskFromText(captured)), captured)
        << "mask " << mask;
  }
}

}  // namespace
