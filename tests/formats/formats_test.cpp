// The field reading rule, the object list file and the rights file; rights masks as words,
// Windows-1252 text, the client's fixed byte buffers and dotted names.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "formats/byte_buffer.h"
#include "formats/field_reader.h"
#include "formats/format_testing.h"
#include "formats/object_list_file.h"
#include "formats/rights_file.h"
#include "formats/rights_file_writer.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"

namespace formats {
namespace {

using namespace ::testing;

const RightsRecord kPlain{"CORP", "JSmith.Sales.Main", "FS1", "VOL1:\\Users\\JSmith",
                          "Read-Write-Create-Delete-FileScan-Modify"};
const std::string kPlainLine =
    "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users\\JSmith,Read-Write-Create-Delete-FileScan-Modify\r\n";

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

std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FieldReader, ReadsTheFieldsThenSaysWhatIsWrong) {
  const std::tuple<std::string, std::vector<std::string>, const char*> cases[] = {
      {"\" A,B\"junk,\"C\r\nD\"\r\n", {" A,B", "C\r\nD"}, "no error"},
      {"\"\"\r\nA\"B,C", {"", "A\"B", "C"}, "no error"},
      {"A\rB\r\n", {"A\rB"}, "no error"},
      {"A\r\nB\r\n\"C,D\r\n", {"A", "B"}, "quoted field that begins on line 3"}};
  for (const auto& [bytes, fields, error] : cases) {
    FieldReader reader = FieldReader::FromBytes(bytes);
    std::vector<std::string> read;
    EXPECT_THAT(ErrorOf([&] {
                  while (!reader.AtEnd()) read.push_back(reader.ReadField());
                }),
                HasSubstr(error));
    EXPECT_EQ(read, fields) << PrintToString(bytes);
  }
}

// Fields, quotes and line ends that straddle a chunk's edge read as the same bytes in memory.
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
  const std::vector<std::string> names = {"ADMIN.IT.HQ", " Lead.HQ", "Zoë.Müller.€", ""};
  ObjectListWriter writer(file);
  for (const std::string& name : names) {
    writer.WriteName(name);
    EXPECT_THROW(writer.WriteName("Bad\"Quote.HQ"), FormatError);
  }
  writer.Close();
  EXPECT_EQ(ReadFileBytes(file),
            "ADMIN.IT.HQ\r\n\" Lead.HQ\"\r\nZo\xEB.M\xFCller.\x80\r\n\"\"\r\n");
  EXPECT_EQ(Fields(FieldReader(file)), names);
}

// The capture refuses such volume names first; the name is refused again all the same.
TEST(RightsFile, ANameThatWouldLeaveItsFolderIsRefused) {
  EXPECT_EQ(RightsFileName("FS1", "VOL1"), "FS1_VOL1.RIGHTS");
  EXPECT_THROW(RightsFileName("..", "/etc/x"), FormatError);
  EXPECT_THROW(RightsFileName(std::string("FS\0", 3), "SYS"), FormatError);
}

// Plain values stand unquoted; a refused record is named and leaves no trace.
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
      {{"T", "A", "FS1", "V:\\a\r\nb", ""}, "line end"},
      {{"T", "Bj\u0151rn", "FS1", "V:", ""}, "U+0151"}};
  TempDir dir;
  RightsFileWriter writer(dir / "FS1_VOL1.RIGHTS");
  const auto [bytes, records] = WriteEach(writer, lines, FormatRightsRecord);
  for (const auto& [record, mentions] : refused) {
    EXPECT_THAT(ErrorOf([&] { writer.Write(record); }), HasSubstr(mentions));
    // A refused value is told apart from a failing file, which must end a capture.
    EXPECT_THROW(writer.Write(record), UnwritableValue);
  }
  writer.Commit();
  EXPECT_EQ(ReadFileBytes(dir / "FS1_VOL1.RIGHTS"), bytes);
  EXPECT_EQ(ReadAll(RightsFileReader(dir / "FS1_VOL1.RIGHTS"), &RightsFileReader::ReadRecord),
            std::pair(records, std::vector<std::string>{}));
}

