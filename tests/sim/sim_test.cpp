// The simulated network: how each call of the client library and each control answers, the
// store, JSON descriptions and the demo network.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <ranges>
#include <set>

#include "netware/sim/sim_client.h"
#include "sim/sim_fixture.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::TempDir;
using Strings = std::vector<std::string>;
using Trustee = std::pair<std::uint32_t, std::uint16_t>;  // ID, rights

// Trees ACME_TREE (ACME{JSmith, Staff, Sales{MBrown}, Crowd{U01..U21}, FS1_SYS}) and OTHER
// with its own JSmith.ACME. Servers FS1 (4.11; SYS; Data number 3 whose Crowd has 21 trustees,
// Twenty 20), OLD3 (3.12, bindery GUEST and STAFF) and DOWN. Mappings G: and F:, in that order.
std::string NetworkJson() {
  json d = json::parse(testing_support::TestData("sim_network.json"));
  // Crowd's trustee U<i> holds the rights number i; Twenty has exactly one full batch.
  for (int i = 1; i <= 21; ++i) {
    std::string name = (i < 10 ? "U0" : "U") + std::to_string(i);
    d["trees"][0]["objects"][0]["children"][3]["children"].push_back(
        {{"name", name}, {"class", "User"}});
    for (const char* dir : {"Crowd", "Twenty"}) {
      if (i <= 20 || dir[0] == 'C')
        d["assignments"].push_back({{"server", "FS1"},
                                    {"volume", "Data"},
                                    {"directory", dir},
                                    {"object", name + ".Crowd.ACME"},
                                    {"rights", i}});
    }
  }
  return d.dump();
}

// (trustees, closed by an ObjectID 0, code) of each batch of a directory's trustee list.
using Shape = std::vector<std::tuple<std::size_t, bool, nw::NWRCODE>>;

class SimTest : public sim_testing::SimFixture {
 protected:
  SimTest() : SimFixture(NetworkJson(), "FS1") {}
  nw::NWSession& session() { return platform_->Session(); }

  // Every "path rights" NWScanObjectTrusteePaths gives for the object on FS1, and the final
  // code; after the last, the buffer is left empty.
  std::pair<Strings, nw::NWRCODE> ScanPaths(std::uint32_t id, std::uint32_t volume) {
    nw::NWCONN_HANDLE conn = Connect("FS1");
    Strings paths;
    nw::nuint32 iteration = 0xFFFFFFFFu;
    for (nw::NWRCODE code = 0; paths.size() < 100;) {  // a scan that never ends fails its check
      char path[512] = "x";
      std::uint8_t access = 0;
      code = client().NWScanObjectTrusteePaths(conn, id, volume, &iteration, &access, path, 512);
      if (code != 0 || path[0] == '\0') {
        EXPECT_TRUE(code != nw::kNoMoreEntries || path[0] == '\0');
        return {paths, code};
      }
      paths.push_back(path + std::string(" ") + std::to_string(access));
    }
    return {paths, 0};
  }

  // The trustees of a directory on FS1 in the order given, batch after batch.
  std::vector<Trustee> Trustees(const std::string& path) {
    shape_.clear();
    nw::NWCONN_HANDLE conn = Connect("FS1");
    std::vector<Trustee> all;
    nw::nuint32 iteration = 0, date = 0, owner = 0;
    for (nw::NWRCODE code = 0, batch = 0; code == 0 && batch < 100; ++batch) {
      nw::TrusteeEntry entries[nw::kTrusteeBatch];
      std::memset(entries, 0xEE, sizeof entries);
      char name[512];
      code = client().NWScanDirectoryForTrustees2(conn, 0, path.c_str(), &iteration, name,
                                                  sizeof name, &date, &owner, entries);
      std::size_t count = 0;
      while (code == 0 && count < nw::kTrusteeBatch && entries[count].ObjectID != 0) {
        all.emplace_back(entries[count].ObjectID, entries[count].ObjectRights);
        ++count;
      }
      shape_.emplace_back(count, code == 0 && count < nw::kTrusteeBatch, code);
    }
    return all;
  }

  Shape shape_;  // of the last Trustees
};

// ---- the client library ----

