// The simulated network: how each call of the client library and each control answers, the
// store, JSON descriptions, the demo and generated networks.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "netware/sim/sim_admin.h"
#include "netware/sim/sim_client.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Trustee = std::pair<std::uint32_t, std::uint16_t>;  // ID, rights

// ACME_TREE: ACME{JSmith, Staff, Sales{MBrown}, Crowd{U01..U25}, two volume objects}, and a
// tree OTHER with its own JSmith.ACME. Servers: FS1 (4.11; SYS with Public, Users/JSmith;
// Data number 3 with Crowd (25 trustees), Twenty (20), .hidden), OLD3 (3.12, bindery GUEST,
// STAFF), DOWN (down). Mappings G: and F:, stored in that order.
std::string SmallNetworkJson() {
  json description = json::parse(R"json({
    "trees": [
      { "name": "ACME_TREE", "objects": [ { "name": "ACME", "class": "Organization", "children": [
        { "name": "JSmith", "class": "User" }, { "name": "Staff", "class": "Group" },
        { "name": "Sales", "class": "Organizational Unit", "children": [
          { "name": "MBrown", "class": "User" } ] },
        { "name": "Crowd", "class": "Organizational Unit", "children": [] },
        { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" },
        { "name": "FS1_Data", "class": "Volume", "server": "FS1", "volume": "Data" } ] } ] },
      { "name": "OTHER", "objects": [ { "name": "ACME", "class": "Organization", "children": [
        { "name": "JSmith", "class": "User" } ] } ] } ],
    "servers": [
      { "name": "FS1", "tree": "ACME_TREE", "major": 4, "minor": 11, "volumes": [
        { "name": "SYS", "number": 0, "directories": [ "Public", "Users/JSmith" ],
          "files": [ "Public/Login.exe" ] },
        { "name": "Data", "number": 3, "directories": [ "Crowd", "Twenty", ".hidden" ] } ] },
      { "name": "OLD3", "tree": "ACME_TREE", "major": 3, "minor": 12,
        "bindery": [ { "name": "GUEST", "type": "user" }, { "name": "STAFF", "type": "group" } ],
        "volumes": [ { "name": "SYS", "directories": [ "PUBLIC" ] } ] },
      { "name": "DOWN", "major": 4, "up": false, "volumes": [ { "name": "VOL1" } ] } ],
    "assignments": [
      { "server": "FS1", "volume": "SYS", "directory": "Users/JSmith", "object": "JSmith.ACME",
        "rights": "Read-Write-FileScan" },
      { "server": "FS1", "volume": "SYS", "object": "JSmith.ACME", "rights": "FileScan" },
      { "server": "FS1", "volume": "SYS", "directory": "Public", "object": "Staff.ACME",
        "rights": "Read-FileScan" },
      { "server": "FS1", "volume": "Data", "object": "JSmith.ACME", "rights": "Read" },
      { "server": "OLD3", "volume": "SYS", "directory": "PUBLIC", "bindery": "GUEST",
        "rights": "Read-FileScan" } ],
    "workstation": { "trees": [ "OTHER", "ACME_TREE" ], "mappings": [
      { "drive": "G:", "server": "FS1", "volume": "Data" },
      { "drive": "F:", "server": "FS1", "volume": "SYS" } ] }
  })json");
  // Crowd's trustee U<i> holds the rights number i; Twenty has exactly one full batch.
  for (int i = 1; i <= 25; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "U%02d", i);
    description["trees"][0]["objects"][0]["children"][3]["children"].push_back(
        {{"name", name}, {"class", "User"}});
    for (const char* dir : {"Crowd", "Twenty"}) {
      if (i > 20 && dir[0] == 'T') continue;
      description["assignments"].push_back({{"server", "FS1"},
                                            {"volume", "Data"},
                                            {"directory", dir},
                                            {"object", std::string(name) + ".Crowd.ACME"},
                                            {"rights", i}});
    }
  }
  return description.dump();
}

// Every path NWScanObjectTrusteePaths gives for the object, and the final code.
std::pair<std::vector<std::string>, nw::NWRCODE> ScanPaths(nw::NetWareClient& client,
                                                           nw::NWCONN_HANDLE conn, std::uint32_t id,
                                                           std::uint32_t volume) {
  std::vector<std::string> paths;
  nw::nuint32 iteration = 0xFFFFFFFFu;
  for (int guard = 0; guard < 1000; ++guard) {
    char path[512];
    std::uint8_t access = 0;
    nw::NWRCODE code =
        client.NWScanObjectTrusteePaths(conn, id, volume, &iteration, &access, path, sizeof path);
    if (code != 0 || path[0] == '\0') return {paths, code};
    paths.emplace_back(path);
  }
  ADD_FAILURE() << "the path scan does not end";
  return {paths, 0};
}