// A line of other than five fields, or not read whole, is no record; the lines after it stand.
TEST(RightsFile, ReaderTakesOneRecordALineAndNamesEachLineThatIsNone) {
  const RightsRecord a{"T", "O", "S", "V:\\A", "Read"};
  const RightsRecord b{"T2", "O2", "S2", "V:", ""};
  const std::tuple<std::string, std::vector<RightsRecord>, std::vector<std::string>> cases[] = {
      {"", {}, {}},
      {"T,O,S,V:\\A,Read\r\nT2,O2,S2,V:,\r\n", {a, b}, {}},
      {"T,O,S,V:\\A,Read\nT2,O2,S2,V:,\r\n\r\n  \r\nT,O,S,V:\\A,Read", {a, b, a}, {}},
      // Quotes around any field, blanks in front of a field and after a closing quote.
      {"\"T\" , \"O\",S,\t\"V:\\A\",\"Read\"  \r\n\"T2\",O2,S2,V:,\"\"\n", {a, b}, {}},
      {"T,O,S,V:\\A,Read\r\n\r\nT,O,S,V:\\B\r\nT2,O2,S2,V:,\r\n",
       {a, b},
       {"line 3: it holds 4 fields"}},
      // A quote left open ends with its line, not with a later one.
      {"T,O,S,\"V:\\A,Read\r\nT2,O2,S2,V:,\r\nT,\"O\r\n,S,V:\\A,Read\"\r\n",
       {b},
       {"line 1: the quote that opens field 4 is not closed",
        "line 3: the quote that opens field 2", "line 4: it holds 4 fields"}},
      {std::string("T,O") + '\0' + ",S,V:\\A,Read\r\nT2,O2,S2,V:,\r\n",
       {b},
       {"line 1: field 2 holds a zero byte"}}};
  for (const auto& [bytes, records, bad] : cases) {
    SCOPED_TRACE(PrintToString(bytes));
    const auto [read, problems] =
        ReadAll(RightsFileReader(FieldReader::FromBytes(bytes)), &RightsFileReader::ReadRecord);
    EXPECT_EQ(read, records);
    ExpectProblems(problems, bad);
  }
}

// A folder takes the name meanwhile: the failed commit removes its temporary file and closes.
TEST(RightsFile, ACommitThatFailsLeavesNoTemporaryFileAndClosesTheWriter) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  RightsFileWriter failing(file);
  failing.Write(kPlain);
  fs::create_directory(file);
  EXPECT_THROW(failing.Commit(), FormatError);
  try {
    failing.Write(kPlain);
    ADD_FAILURE() << "a closed writer took a record";
  } catch (const UnwritableValue&) {
    ADD_FAILURE() << "a closed file reported as a value it cannot carry";
  } catch (const FormatError&) {
  }
  EXPECT_THAT(Names(dir), ElementsAre("FS1_VOL1.RIGHTS"));
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
}

// Any order and case; "Read" grants 0x0005; a text with a word that is no right is refused.
TEST(RightsText, GivesTheMaskOfItsWordsOrRefusesTheText) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"Read-Write-Create-Delete-AccessCtrl-FileScan-Modify-Supervisor", 0x01FF},
      {"", 0},
      {"fileSCAN-Read", 0x0045},
      {"supervisor-accessctrl-DELETE", 0x0130},
      {"Write-Write", 2}};
  for (const auto& [text, mask] : cases) EXPECT_EQ(RightsMaskFromText(text), mask) << text;
  for (const char* text : {"Superviser", "Read-FileScan ", "Read--Write", "-Read", "Read-",
                           "Read,Write", "ReadWrite", "xxaccessctrlxx"}) {
    EXPECT_EQ(RightsMaskFromText(text), std::nullopt) << text;
  }
}

// Undefined codes stand for the C1 control of that value; what has no code is refused, named.
TEST(Windows1252, EveryByteReadsBackAndTheRestIsRefusedNamingTheValue) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("Zo\xEB \x80\x8A\x9F\x93\x99\x81\x9D"), "Zoë €ŠŸ“™\u0081\u009D");
  const std::pair<std::string, const char*> refused[] = {
      {"Bj\u0151rn", "\"Bj\u0151rn\" holds the character U+0151"},
      {"\u0080", "U+0080"},  // the control, not the euro sign
      {"ab\xC3", "not valid UTF-8"},
      {"\xED\xA0\x80", "not valid UTF-8"},  // surrogate
      {"\xE9t\xE9", "\\xE9t\\xE9"}};
  for (const auto& [utf8, mentions] : refused) {
    EXPECT_THAT(ErrorOf([&] { Utf8ToCp1252(utf8); }), HasSubstr(mentions));
  }
}

