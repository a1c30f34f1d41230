// The demo network and generated networks.

#include <algorithm>
#include <map>
#include <set>

#include "netware/sim/text.h"
#include "sim/sim_fixture.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

struct Line {
  std::string tree, object, server, directory, rights;
};

// Splits a dump line; the directory may hold commas, the other fields do not.
Line Parse(const std::string& text) {
  Line line;
  auto first = text.find(','), second = text.find(',', first + 1),
       third = text.find(',', second + 1), last = text.rfind(',');
  line.tree = text.substr(0, first);
  line.object = text.substr(first + 1, second - first - 1);
  line.server = text.substr(second + 1, third - second - 1);
  line.directory = text.substr(third + 1, last - third - 1);
  line.rights = text.substr(last + 1);
  return line;
}

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::CreateDemoNetwork(temp_.path() / "demo");
    for (const auto& text : sim::DumpAssignments(temp_.path() / "demo")) {
      lines_.push_back(Parse(text));
    }
  }
  TempDir temp_;
  std::vector<Line> lines_;
};

TEST_F(DemoTest, ShowsEveryCaseAUserMeets) {
  std::set<std::string> trees;
  std::map<std::string, int> trusteesOf;
  bool supervisor = false, volumeRoot = false, comma = false, deep = false;
  for (const auto& line : lines_) {
    trees.insert(line.tree);
    ++trusteesOf[line.server + "/" + line.directory];
    supervisor |= line.rights.find("Supervisor") != std::string::npos;
    volumeRoot |= line.directory.back() == ':';
    comma |= line.directory.find(',') != std::string::npos;
    deep |= std::count(line.directory.begin(), line.directory.end(), '\\') >= 5;
  }
  EXPECT_EQ(trees.size(), 2u);
  EXPECT_GT(std::max_element(trusteesOf.begin(), trusteesOf.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })
                ->second,
            20);
  EXPECT_TRUE(supervisor);
  EXPECT_TRUE(volumeRoot);
  EXPECT_TRUE(comma);
  EXPECT_TRUE(deep);
}

TEST_F(DemoTest, HasServersOfVersionThreeAndHigherWithMappingsOnFAndG) {
  auto platform = sim::OpenNetwork(temp_.path() / "demo");
  std::set<int> majors;
  for (const char* server : {"FS1", "FS2", "OLDFS", "LAB1"}) {
    nw::NWCONN_HANDLE conn = 0;
    ASSERT_EQ(platform->Client().NWCCOpenConnByName(0, server, 2, 1, 0, &conn), 0) << server;
    std::uint8_t info[nw::kVersionInfoSize] = {};
    ASSERT_EQ(platform->Client().NWGetFileServerVersionInfo(conn, info, sizeof info), 0);
    majors.insert(info[nw::kVersionMajorOffset]);
  }
  EXPECT_EQ(*majors.begin(), 3);
  EXPECT_GE(*majors.rbegin(), 4);
  auto mappings = platform->Session().DriveMappings();
  ASSERT_EQ(mappings.size(), 2u);
  EXPECT_EQ(mappings[0].Drive, "F:");
  EXPECT_EQ(mappings[1].Drive, "G:");
}

TEST_F(DemoTest, HasAnAssignmentOnADirectoryThatIsGone) {
  auto platform = sim::OpenNetwork(temp_.path() / "demo");
  int gone = 0;
  for (const auto& line : lines_) {
    auto colon = line.directory.find(':');
    std::string path = "\\\\" + line.server + "\\" + line.directory.substr(0, colon) +
                       line.directory.substr(colon + 1);
    if (line.directory.back() != ':' && platform->Files().Dir(path).empty()) ++gone;
  }
  EXPECT_EQ(gone, 1);
}

