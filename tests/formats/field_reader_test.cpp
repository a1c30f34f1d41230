#include "capture/field_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/windows1252.h"

namespace capture {
namespace {

std::vector<std::string> AllFields(const std::string& bytes) {
  auto reader = FieldReader::FromBytes(bytes);
  std::vector<std::string> fields;
  while (!reader.AtEnd()) fields.push_back(reader.ReadField());
  return fields;
}

struct ReadCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> fields;
};

class FieldReaderTest : public testing::TestWithParam<ReadCase> {};

TEST_P(FieldReaderTest, ReadsTheFields) {
  EXPECT_EQ(AllFields(GetParam().bytes), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, FieldReaderTest,
    testing::Values(ReadCase{"Empty", "", {}},
                    ReadCase{"OneLineCrLf", "ADMIN.IT.HQ\r\n", {"ADMIN.IT.HQ"}},
                    ReadCase{"BareLf", "A\nB\n", {"A", "B"}},
                    ReadCase{"NoFinalLineEnd", "A\r\nB", {"A", "B"}},
                    ReadCase{"CommaSplitsAName", "SMITH,JOHN.SALES\r\n", {"SMITH", "JOHN.SALES"}},
                    ReadCase{"LeadingBlanksSkipped", "  A, \tB\r\n", {"A", "B"}},
                    ReadCase{"TrailingBlanksKept", "A  ,B \r\n", {"A  ", "B "}},
                    ReadCase{"QuotedKeepsCommaAndBlanks", "\" A,B\",C\r\n", {" A,B", "C"}},
                    ReadCase{"QuotedThenSkipToComma", "\"A\"junk,B\r\n", {"A", "B"}},
                    ReadCase{"QuotedRunsOverLineEnd", "\"A\r\nB\",C\r\n", {"A\r\nB", "C"}},
                    ReadCase{"QuotedEmpty", "\"\"\r\nB\r\n", {"", "B"}},
                    ReadCase{"QuoteInsideIsData", "A\"B,C\r\n", {"A\"B", "C"}},
                    ReadCase{"EmptyFieldsBetweenCommas", ",,\r\n", {"", "", ""}},
                    ReadCase{"EmptyLastFieldCrLf", "T,O,S,V:,\r\n", {"T", "O", "S", "V:", ""}},
                    ReadCase{"EmptyLastFieldNoLineEnd", "T,O,S,V:,", {"T", "O", "S", "V:", ""}},
                    ReadCase{"EmptyLastFieldLf", "T,O,S,V:,\nT2", {"T", "O", "S", "V:", "", "T2"}},
                    ReadCase{"EmptyLinesPassedOver", "\r\nA\r\n\r\n  \r\n\nB\r\n\r\n", {"A", "B"}},
                    ReadCase{"BareCrIsData", "A\rB\r\n", {"A\rB"}},
                    ReadCase{"Windows1252ToUtf8", "Zo\xEB,\x80\r\n", {"Zoë", "€"}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

struct BrokenCase {
  const char* name;
  std::string bytes;
  std::size_t goodFields;
  const char* mentions;
};

class FieldReaderBrokenTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(FieldReaderBrokenTest, ReadsTheGoodFieldsThenSaysWhatIsWrong) {
  auto reader = FieldReader::FromBytes(GetParam().bytes);
  for (std::size_t i = 0; i < GetParam().goodFields; ++i) reader.ReadField();
  ASSERT_FALSE(reader.AtEnd());
  try {
    reader.ReadField();
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Broken, FieldReaderBrokenTest,
    testing::Values(BrokenCase{"UnclosedQuote", "A\r\nB\r\n\"C,D\r\n", 2,
                               "quoted field that begins on line 3"},
                    BrokenCase{"ZeroByte", std::string("A\r\nB\0C\r\n", 7), 1, "zero byte"}),
    [](const testing::TestParamInfo<BrokenCase>& info) { return info.param.name; });

TEST(FieldReader, ReadingPastTheEndIsAnError) {
  auto reader = FieldReader::FromBytes("A\r\n\r\n");
  EXPECT_EQ(reader.ReadField(), "A");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_THROW(reader.ReadField(), FormatError);
}

TEST(FieldReader, CountsLinesForMessages) {
  auto reader = FieldReader::FromBytes("A,B\r\n\r\n\"C\nD\"\nE\n");
  const std::vector<std::size_t> lines = {1, 1, 3, 5};
  for (const std::size_t line : lines) {
    reader.ReadField();
    EXPECT_EQ(reader.FieldLine(), line);
  }
}

TEST(FieldReader, MissingFileNamesTheFileAndTheReason) {
  try {
    FieldReader reader("/nonexistent/folder/users.txt");
    FAIL() << "no error";
  } catch (const FormatError& error) {
    const std::string what = error.what();
    EXPECT_NE(what.find("/nonexistent/folder/users.txt"), std::string::npos) << what;
    EXPECT_NE(what.find("No such file"), std::string::npos) << what;
  }
}

// A file is read in chunks: fields, quoted values and line ends that straddle a chunk's edge
// read exactly as the same bytes held in memory do.
TEST(FieldReader, AFileReadsAsTheSameBytesInMemory) {
  std::string bytes;
  for (int i = 0; bytes.size() < 300 * 1024; ++i) {
    const std::string value(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
    bytes += (i % 5 == 0 ? "\"" + value + ",\r\n" + value + "\"" : "  " + value);
    bytes += i % 7 == 0 ? "\r\n\r\n" : i % 3 == 0 ? "\n" : ",";
  }
  const std::string file = testing::TempDir() + "/chunked.txt";
  {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }
  FieldReader reader{std::filesystem::path(file)};
  std::vector<std::string> fields;
  while (!reader.AtEnd()) fields.push_back(reader.ReadField());
  EXPECT_EQ(fields, AllFields(bytes));
  EXPECT_GT(fields.size(), 4000u);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace capture
