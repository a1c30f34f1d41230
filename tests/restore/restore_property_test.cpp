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

namespace fs = std::filesystem;
using testing_support::ProgramResult;
using testing_support::WriteFileBytes;

// Two servers of one tree; FS2 goes down in some runs. Besides the folders the description
// makes, each run's volume gets a hidden folder, a link to a folder outside the network and
// a file, so that records can point at each.
constexpr const char* kNetwork = R"({
  "trees": [ { "name": "T", "objects": [
      { "name": "O", "class": "Organization", "children": [
          { "name": "Ann", "class": "User" }, { "name": "Bob", "class": "User" },
          { "name": "Staff", "class": "Group" }, { "name": "Boss", "class": "Organizational Role" },
          { "name": "Unit", "class": "Organizational Unit", "children": [
              { "name": "Cy", "class": "User" } ] } ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "T", "volumes": [ { "name": "DATA",
        "directories": [ "Shared", "Shared/Forms", "Home/Ann", "Old, Projects" ],
        "files": [ "Shared/readme.txt" ] } ] },
    { "name": "FS2", "tree": "T", "volumes": [ { "name": "APPS", "directories": [ "Bin" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "DATA", "directory": "Shared", "object": "Ann.O",
      "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "Home/Ann", "object": "Ann.O",
      "rights": "Read-Write-Create-Delete-Modify-FileScan" },
    { "server": "FS1", "volume": "DATA", "directory": "", "object": "Boss.O",
      "rights": "Supervisor" },
    { "server": "FS2", "volume": "APPS", "directory": "Bin", "object": "Staff.O",
      "rights": "Read" } ],
  "workstation": { "trees": [ "T" ] }
})";

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
  switch (random() % 8) {
    case 0:  // a field dropped
      if (comma != std::string::npos) text.erase(comma, 1);
      break;
    case 1:  // a field doubled
      if (comma != std::string::npos) text.insert(comma, ",Ann.O");
      break;
    case 2:  // a line end moved
      if (lineEnd != std::string::npos) text.erase(lineEnd, 2);
      if (comma != std::string::npos && comma < text.size()) text.replace(comma, 1, "\r\n");
      break;
    case 3:  // a quote opened and never closed
      text.insert(at, "\"");
      break;
    case 4:  // text after a closing quote
      if (comma != std::string::npos) text.insert(comma, "\"x\"\\Forms");
      break;
    case 5: {  // a misspelt right
      const std::size_t read = text.find("Read", at);
      if (read != std::string::npos) text.replace(read, 4, random() % 2 ? "Raed" : "Reed");
      const std::size_t super = text.find("Supervisor", at);
      if (super != std::string::npos) text.replace(super, 10, "Superviser");
      break;
    }
    case 6:  // a blank inside a rights text
      if (lineEnd != std::string::npos) text.insert(lineEnd, " ");
      break;
    default:  // a line cut short at the end of the file
      text.resize(text.size() - 1 - random() % std::min<std::size_t>(text.size(), 12));
      break;
  }
}

struct Result {
  std::string word;
  std::string server, object, directory;  // folded
};

// "word tree,object,server,directory,rights[,extra]" lines of the program's output.
std::vector<Result> Results(const std::string& out) {
  std::vector<Result> results;
  std::size_t pos = 0;
  while (pos < out.size()) {
    std::size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t blank = line.find(' ');
    Result result{line.substr(0, blank), "", "", ""};
    formats::FieldReader fields = formats::FieldReader::FromBytes(line.substr(blank + 1));
    std::vector<std::string> values;
    while (values.size() < 4 && !fields.AtEnd()) values.push_back(fields.ReadField());
    if (values.size() == 4) {
      result.object = formats::FoldName(values[1]);
      result.server = formats::FoldName(values[2]);
      result.directory = formats::FoldName(values[3]);
    }
    results.push_back(result);
  }
  return results;
}

// The dump's assignments by (server, directory, object), folded, with their rights text.
std::map<std::vector<std::string>, std::string> Assignments(const fs::path& network) {
  std::map<std::vector<std::string>, std::string> assignments;
  // The dump does not quote: a directory may hold commas, the other fields never do.
  for (const std::string& line : sim::DumpAssignments(network)) {
    std::vector<std::size_t> commas;
    for (std::size_t at = line.find(','); at != std::string::npos && commas.size() < 3;
         at = line.find(',', at + 1)) {
      commas.push_back(at);
    }
    const std::size_t last = line.rfind(',');
    if (commas.size() < 3 || last <= commas[2]) {
      ADD_FAILURE() << "dump line " << line;
      continue;
    }
    assignments[{formats::FoldName(line.substr(commas[1] + 1, commas[2] - commas[1] - 1)),
                 formats::FoldName(line.substr(commas[2] + 1, last - commas[2] - 1)),
                 formats::FoldName(line.substr(commas[0] + 1, commas[1] - commas[0] - 1))}] =
        line.substr(last + 1);
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
    std::set<std::vector<std::string>> granted;
    for (std::size_t i = 0; i < done.size(); ++i) {
      EXPECT_EQ(foreseen[i].word, done[i].word) << "record " << i + 1 << "\n"
                                                << dryRun.out << restore.out;
      ++words[done[i].word];
      if (done[i].word == "add" || done[i].word == "change") {
        granted.insert({done[i].server, done[i].directory, done[i].object});
      }
    }
    // Whatever changed on the volumes is an assignment of a record that says it changed.
    for (const auto& [key, rights] : after) {
      const auto was = before.find(key);
      if (was != before.end() && was->second == rights) continue;
      EXPECT_TRUE(granted.count(key)) << key[0] << " " << key[1] << " " << key[2] << " " << rights;
    }
    for (const auto& [key, rights] : before) EXPECT_TRUE(after.count(key)) << key[1];
  }
  EXPECT_EQ(fs::directory_iterator(outside_)->path().filename(), "secret.txt");
  // The runs met both kinds of file.
  EXPECT_GT(refused, 0u);
  for (const char* word : {"add", "change", "same", "failed"}) EXPECT_GT(words[word], 0u) << word;
}

// A capture restored onto the volume it came from changes nothing, and says so per record.
TEST_F(RestorePropertyTest, ARestoreOntoTheUnchangedVolumeSaysSameForEveryRecord) {
  for (const bool demo : {true, false}) {
    SCOPED_TRACE(demo ? "demo network" : "generated network");
    fs::remove_all(network_);
    std::string tree = "QARN", volume = "FS1_DATA";
    if (demo) {
      sim::CreateDemoNetwork(network_);
    } else {
      sim::GenerateOptions options;
      options.users = 300;
      options.directories = 100;
      options.assignments = 1500;
      options.crowdedTrustees = 45;  // a trustee list of three batches
      sim::GenerateNetwork(network_, options);
      tree = options.tree;
      volume = options.server + "_" + options.volume;
    }
    ASSERT_EQ(Cli("capture --tree " + tree + " --volume " + volume + " -o C.RIGHTS").status, 0);
    const auto before = Assignments(network_);
    const ProgramResult dryRun = Cli("restore --dry-run C.RIGHTS");
    const ProgramResult restore = Cli("restore C.RIGHTS");
    EXPECT_EQ(Assignments(network_), before);
    const std::vector<Result> foreseen = Results(dryRun.out), done = Results(restore.out);
    ASSERT_EQ(foreseen.size(), done.size());
    ASSERT_FALSE(done.empty());
    for (std::size_t i = 0; i < done.size(); ++i) {
      EXPECT_EQ(foreseen[i].word, done[i].word) << i;
      EXPECT_THAT(done[i].word, ::testing::AnyOf("same", "failed")) << i;
    }
  }
}

}  // namespace
