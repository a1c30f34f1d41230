// Loading JSON descriptions: what they build, and refusals that name the place and leave
// nothing behind.

#include <nlohmann/json.hpp>

#include "netware/sim/sim_admin.h"
#include "sim/sim_fixture.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::TempDir;

// One tree, one server with one volume, and the given assignments and extra objects.
json Base() {
  return json::parse(R"json({
    "trees": [ { "name": "T", "objects": [
      { "name": "ACME", "class": "Organization", "children": [
        { "name": "JSmith", "class": "User" },
        { "name": "Sales", "class": "Organizational Unit" } ] } ] } ],
    "servers": [ { "name": "FS1", "tree": "T", "volumes": [
      { "name": "SYS", "directories": [ "Public", "Users/JSmith" ] } ] } ],
    "assignments": [
      { "server": "FS1", "volume": "SYS", "directory": "Public", "object": "JSmith.ACME",
        "rights": "Read-FileScan" } ]
  })json");
}

std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string relative = fs::relative(entry.path(), folder).generic_string();
    if (relative.front() == '.' || relative.find("/.") != std::string::npos) continue;
    files.push_back(relative);
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct BadCase {
  const char* what;
  std::function<void(json&)> spoil;
  const char* message;  // what the refusal must say
};

std::vector<BadCase> BadCases() {
  return {
      {"unknown class",
       [](json& d) {
         d["trees"][0]["objects"][0]["children"].push_back({{"name", "X"}, {"class", "Usr"}});
       },
       "trees[0].objects[0].children[2]: unknown class \"Usr\""},
      {"dangling container",
       [](json& d) {
         d["trees"][0]["objects"].push_back(
             {{"name", "X"}, {"class", "User"}, {"container", "Nowhere.ACME"}});
       },
       "trees[0].objects[1].container: there is no container \"Nowhere.ACME\""},
      {"duplicate name in any case",
       [](json& d) {
         d["trees"][0]["objects"][0]["children"].push_back({{"name", "JSMITH"}, {"class", "User"}});
       },
       "trees[0].objects[0].children[2]: duplicate name"},
      {"duplicate server",
       [](json& d) {
         d["servers"].push_back({{"name", "fs1"}});
       },
       "servers[1].name: duplicate name"},
      {"unknown object", [](json& d) { d["assignments"][0]["object"] = "Nobody.ACME"; },
       "assignments[0].object: there is no object \"Nobody.ACME\" in the tree T"},
      {"missing directory", [](json& d) { d["assignments"][0]["directory"] = "Gone"; },
       "assignments[0].directory: there is no directory \"Gone\" on FS1/SYS"},
      {"bad rights", [](json& d) { d["assignments"][0]["rights"] = "Reed-FileScan"; },
       "assignments[0].rights: unknown right \"Reed\""},
      {"rights out of range", [](json& d) { d["assignments"][0]["rights"] = 70000; },
       "assignments[0].rights: 70000 is not between 0 and 65535"},
      {"duplicate assignment", [](json& d) { d["assignments"].push_back(d["assignments"][0]); },
       "assignments[1]: duplicate assignment"},
      {"unknown server", [](json& d) { d["assignments"][0]["server"] = "FS9"; },
       "assignments[0].server: there is no server \"FS9\""},
      {"user below [Root]",
       [](json& d) {
         d["trees"][0]["objects"].push_back({{"name", "X"}, {"class", "User"}});
       },
       "trees[0].objects[1]: a User needs a container"},
      {"children of a user",
       [](json& d) {
         d["trees"][0]["objects"][0]["children"][0]["children"] =
             json::array({{{"name", "X"}, {"class", "User"}}});
       },
       "trees[0].objects[0].children[0].children[0]: a User cannot hold other objects"},
      {"volume object of no volume",
       [](json& d) {
         d["trees"][0]["objects"][0]["children"].push_back(
             {{"name", "FS1_DATA"}, {"class", "Volume"}, {"server", "FS1"}, {"volume", "DATA"}});
       },
       "trees[0].objects[0].children[2]: there is no volume \"FS1/DATA\""},
      {"directory climbing out",
       [](json& d) { d["servers"][0]["volumes"][0]["directories"].push_back("Public/../../x"); },
       "servers[0].volumes[0].directories[2]: \"Public/../../x\" holds the name \"..\""},
      {"bindery on a version 4 server",
       [](json& d) {
         d["servers"][0]["bindery"] = json::array({{{"name", "GUEST"}}});
       },
       "servers[0].bindery: only a server of version 3 or lower has a bindery"},
      {"unknown field", [](json& d) { d["servers"][0]["volumes"][0]["dirs"] = json::array(); },
       "servers[0].volumes[0]: unknown field \"dirs\""},
      {"dot in an object name",
       [](json& d) {
         d["trees"][0]["objects"][0]["children"].push_back({{"name", "A.B"}, {"class", "User"}});
       },
       "trees[0].objects[0].children[2].name: the name \"A.B\" holds the character \".\""},
      {"mapping of a taken letter",
       [](json& d) {
         d["workstation"]["mappings"] =
             json::array({{{"drive", "F:"}, {"server", "FS1"}, {"volume", "SYS"}},
                          {{"drive", "f"}, {"server", "FS1"}, {"volume", "SYS"}}});
       },
       "workstation.mappings[1].drive: the drive F: is already mapped"},
  };
}