struct Batch {
  nw::NWRCODE code;
  std::vector<Trustee> trustees;  // up to the first ObjectID 0
  bool terminated;                // an ObjectID 0 closed the batch
};

// Every batch of a directory's trustee list, the final non-zero one included.
std::vector<Batch> ScanDirectory(nw::NetWareClient& client, nw::NWCONN_HANDLE conn,
                                 const std::string& path) {
  std::vector<Batch> batches;
  nw::nuint32 iteration = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    nw::TrusteeEntry entries[nw::kTrusteeBatch];
    std::memset(entries, 0xEE, sizeof entries);
    char name[512];
    nw::nuint32 date = 0, owner = 0;
    Batch batch{client.NWScanDirectoryForTrustees2(conn, 0, path.c_str(), &iteration, name,
                                                   sizeof name, &date, &owner, entries),
                {},
                false};
    for (const auto& entry : entries) {
      if (batch.code != 0 || (batch.terminated = entry.ObjectID == 0)) break;
      batch.trustees.emplace_back(entry.ObjectID, entry.ObjectRights);
    }
    batches.push_back(batch);
    if (batch.code != 0) return batches;
  }
  ADD_FAILURE() << "the trustee scan does not end";
  return batches;
}

// The trustees of all batches in order.
std::vector<Trustee> Trustees(const std::vector<Batch>& batches) {
  std::vector<Trustee> all;
  for (const auto& batch : batches) {
    all.insert(all.end(), batch.trustees.begin(), batch.trustees.end());
  }
  return all;
}

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(folder(), SmallNetworkJson());
    platform_ = sim::OpenNetwork(folder());
    ASSERT_EQ(client().NWCallsInit(nullptr, nullptr), 0);
  }

  nw::NetWareClient& client() { return platform_->Client(); }
  nw::NWSession& session() { return platform_->Session(); }
  fs::path folder() const { return temp_.path() / "net"; }
  std::unique_ptr<nw::NetWarePlatform> Reopen() { return sim::OpenNetwork(folder()); }

  nw::NWCONN_HANDLE Connect(const std::string& server, nw::NetWareClient* other = nullptr) {
    nw::NWCONN_HANDLE conn = 0;
    EXPECT_EQ((other ? *other : client())
                  .NWCCOpenConnByName(0, server.c_str(), nw::NWCC_NAME_FORMAT_BIND,
                                      nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &conn),
              0)
        << server;
    return conn;
  }
  // NWDSMapNameToID in a fresh context on FS1 (tree "": the connection's tree).
  nw::NWRCODE MapName(const char* name, nw::nuint32* id, const char* nameContext = "[Root]",
                      const char* tree = "") {
    nw::NWDSContextHandle context = 0;
    EXPECT_EQ(client().NWDSCreateContextHandle(&context), 0);
    EXPECT_EQ(client().NWDSSetContext(context, nw::DCK_NAME_CONTEXT, nameContext), 0);
    if (*tree) {
      EXPECT_EQ(client().NWDSSetContext(context, nw::DCK_TREE_NAME, tree), 0);
    }
    nw::NWRCODE code = client().NWDSMapNameToID(context, Connect("FS1"), name, id);
    EXPECT_EQ(client().NWDSFreeContext(context), 0);
    return code;
  }
  std::uint32_t IdOf(const char* dotted, const char* tree = "") {
    nw::nuint32 id = 0;
    EXPECT_EQ(MapName(dotted, &id, "[Root]", tree), 0) << dotted;
    return id;
  }

  TempDir temp_;
  std::unique_ptr<nw::NetWarePlatform> platform_;
};

// ---- the client library ----

