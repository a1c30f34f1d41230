// How each call of the simulated client library answers.

#include <algorithm>
#include <cstring>

#include "netware/sim/sim_client.h"
#include "sim/sim_fixture.h"

namespace simtest {
namespace {

using ClientTest = SimTest;

// ---- connections ----

TEST_F(ClientTest, OpenConnByNameGivesAFreshHandleEachTimeAndNamesAnyCase) {
  nw::NWCONN_HANDLE a = Connect("FS1");
  nw::NWCONN_HANDLE b = Connect("fs1");
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(client().NWCCCloseConn(a), 0);
  EXPECT_EQ(client().NWCCCloseConn(b), 0);
}

TEST_F(ClientTest, OpenConnByNameCodes) {
  struct Case {
    const char* server;
    nw::NWRCODE code;
  } cases[] = {{"NOPE", nw::kUnknownServer}, {"DOWN", nw::kServerDown}, {"", nw::kUnknownServer}};
  for (const auto& c : cases) {
    nw::NWCONN_HANDLE conn = 99;
    EXPECT_EQ(client().NWCCOpenConnByName(0, c.server, 2, 1, nw::NWCC_TRAN_TYPE_WILD, &conn),
              c.code)
        << c.server;
    EXPECT_EQ(conn, 0u);
  }
}

TEST_F(ClientTest, ClosedOrUnknownHandlesAnswerInvalidConnection) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  ASSERT_EQ(client().NWCCCloseConn(conn), 0);
  nw::nuint32 number = 0;
  std::uint8_t info[nw::kVersionInfoSize];
  EXPECT_EQ(client().NWCCCloseConn(conn), nw::kInvalidConnection);
  EXPECT_EQ(client().NWGetVolumeNumber(conn, "SYS", &number), nw::kInvalidConnection);
  EXPECT_EQ(client().NWGetFileServerVersionInfo(conn, info, sizeof info), nw::kInvalidConnection);
  EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", IdOf("JSmith.ACME"), 1),
            nw::kInvalidConnection);
  EXPECT_EQ(client().NWGetVolumeNumber(12345, "SYS", &number), nw::kInvalidConnection);
}

TEST_F(ClientTest, AServerTakenDownFailsItsOpenConnections) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  sim::SetServerUp(folder(), "fs1", false);
  nw::nuint32 number = 0;
  EXPECT_EQ(client().NWGetVolumeNumber(conn, "SYS", &number), nw::kServerDown);
  EXPECT_EQ(client().NWCCOpenConnByName(0, "FS1", 2, 1, nw::NWCC_TRAN_TYPE_WILD, &conn),
            nw::kServerDown);
  sim::SetServerUp(folder(), "FS1", true);
  EXPECT_EQ(client().NWGetVolumeNumber(Connect("FS1"), "SYS", &number), 0);
}

// ---- NWParsePath ----

TEST_F(ClientTest, ParsePathGivesTheSameAttachmentEveryTime) {
  char server[48], volume[32], dir[255];
  nw::NWCONN_HANDLE first = 0, second = 0;
  ASSERT_EQ(client().NWParsePath("\\\\fs1\\data", server, sizeof server, &first, volume,
                                 sizeof volume, dir, sizeof dir),
            0);
  EXPECT_STREQ(server, "FS1");
  EXPECT_STREQ(volume, "Data");
  EXPECT_STREQ(dir, "");
  ASSERT_EQ(client().NWParsePath("\\\\FS1\\SYS", server, sizeof server, &second, volume,
                                 sizeof volume, dir, sizeof dir),
            0);
  EXPECT_EQ(first, second);
  EXPECT_NE(first, 0u);
}

TEST_F(ClientTest, ParsePathCodes) {
  struct Case {
    const char* path;
    nw::NWRCODE code;
  } cases[] = {{"\\\\NOPE\\SYS", nw::kUnknownServer},
               {"\\\\DOWN\\VOL1", nw::kServerDown},
               {"\\\\FS1\\NOVOL", nw::kVolumeDoesNotExist},
               {"no path", sim::kInvalidParameter}};
  for (const auto& c : cases) {
    char server[48], volume[32], dir[255];
    nw::NWCONN_HANDLE conn = 0;
    EXPECT_EQ(client().NWParsePath(c.path, server, sizeof server, &conn, volume, sizeof volume, dir,
                                   sizeof dir),
              c.code)
        << c.path;
  }
}

