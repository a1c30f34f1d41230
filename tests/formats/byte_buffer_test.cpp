#include "capture/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/windows1252.h"

namespace capture {
namespace {

constexpr std::uint8_t kFill = 0xAA;

struct CopyInCase {
  std::size_t size;
  std::string text;
  bool fits;
};

class CopyTextToBytesTest : public testing::TestWithParam<CopyInCase> {};

// The buffer sits inside a larger block so that a write past its end shows.
TEST_P(CopyTextToBytesTest, CopiesWhatFitsAndRefusesTheRestUntouched) {
  const CopyInCase& c = GetParam();
  std::vector<std::uint8_t> block(c.size + 8, kFill);
  std::span<std::uint8_t> buffer(block.data(), c.size);
  const std::string bytes = c.fits ? Utf8ToCp1252(c.text) : std::string();
  if (c.fits) {
    CopyTextToBytes(buffer, c.text);
    EXPECT_EQ(std::string(block.begin(), block.begin() + static_cast<long>(bytes.size())), bytes);
    for (std::size_t i = bytes.size(); i < block.size(); ++i) ASSERT_EQ(block[i], kFill) << i;
  } else {
    EXPECT_THROW(CopyTextToBytes(buffer, c.text), FormatError);
    for (std::size_t i = 0; i < block.size(); ++i) ASSERT_EQ(block[i], kFill) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CopyTextToBytesTest,
    testing::Values(CopyInCase{7, std::string("[Root]\0", 7), true},   // exact
                    CopyInCase{6, std::string("[Root]\0", 7), false},  // one over
                    CopyInCase{512, std::string(511, 'A') + '\0', true},
                    CopyInCase{512, std::string(512, 'A') + '\0', false},
                    CopyInCase{128, std::string(127, 'x') + '\0', true},
                    CopyInCase{128, std::string(128, 'x') + '\0', false}, CopyInCase{4, "", true},
                    CopyInCase{0, "", true}, CopyInCase{0, std::string(1, '\0'), false},
                    // Two UTF-8 bytes, one Windows-1252 byte each.
                    CopyInCase{4, std::string("ÄÖÜ\0", 7), true},
                    CopyInCase{3, std::string("ÄÖÜ\0", 7), false},
                    CopyInCase{64, "Bj\u0151rn", false},  // no Windows-1252 code
                    CopyInCase{64, "ok\xFF", false}));    // not UTF-8

struct CopyOutCase {
  std::vector<std::uint8_t> bytes;
  const char* text;  // nullptr: refused
};

class CopyBytesToTextTest : public testing::TestWithParam<CopyOutCase> {};

TEST_P(CopyBytesToTextTest, TakesTheTextUpToTheFirstZero) {
  const CopyOutCase& c = GetParam();
  if (c.text != nullptr) {
    EXPECT_EQ(CopyBytesToText(c.bytes), c.text);
  } else {
    EXPECT_THROW(CopyBytesToText(c.bytes), FormatError);
  }
}

INSTANTIATE_TEST_SUITE_P(Buffers, CopyBytesToTextTest,
                         testing::Values(CopyOutCase{{0, 'A', 'B'}, ""},
                                         CopyOutCase{{'V', ':', 0, 'X', 0}, "V:"},
                                         CopyOutCase{{'A', 'B', 'C', 0}, "ABC"},
                                         CopyOutCase{{'Z', 'o', 0xEB, 0x80, 0}, "Zoë€"},
                                         CopyOutCase{{'A', 'B', 'C'}, nullptr},
                                         CopyOutCase{{}, nullptr}));

TEST(ByteBuffer, RoundTripThroughAFullSizedPathBuffer) {
  std::vector<std::uint8_t> buffer(512, kFill);
  const std::string path = "VOL1:PROJEKTE/MÜNCHEN/Ærø";
  CopyTextToBytes(buffer, path + '\0');
  EXPECT_EQ(CopyBytesToText(buffer), path);
}

}  // namespace
}  // namespace capture