TEST_F(SimTest, ConnectionsPathsVolumesAndVersionsAnswerWithTheirCodes) {
  nw::NWCONN_HANDLE a = Connect("FS1"), b = Connect("fs1"), conn = 0;
  EXPECT_NE(a, b);

  char server[48], volume[32], dir[255];
  for (auto [path, code] : {std::pair{"\\\\DOWN\\VOL1", nw::kServerDown},
                            {"\\\\FS1\\NOVOL", nw::kVolumeDoesNotExist},
                            {"no path", sim::kInvalidParameter}}) {
    EXPECT_EQ(client().NWParsePath(path, server, sizeof server, &conn, volume, sizeof volume, dir,
                                   sizeof dir),
              code)
        << path;
  }
  ASSERT_EQ(client().NWParsePath("\\\\fs1\\data", server, sizeof server, &conn, volume,
                                 sizeof volume, dir, sizeof dir),
            0);
  EXPECT_EQ(std::string(server) + "/" + volume, "FS1/Data");
  // "FS1" and its zero need 4: a buffer of 3 is refused and nothing lands past it.
  std::memset(server, 'x', sizeof server);
  EXPECT_EQ(client().NWParsePath("\\\\FS1\\SYS", server, 3, &conn, volume, sizeof volume, dir,
                                 sizeof dir),
            sim::kBufferTooSmall);
  EXPECT_EQ(std::string(server, 4), std::string("\0xxx", 4));

  nw::nuint32 number = 77;
  EXPECT_EQ(client().NWGetVolumeNumber(a, "data:", &number), 0);
  EXPECT_EQ(number, 3u);
  EXPECT_EQ(client().NWGetVolumeNumber(a, "VOL9", &number), nw::kVolumeDoesNotExist);
  std::uint8_t info[130];
  std::memset(info, 0xAB, sizeof info);
  ASSERT_EQ(client().NWGetFileServerVersionInfo(Connect("old3"), info, sizeof info), 0);
  EXPECT_STREQ(reinterpret_cast<char*>(info), "OLD3");
  EXPECT_EQ(std::tuple(info[48], info[49], info[128]), std::tuple(3, 12, 0xAB));

  ASSERT_EQ(client().NWCCCloseConn(a), 0);
  EXPECT_EQ(client().NWGetVolumeNumber(a, "SYS", &number), nw::kInvalidConnection);
}

TEST_F(SimTest, NdsNamesMapAgainstTheContextAndBinderyNamesOnVersionThreeOnly) {
  std::uint32_t jsmith = IdOf("JSmith.ACME"), mbrown = IdOf("MBrown.Sales.ACME");
  std::uint32_t other = IdOf("JSmith.ACME", "OTHER");
  EXPECT_EQ((std::set<std::uint32_t>{0, jsmith, mbrown, other}.size()), 4u);
  struct Case {
    const char *name, *nameContext, *tree;
    nw::NWRCODE code;
    std::uint32_t id;
  } cases[] = {
      {"jsmith.acme", "[root]", "", 0, jsmith},
      {"MBrown", "Sales.ACME", "", 0, mbrown},
      {".JSmith.ACME", "Sales.ACME", "", 0, jsmith},
      {"JSmith.ACME", "[Root]", "other", 0, other},
      {"JSmith..ACME", "[Root]", "", nw::kDsInvalidName, 0},
  };
  for (const auto& c : cases) {
    nw::nuint32 id = 0;
    EXPECT_EQ(MapName(c.name, &id, c.nameContext, c.tree), c.code) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }

  // Bindery names: on a version 3 server only, by type, any case, apart from NDS IDs.
  nw::nuint32 guest = 0, staff = 0, none = 0;
  EXPECT_EQ(client().NWGetObjectID(Connect("OLD3"), "guest", nw::OT_USER, &guest), 0);
  EXPECT_EQ(client().NWGetObjectID(Connect("OLD3"), "STAFF", nw::OT_GROUP, &staff), 0);
  EXPECT_EQ((std::set<std::uint32_t>{0, guest, staff, jsmith}.size()), 4u);
  EXPECT_EQ(client().NWGetObjectID(Connect("OLD3"), "GUEST", nw::OT_GROUP, &none),
            nw::kNoSuchObject);
  EXPECT_EQ(client().NWGetObjectID(Connect("FS1"), "GUEST", nw::OT_USER, &none), nw::kNoSuchObject);
}

