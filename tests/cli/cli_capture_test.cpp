// tolvane-cli capture against what can stand at its output, and assignments no file can hold.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
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

// A link planted at the old temporary name or at the output is replaced, never written through.
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
  for (const char* name : {"-", "/dev/./stdout"}) {
    SCOPED_TRACE(name);
    const Result result = Capture(name);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kRights);
    EXPECT_THAT(result.err, HasSubstr("Wrote 2 records."));
  }
}

// A device is written into and stays one; one that refuses the bytes fails with the reason.
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

// The network's own store and volume folders are refused however named, before any mapping.
TEST_F(CliCaptureTest, TheNetworksOwnFilesAreRefused) {
  const std::vector<std::string> before = Dump();
  ASSERT_EQ(before.size(), 2u);
  fs::create_symlink(network() / "network.db", temp_ / "link-to-store");
  fs::create_directory(temp_ / "sub");
  const std::vector<fs::path> outputs = {
      network() / "network.db-wal", network() / "volumes" / "FS1" / "SYS" / "new.rights",
      temp_ / "sub" / ".." / "net" / "network.db", "net/network.db", temp_ / "link-to-store"};
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

// A folder or a name in no folder is refused before the scan (which would fail: FS1 is down).
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

// A failed capture leaves no file or drive, and speaks of an earlier file only if there is one.
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

// Assignments the file cannot hold are told (up to twenty lines), fail the run; verify sees them.
TEST_F(CliCaptureTest, AnAssignmentTheFileCannotHoldIsToldAndVerifyFindsIt) {
  // Users named Say"Hi0 to Say"Hi23, each with Read on PUBLIC.
  sim::LoadNetworkJson(network(), testing_support::TestData("cli_unwritable_names_network.json"));
  const Result result = Capture("out.rights");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadFileBytes(temp_ / "out.rights"), kRights);
  EXPECT_THAT(
      result.err,
      AllOf(HasSubstr("The assignment of \"Say\"Hi0.ACME\" on \"SYS:\\PUBLIC\" could not be "
                      "written. The object name \"Say\"Hi0.ACME\" holds a double quote"),
            HasSubstr("... and 4 more assignments that could not be written."),
            HasSubstr("the file out.rights holds the other 2 records.")));
  EXPECT_EQ(std::ranges::count_if(
                testing_support::Lines(result.err),
                [](const std::string& line) { return line.find("The assignment of ") != npos; }),
            20);
  const Result verify = Run("verify out.rights");
  EXPECT_EQ(verify.status, 1);
  EXPECT_THAT(verify.out, AllOf(HasSubstr("extra T,\"Say\"Hi0.ACME\",FS1,SYS:\\PUBLIC,Read\n"),
                                HasSubstr("24 extra")));
}

}  // namespace