TEST(JsonLoadTest, RefusalsNameThePlaceAndLeaveNoNetworkBehind) {
  for (const auto& c : BadCases()) {
    TempDir temp;
    json description = Base();
    c.spoil(description);
    fs::path folder = temp.path() / "net";
    try {
      sim::LoadNetworkJson(folder, description.dump());
      ADD_FAILURE() << c.what << ": loaded";
    } catch (const sim::SimError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.what << ": " << error.what();
    }
    EXPECT_FALSE(fs::exists(folder)) << c.what;
  }
}

TEST(JsonLoadTest, ARefusedLoadLeavesAnExistingNetworkAsItWas) {
  TempDir temp;
  fs::path folder = temp.path() / "net";
  sim::LoadNetworkJson(folder, Base().dump());
  auto dump = sim::DumpAssignments(folder);
  auto files = Files(folder / "volumes");
  json more = json::parse(R"json({
    "trees": [ { "name": "T2", "objects": [
      { "name": "O", "class": "Organization", "children": [ { "name": "U", "class": "User" } ] } ] } ],
    "servers": [ { "name": "FS2", "tree": "T2", "volumes": [
      { "name": "VOL1", "directories": [ "A/B/C" ], "files": [ "A/readme.txt" ] } ] } ],
    "assignments": [
      { "server": "FS2", "volume": "VOL1", "directory": "A/B", "object": "U.O", "rights": "Read" },
      { "server": "FS2", "volume": "VOL1", "directory": "A/B", "object": "U.O", "rights": "Oops" } ]
  })json");
  EXPECT_THROW(sim::LoadNetworkJson(folder, more.dump()), sim::SimError);
  EXPECT_EQ(sim::DumpAssignments(folder), dump);
  EXPECT_EQ(Files(folder / "volumes"), files);
  auto platform = sim::OpenNetwork(folder);
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_EQ(platform->Client().NWCCOpenConnByName(0, "FS2", 2, 1, 0, &conn), nw::kUnknownServer);
  // What was refused can come in once it is mended.
  more["assignments"][1]["rights"] = "Write";
  more["assignments"][1]["directory"] = "A";
  sim::LoadNetworkJson(folder, more.dump());
  EXPECT_EQ(sim::DumpAssignments(folder, "FS2", "VOL1"),
            (std::vector<std::string>{"T2,U.O,FS2,VOL1:\\A,Write", "T2,U.O,FS2,VOL1:\\A\\B,Read"}));
}

TEST(JsonLoadTest, NotJsonIsRefused) {
  TempDir temp;
  for (const char* text : {"", "{", "[1, 2]", "{\"trees\": 5}"}) {
    EXPECT_THROW(sim::LoadNetworkJson(temp.path() / "net", text), sim::SimError) << text;
    EXPECT_FALSE(fs::exists(temp.path() / "net")) << text;
  }
}

TEST(JsonLoadTest, AssignmentsTakeEveryForm) {
  TempDir temp;
  json description = Base();
  description["servers"].push_back(json::parse(R"json(
    { "name": "OLD", "tree": "T", "major": 3, "minor": 12,
      "bindery": [ { "name": "GUEST" }, { "name": "EVERYONE", "type": "group" } ],
      "volumes": [ { "name": "SYS", "directories": [ "PUBLIC" ] } ] })json"));
  for (const char* text : {R"({"server": "fs1", "volume": "sys", "directory": "\\users\\jsmith\\",
                               "object": "jsmith.acme", "rights": 259})",
                           R"({"server": "FS1", "volume": "SYS", "object": "Sales.ACME",
                               "rights": "supervisor-read"})",
                           R"({"server": "FS1", "volume": "SYS", "directory": "Gone/Away",
                               "object": "Sales.ACME", "rights": "", "missing": true})",
                           R"({"server": "OLD", "volume": "SYS", "directory": "PUBLIC",
                               "bindery": "everyone", "rights": "Read-FileScan"})"}) {
    description["assignments"].push_back(json::parse(text));
  }
  sim::LoadNetworkJson(temp.path() / "net", description.dump());
  EXPECT_EQ(sim::DumpAssignments(temp.path() / "net"),
            (std::vector<std::string>{"T,EVERYONE,OLD,SYS:\\PUBLIC,Read-FileScan",
                                      "T,JSmith.ACME,FS1,SYS:\\Public,Read-FileScan",
                                      "T,JSmith.ACME,FS1,SYS:\\Users\\JSmith,Read-Write-Supervisor",
                                      "T,Sales.ACME,FS1,SYS:,Read-Supervisor",
                                      "T,Sales.ACME,FS1,SYS:\\Gone\\Away,"}));
  EXPECT_FALSE(fs::exists(temp.path() / "net" / "volumes" / "FS1" / "SYS" / "Gone"));
  EXPECT_EQ(sim::DumpAssignments(temp.path() / "net", "old", "sys").size(), 1u);
}

TEST(JsonLoadTest, ExportLoadsBackIntoTheSameNetwork) {
  TempDir temp;
  sim::CreateDemoNetwork(temp.path() / "a");
  std::string exported = sim::ExportNetworkJson(temp.path() / "a");
  sim::LoadNetworkJson(temp.path() / "b", exported);
  EXPECT_EQ(sim::ExportNetworkJson(temp.path() / "b"), exported);
  EXPECT_EQ(sim::DumpAssignments(temp.path() / "b"), sim::DumpAssignments(temp.path() / "a"));
  EXPECT_EQ(Files(temp.path() / "b" / "volumes"), Files(temp.path() / "a" / "volumes"))
      << "hidden entries aside, every folder and file comes back";
}

}  // namespace
}  // namespace simtest
