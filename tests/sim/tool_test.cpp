// The tolvane-netsim tool, run as a user runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "netware/sim/sim_admin.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class ToolTest : public ::testing::Test {
 protected:
  // Runs the tool with `args` (already quoted for the shell) on the test's network folder, or
  // with no --network on the default folder in the test's own data folder.
  std::tuple<int, std::string, std::string> Run(const std::string& args, bool named = true) {
    const auto [status, out, err] = testing_support::RunProgram(
        temp_.path(), "env -u TOLVANE_NETWORK XDG_DATA_HOME='" + (temp_ / "data").string() + "'",
        NETSIM_TOOL, (named ? "--network '" + network().string() + "' " : "") + args);
    return {status, out, err};
  }
  std::string Out(const std::string& args) { return std::get<1>(Run(args)); }
  void ExpectFails(const std::string& args, const std::string& message) {
    auto [status, out, err] = Run(args);
    EXPECT_EQ(status, 1) << args;
    EXPECT_NE(err.find(message), std::string::npos) << args << ": " << err;
  }
  fs::path network() const { return temp_.path() / "net"; }
  // `content` in a file of the test's folder, named for the shell.
  std::string Write(const std::string& content, const std::string& name = "net.json") {
    WriteFileBytes(temp_ / name, content);
    return "'" + (temp_ / name).string() + "'";
  }

  // Starts the tool on the network with `args` (one word each), its standard output on `out`
  // and its standard error in the file "stderr", with SIGPIPE as a shell leaves it.
  pid_t Start(const std::vector<std::string>& args, int out) {
    std::vector<std::string> words{NETSIM_TOOL, "--network", network().string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (temp_ / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &pipe);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, NETSIM_TOOL, &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
  }

  // Everything in the network folder's parent but the test's own files: the network, and
  // any folder a replacement left beside it.
  std::vector<std::string> Beside() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_.path())) {
      std::string name = entry.path().filename().string();
      if (name != "stdout" && name != "stderr" && name != "net.json") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing_support::TempDir temp_;
};

// One tree and server FS1 with volumes SYS and VOL1, three assignments.
const std::string kDescription = testing_support::TestData("sim_tool_network.json");
// kDescription as dump prints it: SYS, then VOL1.
const std::string kSys =
    "T,JSmith.ACME,FS1,SYS:,Supervisor\nT,JSmith.ACME,FS1,SYS:\\Apps\\Word,Read-Write-FileScan\n";
const std::string kDumped = kSys + "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n";

TEST_F(ToolTest, EachCommandSaysWhatItDidOrWhyNot) {
  const std::string net = network().string(), copy = (temp_ / "copy.json").string();
  auto description = nlohmann::json::parse(kDescription);
  description["trees"][0]["objects"][0]["children"][0]["class"] = "Usr";
  struct Step {
    std::string args;
    int status;
    std::string out, err;
  } steps[] = {
      {"load " + Write(description.dump(), "bad.json"), 1, "",
       "tolvane-netsim: trees[0].objects[0].children[0]: unknown class \"Usr\"\n"},
      {"create-empty", 0, "Created an empty network in " + net + ".\n", ""},
      {"load " + Write(kDescription), 0,
       "Loaded " + (temp_ / "net.json").string() + " into " + net + ".\n", ""},
      {"dump --server fs1 --volume sys", 0, kSys, ""},
      {"server-down fs1", 0, "The server fs1 is down.\n", ""},
      {"map H: '\\\\FS1\\SYS\\Apps'", 1, "",
       "tolvane-netsim: cannot map H:: the server FS1 is down.\n"},
      {"server-up FS1", 0, "The server FS1 is up.\n", ""},
      {"map H: '\\\\FS1\\SYS\\Apps'", 0, "Mapped H: to \\\\FS1\\SYS\\Apps.\n", ""},
      {"unmap h:", 0, "Removed the mapping of h:.\n", ""},
      {"unmap H", 1, "", "tolvane-netsim: the drive H is not mapped.\n"},
      {"server-up FS9", 1, "", "tolvane-netsim: There is no server \"FS9\".\n"},
      {"export '" + copy + "'", 0, "", ""},
      {"clear --server FS1 --volume SYS", 0, "Removed 2 assignments of FS1/SYS.\n", ""},
      {"dump", 0, kDumped.substr(kSys.size()), ""},
      {"create-demo", 1, "",
       "tolvane-netsim: A network already exists in " + net + "; add --force to replace it.\n"},
      {"load '" + copy + "' --force", 0, "Loaded " + copy + " into " + net + ".\n",
       "Removed the network that was in \"" + net + "\".\n"},
      {"dump", 0, kDumped, ""},  // the copy was made before the clear
  };
  for (const auto& step : steps) {
    EXPECT_EQ(Run(step.args), std::tuple(step.status, step.out, step.err)) << step.args;
  }

  // Counts are decimal: 010 users are ten, not eight.
  fs::remove_all(network());
  auto [status, out, err] =
      Run("generate --users 010 --groups 0 --roles 0 --units 0 --directories 1 --assignments 0");
  EXPECT_EQ(status, 0) << err;
  const std::string generated = "Generated 10 objects, 1 directories and 0 assignments in " + net;
  EXPECT_EQ(out.substr(0, generated.size() + 2), generated + " (");
}