TEST_F(SimTest, TrusteePathsComeOnePerCallInUpperCaseOnTheirVolumeThenNoMore) {
  auto [paths, code] = ScanPaths(IdOf("JSmith.ACME"), 0);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (Strings{"SYS: 64", "SYS:USERS/JSMITH 67"}));
  EXPECT_EQ(code, nw::kNoMoreEntries);
  EXPECT_EQ(ScanPaths(IdOf("JSmith.ACME"), 3).first, Strings{"DATA: 1"});
  EXPECT_EQ(ScanPaths(IdOf("Staff.ACME"), 0).first, Strings{"SYS:PUBLIC 65"});
  EXPECT_TRUE(ScanPaths(IdOf("MBrown.Sales.ACME"), 0).first.empty());
  EXPECT_EQ(ScanPaths(IdOf("JSmith.ACME"), 9).second, nw::kVolumeDoesNotExist);
}

TEST_F(SimTest, TrusteeListsComeInBatchesOfTwentyForAnySpellingOfTheDirectory) {
  auto shape = [&](const char* path) {
    Trustees(path);
    return shape_;
  };
  EXPECT_EQ(shape("DATA:CROWD"),
            (Shape{{20, false, 0}, {1, true, 0}, {0, false, nw::kNoMoreEntries}}));
  EXPECT_EQ(shape("DATA:TWENTY"), (Shape{{20, false, 0}, {0, false, nw::kNoMoreEntries}}));
  for (const char* path : {"VOL9:PUBLIC", "SYS:Users\\.."}) {
    EXPECT_EQ(shape(path), (Shape{{0, false, nw::kNoMoreEntries}})) << path;
  }
  auto expected = Trustees("SYS:USERS/JSMITH");
  ASSERT_EQ(expected, (std::vector<Trustee>{{IdOf("JSmith.ACME"), 0x43}}));
  for (const char* path : {"sys:/users/jsmith\\", "FS1/SYS:\\Users\\JSmith"}) {
    EXPECT_EQ(Trustees(path), expected) << path;
  }
  EXPECT_EQ(Trustees("SYS:\\").size(), 1u);
}

TEST_F(SimTest, AddTrusteeGrantsOnlyOnAnExistingDirectoryAndReplacesAMask) {
  nw::NWCONN_HANDLE conn = Connect("FS1"), old3 = Connect("OLD3");
  nw::nuint32 guest = 0, staff = 0;
  ASSERT_EQ(client().NWGetObjectID(old3, "GUEST", nw::OT_USER, &guest), 0);
  ASSERT_EQ(client().NWGetObjectID(old3, "STAFF", nw::OT_GROUP, &staff), 0);
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME"), jsmith = IdOf("JSmith.ACME");
  struct Case {
    nw::NWCONN_HANDLE conn;
    const char* path;
    std::uint32_t id, rights;
    nw::NWRCODE code;
  } cases[] = {
      {conn, "sys:users/jsmith", mbrown, 0x41, 0},
      {conn, "SYS:", mbrown, 0x41, 0},
      {conn, "SYS:Users\\JSmith", jsmith, 0xFB, 0},  // replaces Read-Write-FileScan
      {old3, "SYS:PUBLIC", staff, 0x01, 0},
      {conn, "F:\\Public", mbrown, 0x41, nw::kVolumeDoesNotExist},  // a drive is no volume
      {conn, "SYS:\\Public", guest, 0x41, nw::kNoSuchObject},       // OLD3's bindery, not FS1's
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client().NWAddTrustee(c.conn, 0, c.path, c.id, c.rights), c.code) << c.path;
  }
  EXPECT_EQ(Trustees("SYS:USERS/JSMITH"), (std::vector<Trustee>{{jsmith, 0xFB}, {mbrown, 0x41}}));
  EXPECT_EQ(sim::DumpAssignments(folder(), "FS1", "SYS").size(), 5u);
  EXPECT_EQ(sim::DumpAssignments(folder(), "OLD3", "SYS"),
            (Strings{"ACME_TREE,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan",
                     "ACME_TREE,STAFF,OLD3,SYS:\\PUBLIC,Read"}));
}

// ---- the controls ----

