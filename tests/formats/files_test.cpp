// The field reading rule, the object list file and the rights file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "capture/field_reader.h"
#include "capture/object_list_file.h"
#include "capture/rights_file.h"
#include "capture/windows1252.h"
#include "support/temp_dir.h"

namespace capture {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const RightsRecord kPlain{"CORP", "JSmith.Sales.Main", "FS1", "VOL1:\\Users\\JSmith",
                          "Read-Write-Create-Delete-FileScan-Modify"};
const std::string kPlainLine =
    "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users\\JSmith,Read-Write-Create-Delete-FileScan-Modify\r\n";
const std::string kEarlier = "OLD,A,FS1,VOL1:,Read\r\n";

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const FormatError& error) {
    return error.what();
  }
  return "no error";
}

std::vector<std::string> Fields(FieldReader reader) {
  std::vector<std::string> fields;
  while (!reader.AtEnd()) fields.push_back(reader.ReadField());
  return fields;
}

std::vector<RightsRecord> Records(RightsFileReader reader) {
  std::vector<RightsRecord> records;
  while (!reader.AtEnd()) records.push_back(reader.ReadRecord());
  return records;
}

std::size_t FilesIn(const TempDir& dir) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}

TEST(FieldReader, ReadsTheFieldsThenSaysWhatIsWrong) {
  const std::tuple<std::string, std::vector<std::string>, const char*> cases[] = {
      {"  A, \tB \r\n", {"A", "B "}, "no error"},  // blanks skipped in front, kept behind
      {"\" A,B\"junk,\"C\r\nD\"\r\n", {" A,B", "C\r\nD"}, "no error"},
      {"\"\"\r\nA\"B,C", {"", "A\"B", "C"}, "no error"},
      {"T,\r\nT,", {"T", "", "T", ""}, "no error"},
      {"\r\nA\r\n\r\n  \r\n\nB\r\n\r\n", {"A", "B"}, "no error"},
      {"A\rB\r\n", {"A\rB"}, "no error"},
      {"A\r\nB\r\n\"C,D\r\n", {"A", "B"}, "quoted field that begins on line 3"},
      {std::string("A\r\nB\0C\r\n", 7), {"A"}, "zero byte"}};
  for (const auto& [bytes, fields, error] : cases) {
    FieldReader reader = FieldReader::FromBytes(bytes);
    std::vector<std::string> read;
    EXPECT_THAT(ErrorOf([&] {
                  while (!reader.AtEnd()) read.push_back(reader.ReadField());
                }),
                HasSubstr(error));
    EXPECT_EQ(read, fields) << testing::PrintToString(bytes);
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
  TempDir dir;
  WriteFileBytes(dir / "chunked.txt", bytes);
  const std::vector<std::string> fields = Fields(FieldReader(dir / "chunked.txt"));
  EXPECT_EQ(fields, Fields(FieldReader::FromBytes(bytes)));
  EXPECT_GT(fields.size(), 4000u);
}

// Plain names stand unquoted; an earlier file is emptied; a refused name writes nothing.
TEST(ObjectListFile, NamesAreWrittenAsLinesAndReadBackExactly) {
  TempDir dir;
  const fs::path file = dir / kObjectListFileName;
  WriteFileBytes(file, "Old.Name\r\nOther\r\nThird\r\nFourth\r\nFifth\r\nSixth\r\n");
  const std::vector<std::string> names = {"ADMIN.IT.HQ", "Smith, John.Sales", " Lead.HQ",
                                          "Zoë.Müller.€", ""};
  ObjectListWriter writer(file);
  for (const std::string& name : names) {
    writer.WriteName(name);
    EXPECT_THROW(writer.WriteName("Bad\"Quote.HQ"), FormatError);
  }
  writer.Close();
  EXPECT_EQ(
      ReadFileBytes(file),
      "ADMIN.IT.HQ\r\n\"Smith, John.Sales\"\r\n\" Lead.HQ\"\r\nZo\xEB.M\xFCller.\x80\r\n\"\"\r\n");
  EXPECT_EQ(Fields(FieldReader(file)), names);
}

TEST(Files, OnesThatCannotBeOpenedOrWrittenAreReportedWithTheReason) {
  EXPECT_THAT(ErrorOf([] { FieldReader("/nonexistent/folder/users.txt"); }),
              AllOf(HasSubstr("/nonexistent/folder/users.txt"), HasSubstr("No such file")));
  EXPECT_THROW(ObjectListWriter("/nonexistent/folder/users.txt"), FormatError);
  EXPECT_THROW(RightsFileWriter("/nonexistent/folder/FS1_VOL1.RIGHTS"), FormatError);
  ObjectListWriter full("/dev/full");
  full.WriteName("ADMIN.IT.HQ");
  EXPECT_THAT(ErrorOf([&] { full.Close(); }), HasSubstr("No space left"));
  // A name that would put the rights file outside its folder.
  EXPECT_EQ(RightsFileName("FS1", "VOL1"), "FS1_VOL1.RIGHTS");
  EXPECT_THROW(RightsFileName("..", "/etc/x"), FormatError);
  EXPECT_THROW(RightsFileName(std::string("FS\0", 3), "SYS"), FormatError);
}

// Plain values stand unquoted, so a file of them is byte-identical to the plain form; a
// refused record is named and leaves no trace.
TEST(RightsFile, RecordsAreWrittenAsLinesAndReadBackExactly) {
  const std::pair<RightsRecord, std::string> lines[] = {
      {kPlain, kPlainLine},
      {{"CORP", "A.HQ", "FS1", "VOL1:", ""}, "CORP,A.HQ,FS1,VOL1:,\r\n"},
      {{"CORP", "Smith, John", "FS1", "VOL1:\\Sales,East", "Read"},
       "CORP,\"Smith, John\",FS1,\"VOL1:\\Sales,East\",Read\r\n"},
      {{"CORP", " Lead.HQ", "FS1", "VOL1:\\A ", "Read"},
       "CORP,\" Lead.HQ\",FS1,VOL1:\\A ,Read\r\n"},
      {{"CORP", "Zoë.Müller", "FS1", "VOL1:\\Café\\€uro", "Supervisor"},
       "CORP,Zo\xEB.M\xFCller,FS1,VOL1:\\Caf\xE9\\\x80uro,Supervisor\r\n"}};
  const std::pair<RightsRecord, const char*> refused[] = {
      {{"CORP", "Say\"Hi", "FS1", "V:", ""}, "object name \"Say"},
      {{"T", "A", "FS1", "V:\\a\r\nb", ""}, "line end"},
      {{"T", "Bj\u0151rn", "FS1", "V:", ""}, "U+0151"}};
  TempDir dir;
  RightsFileWriter writer(dir / "FS1_VOL1.RIGHTS");
  std::string bytes;
  std::vector<RightsRecord> records;
  for (const auto& [record, line] : lines) {
    EXPECT_EQ(FormatRightsRecord(record), line);
    writer.Write(record);
    bytes += line;
    records.push_back(record);
  }
  for (const auto& [record, mentions] : refused) {
    EXPECT_THAT(ErrorOf([&] { writer.Write(record); }), HasSubstr(mentions));
  }
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(dir / "FS1_VOL1.RIGHTS"), bytes);
  EXPECT_EQ(Records(RightsFileReader(dir / "FS1_VOL1.RIGHTS")), records);
}