// On the default folder, where a command would first make the demo: nothing is made.
TEST_F(ToolTest, BadCommandLinesGetUsageAndTouchNoNetwork) {
  for (auto [args, message, command] : {
           std::tuple{"frobnicate", "unknown command \"frobnicate\"", ""},
           {"help frobnicate", "unknown command \"frobnicate\"", ""},
           {"clear --server FS1", "--volume is missing", "clear "},
           {"map H:", "name the drive and the path to map", "map "},
           {"server-down FS1 FS2", "unexpected argument \"FS2\"", "server-down "},
           {"dump --volume SYS", "--volume needs --server", "dump "},
           {"--bogus dump", "unknown option --bogus", "dump "},
           {"dump --server --volume SYS", "--server needs a value", "dump "},
           {"--network dump", "--network needs a folder", "dump "},
           {"generate --depth 100000001",
            "--depth needs a whole number from 0 up, not \"100000001\"", "generate "},
       }) {
    EXPECT_EQ(Run(args, false), std::tuple(2, "",
                                           "tolvane-netsim: " + std::string(message) +
                                               "\nTry 'tolvane-netsim " + command + "--help'.\n"))
        << args;
  }
  EXPECT_FALSE(fs::exists(temp_ / "data"));
}

TEST_F(ToolTest, HelpAndVersionGoToStandardOutputAndDoNothing) {
  const std::string usage = Out("--help");
  EXPECT_EQ(usage.rfind("Usage: tolvane-netsim [--network DIR] <command> [options]\n", 0), 0u);
  for (const char* args : {"-h", "help", "help --help"}) {
    EXPECT_EQ(Run(args), std::tuple(0, usage, "")) << args;
  }
  EXPECT_EQ(Run(""), std::tuple(2, "", usage));  // no command at all

  // A command's usage: the synopsis the tool's usage lists, then what the command does.
  const std::string prefix = "Usage: tolvane-netsim [--network DIR] ";
  for (const char* command : {"create-demo", "create-empty", "load", "export", "dump", "clear",
                              "server-down", "server-up", "map", "unmap", "generate"}) {
    const std::string help = Out(std::string(command) + " --help");
    const std::string synopsis = help.substr(prefix.size(), help.find('\n') - prefix.size());
    EXPECT_EQ(help.rfind(prefix + command, 0), 0u) << help;
    EXPECT_NE(usage.find("\n  " + synopsis + "\n"), std::string::npos) << synopsis;
    EXPECT_EQ(Run("help " + std::string(command)), std::tuple(0, help, "")) << command;
  }
  EXPECT_EQ(Out("generate --users many --help"), Out("generate --help"));  // help comes first
  EXPECT_EQ(Out("--version"), "tolvane-netsim " TOLVANE_VERSION "\n");
  EXPECT_FALSE(fs::exists(network()));
}

TEST_F(ToolTest, AForcedReplacementThatFailsLeavesTheOldNetworkByteForByteAndNothingBeside) {
  ASSERT_EQ(std::get<0>(Run("create-demo")), 0);
  const std::string before = Out("export");
  ASSERT_NE(before, "");
  auto tooDeep = nlohmann::json::parse(kDescription);  // a path longer than the system takes
  std::string deep;
  for (int i = 0; i < 20; ++i) deep += std::string(i == 0 ? "" : "/") + std::string(250, 'd');
  tooDeep["servers"][0]["volumes"][0]["directories"].push_back(deep);
  for (auto [args, message] :
       {std::pair{"load " + Write(tooDeep.dump()) + " --force",
                  "A folder of the network cannot be made"},
        {"load '" + (temp_ / "absent.json").string() + "' --force", "Cannot read the description"},
        {"generate --users 5 --groups 0 --roles 0 --units 0 --crowded 9 --force",
         "fewer objects than crowded trustees"}}) {
    ExpectFails(args, message);
    EXPECT_EQ(Out("export"), before) << args;
    EXPECT_EQ(Beside(), std::vector<std::string>{"net"}) << args;
  }
  // A good one replaces it whole.
  ASSERT_EQ(std::get<0>(Run("load " + Write(kDescription) + " --force")), 0);
  EXPECT_EQ(Out("dump"), kDumped);
  EXPECT_FALSE(fs::exists(network() / "volumes" / "FS2"));
  EXPECT_EQ(Beside(), std::vector<std::string>{"net"});
}