TEST_F(SimTest, DriveMappingsComeByLetterUnderStoredNamesAndABadOneIsRefused) {
  auto drives = [](nw::NWSession& s) {
    Strings letters;
    for (const auto& mapping : s.DriveMappings()) letters.push_back(mapping.Drive);
    return letters;
  };
  EXPECT_EQ(drives(session()), (Strings{"F:", "G:"}));
  EXPECT_EQ(session().DriveMappings()[0].FullName, "\\\\FS1\\SYS\\");
  std::string drive = "h:", path = "\\\\fs1\\sys\\users\\jsmith";
  auto mapping = session().MapDrive(drive, path, true);
  EXPECT_EQ(mapping.Drive, "H:");
  EXPECT_EQ(mapping.FullName, "\\\\FS1\\SYS\\Users\\JSmith\\");
  EXPECT_TRUE(session().UnmapDrive("H"));
  EXPECT_FALSE(session().UnmapDrive("H"));

  for (auto [letter, target] : {std::pair{"F:", "\\\\FS1\\SYS\\"},  // taken
                                {"K:", "\\\\FS1\\SYS\\Nowhere"},
                                {"KK", "\\\\FS1\\SYS\\"}}) {
    std::string d = letter, p = target;
    EXPECT_EQ(session().MapDrive(d, p, true).FullName, "") << letter << " " << target;
  }
  EXPECT_EQ(drives(session()), (Strings{"F:", "G:"}));
}

TEST_F(SimTest, SearchFindsEveryObjectOfTheClassInPreOrderInRaisingsOfAtMostFiveHundred) {
  auto search = [](nw::NWDirectory& directory, const char* objectClass, const char* base) {
    std::vector<Strings> batches;
    directory.SearchResults = [&](const Strings& names) { batches.push_back(names); };
    directory.SearchObjects("*", objectClass, 2, base, 0);
    return batches;
  };
  auto directory = platform_->CreateDirectory();
  directory->SearchObjects("*", "User", 2, "NDS:\\\\ACME_TREE\\[Root]", 0);  // nobody listens
  using Found = std::vector<Strings>;
  EXPECT_EQ(search(*directory, "user", "NDS:\\\\acme_tree\\ACME\\SALES"),
            Found{{"NDS:\\\\ACME_TREE\\ACME\\Sales\\MBrown"}});
  EXPECT_EQ(search(*directory, "User", "NDS:\\\\OTHER\\[ROOT]"),
            Found{{"NDS:\\\\OTHER\\ACME\\JSmith"}});
  EXPECT_EQ(search(*directory, "Usr", "NDS:\\\\ACME_TREE\\[Root]"), Found{{""}});

  // Every user, in the order of walking the browse tree (pre-order, siblings by name).
  sim::GenerateNetwork(
      temp_.path() / "gen",
      {.users = 501, .groups = 0, .roles = 0, .units = 6, .directories = 10, .assignments = 0});
  auto platform = sim::OpenNetwork(temp_.path() / "gen");
  auto generated = platform->CreateDirectory();
  auto batches = search(*generated, "User", "NDS:\\\\GEN_TREE\\[Root]");
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].size(), 500u);
  Strings walked, raised = batches[0];
  raised.insert(raised.end(), batches[1].begin(), batches[1].end());
  std::function<void(const std::string&)> walk = [&](const std::string& name) {
    for (const auto& entry : generated->Children(name)) {
      if (entry.Class == "User") walked.push_back(entry.FullName);
      walk(entry.FullName);
    }
  };
  walk("NDS:\\\\GEN_TREE\\[Root]");
  EXPECT_EQ(raised, walked);
}

TEST_F(SimTest, DirAnswersTheStoredNameOfTheLastComponentAsItIsNow) {
  fs::path users = folder() / "volumes" / "FS1" / "SYS" / "Users";
  fs::rename(users / "JSmith", users / "jsmith2");
  for (auto [path, name] : {std::pair{"\\\\fs1\\sys\\users\\JSMITH2", "jsmith2"},
                            {"\\\\FS1\\SYS\\Public\\LOGIN.EXE", "Login.exe"},
                            {"\\\\FS1\\SYS\\Users\\JSmith", ""},
                            {"\\\\FS1\\Data\\.hidden", ""},
                            {"\\\\FS1\\SYS\\Users\\..", ""},
                            {"\\\\DOWN\\VOL1", ""}}) {
    EXPECT_EQ(platform_->Files().Dir(path), name) << path;
  }
}

// ---- the store ----

