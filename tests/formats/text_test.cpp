// Rights masks as words, Windows-1252 text, the client's fixed byte buffers, trustee paths
// and dotted names.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "capture/byte_buffer.h"
#include "capture/object_list_file.h"
#include "capture/rights_text.h"
#include "capture/trustee_path.h"
#include "capture/windows1252.h"

namespace capture {
namespace {

using ::testing::HasSubstr;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const FormatError& error) {
    return error.what();
  }
  return "no error";
}

TEST(RightsText, GivesTheWordsOfTheSetBitsInOrder) {
  // 0x0004 and the bits above 0x0100 have no word.
  const char* const words[16] = {"Read",       "Write",    "",       "Create",    "Delete",
                                 "AccessCtrl", "FileScan", "Modify", "Supervisor"};
  for (int bit = 0; bit < 16; ++bit) {
    EXPECT_EQ(BuildRightsText(static_cast<std::uint16_t>(1u << bit)), words[bit] ? words[bit] : "");
  }
  EXPECT_EQ(BuildRightsText(0x0000), "");
  EXPECT_EQ(BuildRightsText(0x0181), "Read-Modify-Supervisor");
  EXPECT_EQ(BuildRightsText(0x00FB), "Read-Write-Create-Delete-AccessCtrl-FileScan-Modify");
  EXPECT_EQ(BuildRightsText(0xFFFF),
            "Read-Write-Create-Delete-AccessCtrl-FileScan-Modify-Supervisor");
}

TEST(Windows1252, EveryByteReadsBackAndTheCodesAbove0x7FAreTheirLetters) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("Zo\xEB \x80\x8A\x9F\x93\x99"), "Zoë €ŠŸ“™");
  // The undefined codes stand for the C1 control of the same value.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x9D"), "\u0081\u008D\u009D");
}

TEST(Windows1252, RefusesNamingTheValueAndTheReason) {
  const std::pair<std::string, const char*> cases[] = {
      {"Bj\u0151rn", "\"Bj\u0151rn\" holds the character U+0151"},
      {"\u0080", "U+0080"},  // the control, not the euro sign
      {"ab\xC3", "not valid UTF-8"},
      {"\xED\xA0\x80", "not valid UTF-8"},  // surrogate
      {"\xE9t\xE9", "\\xE9t\\xE9"}};
  for (const auto& [utf8, mentions] : cases) {
    EXPECT_THAT(ErrorOf([&] { Utf8ToCp1252(utf8); }), HasSubstr(mentions));
  }
}

// The buffer sits inside a larger block so that a write past its end shows.
TEST(ByteBuffer, CopiesTextThatFitsAndRefusesTheRestUntouched) {
  struct Case {
    std::size_t size;
    std::string text;
    bool fits;
  };
  const Case cases[] = {{0, "", true},
                        {0, std::string(1, '\0'), false},
                        {4, std::string("ÄÖÜ\0", 7), true},  // one byte a letter
                        {3, std::string("ÄÖÜ\0", 7), false},
                        {64, "Bj\u0151rn", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::vector<std::uint8_t> block(c.size + 8, 0xAA);
    std::span<std::uint8_t> buffer(block.data(), c.size);
    std::string expected(block.begin(), block.end());
    if (c.fits) {
      CopyTextToBytes(buffer, c.text);
      expected.replace(0, Utf8ToCp1252(c.text).size(), Utf8ToCp1252(c.text));
    } else {
      EXPECT_THROW(CopyTextToBytes(buffer, c.text), FormatError);
    }
    EXPECT_EQ(std::string(block.begin(), block.end()), expected);
  }
}

TEST(ByteBuffer, TakesTheTextUpToTheFirstZeroAndRefusesABufferWithout) {
  EXPECT_EQ(CopyBytesToText(std::vector<std::uint8_t>{0, 'A', 'B'}), "");
  EXPECT_EQ(CopyBytesToText(std::vector<std::uint8_t>{'V', ':', 0, 'X', 0}), "V:");
  EXPECT_EQ(CopyBytesToText(std::vector<std::uint8_t>{'Z', 'o', 0xEB, 0x80, 0}), "Zoë€");
  EXPECT_THROW(CopyBytesToText(std::vector<std::uint8_t>{'A', 'B', 'C'}), FormatError);
  EXPECT_THROW(CopyBytesToText(std::vector<std::uint8_t>{}), FormatError);
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
      {"VOL1:USERS/JSMITH",
       {{"\\\\FS1\\VOL1\\USERS", "Users"}, {"\\\\FS1\\VOL1\\USERS\\JSMITH", "JSmith"}},
       "\\\\FS1\\VOL1:\\Users\\JSmith"},
      // A component not found keeps its returned name, and the lookup goes on under it.
      {"VOL1:USERS/GONE/SUB",
       {{"\\\\FS1\\VOL1\\USERS", "Users"}, {"\\\\FS1\\VOL1\\USERS\\GONE\\SUB", "Sub"}},
       "\\\\FS1\\VOL1:\\Users\\GONE\\Sub"},
      // Even a listing that answers for the bare volume does not add it after the head.
      {"VOL1:", {{"\\\\FS1\\VOL1", "VOL1"}}, "\\\\FS1\\VOL1:"},
      {"VOL1:APPS:DATA/X",
       {{"\\\\FS1\\VOL1\\APPS", "Apps"},
        {"\\\\FS1\\VOL1\\APPS\\DATA", "Data"},
        {"\\\\FS1\\VOL1\\APPS\\DATA\\X", "x"}},
       "\\\\FS1\\VOL1:\\Apps\\Data\\x"}};
  for (const Case& c : cases) {
    FakeListing listing(c.listing);
    EXPECT_EQ(BuildTrusteePath(c.returned, "FS1", "VOL1", listing), c.trusteePath) << c.returned;
  }
}

TEST(TrusteePath, HandlesAnyNumberOfComponents) {
  for (const int components : {29, 200}) {  // the volume included
    std::string returned = "VOL1:";
    std::string expected = "\\\\FS1\\VOL1:";
    std::string lookup = "\\\\FS1\\VOL1";
    std::map<std::string, std::string> names;
    for (int k = 2; k <= components; ++k) {
      const std::string dir = "D" + std::to_string(k);
      returned += (k == 2 ? "" : "/") + dir;
      lookup += "\\" + dir;
      names[lookup] = "d" + std::to_string(k);
      expected += "\\d" + std::to_string(k);
    }
    FakeListing listing(names);
    EXPECT_EQ(BuildTrusteePath(returned, "FS1", "VOL1", listing), expected);
  }
}

TEST(DottedName, JoinsTheComponentsLeafFirstAndRefusesAResultOutsideTheTree) {
  EXPECT_EQ(DottedName("NDS:\\\\CORP\\HQ\\IT\\ADMIN", "CORP"), "ADMIN.IT.HQ");
  EXPECT_EQ(DottedName("NDS:\\\\CORP\\Admin", "CORP"), "Admin");
  EXPECT_EQ(DottedName("NDS:\\\\CORP\\Sales,East\\Zoë", "CORP"), "Zoë.Sales,East");
  // Compared exactly: another tree, another case, a tree whose name only begins alike.
  for (const char* result : {"NDS:\\\\OTHER\\HQ\\ADMIN", "NDS:\\\\corp\\HQ\\ADMIN",
                             "NDS:\\\\CORPX\\HQ\\ADMIN", "NDS:\\\\CORP", "NDS:\\\\CORP\\"}) {
    EXPECT_THAT(ErrorOf([&] { DottedName(result, "CORP"); }), HasSubstr(result));
  }
}

}  // namespace
}  // namespace capture