TEST_F(ClientTest, ParsePathNeverWritesPastASmallBuffer) {
  char server[8];
  std::memset(server, 'x', sizeof server);
  char volume[32], dir[255];
  nw::NWCONN_HANDLE conn = 0;
  // A buffer of 3 inside 8: "FS1" and its zero need 4.
  EXPECT_EQ(client().NWParsePath("\\\\FS1\\SYS", server, 3, &conn, volume, sizeof volume, dir,
                                 sizeof dir),
            sim::kBufferTooSmall);
  EXPECT_EQ(server[0], '\0');
  EXPECT_TRUE(std::all_of(server + 3, server + 8, [](char c) { return c == 'x'; }));
}

// ---- volumes and versions ----

TEST_F(ClientTest, GetVolumeNumber) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  struct Case {
    const char* name;
    nw::NWRCODE code;
    nw::nuint32 number;
  } cases[] = {{"SYS", 0, 0},
               {"Data", 0, 3},
               {"DATA", 0, 3},
               {"data:", 0, 3},
               {"VOL9", nw::kVolumeDoesNotExist, 77}};
  for (const auto& c : cases) {
    nw::nuint32 number = 77;
    EXPECT_EQ(client().NWGetVolumeNumber(conn, c.name, &number), c.code) << c.name;
    EXPECT_EQ(number, c.number) << c.name;
  }
}

TEST_F(ClientTest, VersionInfoCarriesNameAndVersion) {
  struct Case {
    const char* server;
    int major, minor;
  } cases[] = {{"fs1", 4, 11}, {"OLD3", 3, 12}};
  for (const auto& c : cases) {
    std::uint8_t info[130];
    std::memset(info, 0xAB, sizeof info);
    ASSERT_EQ(client().NWGetFileServerVersionInfo(Connect(c.server), info, sizeof info), 0);
    std::string expected = c.server == std::string("fs1") ? "FS1" : c.server;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(info)), expected);
    EXPECT_EQ(info[48], c.major);
    EXPECT_EQ(info[49], c.minor);
    EXPECT_EQ(info[128], 0xAB) << "nothing written past the 128-byte record";
  }
}

// ---- NDS names ----

TEST_F(ClientTest, MapNameToIdReadsDottedNamesAgainstTheContext) {
  std::uint32_t jsmith = IdOf("JSmith.ACME");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  std::uint32_t other = IdOf("JSmith.ACME", "OTHER");
  EXPECT_NE(jsmith, 0u);
  EXPECT_NE(jsmith, mbrown);
  EXPECT_NE(jsmith, other);
  struct Case {
    const char* name;
    const char* nameContext;
    const char* tree;  // nullptr: not set
    nw::NWRCODE code;
    std::uint32_t id;
  } cases[] = {
      {"JSmith.ACME", "[Root]", nullptr, 0, jsmith},
      {"jsmith.acme", "[root]", nullptr, 0, jsmith},
      {"CN=JSmith.O=ACME", "[Root]", nullptr, 0, jsmith},
      {"MBrown", "Sales.ACME", nullptr, 0, mbrown},
      {".JSmith.ACME", "Sales.ACME", nullptr, 0, jsmith},
      {"JSmith.ACME", "[Root]", "other", 0, other},
      {"JSmith.ACME", "[Root]", "ACME_TREE", 0, jsmith},
      {"Nobody.ACME", "[Root]", nullptr, nw::kDsNoSuchEntry, 0},
      {"MBrown.ACME", "[Root]", nullptr, nw::kDsNoSuchEntry, 0},
      {"JSmith.ACME", "[Root]", "NOTREE", nw::kDsNoSuchEntry, 0},
      {"JSmith..ACME", "[Root]", nullptr, nw::kDsInvalidName, 0},
      {"", "[Root]", nullptr, nw::kDsInvalidName, 0},
      {"JSmith.ACME.", "[Root]", nullptr, nw::kDsInvalidName, 0},
  };
  nw::NWCONN_HANDLE conn = Connect("FS1");
  for (const auto& c : cases) {
    nw::NWDSContextHandle context = 0;
    ASSERT_EQ(client().NWDSCreateContextHandle(&context), 0);
    EXPECT_EQ(client().NWDSSetContext(context, nw::DCK_NAME_CONTEXT, c.nameContext), 0);
    if (c.tree != nullptr) {
      EXPECT_EQ(client().NWDSSetContext(context, nw::DCK_TREE_NAME, c.tree), 0);
    }
    nw::nuint32 id = 0;
    EXPECT_EQ(client().NWDSMapNameToID(context, conn, c.name, &id), c.code)
        << c.name << " in " << c.nameContext;
    EXPECT_EQ(id, c.id) << c.name;
    EXPECT_EQ(client().NWDSFreeContext(context), 0);
  }
}