// Five fields a record, whatever the lines: a line end separates fields as a comma does.
TEST(RightsFile, ReaderTakesFiveFieldsARecordAndSaysWhenTheFileEndsInsideOne) {
  const RightsRecord a{"T", "O", "S", "V:\\A", "Read"};
  const RightsRecord b{"T2", "O2", "S2", "V:", ""};
  const std::tuple<std::string, std::vector<RightsRecord>, const char*> cases[] = {
      {"", {}, "no error"},
      {"T,O,S,V:\\A,Read,T2,O2,S2,V:,\r\n", {a, b}, "no error"},
      {"T,O\r\nS,V:\\A\r\nRead\r\n", {a}, "no error"},
      {"T,O,S,V:\\A,Read\nT2,O2,S2,V:,\r\n\r\nT,O,S,V:\\A,Read", {a, b, a}, "no error"},
      {"T,O,S,V:\\A,Read\r\nT,O,S,V:\\B\r\n",
       {a},
       "ends inside the record that begins on line 2: it holds 4"},
      {"T,O,S,V:\\A,Read\r\nT2,O2,S2,V:,\r\nT\r\n", {a, b}, "holds 1 of the five fields"}};
  for (const auto& [bytes, records, error] : cases) {
    RightsFileReader reader(FieldReader::FromBytes(bytes));
    std::vector<RightsRecord> read;
    EXPECT_THAT(ErrorOf([&] {
                  while (!reader.AtEnd()) read.push_back(reader.ReadRecord());
                }),
                HasSubstr(error));
    EXPECT_EQ(read, records) << bytes;
  }
}

TEST(RightsFile, AnEarlierFileStaysUntilCommitAndNoTemporaryFileIsLeft) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  WriteFileBytes(file, kEarlier);
  {
    RightsFileWriter writer(file);
    writer.Write(kPlain);
    EXPECT_EQ(ReadFileBytes(file), kEarlier);
  }  // destroyed without Commit
  EXPECT_EQ(ReadFileBytes(file), kEarlier);
  EXPECT_EQ(FilesIn(dir), 1u);

  RightsFileWriter writer(file);
  writer.Write(kPlain);
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(file), kPlainLine);
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(RightsFile, AFailedCommitRemovesTheTemporaryFile) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  fs::create_directory(file);  // nothing can replace a folder
  RightsFileWriter writer(file);
  writer.Write(kPlain);
  EXPECT_THROW(writer.Commit(), FormatError);
  EXPECT_THROW(writer.Write(kPlain), FormatError);
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(FilesIn(dir), 1u);
}

// A file size limit makes the writes fail as a full disk would.
TEST(RightsFile, AWriteFailureKeepsTheEarlierFile) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  WriteFileBytes(file, kEarlier);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = ErrorOf([&] {
    RightsFileWriter writer(file);
    for (int i = 0; i < 100000; ++i) writer.Write(kPlain);
    writer.Commit();
  });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_THAT(message, HasSubstr("File too large"));
  EXPECT_EQ(ReadFileBytes(file), kEarlier);
  EXPECT_EQ(FilesIn(dir), 1u);
}

}  // namespace
}  // namespace capture
