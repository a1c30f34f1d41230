#pragma once
// The ground of the tests that run tolvane-cli as a user runs it: a temporary folder, a
// simulated network in it, and the program run there on that network, through --network or
// TOLVANE_NETWORK. The test program defines CLI_TOOL, the path of tolvane-cli.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "cli/refused.h"
#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace cli_testing {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using Result = testing_support::ProgramResult;

// A path as the shell reads it whole.
inline std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// Runs `run` on the arguments of each of `cases` (arguments, message) and expects it refused
// with the message; `after`, when given, then checks what must still not have been made.
template <typename Cases>
void ExpectEachRefused(const Cases& cases, const std::function<Result(const std::string&)>& run,
                       const std::function<void()>& after = nullptr) {
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    EXPECT_THAT(run(args), Refused(message));
    if (after) after();
  }
}

class CliTest : public ::testing::Test {
 protected:
  // The program runs in `folder` under the temporary folder, or in the temporary folder itself;
  // the network is made from `description` (JSON) before each test, when one is given.
  explicit CliTest(const std::string& folder = "", std::string description = "")
      : work_(folder.empty() ? temp_.path() : temp_ / folder),
        description_(std::move(description)) {
    fs::create_directories(work_);
  }
  void SetUp() override {
    if (!description_.empty()) sim::LoadNetworkJson(network(), description_);
  }

  // Runs the program after `environment`, without --network unless `args` gives it.
  Result RunIn(const std::string& environment, const std::string& args) const {
    return testing_support::RunProgram(work_, environment, CLI_TOOL, args);
  }
  // Runs the program on the network in `folder`.
  Result RunOn(const fs::path& folder, const std::string& args) const {
    return RunIn("", "--network " + Quoted(folder) + " " + args);
  }
  Result Run(const std::string& args) const { return RunOn(network(), args); }
  // The environment that names the test's network instead of the option.
  std::string NetworkVariable() const { return "TOLVANE_NETWORK=" + Quoted(network()); }

  fs::path network() const { return temp_ / net_; }
  const fs::path& work() const { return work_; }

  testing_support::TempDir temp_;
  // The network's folder under the temporary folder; a test may move on to a fresh one.
  std::string net_ = "net";

 private:
  fs::path work_;
  std::string description_;
};

}  // namespace cli_testing
