// The rights file writer against what can stand at the name it is given: another writer,
// FIFOs and sockets. Links, folders and devices are met by the command line's capture tests.

#include "formats/rights_file_writer.h"

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
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace formats {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const RightsRecord kRecord{"CORP", "JSmith.Sales.Main", "FS1", "VOL1:\\Users", "Read-FileScan"};
const std::string kLine = "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users,Read-FileScan\r\n";

std::vector<std::string> Names(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Records(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += kLine;
  return bytes;
}

void WriteAndCommit(const fs::path& file, int count) {
  RightsFileWriter writer(file);
  for (int i = 0; i < count; ++i) writer.Write(kRecord);
  writer.Commit();
}

// Two writers to one name at once: each writes a file of its own, and whichever commits last
// leaves its complete file; the first commit is not lost to the second writer's start.
TEST(RightsFileWriter, TwoWritersToOneNameEachCommitACompleteFile) {
  TempDir dir;
  const fs::path file = dir / "FS1_VOL1.RIGHTS";
  RightsFileWriter first(file);
  RightsFileWriter second(file);
  for (int i = 0; i < 5; ++i) first.Write(kRecord);
  second.Write(kRecord);
  first.Commit();
  EXPECT_EQ(ReadFileBytes(file), Records(5));
  second.Commit();
  EXPECT_EQ(ReadFileBytes(file), Records(1));
  EXPECT_THAT(Names(dir), ElementsAre("FS1_VOL1.RIGHTS"));
}

// A new rights file is an ordinary file: read and write for all, less the umask.
TEST(RightsFileWriter, TheFileGetsTheModeOfAnyNewFile) {
  for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0}}) {
    SCOPED_TRACE(mask);
    TempDir dir;
    const mode_t saved = ::umask(mask);
    WriteAndCommit(dir / "A.RIGHTS", 1);
    ::umask(saved);
    struct stat made {};
    ASSERT_EQ(::stat((dir / "A.RIGHTS").c_str(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
  }
}

// A FIFO is written into, all at once on Commit, and stays a FIFO; without Commit its reader
// gets nothing.
TEST(RightsFileWriter, WritesIntoAFifoOnlyOnCommit) {
  for (const bool commit : {true, false}) {
    SCOPED_TRACE(commit);
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Open for reading first, so that the writer's open does not wait for a reader.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    {
      RightsFileWriter writer(fifo);
      EXPECT_TRUE(writer.Direct());
      for (int i = 0; i < 40; ++i) writer.Write(kRecord);
      if (commit) writer.Commit();
    }
    std::string got(64 * 1024, '\0');
    const ssize_t size = ::read(reader, got.data(), got.size());
    ::close(reader);
    got.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    EXPECT_EQ(got, commit ? Records(40) : "");
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_THAT(Names(dir), ElementsAre("pipe"));
  }
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
  EXPECT_EQ(got, Records(10));
  EXPECT_EQ(fs::status(socketFile).type(), fs::file_type::socket);
}

// What a capture that fails leaves as it was: a regular file, or one a link leads to.
TEST(RightsFileWriter, AnEarlierFileIsARegularFileAtTheName) {
  TempDir dir;
  WriteFileBytes(dir / "file", kLine);
  fs::create_symlink(dir / "file", dir / "link");
  fs::create_symlink(dir / "gone", dir / "dangling");
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const std::pair<const char*, bool> cases[] = {{"file", true},     {"link", true},
                                                {"nothing", false}, {"dangling", false},
                                                {"folder", false},  {"fifo", false}};
  for (const auto& [name, earlier] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(RightsFileWriter::EarlierFileExists(dir / name), earlier);
  }
}

}  // namespace
}  // namespace formats
