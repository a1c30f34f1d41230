// tolvane-cli capture against what can stand at its output, and assignments no file can hold.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/cli_test.h"

namespace {

using namespace ::testing;
using namespace cli_testing;

const std::string kNetwork = testing_support::TestData("cli_capture_network.json");

constexpr const char* kRights =
    "T,JSMITH.ACME,FS1,SYS:\\USERS\\JSMITH,Read-Write-FileScan\r\n"
    "T,Staff.ACME,FS1,SYS:\\PUBLIC,Read-FileScan\r\n";
constexpr const char* kVictim = "not a rights file\n";
constexpr const char* kLeftAsItWas = "An earlier rights file has been left as it was.";

constexpr std::size_t npos = std::string::npos;

class CliCaptureTest : public CliTest {
 protected:
  CliCaptureTest() : CliTest("", kNetwork) {}

  Result Capture(const std::string& output) {
    return Run("capture --tree T --volume FS1_SYS --output " + output);
  }
  std::vector<std::string> Dump() const { return sim::DumpAssignments(network()); }
  std::vector<nw::NWDriveMapping> Drives() const {
    return sim::OpenNetwork(network())->Session().DriveMappings();
  }
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

namespace {

// A tree of four servers with ten volumes, every volume with assignments of its own and a
// filter on DATA volumes.
std::string TreeOfFourServers() {
  const std::vector<std::pair<std::string, std::vector<std::string>>> servers{
      {"S1", {"SYS", "DATA", "APPS"}},
      {"S2", {"SYS", "DATA", "HOME"}},
      {"S3", {"SYS", "DATA", "WORK"}},
      {"S4", {"SYS"}}};
  std::string objects, serverList, assignments, filters;
  int n = 0;
  for (const auto& [server, volumes] : servers) {
    std::string volumeList;
    for (const std::string& volume : volumes) {
      objects += R"({"name": ")" + server + "_" + volume + R"(", "class": "Volume", "server": ")" +
                 server + R"(", "volume": ")" + volume + R"("},)";
      volumeList += std::string(volumeList.empty() ? "" : ",") + R"({"name": ")" + volume +
                    R"(", "directories": ["Dir1/Sub", "Dir2"]})";
      for (const char* user : {"U1", "U2"}) {
        assignments += R"({"server": ")" + server + R"(", "volume": ")" + volume +
                       R"(", "directory": "Dir)" + std::to_string(++n % 2 + 1) +
                       R"(", "object": ")" + user + R"(.ACME", "rights": "Read"},)";
      }
      if (volume == "DATA") {
        filters += std::string(filters.empty() ? "" : ",") + R"({"server": ")" + server +
                   R"(", "volume": "DATA", "path": "Dir1/Sub", "rights": "Read"})";
      }
    }
    serverList += std::string(serverList.empty() ? "" : ",") + R"({"name": ")" + server +
                  R"(", "tree": "T", "volumes": [)" + volumeList + "]}";
  }
  assignments.pop_back();
  return R"({"trees": [{"name": "T", "objects": [{"name": "ACME", "class": "Organization",
      "children": [)" +
         objects + R"({"name": "U1", "class": "User"}, {"name": "U2", "class": "User"}]}]}],
      "servers": [)" +
         serverList + R"(], "assignments": [)" + assignments + R"(], "filters": [)" + filters +
         R"(], "workstation": {"trees": ["T"]}})";
}

class CliCaptureManyTest : public CliTest {
 protected:
  CliCaptureManyTest() : CliTest("", TreeOfFourServers()) {}
  void SetUp() override {
    CliTest::SetUp();
    sim::SetServerUp(network(), "S4", false);
  }
  // Each line up to its time, which differs from run to run.
  static std::vector<std::string> Untimed(const std::string& out) {
    std::vector<std::string> lines = testing_support::Lines(out);
    for (std::string& line : lines) {
      if (line.find(": failed: ") == npos) line = line.substr(0, line.rfind(", "));
    }
    return lines;
  }
};

