// tolvane-cli capture, run as a user runs it, against what can stand at its output: links,
// devices, FIFOs, standard output, the network's own files, folders; and assignments the
// rights file cannot hold.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace ::testing;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

using Result = testing_support::ProgramResult;

const std::string kNetwork = testing_support::TestData("cli_capture_network.json");

constexpr const char* kRights =
    "T,JSMITH.ACME,FS1,SYS:\\USERS\\JSMITH,Read-Write-FileScan\r\n"
    "T,Staff.ACME,FS1,SYS:\\PUBLIC,Read-FileScan\r\n";
constexpr const char* kVictim = "not a rights file\n";
constexpr const char* kLeftAsItWas = "An earlier rights file has been left as it was.";

constexpr std::size_t npos = std::string::npos;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class CliCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::LoadNetworkJson(network(), kNetwork); }

  Result Run(const std::string& args) {
    return testing_support::RunProgram(temp_.path(), "", CLI_TOOL,
                                       "--network " + Quoted(network()) + " " + args);
  }
  Result Capture(const std::string& output) {
    return Run("capture --tree T --volume FS1_SYS --output " + output);
  }
  fs::path network() const { return temp_ / "net"; }
  std::vector<std::string> Dump() const { return sim::DumpAssignments(network()); }
  std::vector<nw::NWDriveMapping> Drives() const {
    return sim::OpenNetwork(network())->Session().DriveMappings();
  }

  testing_support::TempDir temp_;
};

// A link planted at the name of the old temporary file, or at the output itself, is never
// written through: its target stays as it was and the output becomes the rights file.
TEST_F(CliCaptureTest, APlantedLinkIsNeverWrittenThrough) {
  for (const char* planted : {"out.rights.tmp", "out.rights"}) {
    SCOPED_TRACE(planted);
    const fs::path victim = temp_ / "victim";
    WriteFileBytes(victim, kVictim);
    fs::remove(temp_ / "out.rights");
    fs::create_symlink(victim, temp_ / planted);
    const Result result = Capture("out.rights");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(ReadFileBytes(victim), kVictim);
    EXPECT_EQ(ReadFileBytes(temp_ / "out.rights"), kRights);
    EXPECT_FALSE(fs::is_symlink(temp_ / "out.rights"));
    fs::remove(temp_ / planted);
  }
}

// Standard output named by a path is standard output, as "-" is.
TEST_F(CliCaptureTest, StandardOutputByAnyOfItsNamesIsLikeTheDash) {
  for (const char* name : {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", "/dev/./stdout"}) {
    SCOPED_TRACE(name);
    const Result result = Capture(name);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kRights);
    EXPECT_THAT(result.err, HasSubstr("Wrote 2 records."));
  }
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

// A device is written into and stays a device; one that refuses the bytes fails the capture
// with the system's reason, and there is no earlier rights file to speak of.
TEST_F(CliCaptureTest, ADeviceIsWrittenIntoNotReplaced) {
  const Result full = Capture("/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_THAT(full.err, AllOf(HasSubstr("Cannot write the file /dev/full: No space left on device"),
                              Not(HasSubstr(kLeftAsItWas))));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  const Result null = Capture("/dev/null");
  EXPECT_EQ(null.status, 0) << null.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_THAT(Drives(), IsEmpty());
}

// A FIFO's reader gets the whole file, larger than a pipe holds at once, and the FIFO stays.
TEST(CliCaptureFifoTest, AFifosReaderGetsTheWholeFile) {
  testing_support::TempDir temp;
  const fs::path network = temp / "net";
  sim::GenerateNetwork(
      network,
      {.users = 300, .groups = 5, .roles = 2, .units = 3, .directories = 100, .assignments = 3000});
  const std::string capture =
      "--network " + Quoted(network) + " capture --tree GEN_TREE --volume GENFS_DATA --output ";
  const Result whole = testing_support::RunProgram(temp.path(), "", CLI_TOOL, capture + "-");
  ASSERT_EQ(whole.status, 0) << whole.err;
  ASSERT_GT(whole.out.size(), 128u * 1024);

  const fs::path fifo = temp / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The reader is a program of its own; its time limit only keeps a broken capture, which
  // never opens the FIFO, from holding the test forever.
  std::thread reader([&] {
    const std::string command = "timeout 120 cat " + Quoted(fifo) + " > " + Quoted(temp / "got");
    EXPECT_EQ(std::system(command.c_str()), 0);
  });
  const Result result =
      testing_support::RunProgram(temp.path(), "", CLI_TOOL, capture + Quoted(fifo));
  reader.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(temp / "got"), whole.out);
  EXPECT_EQ(fs::symlink_status(fifo).type(), fs::file_type::fifo);
}