TEST_F(ClientTest, ContextsAreFreedAndUnknownKeysRefused) {
  nw::NWDSContextHandle context = 0;
  ASSERT_EQ(client().NWDSCreateContextHandle(&context), 0);
  EXPECT_EQ(client().NWDSSetContext(context, 99, "x"), sim::kDsBadKey);
  ASSERT_EQ(client().NWDSFreeContext(context), 0);
  nw::nuint32 id = 0;
  EXPECT_EQ(client().NWDSMapNameToID(context, Connect("FS1"), "JSmith.ACME", &id),
            sim::kDsBadContext);
  EXPECT_EQ(client().NWDSFreeContext(context), sim::kDsBadContext);
}

TEST_F(ClientTest, ObjectIdsAreStableAcrossLoadsOfTheSameDescription) {
  testing_support::TempDir again;
  sim::LoadNetworkJson(again.path() / "net", SmallNetworkJson());
  auto other = sim::OpenNetwork(again.path() / "net");
  nw::NWCONN_HANDLE conn = 0;
  ASSERT_EQ(other->Client().NWCCOpenConnByName(0, "FS1", 2, 1, nw::NWCC_TRAN_TYPE_WILD, &conn), 0);
  nw::NWDSContextHandle context = 0;
  other->Client().NWDSCreateContextHandle(&context);
  nw::nuint32 id = 0;
  ASSERT_EQ(other->Client().NWDSMapNameToID(context, conn, "MBrown.Sales.ACME", &id), 0);
  EXPECT_EQ(id, IdOf("MBrown.Sales.ACME"));
}

// ---- the bindery ----

TEST_F(ClientTest, GetObjectIdLooksInTheBinderyOfVersionThreeServersOnly) {
  struct Case {
    const char* server;
    const char* name;
    std::uint16_t type;
    nw::NWRCODE code;
  } cases[] = {{"OLD3", "GUEST", nw::OT_USER, 0},
               {"OLD3", "guest", nw::OT_USER, 0},
               {"OLD3", "STAFF", nw::OT_GROUP, 0},
               {"OLD3", "GUEST", nw::OT_GROUP, nw::kNoSuchObject},
               {"OLD3", "STAFF", nw::OT_USER, nw::kNoSuchObject},
               {"OLD3", "JSmith.ACME", nw::OT_USER, nw::kNoSuchObject},
               {"FS1", "GUEST", nw::OT_USER, nw::kNoSuchObject},
               {"FS1", "JSmith", nw::OT_USER, nw::kNoSuchObject}};
  std::vector<nw::nuint32> found;
  for (const auto& c : cases) {
    nw::nuint32 id = 0;
    EXPECT_EQ(client().NWGetObjectID(Connect(c.server), c.name, c.type, &id), c.code)
        << c.server << " " << c.name;
    if (c.code == 0) {
      EXPECT_NE(id, 0u);
      found.push_back(id);
    }
  }
  EXPECT_EQ(found[0], found[1]) << "bindery names compare without regard to case";
  EXPECT_NE(found[0], found[2]);
  EXPECT_NE(found[0], IdOf("JSmith.ACME"));
}

// ---- NWScanObjectTrusteePaths ----