// Every volume of the tree: one line each in the tree's order, a server that is down failing
// its volume only, every other volume's files the bytes of its own capture, and status 1.
TEST_F(CliCaptureManyTest, EveryVolumeOfATreeInOneCommand) {
  const Result listed = Run("volumes T");
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::vector<std::string> volumes = testing_support::Lines(listed.out);
  ASSERT_EQ(volumes.size(), 10u);
  std::vector<std::string> lines[2];
  for (const int jobs : {1, 8}) {
    SCOPED_TRACE(jobs);
    const fs::path folder = temp_ / ("out" + std::to_string(jobs));
    const Result result = Run("capture --tree T --all --jobs " + std::to_string(jobs) +
                              " --output-dir " + Quoted(folder / "made"));
    EXPECT_EQ(result.status, 1) << result.err;
    lines[jobs > 1] = Untimed(result.out);
    ASSERT_EQ(lines[jobs > 1].size(), volumes.size()) << result.out;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
      const std::string& line = lines[jobs > 1][i];
      EXPECT_EQ(line.rfind(volumes[i] + ": ", 0), 0u) << line;
      const fs::path rights = folder / "made" / (volumes[i] + ".RIGHTS");
      const fs::path filters = folder / "made" / (volumes[i] + ".FILTERS");
      if (volumes[i] == "S4_SYS") {
        EXPECT_THAT(line, HasSubstr("S4_SYS: failed: "));
        EXPECT_FALSE(fs::exists(rights));
        continue;
      }
      const bool data = volumes[i].ends_with("_DATA");
      EXPECT_EQ(line, volumes[i] + ": 2 records, " + (data ? "1 filter" : "0 filters"));
      const Result one = Run("capture --tree T --volume " + volumes[i] + " --output " +
                             Quoted(temp_ / "one.RIGHTS") + " --jobs 1");
      ASSERT_EQ(one.status, 0) << one.err;
      EXPECT_EQ(ReadFileBytes(rights), ReadFileBytes(temp_ / "one.RIGHTS"));
      EXPECT_EQ(ReadFileBytes(filters), ReadFileBytes(temp_ / "one.FILTERS"));
    }
    EXPECT_THAT(result.err, HasSubstr("9 volumes captured into "));
  }
  EXPECT_EQ(lines[0], lines[1]);
}

// A server's volumes, a version 3 server's from its bindery, each file the same as its own
// capture's; --dated puts the run into a folder named by its start time.
TEST_F(CliCaptureManyTest, EveryVolumeOfAServerIntoADatedFolder) {
  sim::CreateDemoNetwork(temp_ / "demo");
  const auto demo = [&](const std::string& args) { return RunOn(temp_ / "demo", args); };
  const Result result = demo("capture --server OLDFS --output-dir runs --dated");
  ASSERT_EQ(result.status, 0) << result.err;
  std::vector<fs::path> runs;
  for (const auto& entry : fs::directory_iterator(temp_ / "runs")) runs.push_back(entry.path());
  ASSERT_EQ(runs.size(), 1u);
  const std::string stamp = runs[0].filename().string();
  // 2026-12-08T01-23-45
  ASSERT_EQ(stamp.size(), 19u) << stamp;
  for (std::size_t i = 0; i < stamp.size(); ++i) {
    const char expected = i == 10 ? 'T' : (i == 4 || i == 7 || i == 13 || i == 16) ? '-' : '0';
    if (expected == '0') {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(stamp[i]))) << stamp;
    } else {
      EXPECT_EQ(stamp[i], expected) << stamp;
    }
  }
  const std::vector<std::string> lines = Untimed(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  for (const std::string& volume : {std::string("SYS"), std::string("ARCHIVE")}) {
    SCOPED_TRACE(volume);
    EXPECT_THAT(lines, Contains(StartsWith("OLDFS_" + volume + ": ")));
    const Result one = demo("capture --server OLDFS --volume " + volume + " --output one.RIGHTS");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(ReadFileBytes(runs[0] / ("OLDFS_" + volume + ".RIGHTS")),
              ReadFileBytes(temp_ / "one.RIGHTS"));
    EXPECT_THAT(ReadFileBytes(temp_ / "one.RIGHTS"), HasSubstr(",OLDFS,"));
  }
}

// A dated folder that is there already (made here for every second the run may start in) is
// refused, and nothing is written into it.
TEST_F(CliCaptureManyTest, ADatedRunNeverWritesIntoAnEarlierOne) {
  const std::time_t now = std::time(nullptr);
  for (std::time_t second = now - 1; second <= now + 10; ++second) {
    std::tm local{};
    localtime_r(&second, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H-%M-%S", &local);
    fs::create_directories(temp_ / "runs" / stamp);
  }
  EXPECT_THAT(Run("capture --tree T --all --output-dir runs --dated"),
              Refused("is there already; a dated run never writes into an earlier one."));
  for (const auto& run : fs::directory_iterator(temp_ / "runs")) {
    EXPECT_TRUE(fs::is_empty(run.path())) << run.path();
  }
}

TEST_F(CliCaptureManyTest, OptionsThatDoNotGoTogetherAreRefusedBeforeAnythingIsWritten) {
  WriteFileBytes(temp_ / "plain", "a file\n");
  const std::pair<const char*, const char*> cases[] = {
      {"capture --tree T --all --output x.RIGHTS", "--output names the file of one volume"},
      {"capture --tree T --all --volume S1_SYS", "--volume names one"},
      {"capture --tree T", "capture --tree needs --volume (one volume) or --all"},
      {"capture --server S1 --all", "--all captures every volume object of a tree"},
      {"capture --tree T --volume S1_SYS --output-dir d", "--output-dir goes with --all"},
      {"capture --tree T --volume S1_SYS --dated", "--dated goes with --all"},
      {"capture --tree T --all --filters f", "--filters names the filters file of one volume"},
      {"capture --tree T --all --output-dir plain", "Cannot make the folder plain"},
  };
  ExpectEachRefused(
      cases, [&](const std::string& args) { return Run(args); },
      [&] {
        EXPECT_FALSE(fs::exists(temp_ / "d"));
        EXPECT_FALSE(fs::exists(temp_ / "S1_SYS.RIGHTS"));
      });
}

}  // namespace