TEST_F(SimTest, ConnectionsOpenByNameInAnyCaseAndFailWithTheirCodes) {
  nw::NWCONN_HANDLE a = Connect("FS1");
  nw::NWCONN_HANDLE b = Connect("fs1");
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  for (auto [server, code] : {std::pair{"NOPE", nw::kUnknownServer}, {"DOWN", nw::kServerDown}}) {
    nw::NWCONN_HANDLE conn = 99;
    EXPECT_EQ(client().NWCCOpenConnByName(0, server, 2, 1, nw::NWCC_TRAN_TYPE_WILD, &conn), code);
    EXPECT_EQ(conn, 0u) << server;
  }
  nw::nuint32 number = 0;
  ASSERT_EQ(client().NWCCCloseConn(a), 0);
  EXPECT_EQ(client().NWCCCloseConn(a), nw::kInvalidConnection);
  EXPECT_EQ(client().NWGetVolumeNumber(a, "SYS", &number), nw::kInvalidConnection);
  EXPECT_EQ(client().NWAddTrustee(a, 0, "SYS:PUBLIC", IdOf("JSmith.ACME"), 1),
            nw::kInvalidConnection);
  // A server taken down fails the connections already open to it.
  sim::SetServerUp(folder(), "fs1", false);
  EXPECT_EQ(client().NWGetVolumeNumber(b, "SYS", &number), nw::kServerDown);
}

TEST_F(SimTest, ParsePathAnswersStoredNamesOneAttachmentAndCodes) {
  char server[48], volume[32], dir[255];
  nw::NWCONN_HANDLE first = 0, second = 0;
  ASSERT_EQ(client().NWParsePath("\\\\fs1\\data", server, sizeof server, &first, volume,
                                 sizeof volume, dir, sizeof dir),
            0);
  EXPECT_STREQ(server, "FS1");
  EXPECT_STREQ(volume, "Data");
  ASSERT_EQ(client().NWParsePath("\\\\FS1\\SYS", server, sizeof server, &second, volume,
                                 sizeof volume, dir, sizeof dir),
            0);
  EXPECT_EQ(first, second);
  for (auto [path, code] : {std::pair{"\\\\NOPE\\SYS", nw::kUnknownServer},
                            {"\\\\DOWN\\VOL1", nw::kServerDown},
                            {"\\\\FS1\\NOVOL", nw::kVolumeDoesNotExist},
                            {"no path", sim::kInvalidParameter}}) {
    EXPECT_EQ(client().NWParsePath(path, server, sizeof server, &first, volume, sizeof volume, dir,
                                   sizeof dir),
              code)
        << path;
  }
  // "FS1" and its zero need 4: a buffer of 3 is refused and nothing lands past it.
  std::memset(server, 'x', sizeof server);
  EXPECT_EQ(client().NWParsePath("\\\\FS1\\SYS", server, 3, &first, volume, sizeof volume, dir,
                                 sizeof dir),
            sim::kBufferTooSmall);
  EXPECT_EQ(server[0], '\0');
  EXPECT_EQ(server[3], 'x');
}

TEST_F(SimTest, VolumeNumbersAndServerVersions) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  for (auto [name, code, expected] :
       {std::tuple{"SYS", 0, 0u}, {"data:", 0, 3u}, {"VOL9", nw::kVolumeDoesNotExist, 77u}}) {
    nw::nuint32 number = 77;
    EXPECT_EQ(client().NWGetVolumeNumber(conn, name, &number), code) << name;
    EXPECT_EQ(number, expected) << name;
  }
  for (auto [server, stored, major, minor] :
       {std::tuple{"fs1", "FS1", 4, 11}, {"OLD3", "OLD3", 3, 12}}) {
    std::uint8_t info[130];
    std::memset(info, 0xAB, sizeof info);
    ASSERT_EQ(client().NWGetFileServerVersionInfo(Connect(server), info, sizeof info), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(info), stored);
    EXPECT_EQ(info[48], major) << server;
    EXPECT_EQ(info[49], minor) << server;
    EXPECT_EQ(info[128], 0xAB) << "nothing written past the 128-byte record";
  }
}

TEST_F(SimTest, MapNameToIdReadsDottedNamesAgainstTheContext) {
  std::uint32_t jsmith = IdOf("JSmith.ACME");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  std::uint32_t other = IdOf("JSmith.ACME", "OTHER");
  EXPECT_NE(jsmith, 0u);
  EXPECT_NE(jsmith, mbrown);
  EXPECT_NE(jsmith, other);
  struct Case {
    const char *name, *nameContext, *tree;
    nw::NWRCODE code;
    std::uint32_t id;
  } cases[] = {
      {"jsmith.acme", "[root]", "", 0, jsmith},
      {"CN=JSmith.O=ACME", "[Root]", "", 0, jsmith},
      {"MBrown", "Sales.ACME", "", 0, mbrown},
      {".JSmith.ACME", "Sales.ACME", "", 0, jsmith},
      {"JSmith.ACME", "[Root]", "other", 0, other},
      {"MBrown.ACME", "[Root]", "", nw::kDsNoSuchEntry, 0},
      {"JSmith.ACME", "[Root]", "NOTREE", nw::kDsNoSuchEntry, 0},
      {"JSmith..ACME", "[Root]", "", nw::kDsInvalidName, 0},
      {"", "[Root]", "", nw::kDsInvalidName, 0},
  };
  for (const auto& c : cases) {
    nw::nuint32 id = 0;
    EXPECT_EQ(MapName(c.name, &id, c.nameContext, c.tree), c.code) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }
}

