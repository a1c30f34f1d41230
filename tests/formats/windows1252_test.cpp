#include "capture/windows1252.h"

#include <gtest/gtest.h>

#include <string>

namespace capture {
namespace {

struct CodeCase {
  const char* utf8;
  std::string cp1252;
};

class Windows1252Test : public testing::TestWithParam<CodeCase> {};

TEST_P(Windows1252Test, EncodesAndDecodesBothWays) {
  EXPECT_EQ(Utf8ToCp1252(GetParam().utf8), GetParam().cp1252);
  EXPECT_EQ(Cp1252ToUtf8(GetParam().cp1252), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Windows1252Test,
    testing::Values(CodeCase{"", ""}, CodeCase{"JSmith.Sales", "JSmith.Sales"},
                    CodeCase{"Zoë Müller", "Zo\xEB M\xFCller"}, CodeCase{"\u00A0", "\xA0"},
                    CodeCase{"\u00FF", "\xFF"}, CodeCase{"€", "\x80"}, CodeCase{"Š", "\x8A"},
                    CodeCase{"Ÿ", "\x9F"}, CodeCase{"‘’“”", "\x91\x92\x93\x94"},
                    CodeCase{"–—™", "\x96\x97\x99"},
                    // The undefined codes stand for the C1 control of the same value.
                    CodeCase{"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"}));

TEST(Windows1252, EveryByteReadsBackAsItWas) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

struct RefusedCase {
  std::string utf8;
  const char* mentions;
};

class Windows1252RefusalTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(Windows1252RefusalTest, RefusesNamingTheValueAndTheReason) {
  try {
    Utf8ToCp1252(GetParam().utf8);
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Refused, Windows1252RefusalTest,
    testing::Values(RefusedCase{"Bj\u0151rn", "U+0151"}, RefusedCase{"Bj\u0151rn", "Bj"},
                    RefusedCase{"漢字", "U+6F22"}, RefusedCase{"x\U0001F600", "U+01F600"},
                    RefusedCase{"\u0080", "U+0080"}, RefusedCase{"\u0085", "U+0085"},
                    RefusedCase{"ab\xC3", "not valid UTF-8"},
                    RefusedCase{"\xC0\xAF", "not valid UTF-8"},          // overlong
                    RefusedCase{"\xED\xA0\x80", "not valid UTF-8"},      // surrogate
                    RefusedCase{"\xF4\x90\x80\x80", "not valid UTF-8"},  // past U+10FFFF
                    RefusedCase{"\xE9t\xE9", "\\xE9t\\xE9"}));

TEST(Windows1252, MessagesShowControlCharactersAndShortenLongValues) {
  EXPECT_EQ(QuoteForMessage("a\r\nb\tc" + std::string(1, '\0')), "\"a\\r\\nb\\tc\\x00\"");
  const std::string quoted = QuoteForMessage(std::string(100000, 'x'));
  EXPECT_LT(quoted.size(), 300u);
  EXPECT_EQ(quoted.substr(quoted.size() - 4), "...\"");
}

}  // namespace
}  // namespace capture
