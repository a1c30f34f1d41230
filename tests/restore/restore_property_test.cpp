// Properties of tolvane-cli restore over generated and mutated rights files: the dry run
// says for every record what the restore then does, nothing is granted from a record or a
// file that is refused, and no assignment outside the file changes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "formats/field_reader.h"
#include "formats/name_fold.h"
#include "netware/sim/sim_network.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace {

using namespace ::testing;

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::WriteFileBytes;

// Two servers of one tree; FS2 goes down in some runs. Besides the folders the description
// makes, each run's volume gets a hidden folder, a link to a folder outside the network and
// a file, so that records can point at each.
const std::string kNetwork = testing_support::TestData("restore_property_network.json");

const char* const kObjects[] = {"Ann.O", "bob.o", "Staff.O", "Boss.O", "Cy.Unit.O", "Gone.O"};
const char* const kServers[] = {"FS1", "FS1", "FS1", "FS2", "FS9"};
const char* const kFs1Paths[] = {"DATA:",
                                 "DATA:\\Shared",
                                 "DATA:\\shared\\FORMS",
                                 "DATA:\\Home\\Ann",
                                 "DATA:\\Old, Projects",
                                 "DATA:\\.Hidden",
                                 "DATA:\\Outside",
                                 "DATA:\\Shared\\readme.txt",
                                 "DATA:\\Missing",
                                 "NOVOL:\\Shared"};
const char* const kFs2Paths[] = {"APPS:", "APPS:\\Bin", "APPS:\\Nothing"};
const char* const kWords[] = {"Read",       "Write",    "Create", "Delete",
                              "AccessCtrl", "FileScan", "Modify", "Supervisor"};

std::string Quoted(const std::string& value) {
  return value.find(',') == std::string::npos ? value : "\"" + value + "\"";
}

// Assignments the network holds before each run, as a capture writes them.
const char* const kHeld[] = {"T,Ann.O,FS1,DATA:\\Shared,Read-FileScan\r\n",
                             "T,Boss.O,FS1,DATA:,Supervisor\r\n",
                             "T,Staff.O,FS2,APPS:\\Bin,Read\r\n"};

// One line of a rights file, as a capture would write it.
std::string RandomLine(std::mt19937& random) {
  if (random() % 5 == 0) return kHeld[random() % std::size(kHeld)];
  auto pick = [&](const auto& from) {
    return std::string(
        from[std::uniform_int_distribution<std::size_t>(0, std::size(from) - 1)(random)]);
  };
  const std::string server = pick(kServers);
  const std::string path = server == "FS2" ? pick(kFs2Paths) : pick(kFs1Paths);
  std::string rights;
  for (const char* word : kWords) {
    if (random() % 3 == 0) rights += (rights.empty() ? "" : "-") + std::string(word);
  }
  return "T," + pick(kObjects) + "," + server + "," + Quoted(path) + "," + rights + "\r\n";
}

// A clumsy or hostile edit of the file's text.
void Mutate(std::string& text, std::mt19937& random) {
  if (text.empty()) return;
  const std::size_t at = random() % text.size();
  const std::size_t comma = text.find(',', at);
  const std::size_t lineEnd = text.find("\r\n", at);
  switch (random() % 5) {
    case 0:  // a field dropped
      if (comma != std::string::npos) text.erase(comma, 1);
      break;
    case 1:  // a line end moved
      if (lineEnd != std::string::npos) text.erase(lineEnd, 2);
      if (comma != std::string::npos && comma < text.size()) text.replace(comma, 1, "\r\n");
      break;
    case 2:  // a quote opened and never closed
      text.insert(at, "\"");
      break;
    case 3: {  // a misspelt right
      const std::size_t read = text.find("Read", at);
      if (read != std::string::npos) text.replace(read, 4, random() % 2 ? "Raed" : "Reed");
      const std::size_t super = text.find("Supervisor", at);
      if (super != std::string::npos) text.replace(super, 10, "Superviser");
      break;
    }
    default:  // a line cut short at the end of the file
      text.resize(text.size() - 1 - random() % std::min<std::size_t>(text.size(), 12));
      break;
  }
}

// A word of the program's output and the assignment its record names, folded:
// "SERVER,DIRECTORY,OBJECT".
struct Result {
  std::string word, key;
};

// "word tree,object,server,directory,rights[,extra]" lines of the program's output.
std::vector<Result> Results(const std::string& out) {
  std::vector<Result> results;
  for (const std::string& line : testing_support::Lines(out)) {
    const std::size_t blank = line.find(' ');
    formats::FieldReader fields = formats::FieldReader::FromBytes(line.substr(blank + 1));
    std::vector<std::string> values;
    while (values.size() < 4 && !fields.AtEnd()) values.push_back(fields.ReadField());
    values.resize(4);
    results.push_back(
        {line.substr(0, blank), formats::FoldName(values[2] + "," + values[3] + "," + values[1])});
  }
  return results;
}