TEST_F(SimTest, GetObjectIdLooksInTheBinderyOfVersionThreeServersOnly) {
  std::vector<nw::nuint32> found;
  for (auto [server, name, type, code] : {std::tuple{"OLD3", "GUEST", nw::OT_USER, 0},
                                          {"OLD3", "guest", nw::OT_USER, 0},
                                          {"OLD3", "STAFF", nw::OT_GROUP, 0},
                                          {"OLD3", "GUEST", nw::OT_GROUP, nw::kNoSuchObject},
                                          {"OLD3", "JSmith.ACME", nw::OT_USER, nw::kNoSuchObject},
                                          {"FS1", "GUEST", nw::OT_USER, nw::kNoSuchObject}}) {
    nw::nuint32 id = 0;
    EXPECT_EQ(client().NWGetObjectID(Connect(server), name, type, &id), code) << server << name;
    if (code == 0) found.push_back(id);
  }
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], found[1]);
  EXPECT_NE(found[0], found[2]);
  EXPECT_NE(found[0], IdOf("JSmith.ACME"));
}

TEST_F(SimTest, TrusteePathsComeOnePerCallInUpperCaseOnTheirVolumeThenNoMore) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  auto [paths, code] = ScanPaths(client(), conn, IdOf("JSmith.ACME"), 0);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{"SYS:", "SYS:USERS/JSMITH"}));
  EXPECT_EQ(code, nw::kNoMoreEntries);
  EXPECT_EQ(ScanPaths(client(), conn, IdOf("JSmith.ACME"), 3).first,
            std::vector<std::string>{"DATA:"});
  EXPECT_TRUE(ScanPaths(client(), conn, IdOf("MBrown.Sales.ACME"), 0).first.empty());
  EXPECT_EQ(ScanPaths(client(), conn, IdOf("JSmith.ACME"), 9).second, nw::kVolumeDoesNotExist);

  // The rights come with the path; after the last, the buffer is left empty.
  nw::nuint32 iteration = 0xFFFFFFFFu;
  char path[512];
  std::uint8_t access = 0;
  ASSERT_EQ(client().NWScanObjectTrusteePaths(conn, IdOf("Staff.ACME"), 0, &iteration, &access,
                                              path, sizeof path),
            0);
  EXPECT_EQ(access, 0x41);
  EXPECT_EQ(client().NWScanObjectTrusteePaths(conn, IdOf("Staff.ACME"), 0, &iteration, &access,
                                              path, sizeof path),
            nw::kNoMoreEntries);
  EXPECT_EQ(path[0], '\0');
}

TEST_F(SimTest, TrusteeListsComeInBatchesOfTwentyEndedByObjectIdZero) {
  using Shape = std::vector<std::tuple<std::size_t, bool, nw::NWRCODE>>;  // of each batch
  auto shape = [&](const char* path) {
    Shape batches;
    for (const auto& b : ScanDirectory(client(), Connect("FS1"), path)) {
      batches.emplace_back(b.trustees.size(), b.terminated, b.code);
    }
    return batches;
  };
  EXPECT_EQ(shape("DATA:CROWD"),
            (Shape{{20, false, 0}, {5, true, 0}, {0, false, nw::kNoMoreEntries}}));
  EXPECT_EQ(shape("DATA:TWENTY"), (Shape{{20, false, 0}, {0, false, nw::kNoMoreEntries}}));
  // Every trustee once, none lost or repeated across a batch boundary.
  std::set<std::uint16_t> rights;
  for (auto [id, mask] : Trustees(ScanDirectory(client(), Connect("FS1"), "DATA:CROWD"))) {
    rights.insert(mask);
  }
  EXPECT_EQ(rights.size(), 25u);
  EXPECT_EQ(*rights.rbegin(), 25);
}