TEST_F(ToolTest, AKilledReplacementLeavesTheOldNetworkAndTheNextCleansUpAfterIt) {
  ASSERT_EQ(std::get<0>(Run("load " + Write(kDescription))), 0);
  const std::string before = Out("export");
  int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_t pid = Start({"generate", "--directories", "20000", "--depth", "1", "--force"}, null);
  close(null);
  // Killed once the new network is under way beside the old one, or after a while all the same.
  auto building = [&] {
    for (const auto& name : Beside()) {
      if (name != "net" && fs::exists(temp_.path() / name / "volumes" / "GENFS")) return true;
    }
    return false;
  };
  for (int i = 0; i < 5000 && !building(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  kill(pid, SIGKILL);
  int status = Wait(pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the generation ended before it was killed";
  EXPECT_EQ(Out("export"), before);

  // The next replacement removes what the killed one left.
  ExpectFails("load " + Write("[") + " --force", "");
  EXPECT_EQ(Out("export"), before);
  EXPECT_EQ(Beside(), std::vector<std::string>{"net"});
}

TEST_F(ToolTest, AReplacementRefusesWhatItCannotSwapWholeAndChangesNothing) {
  fs::create_directories(network());
  WriteFileBytes(network() / "network.db", "my notes");
  ExpectFails("create-demo --force", "not a network store");
  EXPECT_EQ(ReadFileBytes(network() / "network.db"), "my notes");
  fs::remove(network() / "network.db");

  ASSERT_EQ(std::get<0>(Run("create-demo")), 0);
  const std::string before = Out("export");
  WriteFileBytes(network() / "notes.txt", "mine");
  ExpectFails("create-empty --force", "holds more than a network (\"notes.txt\")");
  EXPECT_EQ(ReadFileBytes(network() / "notes.txt"), "mine");
  EXPECT_EQ(Out("export"), before);
  fs::remove(network() / "notes.txt");

  if (geteuid() != 0) {  // permissions bind everyone but root
    fs::permissions(temp_.path(), fs::perms::owner_write, fs::perm_options::remove);
    ExpectFails("create-empty --force", "cannot be written");
    fs::permissions(temp_.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Out("export"), before);
  }
}

TEST_F(ToolTest, AFolderOfTheUsersOwnIsBuiltInAndALinkedNetworkFolderStaysALink) {
  // An empty folder named by --network is used as it stands, not swapped for another.
  fs::create_directories(network());
  struct stat made {};
  ASSERT_EQ(stat(network().c_str(), &made), 0);
  ASSERT_EQ(std::get<0>(Run("create-demo")), 0);
  struct stat now {};
  ASSERT_EQ(stat(network().c_str(), &now), 0);
  EXPECT_EQ(now.st_ino, made.st_ino);
  EXPECT_EQ(Beside(), std::vector<std::string>{"net"});

  // Through a link, the folder it leads to takes the new network.
  fs::rename(network(), temp_ / "real");
  fs::create_directory_symlink(temp_ / "real", network());
  ASSERT_EQ(std::get<0>(Run("load " + Write(kDescription) + " --force")), 0);
  EXPECT_TRUE(fs::is_symlink(network()));
  EXPECT_TRUE(fs::exists(temp_ / "real" / "volumes" / "FS1" / "VOL1" / "Data"));
  EXPECT_EQ(Beside(), (std::vector<std::string>{"net", "real"}));
}

TEST_F(ToolTest, AFailedWriteOnStandardOutputIsSaidAndAClosedPipeEndsQuietly) {
  ASSERT_EQ(std::get<0>(Run("create-demo")), 0);
  for (const char* command : {"dump", "--help"}) {
    int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    int status = Wait(Start({command}, full));
    close(full);
    ASSERT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(WEXITSTATUS(status), 1) << command;
    EXPECT_EQ(ReadFileBytes(temp_ / "stderr"),
              "tolvane-netsim: cannot write to standard output: No space left on device\n")
        << command;

    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    close(ends[0]);  // the reader is gone before the first line
    status = Wait(Start({command}, ends[1]));
    close(ends[1]);
    ASSERT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(WEXITSTATUS(status), 1) << command;
    EXPECT_EQ(ReadFileBytes(temp_ / "stderr"), "") << command;
  }
}

}  // namespace

// Filters dumped by volume, and clear taking a volume's filters with its assignments: what a
// restore of that volume has to bring back.
TEST_F(ToolTest, DumpFiltersAndClearAVolumesFiltersWithItsAssignments) {
  auto description = nlohmann::json::parse(kDescription);
  description["servers"][0]["volumes"][0]["files"] = {"Apps/Word/WORD.EXE"};
  description["assignments"].push_back({{"server", "FS1"},
                                        {"volume", "SYS"},
                                        {"directory", "apps/word/word.exe"},
                                        {"object", "JSmith.ACME"},
                                        {"rights", "Read"}});
  description["filters"] = nlohmann::json::parse(R"([
      {"server": "FS1", "volume": "VOL1", "path": "Data", "rights": ""},
      {"server": "FS1", "volume": "SYS", "path": "Apps/Word/WORD.EXE", "rights": 65},
      {"server": "FS1", "volume": "SYS", "path": "Apps", "rights": "FileScan-Supervisor"}])");
  ASSERT_EQ(std::get<0>(Run("load " + Write(description.dump()))), 0);
  const std::string sys =
      "FS1,SYS:\\Apps,FileScan-Supervisor\nFS1,SYS:\\Apps\\Word\\WORD.EXE,Read-FileScan\n";
  for (auto [args, status, out, err] : {
           std::tuple{"dump --filters", 0, sys + "FS1,VOL1:\\Data,\n", ""},
           {"dump --filters --server fs1 --volume sys", 0, sys, ""},
           {"dump --server FS1 --volume SYS --filters", 0, sys, ""},
           {"dump --filters --server FS2", 1, "", "tolvane-netsim: There is no server \"FS2\".\n"},
           {"dump --filters --volume SYS", 2, "",
            "tolvane-netsim: --volume needs --server\nTry 'tolvane-netsim dump --help'.\n"},
           {"dump --server FS1 --volume SYS", 0,
            kSys + "T,JSmith.ACME,FS1,SYS:\\Apps\\Word\\WORD.EXE,Read\n", ""},
           {"clear --server FS1 --volume SYS", 0,
            "Removed 3 assignments and 2 filters of FS1/SYS.\n", ""},
           {"dump --filters", 0, "FS1,VOL1:\\Data,\n", ""},
           {"dump", 0, "T,JSmith.ACME,FS1,VOL1:\\Data,Read\n", ""},
           {"clear --server FS1 --volume SYS", 0, "Removed 0 assignments of FS1/SYS.\n", ""},
           {"clear --server FS1 --volume NONE", 1, "",
            "tolvane-netsim: The server FS1 has no volume \"NONE\".\n"},
       }) {
    EXPECT_EQ(Run(args), std::tuple(status, out, err)) << args;
  }

  // Trustees on files and filters come beside what a seed made before, which stays the same.
  const std::string counts =
      "--users 6 --groups 1 --roles 0 --units 1 --directories 5 "
      "--assignments 9 --force";
  ASSERT_EQ(std::get<0>(Run("generate " + counts)), 0);
  const std::string plain = Out("dump");
  ASSERT_EQ(std::get<0>(Run("generate --file-trustees 4 --filters 6 " + counts)), 0);
  const std::string dumped = Out("dump");
  std::string kept;
  int onFiles = 0;
  for (std::size_t at = 0, end; (end = dumped.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = dumped.substr(at, end - at + 1);
    if (line.find(".dat,") != std::string::npos) {
      ++onFiles;
    } else {
      kept += line;
    }
  }
  EXPECT_EQ(kept, plain);
  EXPECT_EQ(onFiles, 4);
  const std::string filters = Out("dump --filters");
  EXPECT_EQ(std::count(filters.begin(), filters.end(), '\n'), 6);
  EXPECT_EQ(filters.find("DATA:,"), std::string::npos);  // never the root
  ExpectFails("generate --filters 11 " + counts, "Too few directories and files for 11 filters");
}