TEST_F(ClientTest, TrusteePathsComeOnePerCallInUpperCaseThenNoMore) {
  auto [paths, code] = ScanPaths(client(), Connect("FS1"), IdOf("JSmith.ACME"), 0);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{"SYS:", "SYS:DEEP/A/B/C/D", "SYS:USERS/JSMITH"}));
  EXPECT_EQ(code, nw::kNoMoreEntries);
}

TEST_F(ClientTest, TrusteePathsStayOnTheirVolume) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  EXPECT_EQ(ScanPaths(client(), conn, IdOf("JSmith.ACME"), 3).first,
            std::vector<std::string>{"DATA:"});
  EXPECT_TRUE(ScanPaths(client(), conn, IdOf("MBrown.Sales.ACME"), 0).first.empty());
  EXPECT_TRUE(ScanPaths(client(), conn, 0, 0).first.empty());
  EXPECT_EQ(ScanPaths(client(), conn, IdOf("JSmith.ACME"), 9).second, nw::kVolumeDoesNotExist);
}

TEST_F(ClientTest, TrusteePathsAfterTheLastLeaveAnEmptyBuffer) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  nw::nuint32 iteration = 0xFFFFFFFFu;
  char path[512];
  std::uint8_t access = 0;
  ASSERT_EQ(client().NWScanObjectTrusteePaths(conn, IdOf("Staff.ACME"), 0, &iteration, &access,
                                              path, sizeof path),
            0);
  EXPECT_STREQ(path, "SYS:PUBLIC");
  EXPECT_EQ(access, 0x41);
  EXPECT_EQ(client().NWScanObjectTrusteePaths(conn, IdOf("Staff.ACME"), 0, &iteration, &access,
                                              path, sizeof path),
            nw::kNoMoreEntries);
  EXPECT_EQ(path[0], '\0');
}

// ---- NWScanDirectoryForTrustees2 ----

TEST_F(ClientTest, TrusteeListsComeInBatchesOfTwentyEndedByObjectIdZero) {
  auto batches = ScanDirectory(client(), Connect("FS1"), "DATA:CROWD");
  ASSERT_EQ(batches.size(), 4u);
  EXPECT_EQ(batches[0].entries.size(), 20u);
  EXPECT_FALSE(batches[0].terminated);
  EXPECT_EQ(batches[1].entries.size(), 20u);
  EXPECT_EQ(batches[2].entries.size(), 5u);
  EXPECT_TRUE(batches[2].terminated);
  EXPECT_EQ(batches[3].code, nw::kNoMoreEntries);
  auto all = Trustees(batches);
  for (int i = 1; i <= 45; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "U%02d.Crowd.ACME", i);
    auto entry =
        std::find_if(all.begin(), all.end(), [&](const auto& e) { return e.first == IdOf(name); });
    ASSERT_NE(entry, all.end()) << name;
    EXPECT_EQ(entry->second, i) << name;
  }
}

TEST_F(ClientTest, AFullLastBatchIsFollowedByNoMore) {
  auto batches = ScanDirectory(client(), Connect("FS1"), "DATA:TWENTY");
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].entries.size(), 20u);
  EXPECT_FALSE(batches[0].terminated);
  EXPECT_EQ(batches[1].code, nw::kNoMoreEntries);
}

TEST_F(ClientTest, TrusteeListPathsAcceptEitherSeparatorAndAnyCase) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  auto expected = Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH"));
  ASSERT_EQ(expected.size(), 1u);
  EXPECT_EQ(expected[0].second, 0x43);
  for (const char* path : {"SYS:\\Users\\JSmith", "sys:/users/jsmith", "SYS:Users\\JSmith\\",
                           "FS1/SYS:USERS/JSMITH"}) {
    EXPECT_EQ(Trustees(ScanDirectory(client(), conn, path)), expected) << path;
  }
  for (const char* root : {"SYS:", "SYS:\\", "SYS:/"}) {
    auto trustees = Trustees(ScanDirectory(client(), conn, root));
    ASSERT_EQ(trustees.size(), 1u) << root;
    EXPECT_EQ(trustees[0].first, IdOf("JSmith.ACME"));
  }
}

