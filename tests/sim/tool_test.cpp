// The tolvane-netsim tool, run as a user runs it.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  // Runs the tool on the test's network folder with `args` (already quoted for the shell).
  Result Run(const std::string& args, bool withNetwork = true) {
    fs::path out = temp_ / "stdout", err = temp_ / "stderr";
    std::string command = std::string("'") + NETSIM_TOOL + "' " +
                          (withNetwork ? "--network '" + network().string() + "' " : "") + args +
                          " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
  }
  fs::path network() const { return temp_.path() / "net"; }
  std::string Write(const std::string& name, const std::string& content) {
    WriteFileBytes(temp_ / name, content);
    return "'" + (temp_ / name).string() + "'";
  }

  TempDir temp_;
};

const char* kDescription = R"json({
  "trees": [ { "name": "T", "objects": [
    { "name": "ACME", "class": "Organization", "children": [
      { "name": "JSmith", "class": "User" },
      { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" } ] } ] } ],
  "servers": [ { "name": "FS1", "tree": "T", "volumes": [
    { "name": "SYS", "directories": [ "Public", "Apps/Word" ] },
    { "name": "VOL1", "number": 1, "directories": [ "Data" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "SYS", "directory": "apps/word", "object": "jsmith.acme",
      "rights": "Read-Write-FileScan" },
    { "server": "FS1", "volume": "SYS", "directory": "", "object": "JSmith.ACME",
      "rights": "Supervisor" },
    { "server": "FS1", "volume": "VOL1", "directory": "Data", "object": "JSmith.ACME",
      "rights": "Read" } ],
  "workstation": { "trees": [ "T" ] }
})json";

TEST_F(ToolTest, LoadThenDumpShowsTheAssignmentsSorted) {
  auto load = Run("load " + Write("net.json", kDescription));
  ASSERT_EQ(load.status, 0) << load.err;
  auto dump = Run("dump");
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "T,JSmith.ACME,FS1,SYS:,Supervisor\n"
            "T,JSmith.ACME,FS1,SYS:\\Apps\\Word,Read-Write-FileScan\n"
            "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
  EXPECT_EQ(Run("dump --server fs1 --volume vol1").out, "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
}

TEST_F(ToolTest, ClearEmptiesOneVolumeOnly) {
  ASSERT_EQ(Run("load " + Write("net.json", kDescription)).status, 0);
  auto clear = Run("clear --server FS1 --volume SYS");
  EXPECT_EQ(clear.status, 0) << clear.err;
  EXPECT_EQ(clear.out, "Removed 2 assignments of FS1/SYS.\n");
  EXPECT_EQ(Run("dump").out, "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
  EXPECT_NE(Run("clear --server FS1 --volume NOPE").status, 0);
}

TEST_F(ToolTest, ExportAndLoadMakeTheSameNetwork) {
  ASSERT_EQ(Run("load " + Write("net.json", kDescription)).status, 0);
  auto exported = Run("export");
  ASSERT_EQ(exported.status, 0) << exported.err;
  std::string copy = (temp_ / "copy").string();
  ASSERT_EQ(
      Run("--network '" + copy + "' load " + Write("export.json", exported.out), false).status, 0);
  EXPECT_EQ(Run("--network '" + copy + "' export", false).out, exported.out);
  EXPECT_EQ(Run("--network '" + copy + "' dump", false).out, Run("dump").out);
}

TEST_F(ToolTest, ABadDescriptionIsRefusedWithItsPlaceAndNothingLoaded) {
  auto description = nlohmann::json::parse(kDescription);
  description["trees"][0]["objects"][0]["children"][0]["class"] = "Usr";
  auto load = Run("load " + Write("bad.json", description.dump()));
  EXPECT_EQ(load.status, 1);
  EXPECT_NE(load.err.find("trees[0].objects[0].children[0]: unknown class \"Usr\""),
            std::string::npos)
      << load.err;
  EXPECT_FALSE(fs::exists(network()));
  auto missing = Run("load '" + (temp_ / "none.json").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot read"), std::string::npos) << missing.err;
}

TEST_F(ToolTest, CreatingRefusesToReplaceANetworkUnlessForced) {
  ASSERT_EQ(Run("create-empty").status, 0);
  auto again = Run("create-demo");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(Run("dump").out, "");
  ASSERT_EQ(Run("create-demo --force").status, 0);
  EXPECT_NE(Run("dump").out, "");
}

TEST_F(ToolTest, ReplacingRefusesAFolderThatHoldsNoNetwork) {
  fs::create_directories(network() / "volumes");
  WriteFileBytes(network() / "network.db", "my notes");
  WriteFileBytes(network() / "volumes" / "keep.txt", "precious");
  auto forced = Run("create-demo --force");
  EXPECT_EQ(forced.status, 1);
  EXPECT_NE(forced.err.find("not a network store"), std::string::npos) << forced.err;
  EXPECT_EQ(ReadFileBytes(network() / "network.db"), "my notes");
  EXPECT_EQ(ReadFileBytes(network() / "volumes" / "keep.txt"), "precious");
  EXPECT_EQ(Run("dump").status, 1);
}

TEST_F(ToolTest, ServersGoDownAndUpAndDrivesMapAndUnmap) {
  ASSERT_EQ(Run("create-demo").status, 0);
  EXPECT_EQ(Run("server-down fs2").status, 0);
  auto refused = Run("map H: '\\\\FS2\\APPS\\'");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("FS2 is down"), std::string::npos) << refused.err;
  EXPECT_EQ(Run("server-up FS2").status, 0);
  EXPECT_EQ(Run("map H: '\\\\FS2\\APPS\\'").status, 0);
  EXPECT_EQ(Run("map H: '\\\\FS1\\SYS\\'").status, 1) << "the letter is taken";
  EXPECT_EQ(Run("unmap H").status, 0);
  EXPECT_EQ(Run("unmap H").status, 1);
  EXPECT_EQ(Run("server-down NOPE").status, 1);
}

TEST_F(ToolTest, GenerateIsRepeatable) {
  std::string args =
      "generate --users 200 --groups 10 --roles 5 --units 8 --directories 60 "
      "--assignments 900 --depth 5 --crowded 30 --seed 3";
  auto generated = Run(args);
  ASSERT_EQ(generated.status, 0) << generated.err;
  EXPECT_NE(generated.out.find("223 objects"), std::string::npos) << generated.out;
  std::string first = Run("dump").out;
  EXPECT_EQ(Run(args).status, 1) << "a network is there";
  ASSERT_EQ(Run(args + " --force").status, 0);
  EXPECT_EQ(Run("dump").out, first);
  EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 900);
}

TEST_F(ToolTest, EveryCommandHasHelpAndBadInputGetsUsage) {
  for (const char* command : {"create-demo", "create-empty", "load", "export", "dump", "clear",
                              "server-down", "server-up", "map", "unmap", "generate"}) {
    auto help = Run(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find(std::string("Usage: tolvane-netsim [--network DIR] ") + command),
              std::string::npos)
        << help.out;
  }
  EXPECT_EQ(Run("--help").status, 0);
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {{"", "Usage"},
               {"frobnicate", "unknown command \"frobnicate\""},
               {"clear --server FS1", "--volume is missing"},
               {"generate --users many", "--users needs a whole number"},
               {"dump --bogus", "unknown option --bogus"},
               {"map H:", "name the drive and the path"},
               {"load", "name the JSON description"},
               {"dump --volume SYS", "--volume needs --server"}};
  for (const auto& c : cases) {
    auto result = Run(c.args);
    EXPECT_EQ(result.status, 2) << c.args;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << c.args << ": " << result.err;
  }
}

TEST_F(ToolTest, ALockedStoreFailsClearlyAndLosesNothing) {
  ASSERT_EQ(Run("load " + Write("net.json", kDescription)).status, 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((network() / "network.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  auto clear = Run("clear --server FS1 --volume SYS");
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(clear.status, 1);
  EXPECT_NE(clear.err.find("locked"), std::string::npos) << clear.err;
  std::string dump = Run("dump").out;
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 3) << dump;
}

}  // namespace