TEST_F(SimTest, TrusteeListPathsTakeEitherSeparatorAndAnyCase) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  auto expected = Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH"));
  ASSERT_EQ(expected, (decltype(expected){{IdOf("JSmith.ACME"), 0x43}}));
  for (const char* path : {"SYS:\\Users\\JSmith", "sys:/users/jsmith\\", "FS1/SYS:USERS/JSMITH"}) {
    EXPECT_EQ(Trustees(ScanDirectory(client(), conn, path)), expected) << path;
  }
  EXPECT_EQ(Trustees(ScanDirectory(client(), conn, "SYS:\\")).size(), 1u);
  for (const char* path : {"SYS:NOPE", "VOL9:PUBLIC", "SYS:Users\\..", "no colon"}) {
    auto batches = ScanDirectory(client(), conn, path);
    ASSERT_EQ(batches.size(), 1u) << path;
    EXPECT_EQ(batches[0].code, nw::kNoMoreEntries) << path;
  }
}

TEST_F(SimTest, AddTrusteeCodes) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  nw::nuint32 guest = 0;
  ASSERT_EQ(client().NWGetObjectID(Connect("OLD3"), "GUEST", nw::OT_USER, &guest), 0);
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  struct Case {
    const char* path;
    std::uint32_t id;
    nw::NWRCODE code;
  } cases[] = {
      {"sys:users/jsmith", mbrown, 0},
      {"SYS:", mbrown, 0},
      {"SYS:\\Nowhere", mbrown, nw::kNoMoreEntries},
      {"DATA:.hidden", mbrown, nw::kNoMoreEntries},
      {"SYS:Users\\..\\Public", mbrown, nw::kNoMoreEntries},
      {"SYS:Public\\Login.exe", mbrown, nw::kNoMoreEntries},  // a file, not a directory
      {"F:\\Public", mbrown, nw::kVolumeDoesNotExist},        // a drive letter is no volume
      {"SYS:\\Public", 0x7777, nw::kNoSuchObject},
      {"SYS:\\Public", guest, nw::kNoSuchObject},  // OLD3's bindery means nothing to FS1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client().NWAddTrustee(conn, 0, c.path, c.id, 0x41), c.code) << c.path;
  }
  EXPECT_EQ(sim::DumpAssignments(folder(), "FS1", "SYS"),
            (std::vector<std::string>{"ACME_TREE,JSmith.ACME,FS1,SYS:,FileScan",
                                      "ACME_TREE,JSmith.ACME,FS1,SYS:\\Users\\JSmith,"
                                      "Read-Write-FileScan",
                                      "ACME_TREE,MBrown.Sales.ACME,FS1,SYS:,Read-FileScan",
                                      "ACME_TREE,MBrown.Sales.ACME,FS1,SYS:\\Users\\JSmith,"
                                      "Read-FileScan",
                                      "ACME_TREE,Staff.ACME,FS1,SYS:\\Public,Read-FileScan"}));
}

TEST_F(SimTest, AddTrusteeReplacesAMaskAndBinderyTrusteesStayOnTheirServer) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  // Read the list first, so that a stale copy would show.
  ASSERT_EQ(Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH")).size(), 1u);
  ASSERT_EQ(client().NWAddTrustee(conn, 0, "SYS:Users\\JSmith", IdOf("JSmith.ACME"), 0xFB), 0);
  auto trustees = Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH"));
  ASSERT_EQ(trustees.size(), 1u);
  EXPECT_EQ(trustees[0].second, 0xFB);

  nw::NWCONN_HANDLE old3 = Connect("OLD3");
  nw::nuint32 staff = 0;
  ASSERT_EQ(client().NWGetObjectID(old3, "STAFF", nw::OT_GROUP, &staff), 0);
  ASSERT_EQ(client().NWAddTrustee(old3, 0, "SYS:PUBLIC", staff, 0x01), 0);
  EXPECT_EQ(sim::DumpAssignments(folder(), "OLD3", "SYS"),
            (std::vector<std::string>{"ACME_TREE,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan",
                                      "ACME_TREE,STAFF,OLD3,SYS:\\PUBLIC,Read"}));
}

// ---- the controls ----

std::vector<std::string> Drives(nw::NWSession& session) {
  std::vector<std::string> drives;
  for (const auto& mapping : session.DriveMappings()) drives.push_back(mapping.Drive);
  return drives;
}