TEST_F(ClientTest, UnknownDirectoriesAndVolumesHaveNoTrustees) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  for (const char* path : {"SYS:NOPE", "VOL9:PUBLIC", "SYS:DEEP//A", "SYS:..", "no colon"}) {
    auto batches = ScanDirectory(client(), conn, path);
    ASSERT_EQ(batches.size(), 1u) << path;
    EXPECT_EQ(batches[0].code, nw::kNoMoreEntries) << path;
  }
}

// ---- NWAddTrustee ----

TEST_F(ClientTest, AddTrusteeCodes) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  nw::nuint32 guest = 0;
  ASSERT_EQ(client().NWGetObjectID(Connect("OLD3"), "GUEST", nw::OT_USER, &guest), 0);
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  struct Case {
    const char* path;
    std::uint32_t id;
    nw::NWRCODE code;
  } cases[] = {
      {"SYS:\\Users\\JSmith", mbrown, 0},
      {"sys:deep/a/b/c/d", mbrown, 0},
      {"SYS:", mbrown, 0},
      {"SYS:\\Nowhere", mbrown, nw::kNoMoreEntries},
      {"DATA:.hidden", mbrown, nw::kNoMoreEntries},
      {"SYS:Users\\..\\Public", mbrown, nw::kNoMoreEntries},
      {"SYS:Public\\Login.exe", mbrown, nw::kNoMoreEntries},  // a file, not a directory
      {"VOL9:\\Public", mbrown, nw::kVolumeDoesNotExist},
      {"SYS:\\Public", 0x7777, nw::kNoSuchObject},
      {"SYS:\\Public", 0, nw::kNoSuchObject},
      {"SYS:\\Public", guest, nw::kNoSuchObject},  // OLD3's bindery means nothing to FS1
  };
  for (const auto& c : cases) {
    EXPECT_EQ(client().NWAddTrustee(conn, 0, c.path, c.id, 0x41), c.code) << c.path;
  }
  auto lines = sim::DumpAssignments(folder(), "FS1", "SYS");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "ACME_TREE,MBrown.Sales.ACME,FS1,SYS:\\Deep\\A\\B\\C\\D,Read-FileScan"),
            lines.end())
      << "names as the folders store them";
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), "ACME_TREE,MBrown.Sales.ACME,FS1,SYS:,Read-FileScan"),
      lines.end());
  EXPECT_EQ(lines.size(), 7u);
}

TEST_F(ClientTest, AddTrusteeReplacesAnExistingMaskAndTheListShowsIt) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  std::uint32_t jsmith = IdOf("JSmith.ACME");
  // Read the list first, so that a stale copy would show.
  ASSERT_EQ(Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH")).size(), 1u);
  ASSERT_EQ(client().NWAddTrustee(conn, 0, "SYS:Users\\JSmith", jsmith, 0x00FB), 0);
  auto trustees = Trustees(ScanDirectory(client(), conn, "SYS:USERS/JSMITH"));
  ASSERT_EQ(trustees.size(), 1u);
  EXPECT_EQ(trustees[0].second, 0x00FB);
}

TEST_F(ClientTest, BinderyTrusteesGoOnTheirOwnServer) {
  nw::NWCONN_HANDLE old3 = Connect("OLD3");
  nw::nuint32 staff = 0;
  ASSERT_EQ(client().NWGetObjectID(old3, "STAFF", nw::OT_GROUP, &staff), 0);
  ASSERT_EQ(client().NWAddTrustee(old3, 0, "SYS:PUBLIC", staff, 0x01), 0);
  auto lines = sim::DumpAssignments(folder(), "OLD3", "SYS");
  EXPECT_EQ(lines, (std::vector<std::string>{"ACME_TREE,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan",
                                             "ACME_TREE,STAFF,OLD3,SYS:\\PUBLIC,Read"}));
}

TEST_F(ClientTest, AddTrusteeOnAMappedDriveLetterPathIsRefused) {
  // A full path begins with the volume; a drive letter is no volume.
  EXPECT_EQ(client().NWAddTrustee(Connect("FS1"), 0, "F:\\Public", IdOf("JSmith.ACME"), 1),
            nw::kVolumeDoesNotExist);
}

}  // namespace
}  // namespace simtest
