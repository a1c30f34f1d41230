#include "capture/rights_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/windows1252.h"
#include "support/temp_dir.h"

namespace capture {
namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const RightsRecord kPlain{"CORP", "JSmith.Sales.Main", "FS1", "VOL1:\\Users\\JSmith",
                          "Read-Write-Create-Delete-FileScan-Modify"};

std::vector<RightsRecord> ReadAll(RightsFileReader& reader) {
  std::vector<RightsRecord> records;
  while (!reader.AtEnd()) records.push_back(reader.ReadRecord());
  return records;
}

std::vector<RightsRecord> ReadAll(const std::string& bytes) {
  RightsFileReader reader(FieldReader::FromBytes(bytes));
  return ReadAll(reader);
}

TEST(RightsFileName, ServerUnderscoreVolumeDotRights) {
  EXPECT_EQ(RightsFileName("FS1", "VOL1"), "FS1_VOL1.RIGHTS");
  EXPECT_THROW(RightsFileName("..", "/etc/x"), FormatError);
  EXPECT_THROW(RightsFileName(std::string("FS\0", 3), "SYS"), FormatError);
}

struct LineCase {
  const char* name;
  RightsRecord record;
  std::string line;
};

class RightsLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(RightsLineTest, FormatsTheLineAndReadsItBack) {
  EXPECT_EQ(FormatRightsRecord(GetParam().record), GetParam().line);
  EXPECT_EQ(ReadAll(GetParam().line), std::vector<RightsRecord>{GetParam().record});
}

INSTANTIATE_TEST_SUITE_P(
    Records, RightsLineTest,
    testing::Values(
        LineCase{"Plain", kPlain,
                 "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users\\JSmith,"
                 "Read-Write-Create-Delete-FileScan-Modify\r\n"},
        LineCase{"EmptyRights", {"CORP", "A.HQ", "FS1", "VOL1:", ""}, "CORP,A.HQ,FS1,VOL1:,\r\n"},
        LineCase{"CommaInDirectory",
                 {"CORP", "A.HQ", "FS1", "VOL1:\\Sales,East", "Read"},
                 "CORP,A.HQ,FS1,\"VOL1:\\Sales,East\",Read\r\n"},
        LineCase{"LeadingBlankInObject",
                 {"CORP", " Lead.HQ", "FS1", "VOL1:\\A", "Read"},
                 "CORP,\" Lead.HQ\",FS1,VOL1:\\A,Read\r\n"},
        LineCase{"TrailingBlankUnquoted",
                 {"CORP", "Trail .HQ", "FS1", "VOL1:\\A ", "Read"},
                 "CORP,Trail .HQ,FS1,VOL1:\\A ,Read\r\n"},
        LineCase{"Windows1252Letters",
                 {"CORP", "Zoë.Müller", "FS1", "VOL1:\\Café\\€uro", "Supervisor"},
                 "CORP,Zo\xEB.M\xFCller,FS1,VOL1:\\Caf\xE9\\\x80uro,Supervisor\r\n"},
        LineCase{"EmptyTree", {"", "A", "FS1", "VOL1:", ""}, ",A,FS1,VOL1:,\r\n"}),
    [](const testing::TestParamInfo<LineCase>& info) { return info.param.name; });

struct RefusedCase {
  const char* name;
  RightsRecord record;
  const char* mentions;
};

class RightsRefusalTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RightsRefusalTest, RefusesNamingTheValue) {
  try {
    FormatRightsRecord(GetParam().record);
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RightsRefusalTest,
    testing::Values(
        RefusedCase{"QuoteInObject", {"CORP", "Say\"Hi", "FS1", "V:", ""}, "object name \"Say"},
        RefusedCase{"QuoteFirst", {"\"T", "A", "FS1", "V:", ""}, "double quote"},
        RefusedCase{"LineEndInDirectory", {"T", "A", "FS1", "V:\\a\r\nb", ""}, "line end"},
        RefusedCase{"LfInServer", {"T", "A", "FS\n1", "V:", ""}, "server name"},
        RefusedCase{"NoCode", {"T", "Bj\u0151rn", "FS1", "V:", ""}, "U+0151"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST(RightsFileWriter, WritesRecordsInOrderAndReadsThemBack) {
  const std::vector<RightsRecord> records = {
      kPlain,
      {"CORP", "Smith, John.Sales", "FS1", "VOL1:\\Sales,East\\Q1", "Read-FileScan"},
      {"CORP", " Lead.HQ", "FS1", "VOL1:", ""},
      {"CORP", "Zoë.HQ", "FS1", "VOL1:\\Ærø", "Supervisor"},
      {"CORP", "Last.HQ", "FS1", "VOL1:\\X", ""},
  };
  TempDir dir;
  RightsFileWriter writer(dir / "FS1_VOL1.RIGHTS");
  for (const RightsRecord& record : records) writer.Write(record);
  writer.Commit();
  RightsFileReader reader(dir / "FS1_VOL1.RIGHTS");
  EXPECT_EQ(ReadAll(reader), records);
}

TEST(RightsFileWriter, PlainRecordsAreByteIdenticalToTheUnquotedForm) {
  TempDir dir;
  RightsFileWriter writer(dir / "FS1_VOL1.RIGHTS");
  writer.Write(kPlain);
  writer.Write({"CORP", "Admin.HQ", "FS1", "VOL1:", ""});
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(dir / "FS1_VOL1.RIGHTS"),
            "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users\\JSmith,"
            "Read-Write-Create-Delete-FileScan-Modify\r\n"
            "CORP,Admin.HQ,FS1,VOL1:,\r\n");
}

TEST(RightsFileWriter, ARefusedRecordLeavesNoTrace) {
  TempDir dir;
  RightsFileWriter writer(dir / "FS1_VOL1.RIGHTS");
  writer.Write(kPlain);
  EXPECT_THROW(writer.Write({"CORP", "A.HQ", "FS1", "VOL1:\\Bad\"Dir", "Read"}), FormatError);
  writer.Write(kPlain);
  writer.Commit();
  const std::string line = FormatRightsRecord(kPlain);
  EXPECT_EQ(ReadFileBytes(dir / "FS1_VOL1.RIGHTS"), line + line);
}

TEST(RightsFileWriter, AnEarlierFileStaysUntilCommit) {
  TempDir dir;
  const auto file = dir / "FS1_VOL1.RIGHTS";
  WriteFileBytes(file, "OLD,A,FS1,VOL1:,Read\r\n");
  {
    RightsFileWriter writer(file);
    writer.Write(kPlain);
    EXPECT_EQ(ReadFileBytes(file), "OLD,A,FS1,VOL1:,Read\r\n");
  }  // destroyed without Commit
  EXPECT_EQ(ReadFileBytes(file), "OLD,A,FS1,VOL1:,Read\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  RightsFileWriter writer(file);
  writer.Write(kPlain);
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(file), FormatRightsRecord(kPlain));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(RightsFileWriter, AFailedCommitRemovesTheTemporaryFile) {
  TempDir dir;
  const auto file = dir / "FS1_VOL1.RIGHTS";
  std::filesystem::create_directory(file);  // nothing can replace a folder
  RightsFileWriter writer(file);
  writer.Write(kPlain);
  EXPECT_THROW(writer.Commit(), FormatError);
  EXPECT_THROW(writer.Write(kPlain), FormatError);
  EXPECT_THROW(writer.Commit(), FormatError);
  EXPECT_TRUE(std::filesystem::is_directory(file));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(RightsFileWriter, UnwritableFolderIsReported) {
  EXPECT_THROW(RightsFileWriter("/nonexistent/folder/FS1_VOL1.RIGHTS"), FormatError);
}

// A file size limit makes the writes fail as a full disk would.
TEST(RightsFileWriter, AWriteFailureKeepsTheEarlierFile) {
  TempDir dir;
  const auto file = dir / "FS1_VOL1.RIGHTS";
  WriteFileBytes(file, "OLD,A,FS1,VOL1:,Read\r\n");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string message;
  {
    RightsFileWriter writer(file);
    try {
      for (int i = 0; i < 100000; ++i) writer.Write(kPlain);
      writer.Commit();
    } catch (const FormatError& error) {
      message = error.what();
    }
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_NE(message.find("File too large"), std::string::npos) << message;
  EXPECT_EQ(ReadFileBytes(file), "OLD,A,FS1,VOL1:,Read\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

struct StreamCase {
  const char* name;
  std::string bytes;
  std::vector<RightsRecord> records;
};

class RightsStreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(RightsStreamTest, TakesFiveFieldsARecord) {
  EXPECT_EQ(ReadAll(GetParam().bytes), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RightsStreamTest,
    testing::Values(StreamCase{"Empty", "", {}},
                    StreamCase{"EmptyRightsAtTheEnd", "T,O,S,V:,\r\n", {{"T", "O", "S", "V:", ""}}},
                    StreamCase{
                        "TenFieldsOnOneLine",
                        "T,O,S,V:\\A,Read,T2,O2,S2,V:\\B,Write\r\n",
                        {{"T", "O", "S", "V:\\A", "Read"}, {"T2", "O2", "S2", "V:\\B", "Write"}}},
                    StreamCase{"RecordSplitAcrossLines",
                               "T,O\r\nS,V:\\A\r\nRead\r\n",
                               {{"T", "O", "S", "V:\\A", "Read"}}},
                    StreamCase{"BareLf",
                               "T,O,S,V:\\A,Read\nT,O2,S,V:,\n",
                               {{"T", "O", "S", "V:\\A", "Read"}, {"T", "O2", "S", "V:", ""}}},
                    StreamCase{"MixedLineEnds",
                               "T,O,S,V:\\A,Read\r\nT,O2,S,V:,\nT,O3,S,V:\\C,Modify",
                               {{"T", "O", "S", "V:\\A", "Read"},
                                {"T", "O2", "S", "V:", ""},
                                {"T", "O3", "S", "V:\\C", "Modify"}}},
                    StreamCase{"BlankLinesBetweenRecords",
                               "T,O,S,V:,\r\n\r\n\r\nT,O2,S,V:\\B,Read\r\n\r\n",
                               {{"T", "O", "S", "V:", ""}, {"T", "O2", "S", "V:\\B", "Read"}}}),
    [](const testing::TestParamInfo<StreamCase>& info) { return info.param.name; });

struct TruncatedCase {
  const char* name;
  std::string bytes;
  std::size_t goodRecords;
  const char* mentions;
};

class RightsTruncatedTest : public testing::TestWithParam<TruncatedCase> {};

TEST_P(RightsTruncatedTest, SaysTheFileEndsInsideARecord) {
  RightsFileReader reader(FieldReader::FromBytes(GetParam().bytes));
  for (std::size_t i = 0; i < GetParam().goodRecords; ++i) {
    EXPECT_EQ(reader.ReadRecord().tree, "T");
  }
  ASSERT_FALSE(reader.AtEnd());
  try {
    reader.ReadRecord();
    FAIL() << "no error";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().mentions), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Truncated, RightsTruncatedTest,
    testing::Values(TruncatedCase{"FourFields", "T,O,S,V:\\A,Read\r\nT,O,S,V:\\B\r\n", 1,
                                  "ends inside the record that begins on line 2: it holds 4"},
                    TruncatedCase{"OneField", "T,O,S,V:,\r\nT,O,S,V:,\r\nT\r\n", 2,
                                  "holds 1 of the five fields"},
                    // Four records' worth of fields written without their rights.
                    TruncatedCase{"RecordsWithoutRights", "T,O,S,V:\\A,T,O,S,V:\\B,", 1, "holds 4"},
                    TruncatedCase{"UnclosedQuote", "T,O,S,V:,\r\nT,\"O,S,V:,\r\n", 1,
                                  "quoted field"}),
    [](const testing::TestParamInfo<TruncatedCase>& info) { return info.param.name; });

TEST(RightsFileReader, MissingFileIsReported) {
  EXPECT_THROW(RightsFileReader("/nonexistent/FS1_VOL1.RIGHTS"), FormatError);
}

}  // namespace
}  // namespace capture
