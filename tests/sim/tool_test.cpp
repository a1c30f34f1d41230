// The tolvane-netsim tool, run as a user runs it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class ToolTest : public ::testing::Test {
 protected:
  // Runs the tool on the test's network folder with `args` (already quoted for the shell):
  // its exit status, and what it wrote to stdout and stderr.
  std::tuple<int, std::string, std::string> Run(const std::string& args) {
    fs::path out = temp_ / "stdout", err = temp_ / "stderr";
    int status =
        std::system(("'" + std::string(NETSIM_TOOL) + "' --network '" + network().string() + "' " +
                     args + " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null")
                        .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
  }
  std::string Out(const std::string& args) { return std::get<1>(Run(args)); }
  fs::path network() const { return temp_.path() / "net"; }
  std::string Write(const std::string& content) {
    WriteFileBytes(temp_ / "net.json", content);
    return "'" + (temp_ / "net.json").string() + "'";
  }

  testing_support::TempDir temp_;
};

const char* kDescription = R"json({
  "trees": [ { "name": "T", "objects": [ { "name": "ACME", "class": "Organization", "children": [
      { "name": "JSmith", "class": "User" } ] } ] } ],
  "servers": [ { "name": "FS1", "tree": "T", "volumes": [
    { "name": "SYS", "directories": [ "Apps/Word" ] },
    { "name": "VOL1", "number": 1, "directories": [ "Data" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "SYS", "directory": "apps/word", "object": "jsmith.acme",
      "rights": "Read-Write-FileScan" },
    { "server": "FS1", "volume": "SYS", "object": "JSmith.ACME", "rights": "Supervisor" },
    { "server": "FS1", "volume": "VOL1", "directory": "Data", "object": "JSmith.ACME",
      "rights": "Read" } ] })json";

TEST_F(ToolTest, LoadsAGoodDescriptionOnlyThenDumpsAndClearsOneVolume) {
  auto description = nlohmann::json::parse(kDescription);
  description["trees"][0]["objects"][0]["children"][0]["class"] = "Usr";
  auto [status, out, err] = Run("load " + Write(description.dump()));
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("trees[0].objects[0].children[0]: unknown class \"Usr\""), std::string::npos)
      << err;
  EXPECT_FALSE(fs::exists(network()));

  ASSERT_EQ(std::get<0>(Run("load " + Write(kDescription))), 0);
  EXPECT_EQ(Out("dump"),
            "T,JSmith.ACME,FS1,SYS:,Supervisor\n"
            "T,JSmith.ACME,FS1,SYS:\\Apps\\Word,Read-Write-FileScan\n"
            "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
  EXPECT_EQ(Run("clear --server FS1 --volume SYS"),
            std::tuple(0, "Removed 2 assignments of FS1/SYS.\n", ""));
  EXPECT_EQ(Out("dump"), "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n");
}

TEST_F(ToolTest, CreatingNeverReplacesWhatIsNotANetworkAndANetworkOnlyWhenForced) {
  fs::create_directories(network());
  WriteFileBytes(network() / "network.db", "my notes");
  auto [status, out, err] = Run("create-demo --force");
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("not a network store"), std::string::npos) << err;
  EXPECT_EQ(ReadFileBytes(network() / "network.db"), "my notes");

  fs::remove(network() / "network.db");
  ASSERT_EQ(std::get<0>(Run("create-empty")), 0);
  std::tie(status, out, err) = Run("create-demo");
  EXPECT_EQ(status, 1);
  EXPECT_NE(err.find("--force"), std::string::npos) << err;
  EXPECT_EQ(Out("dump"), "");
  ASSERT_EQ(std::get<0>(Run("create-demo --force")), 0);
  EXPECT_NE(Out("dump"), "");
}

TEST_F(ToolTest, BadCommandLinesGetUsage) {
  for (auto [args, message] :
       {std::pair{"", "Usage"},
        {"frobnicate", "unknown command \"frobnicate\"\nTry 'tolvane-netsim --help'."},
        {"help frobnicate", "unknown command \"frobnicate\""},
        {"clear --server FS1", "--volume is missing"},
        {"generate --users many", "--users needs a whole number"},
        {"dump --bogus", "unknown option --bogus\nTry 'tolvane-netsim dump --help'."},
        {"--bogus dump", "unknown option --bogus"},
        {"create-demo --force=no", "unknown option --force=no"},
        {"dump --server", "--server needs a value"},
        {"server-down FS1 FS2", "unexpected argument \"FS2\""},
        {"map H:", "name the drive and the path to map"}}) {
    auto [status, out, err] = Run(args);
    EXPECT_EQ(status, 2) << args;
    EXPECT_NE(err.find(message), std::string::npos) << args << ": " << err;
  }
}

TEST_F(ToolTest, EveryCommandTellsItsUsageOnHelpAndDoesNothing) {
  for (const char* command : {"create-demo", "create-empty", "load", "export", "dump", "clear",
                              "server-down", "server-up", "map", "unmap", "generate"}) {
    const std::string usage = std::string("Usage: tolvane-netsim [--network DIR] ") + command;
    for (const std::string& args : {std::string(command) + " --help",
                                    std::string("help ") + command, std::string("-h ") + command}) {
      auto [status, out, err] = Run(args);
      EXPECT_EQ(status, 0) << args;
      EXPECT_EQ(out.rfind(usage, 0), 0u) << args << ": " << out;
      EXPECT_EQ(err, "") << args;
    }
  }
  EXPECT_FALSE(fs::exists(network()));
  auto [status, out, err] = Run("--help");
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("'tolvane-netsim <command> --help' tells more"), std::string::npos) << out;
}

}  // namespace