// The dump's assignments by the key of Result, with their rights text. The dump does not quote:
// a directory may hold commas, the other fields never do.
std::map<std::string, std::string> Assignments(const fs::path& network) {
  std::map<std::string, std::string> assignments;
  for (const std::string& line : sim::DumpAssignments(network)) {
    const std::size_t object = line.find(',') + 1, server = line.find(',', object) + 1,
                      rights = line.rfind(',') + 1;  // "server,directory" lies between
    assignments[formats::FoldName(line.substr(server, rights - 1 - server) + "," +
                                  line.substr(object, server - 1 - object))] = line.substr(rights);
  }
  return assignments;
}

class RestorePropertyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(outside_);
    WriteFileBytes(outside_ / "secret.txt", "outside");
  }

  // A fresh network with the hidden folder, the link and the file in FS1's volume.
  void Build(bool fs2Down) {
    fs::remove_all(network_);
    sim::LoadNetworkJson(network_, kNetwork);
    const fs::path volume = network_ / "volumes" / "FS1" / "DATA";
    fs::create_directory(volume / ".Hidden");
    fs::create_directory_symlink(outside_, volume / "Outside");
    if (fs2Down) sim::SetServerUp(network_, "FS2", false);
  }

  ProgramResult Cli(const std::string& args) {
    return testing_support::RunProgram(temp_.path(), "TOLVANE_NETWORK='" + network_.string() + "'",
                                       CLI_TOOL, "--quiet " + args);
  }

  testing_support::TempDir temp_;
  const fs::path network_ = temp_ / "net";
  const fs::path outside_ = temp_ / "outside";
};

TEST_F(RestorePropertyTest, TheDryRunForeseesTheRestoreAndNothingElseIsGranted) {
  std::size_t refused = 0;
  std::map<std::string, std::size_t> words;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    Build(/*fs2Down=*/seed % 4 == 0);
    std::string text;
    const int lines = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < lines; ++i) text += RandomLine(random);
    const int edits = static_cast<int>(random() % 3);
    for (int i = 0; i < edits; ++i) Mutate(text, random);
    WriteFileBytes(temp_ / "F.RIGHTS", text);
    SCOPED_TRACE(text);

    const auto before = Assignments(network_);
    const ProgramResult dryRun = Cli("restore --dry-run F.RIGHTS");
    ASSERT_EQ(Assignments(network_), before) << "a dry run granted";
    const ProgramResult restore = Cli("restore F.RIGHTS");
    const auto after = Assignments(network_);
    EXPECT_EQ(dryRun.status, restore.status) << dryRun.err << restore.err;
    if (restore.status == 2) {  // a file that fails the check grants nothing
      ++refused;
      EXPECT_EQ(after, before) << restore.err;
      EXPECT_EQ(restore.out, "");
      continue;
    }
    const std::vector<Result> foreseen = Results(dryRun.out), done = Results(restore.out);
    ASSERT_EQ(foreseen.size(), done.size()) << dryRun.out << restore.out;
    std::set<std::string> granted;
    for (std::size_t i = 0; i < done.size(); ++i) {
      EXPECT_EQ(foreseen[i].word, done[i].word) << "record " << i + 1 << "\n"
                                                << dryRun.out << restore.out;
      ++words[done[i].word];
      if (done[i].word == "add" || done[i].word == "change") {
        granted.insert(done[i].key);
      }
    }
    // Whatever changed on the volumes is an assignment of a record that says it changed.
    for (const auto& [key, rights] : after) {
      const auto was = before.find(key);
      if (was != before.end() && was->second == rights) continue;
      EXPECT_TRUE(granted.count(key)) << key << " " << rights;
    }
    for (const auto& [key, rights] : before) EXPECT_TRUE(after.count(key)) << key;
  }
  EXPECT_EQ(fs::directory_iterator(outside_)->path().filename(), "secret.txt");
  // The runs met both kinds of file.
  EXPECT_GT(refused, 0u);
  for (const char* word : {"add", "change", "same", "failed"}) EXPECT_GT(words[word], 0u) << word;
}

// A capture restored onto its unchanged volume changes nothing and says "same" for every
// record that can be granted, trustee lists of many batches too.
TEST_F(RestorePropertyTest, ARestoreOntoTheUnchangedVolumeSaysSameForEveryRecord) {
  const sim::GenerateOptions options{
      .users = 300, .directories = 100, .assignments = 1500, .crowdedTrustees = 45};
  sim::GenerateNetwork(network_, options);
  ASSERT_EQ(Cli("capture --tree " + options.tree + " --volume " + options.server + "_" +
                options.volume + " -o C.RIGHTS")
                .status,
            0);
  const auto before = Assignments(network_);
  const std::vector<Result> done = Results(Cli("restore C.RIGHTS").out);
  EXPECT_EQ(Assignments(network_), before);
  ASSERT_FALSE(done.empty());
  for (std::size_t i = 0; i < done.size(); ++i) {
    EXPECT_THAT(done[i].word, AnyOf("same", "failed")) << i;
  }
}

}  // namespace
