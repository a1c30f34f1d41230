// tolvane-cli, run as a user runs it, on a temporary demo network.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/cli_test.h"

namespace {

using namespace ::testing;
using namespace cli_testing;

// The demo network, named by the environment.
class CliToolTest : public CliTest {
 protected:
  void SetUp() override { sim::CreateDemoNetwork(network()); }

  Result Run(const std::string& args) const { return RunIn(NetworkVariable(), args); }
};

TEST_F(CliToolTest, ListsTheTreesAndVolumesOfTheNetworkTheOptionNamesOverTheEnvironment) {
  const Result other =
      RunIn("TOLVANE_NETWORK=/nonexistent/net", "--network '" + network().string() + "' trees");
  EXPECT_EQ(other.status, 0);
  EXPECT_EQ(other.out, "QARN\nNORDLAB\n");
  EXPECT_EQ(Run("volumes qarn").out, "FS1_DATA\nFS1_SYS\nFS2_APPS\nFS2_SYS\n");

  // A folder named by the user is never made a network.
  const Result missing = Run("--network '" + (temp_ / "empty").string() + "' trees");
  EXPECT_EQ(missing.status, 2);
  EXPECT_THAT(missing.err, HasSubstr("NWCallsInit returns errors !"));
  EXPECT_FALSE(fs::exists(temp_ / "empty" / "network.db"));
}

TEST_F(CliToolTest, CreatesTheDefaultNetworkAsTheDemoNetwork) {
  const Result created =
      RunIn("env -u TOLVANE_NETWORK XDG_DATA_HOME='" + (temp_ / "data").string() + "'", "trees");
  EXPECT_EQ(created.status, 0);
  EXPECT_EQ(created.out, "QARN\nNORDLAB\n");
  EXPECT_THAT(created.err, HasSubstr("Created the demo network"));
  EXPECT_TRUE(fs::exists(temp_ / "data" / "tolvane" / "network" / "network.db"));
}

TEST_F(CliToolTest, SaysItsVersionAndGivesHelpByCommand) {
  const Result version = Run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tolvane-cli " TOLVANE_VERSION "\n");
  EXPECT_EQ(version.err, "");

  for (const char* command : {"", "trees", "volumes", "capture", "restore", "verify"}) {
    SCOPED_TRACE(command);
    const Result help = Run(std::string(command) + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_THAT(help.out, HasSubstr("Usage: tolvane-cli " + std::string(command)));
    EXPECT_EQ(Run(std::string("help ") + command).out, help.out);
  }
  EXPECT_THAT(Run("restore --help").out, AllOf(HasSubstr("--dry-run"), HasSubstr("--map-server"),
                                               HasSubstr("--map-volume"), HasSubstr("--map-tree")));
}

TEST_F(CliToolTest, ANetworkThatCannotBeWrittenIsNamedAsSuch) {
  // The network folder readable but not writable by the user who runs the program; not the
  // superuser, who may write anything.
  const bool root = ::geteuid() == 0;
  const fs::perms read = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  const fs::perms enter = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  fs::permissions(temp_.path(), fs::perms::owner_all | read | enter);
  fs::permissions(network() / "network.db", read);
  fs::permissions(network(), read | enter);
  const std::string user = root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const Result refused = RunIn(user + "env " + NetworkVariable(), "trees");
  EXPECT_THAT(refused, Refused("NWCallsInit returns errors ! The network in " + network().string() +
                               " cannot be used: " + (network() / "network.db").string() +
                               " cannot be written: Permission denied."));
  fs::permissions(network(), fs::perms::owner_all);
}

TEST_F(CliToolTest, BadUsageGetsAMessageAndStatusTwo) {
  WriteFileBytes(temp_ / "short.RIGHTS", "QARN,A.QARN,FS1\r\n");
  const std::pair<const char*, const char*> cases[] = {
      {"", "A subcommand is required"},
      {"help frobnicate", "unknown command \"frobnicate\""},
      {"volumes NOSUCH", "not connected to the tree \"NOSUCH\""},
      {"trees extra", "not expected: extra"},
      {"capture --tree QARN", "capture --tree needs --volume (one volume) or --all"},
      {"capture --tree QARN --volume FS1DATA", "does not name a server and a volume"},
      {"capture --tree QARN --volume FS1_NOSUCH", "has no volume object \"FS1_NOSUCH\""},
      {"capture --tree QARN --volume FS1_DATA --output ''", "--output needs a file name"},
      {"capture --tree QARN --volume FS1_DATA --by-object --by-directory",
       "--by-object excludes --by-directory"},
      {"restore x.RIGHTS --map-server FS1", "--map-server \"FS1\" must have the form OLD=NEW"},
      {"restore x.RIGHTS --map-volume SYS=", "the NEW name is empty"},
      {"restore x.RIGHTS --map-tree A=B --map-tree a=C", "is already mapped to \"B\""},
      {"restore short.RIGHTS", "short.RIGHTS, line 1: it holds 3 fields"},
      {"verify nosuch.RIGHTS", "Cannot read the file nosuch.RIGHTS"},
      {"verify", "FILE is required"},
  };
  ExpectEachRefused(cases, [&](const std::string& args) { return Run(args); });
  EXPECT_THAT(RunIn("TOLVANE_SIM_LATENCY_US=12us " + NetworkVariable(), "trees"),
              Refused("TOLVANE_SIM_LATENCY_US must be a number"));
}

}  // namespace