TEST_F(SimTest, TreesInStoredOrderAndLastingDriveMappingsByLetterUnderStoredNames) {
  auto trees = session().Trees();
  ASSERT_EQ(trees.size(), 2u);
  EXPECT_EQ(trees[0].ShortName, "OTHER");
  EXPECT_EQ(trees[1].ShortName, "ACME_TREE");
  EXPECT_EQ(Drives(session()), (std::vector<std::string>{"F:", "G:"}));
  EXPECT_EQ(session().DriveMappings()[0].FullName, "\\\\FS1\\SYS\\");
  std::string drive = "h:", path = "\\\\fs1\\sys\\users\\jsmith";
  auto mapping = session().MapDrive(drive, path, true);
  EXPECT_EQ(mapping.Drive, "H:");
  EXPECT_EQ(mapping.FullName, "\\\\FS1\\SYS\\Users\\JSmith\\");
  EXPECT_EQ(Drives(Reopen()->Session()), (std::vector<std::string>{"F:", "G:", "H:"}));
  EXPECT_TRUE(session().UnmapDrive("H"));
  EXPECT_FALSE(session().UnmapDrive("H"));
  EXPECT_EQ(Drives(Reopen()->Session()), (std::vector<std::string>{"F:", "G:"}));

  for (auto [letter, target] : {std::pair{"F:", "\\\\FS1\\SYS\\"},  // taken
                                {"K:", "\\\\DOWN\\VOL1\\"},
                                {"K:", "\\\\FS1\\SYS\\Nowhere"},
                                {"KK", "\\\\FS1\\SYS\\"}}) {
    std::string d = letter, p = target;
    EXPECT_EQ(session().MapDrive(d, p, true).FullName, "") << letter << " " << target;
  }
  EXPECT_EQ(Drives(session()), (std::vector<std::string>{"F:", "G:"}));
}

// The batches SearchObjects raises.
std::vector<std::vector<std::string>> Search(nw::NWDirectory& directory, const char* objectClass,
                                             const char* base) {
  std::vector<std::vector<std::string>> batches;
  directory.SearchResults = [&](const std::vector<std::string>& names) {
    batches.push_back(names);
  };
  directory.SearchObjects("*", objectClass, 2, base, 0);
  return batches;
}

TEST_F(SimTest, SearchFindsEveryObjectOfTheClassInPreOrder) {
  auto directory = platform_->CreateDirectory();
  directory->SearchObjects("*", "User", 2, "NDS:\\\\ACME_TREE\\[Root]", 0);  // nobody listens
  std::vector<std::string> users;
  for (int i = 1; i <= 25; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "NDS:\\\\ACME_TREE\\ACME\\Crowd\\U%02d", i);
    users.push_back(name);
  }
  users.push_back("NDS:\\\\ACME_TREE\\ACME\\JSmith");
  users.push_back("NDS:\\\\ACME_TREE\\ACME\\Sales\\MBrown");
  struct Case {
    const char *objectClass, *base;
    std::vector<std::string> found;  // in one batch
  } cases[] = {
      {"user", "NDS:\\\\acme_tree\\[ROOT]", users},
      {"VOLUME",
       "NDS:\\\\ACME_TREE\\[Root]",
       {"NDS:\\\\ACME_TREE\\ACME\\FS1_Data", "NDS:\\\\ACME_TREE\\ACME\\FS1_SYS"}},
      {"User", "NDS:\\\\OTHER\\[Root]", {"NDS:\\\\OTHER\\ACME\\JSmith"}},
      {"User", "NDS:\\\\ACME_TREE\\ACME\\Sales", {"NDS:\\\\ACME_TREE\\ACME\\Sales\\MBrown"}},
      {"User", "NDS:\\\\NOTREE\\[Root]", {""}},
      {"Usr", "NDS:\\\\ACME_TREE\\[Root]", {""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Search(*directory, c.objectClass, c.base),
              std::vector<std::vector<std::string>>{c.found})
        << c.base;
  }
}

TEST(DirectoryLargeTest, ManyResultsComeInRaisingsOfAtMostFiveHundredInBrowseOrder) {
  testing_support::TempDir temp;
  sim::GenerateOptions options;
  options.users = 1001;
  options.groups = options.roles = options.assignments = 0;
  options.units = 6;
  options.directories = 10;
  sim::GenerateNetwork(temp.path() / "net", options);
  auto platform = sim::OpenNetwork(temp.path() / "net");
  auto directory = platform->CreateDirectory();
  auto batches = Search(*directory, "User", "NDS:\\\\GEN_TREE\\[Root]");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].size(), 500u);
  EXPECT_EQ(batches[1].size(), 500u);
  EXPECT_EQ(batches[2].size(), 1u);

  // The same order as walking the browse tree: pre-order, siblings by name.
  std::vector<std::string> walked;
  std::function<void(const std::string&)> walk = [&](const std::string& name) {
    for (const auto& entry : directory->Children(name)) {
      if (entry.Class == "User") walked.push_back(entry.FullName);
      walk(entry.FullName);
    }
  };
  walk("NDS:\\\\GEN_TREE\\[Root]");
  for (const auto& batch : batches) {
    EXPECT_TRUE(std::equal(batch.begin(), batch.end(), walked.begin())) << batch.front();
    walked.erase(walked.begin(), walked.begin() + batch.size());
  }
}