// What a capture reads through the client, for every NDS trustee of every volume object,
// is exactly what the store holds.
TEST_F(DemoTest, TheClientShowsWhatTheStoreHolds) {
  auto platform = sim::OpenNetwork(temp_.path() / "demo");
  auto& client = platform->Client();
  ASSERT_EQ(client.NWCallsInit(nullptr, nullptr), 0);
  auto directory = platform->CreateDirectory();
  std::vector<std::string> found;
  directory->SearchResults = [&](const std::vector<std::string>& names) {
    found.insert(found.end(), names.begin(), names.end());
  };
  std::vector<std::string> captured;
  for (const auto& tree : platform->Session().Trees()) {
    std::string base = "NDS:\\\\" + tree.ShortName + "\\[Root]";
    found.clear();
    directory->SearchObjects("*", "Volume", 2, base, 0);
    std::vector<std::string> volumes = found;
    found.clear();
    for (const char* objectClass :
         {"User", "Group", "Organizational Role", "Organizational Unit"}) {
      directory->SearchObjects("*", objectClass, 2, base, 0);
    }
    std::vector<std::string> objects = found;
    for (const auto& volumeObject : volumes) {
      std::string name = volumeObject.substr(volumeObject.rfind('\\') + 1);
      std::string server = name.substr(0, name.find('_'));
      std::string volume = name.substr(name.find('_') + 1);
      char serverName[48], volumeName[32], dir[255];
      nw::NWCONN_HANDLE conn = 0;
      ASSERT_EQ(client.NWParsePath(("\\\\" + server + "\\" + volume).c_str(), serverName,
                                   sizeof serverName, &conn, volumeName, sizeof volumeName, dir,
                                   sizeof dir),
                0);
      nw::nuint32 number = 0;
      ASSERT_EQ(client.NWGetVolumeNumber(conn, volumeName, &number), 0);
      for (const auto& full : objects) {
        // "NDS:\\T\A\B\C" -> "C.B.A"
        auto parts = full.substr(6 + tree.ShortName.size() + 1);
        std::vector<std::string> names;
        for (std::size_t start = 0;;) {
          auto end = parts.find('\\', start);
          names.insert(names.begin(), parts.substr(start, end - start));
          if (end == std::string::npos) break;
          start = end + 1;
        }
        std::string dotted;
        for (const auto& n : names) dotted += (dotted.empty() ? "" : ".") + n;
        nw::NWDSContextHandle context = 0;
        client.NWDSCreateContextHandle(&context);
        client.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, "[Root]");
        nw::nuint32 id = 0;
        std::string bytes = sim::text::Utf8ToCp1252(dotted).value();  // the client's own text
        ASSERT_EQ(client.NWDSMapNameToID(context, conn, bytes.c_str(), &id), 0) << dotted;
        client.NWDSFreeContext(context);
        for (const auto& path : ScanPaths(client, conn, id, number).first) {
          for (const auto& [trustee, rights] : Trustees(ScanDirectory(client, conn, path))) {
            if (trustee != id) continue;
            captured.push_back(tree.ShortName + "," + dotted + "," + serverName + "," + path + "," +
                               std::to_string(rights));
          }
        }
      }
    }
  }
  std::vector<std::string> expected;
  for (const auto& line : lines_) {
    if (line.server == "OLDFS") continue;  // bindery trustees: no NDS object to search for
    std::string path = line.directory;
    for (auto& c : path) {
      c = c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    path.erase(path.find(":/") == std::string::npos ? path.size() : path.find(":/") + 1, 1);
    expected.push_back(line.tree + "," + line.object + "," + line.server + "," + path);
  }
  // The rights are compared through the dump's own text elsewhere; here who is where.
  for (auto& text : captured) text.erase(text.rfind(','));
  std::sort(captured.begin(), captured.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(captured, expected);
}

sim::GenerateOptions Small(std::uint32_t seed) {
  sim::GenerateOptions options;
  options.users = 300;
  options.groups = 20;
  options.roles = 5;
  options.units = 15;
  options.directories = 120;
  options.assignments = 1700;
  options.depth = 4;
  options.crowdedTrustees = 60;
  options.seed = seed;
  return options;
}

TEST(GenerateTest, TheSameSeedGivesTheSameNetwork) {
  TempDir temp;
  sim::GenerateNetwork(temp.path() / "a", Small(5));
  sim::GenerateNetwork(temp.path() / "b", Small(5));
  sim::GenerateNetwork(temp.path() / "c", Small(6));
  auto a = sim::DumpAssignments(temp.path() / "a");
  EXPECT_EQ(a, sim::DumpAssignments(temp.path() / "b"));
  EXPECT_NE(a, sim::DumpAssignments(temp.path() / "c"));
  EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
}

TEST(GenerateTest, HoldsWhatWasAskedFor) {
  TempDir temp;
  auto options = Small(9);
  auto summary = sim::GenerateNetwork(temp.path() / "net", options);
  EXPECT_EQ(summary.objects, 340);
  EXPECT_EQ(summary.assignments, 1700);
  EXPECT_EQ(summary.crowdedDirectory, "DATA:\\Shared");
  auto lines = sim::DumpAssignments(temp.path() / "net", "GENFS", "DATA");
  ASSERT_EQ(lines.size(), 1700u);

  auto platform = sim::OpenNetwork(temp.path() / "net");
  nw::NWCONN_HANDLE conn = 0;
  ASSERT_EQ(platform->Client().NWCCOpenConnByName(0, "GENFS", 2, 1, 0, &conn), 0);
  EXPECT_EQ(Trustees(ScanDirectory(platform->Client(), conn, "DATA:SHARED")).size(), 60u);
  std::map<std::string, int> perObject;
  int deepest = 0;
  for (const auto& text : lines) {
    Line line = Parse(text);
    ++perObject[line.object];
    auto colon = line.directory.find(':');
    std::string path = "\\\\GENFS\\DATA" + line.directory.substr(colon + 1);
    if (line.directory.back() != ':') {
      EXPECT_NE(platform->Files().Dir(path), "") << path << " exists";
    }
    deepest =
        std::max<int>(deepest, static_cast<int>(std::count(path.begin(), path.end(), '\\')) - 3);
  }
  EXPECT_EQ(perObject.size(), 340u);
  for (const auto& [object, count] : perObject) {
    EXPECT_GE(count, 4) << object;
    EXPECT_LE(count, 6) << object;
  }
  EXPECT_LE(deepest, options.depth);
  EXPECT_GE(deepest, 2);
}

TEST(GenerateTest, RefusesNumbersThatCannotBeMet) {
  TempDir temp;
  auto tooFewDirectories = Small(1);
  tooFewDirectories.directories = 3;
  auto tooManyCrowded = Small(1);
  tooManyCrowded.crowdedTrustees = 5000;
  auto flat = Small(1);
  flat.depth = 0;
  for (const auto& options : {tooFewDirectories, tooManyCrowded, flat}) {
    EXPECT_THROW(sim::GenerateNetwork(temp.path() / "net", options), sim::SimError);
    EXPECT_FALSE(fs::exists(temp.path() / "net"));
  }
  sim::GenerateNetwork(temp.path() / "net", Small(1));
  EXPECT_THROW(sim::GenerateNetwork(temp.path() / "net", Small(1)), sim::SimError)
      << "the tree exists already";
  EXPECT_EQ(sim::DumpAssignments(temp.path() / "net").size(), 1700u);
}

}  // namespace
}  // namespace simtest