// The buffer sits inside a larger block so that a write past its end shows.
TEST(ByteBuffer, CopiesTextThatFitsAndRefusesTheRestUntouched) {
  const struct {
    std::size_t size;
    std::string text;
    bool fits;
  } cases[] = {{0, "", true},
               {0, std::string(1, '\0'), false},
               {4, std::string("ÄÖÜ\0", 7), true},  // one byte a letter
               {3, std::string("ÄÖÜ\0", 7), false},
               {64, "Bj\u0151rn", false}};
  for (const auto& c : cases) {
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
  using Bytes = std::vector<std::uint8_t>;
  EXPECT_EQ(CopyBytesToText(Bytes{0, 'A', 'B'}), "");
  EXPECT_EQ(CopyBytesToText(Bytes{'Z', 'o', 0xEB, 0x80, 0, 'X', 0}), "Zoë€");
  EXPECT_THROW(CopyBytesToText(Bytes{'A', 'B', 'C'}), FormatError);
  EXPECT_THROW(CopyBytesToText(Bytes{}), FormatError);
}

TEST(DottedName, JoinsTheComponentsLeafFirstAndRefusesAResultOutsideTheTree) {
  EXPECT_EQ(DottedName("NDS:\\\\CORP\\HQ\\IT\\ADMIN", "CORP"), "ADMIN.IT.HQ");
  // Compared exactly (the selection's tests meet another tree and one that only begins alike).
  for (const char* result : {"NDS:\\\\corp\\HQ\\ADMIN", "NDS:\\\\CORP", "NDS:\\\\CORP\\"}) {
    EXPECT_THAT(ErrorOf([&] { DottedName(result, "CORP"); }), HasSubstr(result));
  }
}

// The writer against what can stand at the name it is given: another writer, FIFOs and
// sockets. Links, folders and devices are met by the command line's capture tests.

std::string PlainLines(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += kPlainLine;
  return bytes;
}

void WriteAndCommit(const fs::path& file, int count) {
  RightsFileWriter writer(file);
  for (int i = 0; i < count; ++i) writer.Write(kPlain);
  writer.Commit();
}

// Two writers to one name at once: whichever commits last leaves its complete file.
TEST(RightsFileWriter, TwoWritersToOneNameEachCommitACompleteFile) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  RightsFileWriter first(file);
  RightsFileWriter second(file);
  for (int i = 0; i < 5; ++i) first.Write(kPlain);
  second.Write(kPlain);
  first.Commit();
  EXPECT_EQ(ReadFileBytes(file), PlainLines(5));
  second.Commit();
  EXPECT_EQ(ReadFileBytes(file), PlainLines(1));
  EXPECT_THAT(Names(dir), ElementsAre("FS1_VOL1.RIGHTS"));
}

// A new rights file is an ordinary file: read and write for all, less the umask (an unusual
// one, so that no fixed mode passes).
TEST(RightsFileWriter, TheFileGetsTheModeOfAnyNewFile) {
  TempDir dir;
  const mode_t saved = ::umask(027);
  WriteAndCommit(dir / "A.RIGHTS", 1);
  ::umask(saved);
  struct stat made {};
  ASSERT_EQ(::stat((dir / "A.RIGHTS").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0640u);
}

// Without Commit a FIFO's reader gets nothing: a failed capture sends no part of a file.
TEST(RightsFileWriter, AFifoGetsNothingWithoutCommit) {
  TempDir dir;
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Open for reading first, so that the writer's open does not wait for a reader.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  {
    RightsFileWriter writer(fifo);
    for (int i = 0; i < 40; ++i) writer.Write(kPlain);
  }
  char got[16];
  EXPECT_LE(::read(reader, got, sizeof got), 0);
  ::close(reader);
  EXPECT_THAT(Names(dir), ElementsAre("pipe"));
}

TEST(RightsFileWriter, WritesIntoASocketItConnectsTo) {
  TempDir dir;
  const fs::path socketFile = dir / "sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketFile.native().size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, socketFile.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  WriteAndCommit(socketFile, 10);
  const int peer = ::accept(listener, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  std::string got, chunk(4096, '\0');
  for (ssize_t n; (n = ::read(peer, chunk.data(), chunk.size())) > 0;) got.append(chunk, 0, n);
  ::close(peer);
  ::close(listener);
  EXPECT_EQ(got, PlainLines(10));
  EXPECT_EQ(fs::status(socketFile).type(), fs::file_type::socket);
}

// What a capture that fails leaves as it was: a regular file, or one a link leads to.
TEST(RightsFileWriter, AnEarlierFileIsARegularFileAtTheName) {
  TempDir dir;
  WriteFileBytes(dir / "file", kPlainLine);
  fs::create_symlink(dir / "file", dir / "link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::pair<const char*, bool> cases[] = {
      {"link", true}, {"dangling", false}, {"folder", false}, {"fifo", false}};
  for (const auto& [name, earlier] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(RightsFileWriter::EarlierFileExists(dir / name), earlier);
  }
}

}  // namespace
}  // namespace formats