TEST_F(SimTest, DirAnswersTheStoredNameOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {{"\\\\fs1\\sys\\users\\JSMITH", "JSmith"},
               {"\\\\FS1\\SYS\\Public\\LOGIN.EXE", "Login.exe"},
               {"\\\\FS1\\Data\\.hidden", ""},
               {"\\\\FS1\\SYS\\Nowhere", ""},
               {"\\\\FS1\\SYS\\Users\\..", ""},
               {"\\\\DOWN\\VOL1", ""}};
  for (const auto& c : cases) EXPECT_EQ(platform_->Files().Dir(c.path), c.name) << c.path;
  // Folders renamed afterwards show as they are now.
  std::filesystem::path users = folder() / "volumes" / "FS1" / "SYS" / "Users";
  std::filesystem::rename(users / "JSmith", users / "jsmith2");
  EXPECT_EQ(platform_->Files().Dir("\\\\FS1\\SYS\\Users\\JSmith"), "");
  EXPECT_EQ(platform_->Files().Dir("\\\\FS1\\SYS\\Users\\JSMITH2"), "jsmith2");
}

// ---- the store ----

TEST(CallsInitTest, RefusesAMissingOrDamagedStoreAndTouchesNothing) {
  for (bool damaged : {false, true}) {  // no folder at all, or garbage for a store
    TempDir temp;
    fs::path folder = temp.path() / "net";
    const std::string garbage(5000, 'g');
    if (damaged) {
      fs::create_directories(folder);
      WriteFileBytes(folder / "network.db", garbage);
    }
    auto platform = sim::OpenNetwork(folder);
    EXPECT_EQ(platform->Client().NWCallsInit(nullptr, nullptr), nw::kCallsInitFailed) << damaged;
    EXPECT_THROW(platform->Session().Trees(), sim::SimError) << damaged;
    EXPECT_EQ(fs::exists(folder), damaged);
    EXPECT_EQ(testing_support::ReadFileBytes(folder / "network.db"), damaged ? garbage : "");
    EXPECT_FALSE(fs::exists(folder / "volumes")) << damaged;
  }
}

TEST_F(SimTest, AssignmentsLastAcrossReopening) {
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  ASSERT_EQ(client().NWAddTrustee(Connect("FS1"), 0, "SYS:PUBLIC", mbrown, 0x41), 0);
  platform_.reset();
  auto again = Reopen();
  ASSERT_EQ(again->Client().NWCallsInit(nullptr, nullptr), 0);
  EXPECT_EQ(ScanPaths(again->Client(), Connect("FS1", &again->Client()), mbrown, 0).first,
            std::vector<std::string>{"SYS:PUBLIC"});
}

TEST_F(SimTest, TwoPlatformsOnOneStoreSeeEachOthersChanges) {
  auto other = Reopen();
  nw::NWCONN_HANDLE mine = Connect("FS1");
  nw::NWCONN_HANDLE theirs = Connect("FS1", &other->Client());
  // The other platform has read the list, then this one grants.
  ASSERT_EQ(Trustees(ScanDirectory(other->Client(), theirs, "SYS:PUBLIC")).size(), 1u);
  ASSERT_EQ(client().NWAddTrustee(mine, 0, "SYS:PUBLIC", IdOf("MBrown.Sales.ACME"), 0x41), 0);
  EXPECT_EQ(Trustees(ScanDirectory(other->Client(), theirs, "SYS:PUBLIC")).size(), 2u);

  std::string drive = "K:", path = "\\\\FS1\\SYS\\";
  ASSERT_NE(other->Session().MapDrive(drive, path, true).FullName, "");
  EXPECT_EQ(session().DriveMappings().size(), 3u);
}

