#include "capture/object_list_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/field_reader.h"
#include "capture/windows1252.h"
#include "support/temp_dir.h"

namespace capture {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;

struct DottedCase {
  const char* result;
  const char* tree;
  const char* name;  // nullptr: refused
};

class DottedNameTest : public testing::TestWithParam<DottedCase> {};

TEST_P(DottedNameTest, JoinsTheComponentsLeafFirst) {
  const DottedCase& c = GetParam();
  if (c.name != nullptr) {
    EXPECT_EQ(DottedName(c.result, c.tree), c.name);
    return;
  }
  try {
    DottedName(c.result, c.tree);
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find(c.result), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Results, DottedNameTest,
    testing::Values(DottedCase{"NDS:\\\\CORP\\HQ\\IT\\ADMIN", "CORP", "ADMIN.IT.HQ"},
                    DottedCase{"NDS:\\\\CORP\\Admin", "CORP", "Admin"},
                    DottedCase{"NDS:\\\\ACME_TREE\\O\\OU1\\OU2\\OU3\\J Smith", "ACME_TREE",
                               "J Smith.OU3.OU2.OU1.O"},
                    DottedCase{"NDS:\\\\CORP\\Sales,East\\Zoë", "CORP", "Zoë.Sales,East"},
                    // Compared exactly: another tree, another case, a longer tree name.
                    DottedCase{"NDS:\\\\OTHER\\HQ\\ADMIN", "CORP", nullptr},
                    DottedCase{"NDS:\\\\corp\\HQ\\ADMIN", "CORP", nullptr},
                    DottedCase{"NDS:\\\\CORPX\\HQ\\ADMIN", "CORP", nullptr},
                    DottedCase{"NDS:\\\\CORP", "CORP", nullptr},
                    DottedCase{"NDS:\\\\CORP\\", "CORP", nullptr},
                    DottedCase{"", "CORP", nullptr}));

TEST(DottedName, ManyComponents) {
  std::string result = "NDS:\\\\T";
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    result += "\\C" + std::to_string(i);
    expected = "C" + std::to_string(i) + (expected.empty() ? "" : "." + expected);
  }
  EXPECT_EQ(DottedName(result, "T"), expected);
}

TEST(ObjectListFile, PlainNamesAreUnquotedCrLfLines) {
  TempDir dir;
  ObjectListWriter writer(dir / kObjectListFileName);
  writer.WriteName("ADMIN.IT.HQ");
  writer.WriteName("JSmith.Sales.Main");
  writer.Close();
  EXPECT_EQ(ReadFileBytes(dir / kObjectListFileName), "ADMIN.IT.HQ\r\nJSmith.Sales.Main\r\n");
}

TEST(ObjectListFile, NamesReadBackExactly) {
  const std::vector<std::string> names = {"ADMIN.IT.HQ",
                                          "Smith, John.Sales",
                                          " Lead.HQ",
                                          "\tTab.HQ",
                                          "Zoë.Müller.€",
                                          "Trail .HQ",
                                          "",
                                          "a\"b-not-first",
                                          "x"};
  std::vector<std::string> writable;
  TempDir dir;
  ObjectListWriter writer(dir / kObjectListFileName);
  for (const std::string& name : names) {
    if (name.find('"') != std::string::npos) continue;
    writer.WriteName(name);
    writable.push_back(name);
  }
  writer.Close();
  FieldReader reader(dir / kObjectListFileName);
  std::vector<std::string> read;
  while (!reader.AtEnd()) read.push_back(reader.ReadField());
  EXPECT_EQ(read, writable);
}

class ObjectListRefusalTest : public testing::TestWithParam<std::string> {};

TEST_P(ObjectListRefusalTest, RefusesNamingTheValueAndWritesNothing) {
  TempDir dir;
  ObjectListWriter writer(dir / kObjectListFileName);
  writer.WriteName("Before.HQ");
  try {
    writer.WriteName(GetParam());
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find("Bad"), std::string::npos) << error.what();
  }
  writer.WriteName("After.HQ");
  writer.Close();
  EXPECT_EQ(ReadFileBytes(dir / kObjectListFileName), "Before.HQ\r\nAfter.HQ\r\n");
}

INSTANTIATE_TEST_SUITE_P(Values, ObjectListRefusalTest,
                         testing::Values("Bad\"Quote.HQ", "\"Bad.HQ", "Bad\r\nLine", "Bad\nLine",
                                         std::string("Bad\0Zero", 8), "Bad\u0151.HQ", "Bad\xFF"));

TEST(ObjectListFile, WriteFailureIsReported) {
  ObjectListWriter writer("/dev/full");
  writer.WriteName("ADMIN.IT.HQ");
  try {
    writer.Close();
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find("No space left"), std::string::npos) << error.what();
  }
}

TEST(ObjectListFile, UnwritableFolderIsReported) {
  EXPECT_THROW(ObjectListWriter("/nonexistent/folder/users.txt"), FormatError);
}

TEST(ObjectListFile, EmptiesAnExistingFile) {
  TempDir dir;
  testing_support::WriteFileBytes(dir / kObjectListFileName, "Old.Name\r\nOther\r\n");
  ObjectListWriter writer(dir / kObjectListFileName);
  writer.Close();
  EXPECT_EQ(ReadFileBytes(dir / kObjectListFileName), "");
}

}  // namespace
}  // namespace capture
