// The filters file: its name beside a rights file, its lines as the rights file quotes and
// encodes them, and its reader.

#include "formats/filters_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "formats/format_testing.h"
#include "formats/rights_file.h"

namespace formats {
namespace {

using namespace ::testing;

TEST(FiltersFile, TakesTheRightsFilesNameWithItsOwnExtension) {
  const std::pair<const char*, const char*> names[] = {
      {"FS1_DATA.RIGHTS", "FS1_DATA.FILTERS"},
      {"/backup/night.d/FS1_DATA.rights", "/backup/night.d/FS1_DATA.FILTERS"},
      {"out/backup", "out/backup.FILTERS"},
      {"a.b.RIGHTS", "a.b.FILTERS"}};
  for (const auto& [rights, filters] : names) {
    EXPECT_EQ(FiltersFileName(rights), fs::path(filters)) << rights;
  }
}

TEST(FiltersFile, LinesAreWrittenAndReadBackAsTheRightsFileQuotesThem) {
  const std::pair<FilterRecord, std::string> lines[] = {
      {{"MFS1", "DATA:\\Home\\alice", "FileScan"}, "MFS1,DATA:\\Home\\alice,FileScan\r\n"},
      {{"MFS1", "DATA:\\Apps\\EDIT.EXE", ""}, "MFS1,DATA:\\Apps\\EDIT.EXE,\r\n"},
      {{"MFS1", "DATA:\\Budget, 2024", "Read-FileScan"},
       "MFS1,\"DATA:\\Budget, 2024\",Read-FileScan\r\n"},
      {{"MFS1", " DATA:\\x", "Read"}, "MFS1,\" DATA:\\x\",Read\r\n"},
      {{"MFS1", "DATA:\\Café\\€", "Read"}, "MFS1,DATA:\\Caf\xE9\\\x80,Read\r\n"}};
  TempDir dir;
  FiltersFileWriter writer(dir / "MFS1_DATA.FILTERS");
  const auto [bytes, filters] = WriteEach(writer, lines, FormatFilterRecord);
  EXPECT_THROW(writer.Write({"MFS1", "DATA:\\a\"b", "Read"}), UnwritableValue);
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(dir / "MFS1_DATA.FILTERS"), bytes);
  EXPECT_EQ(ReadAll(FiltersFileReader(dir / "MFS1_DATA.FILTERS"), &FiltersFileReader::ReadFilter),
            std::pair(filters, std::vector<std::string>{}));
}

TEST(FiltersFile, ALineOfOtherThanThreeFieldsIsNoFilterAndTheNextStillReads) {
  const std::tuple<std::string, std::vector<FilterRecord>, std::vector<std::string>> cases[] = {
      {"S,V:\\A,Read\r\n\r\nS,V:\\B\r\nT,O,S,V:\\A,Read\r\nS,V:,\n",
       {{"S", "V:\\A", "Read"}, {"S", "V:", ""}},
       {"line 3: it holds 2 fields, not the three of a filter",
        "line 4: it holds 5 fields, not the three of a filter"}},
      {"S,\"V:\\A,Read\r\nS,V:\\B,\r\n",
       {{"S", "V:\\B", ""}},
       {"line 1: the quote that opens field 2 is not closed"}}};
  for (const auto& [bytes, filters, bad] : cases) {
    SCOPED_TRACE(PrintToString(bytes));
    const auto [read, problems] =
        ReadAll(FiltersFileReader(FieldReader::FromBytes(bytes)), &FiltersFileReader::ReadFilter);
    EXPECT_EQ(read, filters);
    ExpectProblems(problems, bad);
  }
}

}  // namespace
}  // namespace formats