// A locked grant is the fault tests' case; a mapping says what it met, and reading goes on.
TEST_F(SimTest, ALockedStoreFailsAMappingNamingTheLockAndStillAnswersReads) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder() / "network.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::string drive = "L:", path = "\\\\FS1\\SYS\\";
  try {
    session().MapDrive(drive, path, true);
    ADD_FAILURE() << "a locked store took the mapping";
  } catch (const sim::SimError& e) {
    EXPECT_THAT(e.what(), ::testing::AllOf(::testing::HasSubstr("locked by another program"),
                                           ::testing::HasSubstr("(while running \"INSERT")));
  }
  EXPECT_EQ(Trustees("SYS:PUBLIC").size(), 1u);
  sqlite3_close(db);
  EXPECT_EQ(session().DriveMappings().size(), 2u);
}

// ---- networks ----

// Every path below `folder`, "/"-separated, links included but not followed.
Strings Tree(const fs::path& folder) {
  Strings paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    paths.push_back(fs::relative(entry.path(), folder).generic_string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A path granted on once is looked at again on the disk at the next grant: a folder gone,
// turned into a link or renamed behind the server's back is answered as it is now.
TEST_F(SimTest, EachGrantFindsItsFolderAsItIsNowAfterAnEarlierOne) {
  const fs::path users = folder() / "volumes" / "FS1" / "SYS" / "Users", outside = temp_ / "out";
  const nw::NWCONN_HANDLE fs1 = Connect("FS1");
  const std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  const auto grant = [&] { return client().NWAddTrustee(fs1, 0, "SYS:Users\\JSmith", mbrown, 1); };
  ASSERT_EQ(grant(), 0);
  fs::create_directories(outside);
  fs::rename(users / "JSmith", outside / "JSmith");
  EXPECT_EQ(grant(), nw::kNoMoreEntries);
  fs::create_directory_symlink(outside / "JSmith", users / "JSmith");
  EXPECT_EQ(grant(), nw::kNoMoreEntries);
  fs::remove(users / "JSmith");
  fs::rename(outside / "JSmith", users / "JSMITH");
  EXPECT_EQ(grant(), 0);
  EXPECT_THAT(sim::DumpAssignments(folder(), "FS1", "SYS"),
              ::testing::Contains(::testing::HasSubstr("SYS:\\Users\\JSMITH,")));
}

TEST_F(SimTest, ALinkInAVolumeIsNoDirectoryAndNoPathLeadsOutsideTheNetwork) {
  const fs::path outside = temp_ / "outside", volumes = folder() / "volumes";
  fs::create_directories(outside / "Secret" / "Deep");
  testing_support::WriteFileBytes(outside / "Secret" / "passwd", "root");
  // Links to a folder and a file inside a volume; a volume and a server that are links.
  fs::create_directory_symlink(outside, volumes / "FS1" / "SYS" / "Out");
  fs::create_symlink(outside / "Secret" / "passwd", volumes / "FS1" / "SYS" / "Public" / "Passwd");
  fs::rename(volumes / "FS1" / "Data", outside / "Data");
  fs::create_directory_symlink(outside / "Data", volumes / "FS1" / "Data");
  fs::rename(volumes / "OLD3", outside / "OLD3");
  fs::create_directory_symlink(outside / "OLD3", volumes / "OLD3");
  const Strings before = Tree(outside);
  const auto dump = sim::DumpAssignments(folder());

  nw::NWCONN_HANDLE fs1 = Connect("FS1"), old3 = Connect("OLD3");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  for (auto [conn, path] : {std::pair{fs1, "SYS:out\\Secret"},
                            {fs1, "SYS:Public\\Passwd"},
                            {fs1, "DATA:"},
                            {old3, "SYS:PUBLIC"}}) {
    EXPECT_EQ(client().NWAddTrustee(conn, 0, path, mbrown, 0x41), nw::kNoMoreEntries) << path;
  }
  for (const char* path : {"\\\\FS1\\SYS\\Out\\Secret\\passwd", "\\\\FS1\\SYS\\Public\\Passwd",
                           "\\\\FS1\\Data\\Crowd"}) {
    EXPECT_EQ(platform_->Files().Dir(path), "") << path;
  }
  EXPECT_NE(sim::MapDrive(folder(), "H:", "\\\\FS1\\SYS\\Out\\Secret"), "");
  // What stays inside still answers.
  EXPECT_EQ(client().NWAddTrustee(fs1, 0, "SYS:Public", mbrown, 0x41), 0);
  EXPECT_EQ(platform_->Files().Dir("\\\\FS1\\SYS\\Public\\Login.exe"), "Login.exe");

  json exported = json::parse(sim::ExportNetworkJson(folder()));
  EXPECT_EQ(exported["servers"][0]["volumes"][0]["directories"],
            json({"Public", "Users", "Users/JSmith"}));
  EXPECT_EQ(exported["servers"][0]["volumes"][1]["directories"], json::array());
  EXPECT_EQ(sim::DumpAssignments(folder()).size(), dump.size() + 1);
  EXPECT_EQ(Tree(outside), before);
}

TEST_F(SimTest, ALoadNeverMakesAFolderOrFileThroughALinkAndNamesThePlace) {
  using testing::AllOf, testing::HasSubstr;
  const fs::path outside = temp_ / "outside", server = folder() / "volumes" / "FS2";
  fs::create_directories(outside);
  const auto dump = sim::DumpAssignments(folder());
  const std::string description = R"({ "servers": [ { "name": "FS2", "volumes": [
      { "name": "VOL1", "directories": [ "A/B" ], "files": [ "readme.txt" ] } ] } ] })";
  fs::create_directory_symlink(outside, server);
  EXPECT_THAT(LoadError(description),
              AllOf(HasSubstr("servers[0]: the folder "), HasSubstr("FS2 is a link")));
  fs::remove(server);  // the link, not what it leads to
  fs::create_directories(server / "VOL1");
  fs::create_symlink(outside / "readme.txt", server / "VOL1" / "readme.txt");
  EXPECT_THAT(LoadError(description), AllOf(HasSubstr("servers[0].volumes[0].files[0]: the file "),
                                            HasSubstr("readme.txt is a link")));
  EXPECT_EQ(Tree(outside), Strings{});
  EXPECT_EQ(sim::DumpAssignments(folder()), dump);
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_EQ(sim::OpenNetwork(folder())->Client().NWCCOpenConnByName(0, "FS2", 2, 1, 0, &conn),
            nw::kUnknownServer);
}