TEST_F(SimTest, AStoreLockedTooLongFailsAWriteAndChangesNothing) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  auto before = sim::DumpAssignments(folder());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder() / "network.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", mbrown, 0x41), sim::kStoreFailure);
  std::string drive = "K:", path = "\\\\FS1\\SYS\\";
  EXPECT_THROW(session().MapDrive(drive, path, true), sim::SimError);
  // Reading goes on while another writes.
  EXPECT_EQ(Trustees(ScanDirectory(client(), conn, "SYS:PUBLIC")).size(), 1u);
  EXPECT_EQ(sim::DumpAssignments(folder()), before);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", mbrown, 0x41), 0);
}

// ---- networks ----

// Every file and folder below `folder`, hidden ones aside.
std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::string relative = fs::relative(entry.path(), folder).generic_string();
    if (relative.front() != '.' && relative.find("/.") == std::string::npos) {
      files.push_back(relative);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST_F(SimTest, ARefusedDescriptionNamesThePlaceAndLeavesNothingOfItBehind) {
  auto dump = sim::DumpAssignments(folder());
  auto files = Files(folder() / "volumes");
  auto assignment = [](const char* directory, const char* rights) {
    return json{{"server", "FS2"},
                {"volume", "VOL1"},
                {"directory", directory},
                {"object", "Sales.ACME"},
                {"rights", rights}};
  };
  auto more = [&](const json& servers, const json& assignments) {
    return json{{"servers", servers}, {"assignments", assignments}}.dump();
  };
  json fs2 = json::parse(R"([{ "name": "FS2", "tree": "ACME_TREE", "volumes": [
      { "name": "VOL1", "directories": [ "A/B" ], "files": [ "A/readme.txt" ] } ] }])");
  json climbing = fs2;
  climbing[0]["volumes"][0]["directories"].push_back("A/../../x");
  std::pair<std::string, const char*> cases[] = {
      {more(fs2, json::array({assignment("A", "Read"), assignment("A/B", "Reed-FileScan")})),
       "assignments[1].rights: unknown right \"Reed\""},
      {more(climbing, json::array()),
       "servers[0].volumes[0].directories[1]: \"A/../../x\" holds the name \"..\""},
      {more(json::parse(R"([{ "name": "fs1" }])"), json::array()),
       "servers[0].name: duplicate name"},
      {"[1, 2]", "JSON"},
  };
  for (const auto& [text, message] : cases) {
    try {
      sim::LoadNetworkJson(folder(), text);
      ADD_FAILURE() << message << ": loaded";
    } catch (const sim::SimError& error) {
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(sim::DumpAssignments(folder()), dump);
  EXPECT_EQ(Files(folder() / "volumes"), files);
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_EQ(Reopen()->Client().NWCCOpenConnByName(0, "FS2", 2, 1, 0, &conn), nw::kUnknownServer);
}

TEST(NetworkTest, TheDemoShowsEveryCaseAUserMeets) {
  TempDir temp;
  sim::CreateDemoNetwork(temp.path() / "demo");
  auto platform = sim::OpenNetwork(temp.path() / "demo");
  std::set<std::string> trees;
  std::map<std::string, int> trusteesOf;
  bool supervisor = false, volumeRoot = false, comma = false, deep = false;
  int gone = 0;
  for (const auto& line : sim::DumpAssignments(temp.path() / "demo")) {
    // tree,object,server,VOL:\dir,rights: only the directory may hold commas.
    auto first = line.find(','), second = line.find(',', first + 1),
         third = line.find(',', second + 1), last = line.rfind(',');
    std::string server = line.substr(second + 1, third - second - 1);
    std::string directory = line.substr(third + 1, last - third - 1);
    trees.insert(line.substr(0, first));
    ++trusteesOf[server + "/" + directory];
    supervisor |= line.find("Supervisor", last) != std::string::npos;
    volumeRoot |= directory.back() == ':';
    comma |= directory.find(',') != std::string::npos;
    deep |= std::count(directory.begin(), directory.end(), '\\') >= 5;
    auto colon = directory.find(':');
    std::string path =
        "\\\\" + server + "\\" + directory.substr(0, colon) + directory.substr(colon + 1);
    if (directory.back() != ':' && platform->Files().Dir(path).empty()) ++gone;
  }
  EXPECT_EQ(trees.size(), 2u);
  EXPECT_GT(std::max_element(trusteesOf.begin(), trusteesOf.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })
                ->second,
            20);
  EXPECT_TRUE(supervisor && volumeRoot && comma && deep);
  EXPECT_EQ(gone, 1) << "one assignment on a directory that is gone";

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

}  // namespace
