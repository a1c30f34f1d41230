// The tolvane-netsim tool, run as a user runs it.

#include <gtest/gtest.h>

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
  Result Run(const std::string& args) {
    fs::path out = temp_ / "stdout", err = temp_ / "stderr";
    std::string command = std::string("'") + NETSIM_TOOL + "' --network '" + network().string() +
                          "' " + args + " >'" + out.string() + "' 2>'" + err.string() +
                          "' </dev/null";
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

TEST_F(ToolTest, LoadDumpAndClearOneVolume) {
  auto load = Run("load " + Write("net.json", kDescription));
  ASSERT_EQ(load.status, 0) << load.err;
  auto dump = Run("dump");
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "T,JSmith.ACME,FS1,SYS:,Supervisor\n"
            "T,JSmith.ACME,FS1,SYS:\\Apps\\Word,Read-Write-FileScan\n"
            "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
  auto clear = Run("clear --server FS1 --volume SYS");
  EXPECT_EQ(clear.status, 0) << clear.err;
  EXPECT_EQ(clear.out, "Removed 2 assignments of FS1/SYS.\n");
  EXPECT_EQ(Run("dump --server FS1 --volume VOL1").out, "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
  EXPECT_EQ(Run("dump").out, "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
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
}

TEST_F(ToolTest, CreatingNeverReplacesWhatIsNotANetworkAndANetworkOnlyWhenForced) {
  fs::create_directories(network());
  WriteFileBytes(network() / "network.db", "my notes");
  auto forced = Run("create-demo --force");
  EXPECT_EQ(forced.status, 1);
  EXPECT_NE(forced.err.find("not a network store"), std::string::npos) << forced.err;
  EXPECT_EQ(ReadFileBytes(network() / "network.db"), "my notes");

  fs::remove(network() / "network.db");
  ASSERT_EQ(Run("create-empty").status, 0);
  auto again = Run("create-demo");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(Run("dump").out, "");
  ASSERT_EQ(Run("create-demo --force").status, 0);
  EXPECT_NE(Run("dump").out, "");
}

TEST_F(ToolTest, BadCommandLinesGetUsage) {
  for (auto [args, message] : {std::pair{"", "Usage"},
                               {"frobnicate", "unknown command \"frobnicate\""},
                               {"clear --server FS1", "--volume is missing"},
                               {"generate --users many", "--users needs a whole number"}}) {
    auto result = Run(args);
    EXPECT_EQ(result.status, 2) << args;
    EXPECT_NE(result.err.find(message), std::string::npos) << args << ": " << result.err;
  }
}

}  // namespace