TEST(NetworkTest, TheDemoShowsEveryCaseAUserMeets) {
  TempDir temp;
  sim::CreateDemoNetwork(temp.path() / "demo");
  auto platform = sim::OpenNetwork(temp.path() / "demo");
  std::map<std::string, int> trusteesOf;
  bool supervisor = false, volumeRoot = false, comma = false, deep = false;
  int gone = 0;
  for (const auto& line : sim::DumpAssignments(temp.path() / "demo")) {
    // tree,object,server,VOL:\dir,rights: only the directory may hold commas.
    auto second = line.find(',', line.find(',') + 1), third = line.find(',', second + 1);
    std::string server = line.substr(second + 1, third - second - 1);
    std::string directory = line.substr(third + 1, line.rfind(',') - third - 1);
    ++trusteesOf[server + "/" + directory];
    supervisor |= line.ends_with("Supervisor");
    volumeRoot |= directory.back() == ':';
    comma |= directory.find(',') != std::string::npos;
    deep |= std::count(directory.begin(), directory.end(), '\\') >= 5;
    auto colon = directory.find(':');
    gone +=
        directory.back() != ':' &&
        platform->Files()
            .Dir("\\\\" + server + "\\" + directory.substr(0, colon) + directory.substr(colon + 1))
            .empty();
  }
  EXPECT_GT(std::ranges::max(trusteesOf | std::views::values), 20);
  EXPECT_TRUE(supervisor && volumeRoot && comma && deep);
  EXPECT_EQ(gone, 1) << "one assignment on a directory that is gone";

  std::set<int> majors;
  const json exported = json::parse(sim::ExportNetworkJson(temp.path() / "demo"));
  for (const auto& server : exported["servers"]) majors.insert(server["major"].get<int>());
  EXPECT_EQ(*majors.begin(), 3);
  EXPECT_GE(*majors.rbegin(), 4);
  auto mappings = platform->Session().DriveMappings();
  ASSERT_EQ(mappings.size(), 2u);
  EXPECT_EQ(mappings[0].Drive + mappings[1].Drive, "F:G:");
}

}  // namespace