// The network's own store and volume folders are refused before anything is mapped or
// scanned, however they are named; the network stays as it was.
TEST_F(CliCaptureTest, TheNetworksOwnFilesAreRefused) {
  const std::vector<std::string> before = Dump();
  ASSERT_EQ(before.size(), 2u);
  fs::create_symlink(network() / "network.db", temp_ / "link-to-store");
  fs::create_directory(temp_ / "sub");
  const std::vector<fs::path> outputs = {
      network() / "network.db",
      network() / "network.db-wal",
      network() / "network.db-shm",
      network() / "network.db-journal",
      network() / "volumes" / "FS1" / "SYS" / "PUBLIC" / "out.rights",
      network() / "volumes" / "FS1" / "SYS" / "new.rights",
      temp_ / "sub" / ".." / "net" / "network.db",
      "net/network.db",
      temp_ / "link-to-store"};
  for (const fs::path& output : outputs) {
    SCOPED_TRACE(output);
    const bool existed = fs::exists(fs::symlink_status(output));
    const Result result = Capture(Quoted(output));
    EXPECT_THAT(result, Refused("belongs to the network in "));
    EXPECT_EQ(fs::exists(fs::symlink_status(output)), existed);
    EXPECT_EQ(Dump(), before);
  }
  EXPECT_TRUE(fs::is_symlink(temp_ / "link-to-store"));
  EXPECT_THAT(Drives(), IsEmpty());
}

// A folder, or a name in no folder, is refused before the scan: with its server down, a
// capture that began would end on the server instead.
TEST_F(CliCaptureTest, AFolderOrAMissingFolderIsRefusedBeforeTheScan) {
  sim::SetServerUp(network(), "FS1", false);
  fs::create_directory(temp_ / "folder");
  const std::pair<std::string, std::string> cases[] = {
      {"folder", "Cannot create the file folder: Is a directory."},
      {"no/such/out.rights", "the folder no/such does not exist."}};
  for (const auto& [output, message] : cases) {
    SCOPED_TRACE(output);
    const Result result = Capture(output);
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, AllOf(HasSubstr(message), Not(HasSubstr("could not be obtained"))));
  }
  EXPECT_TRUE(fs::is_empty(temp_ / "folder"));
  EXPECT_FALSE(fs::exists(temp_ / "folder.tmp"));
  EXPECT_THAT(Drives(), IsEmpty());
}

// A failed capture leaves no temporary file and no drive; "left as it was" is said of an earlier
// rights file only when there is one.
TEST_F(CliCaptureTest, AFailedCaptureSpeaksOfAnEarlierFileOnlyWhenThereIsOne) {
  sim::SetServerUp(network(), "FS1", false);
  for (const bool earlier : {true, false}) {
    SCOPED_TRACE(earlier);
    if (earlier) WriteFileBytes(temp_ / "out.rights", kVictim);
    const Result result = Capture("out.rights");
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr("could not be obtained"));
    EXPECT_EQ(result.err.find(kLeftAsItWas) != npos, earlier) << result.err;
    EXPECT_EQ(fs::exists(temp_ / "out.rights"), earlier);
    if (earlier) {
      EXPECT_EQ(ReadFileBytes(temp_ / "out.rights"), kVictim);
    }
    fs::remove(temp_ / "out.rights");
  }
  EXPECT_FALSE(fs::exists(temp_ / "out.rights.tmp"));
  EXPECT_THAT(Drives(), IsEmpty());
  const Result toOutput = Capture("-");
  EXPECT_EQ(toOutput.status, 1);
  EXPECT_EQ(toOutput.out, "");
}

// An assignment the file cannot hold (a double quote in the object's name) is told, one line each
// up to a limit, and costs the exit status; the file holds the rest, and verify sees what the file
// lacks.
TEST_F(CliCaptureTest, AnAssignmentTheFileCannotHoldIsToldAndVerifyFindsIt) {
  struct Case {
    int quotedUsers;
    long linesTold;
    const char* more;
  } cases[] = {{1, 1, ""}, {24, 20, "... and 4 more assignments that could not be written."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quotedUsers);
    std::string objects, assignments;
    for (int i = 0; i < c.quotedUsers; ++i) {
      const std::string name = "Say\\\"Hi" + std::to_string(i);
      objects += R"(, { "name": ")" + name + R"(", "class": "User", "container": "ACME" })";
      assignments += R"(, { "server": "FS1", "volume": "SYS", "directory": "PUBLIC", "object": ")" +
                     name + R"(.ACME", "rights": "Read" })";
    }
    fs::remove_all(network());
    sim::LoadNetworkJson(network(), kNetwork);
    sim::LoadNetworkJson(network(), R"({ "trees": [ { "name": "T", "objects": [ )" +
                                        objects.substr(1) + R"( ] } ], "assignments": [ )" +
                                        assignments.substr(1) + " ] }");
    fs::remove(temp_ / "out.rights");
    const Result result = Capture("out.rights");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(ReadFileBytes(temp_ / "out.rights"), kRights);
    EXPECT_THAT(result.err,
                AllOf(HasSubstr("The assignment of \"Say\"Hi0.ACME\" on \"SYS:\\PUBLIC\" could "
                                "not be written. The object name \"Say\"Hi0.ACME\" holds a "
                                "double quote"),
                      HasSubstr("the file out.rights holds the other 2 records.")));
    EXPECT_EQ(std::ranges::count_if(
                  testing_support::Lines(result.err),
                  [](const std::string& line) { return line.find("The assignment of ") != npos; }),
              c.linesTold);
    EXPECT_THAT(result.err, HasSubstr(c.more));
    EXPECT_EQ(result.err.find("more assignments") != npos, *c.more != '\0');

    const Result verify = Run("verify out.rights");
    EXPECT_EQ(verify.status, 1);
    EXPECT_THAT(verify.out, AllOf(HasSubstr("extra T,\"Say\"Hi0.ACME\",FS1,SYS:\\PUBLIC,Read\n"),
                                  HasSubstr(std::to_string(c.quotedUsers) + " extra")));
  }
}

}  // namespace
