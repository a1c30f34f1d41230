// The simulated client's calls on files and filters, the bindery, volume names, trees and
// names by ID: the codes and contents a capture and a restore read.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>

#include "netware/volume_walk.h"
#include "sim/sim_fixture.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Strings = std::vector<std::string>;

constexpr nw::NWRCODE kNone = nw::kNoMoreEntries;  // 0x899C
constexpr nw::NWRCODE kNoVolume = nw::kVolumeDoesNotExist;

// FS (4.11, tree T) with VOL (Dir holding Sub with inner.txt, file.txt, .secret, Zeta.doc,
// alpha.doc and a link; a hidden .hid) and DATA; OLD (3.12, bindery ZED 5, ADMINS 7, AMY 9) and
// LONE (3.x, in no tree). Users U01..U21 of Crowd.ORG are trustees of Dir/file.txt; Dir/Sub has a
// filter.
std::string NetworkJson() {
  json d = json::parse(testing_support::TestData("sim_entries_network.json"));
  for (int i = 1; i <= 21; ++i) {
    std::string name = (i < 10 ? "U0" : "U") + std::to_string(i);
    d["trees"][0]["objects"][0]["children"][1]["children"].push_back(
        {{"name", name}, {"class", "User"}});
    d["assignments"].push_back({{"server", "FS"},
                                {"volume", "VOL"},
                                {"directory", "Dir/file.txt"},
                                {"object", name + ".Crowd.ORG"},
                                {"rights", i}});
  }
  return d.dump();
}

class EntriesTest : public sim_testing::SimFixture {
 protected:
  EntriesTest() : SimFixture(NetworkJson(), "FS") {}
  void SetUp() override {
    Load();
    fs::create_directory_symlink("Sub", folder() / "volumes/FS/VOL/Dir/Link");
    Open();
  }

  // The trustee list of a path through NWScanForTrustees: each batch's size, the IDs in
  // order, and the final code.
  std::tuple<std::vector<int>, std::vector<std::uint32_t>, nw::NWRCODE> ScanForTrustees(
      const char* path) {
    std::vector<int> batches;
    std::vector<std::uint32_t> ids;
    nw::nuint32 iteration = 0;
    for (int round = 0; round < 10; ++round) {
      nw::NWET_INFO info;
      std::uint16_t count = 99;
      nw::NWRCODE code =
          client().NWScanForTrustees(Connect("FS"), 0, path, &iteration, &count, &info);
      if (code != 0) return {batches, ids, code};
      batches.push_back(count);
      for (int i = 0; i < count; ++i) ids.push_back(info.trusteeList[i].ObjectID);
    }
    return {batches, ids, 0};
  }
  nw::NWRCODE EntryInfo(const char* path, nw::NW_ENTRY_INFO* info) {
    return client().NWGetNSEntryInfo(Connect("FS"), 0, path, nw::NW_NS_DOS, nw::NW_NS_DOS,
                                     nw::FA_ALL_ENTRIES, nw::IM_ATTRIBUTES | nw::IM_RIGHTS, info);
  }
  nw::NWRCODE SetFilter(const char* path, std::uint16_t grant,
                        nw::nuint32 modify = nw::DM_INHERITED_RIGHTS_MASK) {
    nw::MODIFY_DOS_INFO dos{grant, nw::TA_ALL};
    return client().NWSetNSEntryDOSInfo(Connect("FS"), 0, path, nw::NW_NS_DOS, nw::FA_ALL_ENTRIES,
                                        modify, &dos);
  }
  // "name attributes filter" of each entry a scan of `pattern` gives, and the final code.
  std::pair<Strings, nw::NWRCODE> ScanEntries(const char* pattern, std::uint16_t attributes) {
    Strings entries;
    nw::SEARCH_SEQUENCE sequence;
    std::memset(&sequence, 0xFF, sizeof sequence);
    for (int round = 0; round < 20; ++round) {
      nw::NW_ENTRY_INFO info;
      nw::NWRCODE code = client().NWScanNSEntryInfo(Connect("FS"), 0, nw::NW_NS_DOS, attributes,
                                                    &sequence, pattern, nw::IM_ENTRY_NAME, &info);
      if (code != 0) return {entries, code};
      entries.push_back(std::string(info.entryName) + " " + std::to_string(info.attributes) + " " +
                        std::to_string(info.inheritedRightsMask));
    }
    return {entries, 0};
  }
  // The bindery objects of a server a scan gives, "name type", and the final code.
  std::pair<Strings, nw::NWRCODE> ScanBindery(const char* server, const char* name,
                                              std::uint16_t type) {
    Strings found;
    nw::nuint32 id = 0xFFFFFFFFu;
    for (int round = 0; round < 20; ++round) {
      char objName[48];
      std::uint16_t objType = 0;
      nw::NWRCODE code = client().NWScanObject(Connect(server), name, type, &id, objName,
                                               sizeof objName, &objType, nullptr, nullptr, nullptr);
      if (code != 0) return {found, code};
      found.push_back(std::string(objName) + " " + std::to_string(objType));
    }
    return {found, 0};
  }
};

TEST_F(EntriesTest, EachPathIsJudgedAlikeByEveryCallThatTakesOne) {
  struct Case {
    const char* path;
    nw::NWRCODE scanFor, scanDirectory, info;
    std::uint32_t attributes;
    nw::NWRCODE filter;
  } cases[] = {
      {"VOL:Dir", 0, 0, 0, nw::FA_DIRECTORY, 0},
      {"FS/VOL:\\dir\\FILE.TXT", 0, kNone, 0, 0, 0},  // a file is no directory
      {"VOL:Dir/missing", kNone, kNone, kNone, 0, kNone},
      {"VOL:Dir/missing/file.txt", kNone, kNone, kNone, 0, kNone},
      {"VOL:Dir/Link", kNone, kNone, kNone, 0, kNone},  // links are never followed
      {"VOL:Dir/Link/x", kNone, kNone, kNone, 0, kNone},
      {"VOL:Dir/../Dir", kNone, kNone, kNone, 0, kNone},
      {"VOL:.hid", kNone, kNone, 0, nw::FA_DIRECTORY | nw::FA_HIDDEN, 0},
      {"VOL:Dir/.secret", kNone, kNone, 0, nw::FA_HIDDEN, 0},
      {"VOL:", 0, 0, 0, nw::FA_DIRECTORY, 0x898C},  // the root takes no filter
      {"NOVOL:Dir", kNoVolume, kNone, kNoVolume, 0, kNoVolume},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::get<2>(ScanForTrustees(c.path)), c.scanFor == 0 ? kNone : c.scanFor) << c.path;
    nw::nuint32 iteration = 0, date = 0, owner = 0;
    nw::TrusteeEntry entries[nw::kTrusteeBatch];
    char name[64];
    EXPECT_EQ(client().NWScanDirectoryForTrustees2(Connect("FS"), 0, c.path, &iteration, name,
                                                   sizeof name, &date, &owner, entries),
              c.scanDirectory)
        << c.path;
    nw::NW_ENTRY_INFO info;
    ASSERT_EQ(EntryInfo(c.path, &info), c.info) << c.path;
    EXPECT_EQ(c.info == 0 ? info.attributes : 0, c.attributes) << c.path;
    EXPECT_EQ(SetFilter(c.path, 0x0041), c.filter) << c.path;
    EXPECT_EQ(client().NWAddTrustee(Connect("FS"), 0, c.path, IdOf("Staff.ORG"), 0x0001),
              c.info == 0 ? 0 : c.info)
        << c.path;
  }
  // What was set stands on the entries named, under the names they are stored with.
  EXPECT_EQ(sim::DumpFilters(folder(), "FS", "VOL"),
            (Strings{"FS,VOL:\\.hid,Read-FileScan", "FS,VOL:\\Dir,Read-FileScan",
                     "FS,VOL:\\Dir\\.secret,Read-FileScan", "FS,VOL:\\Dir\\Sub,Read-FileScan",
                     "FS,VOL:\\Dir\\file.txt,Read-FileScan"}));
}

TEST_F(EntriesTest, AFilesListComesInBatchesOfTwentyAndShrinksAsTrusteesGo) {
  const std::uint32_t first = IdOf("U01.Crowd.ORG"), last = IdOf("U21.Crowd.ORG");
  auto [batches, ids, code] = ScanForTrustees("VOL:Dir/file.txt");
  EXPECT_EQ(batches, (std::vector<int>{20, 1}));
  EXPECT_EQ(code, kNone);
  // Each trustee once, in the order of their objects.
  std::vector<std::uint32_t> expected;
  for (int i = 1; i <= 21; ++i) {
    expected.push_back(IdOf(((i < 10 ? "U0" : "U") + std::to_string(i) + ".Crowd.ORG").c_str()));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ids, expected);

  const nw::NWCONN_HANDLE conn = Connect("FS");
  for (std::uint32_t id : {first, last}) {
    EXPECT_EQ(client().NWDeleteTrustee(conn, 0, "VOL:DIR\\FILE.TXT", id), 0);
    EXPECT_EQ(client().NWDeleteTrustee(conn, 0, "VOL:Dir/file.txt", id), nw::kTrusteeNotFound);
  }
  EXPECT_EQ(client().NWDeleteTrustee(conn, 0, "VOL:Dir/gone.txt", first), kNone);
  EXPECT_EQ(client().NWDeleteTrustee(conn, 0, "NOVOL:Dir", first), kNoVolume);
  std::tie(batches, ids, code) = ScanForTrustees("VOL:Dir/file.txt");
  EXPECT_EQ(batches, (std::vector<int>{19}));
  EXPECT_EQ(std::count(ids.begin(), ids.end(), first) + std::count(ids.begin(), ids.end(), last),
            0);
  // The object's trustee paths name the file too, and the dump what is left.
  nw::nuint32 iteration = 0xFFFFFFFFu;
  char path[256];
  std::uint8_t rights = 0;
  ASSERT_EQ(client().NWScanObjectTrusteePaths(conn, IdOf("U02.Crowd.ORG"), 0, &iteration, &rights,
                                              path, sizeof path),
            0);
  EXPECT_STREQ(path, "VOL:DIR/FILE.TXT");
  EXPECT_EQ(sim::DumpAssignments(folder(), "FS", "VOL").size(), 2u + 19u);
}

TEST_F(EntriesTest, AFilterIsSetChangedAndRemovedAndAnEntryScanShowsIt) {
  nw::NW_ENTRY_INFO info;
  ASSERT_EQ(EntryInfo("VOL:Dir/Sub", &info), 0);
  EXPECT_EQ(info.inheritedRightsMask, 0x0041);
  EXPECT_EQ(SetFilter("VOL:Dir/Sub", 0x0000), 0);     // nothing passes
  EXPECT_EQ(SetFilter("VOL:Dir/Sub", 0x01FB, 0), 0);  // no filter asked for: none changed
  EXPECT_EQ(sim::DumpFilters(folder()), Strings{"FS,VOL:\\Dir\\Sub,"});
  EXPECT_EQ(SetFilter("VOL:Dir/Zeta.doc", 0x0001), 0);

  // In the order of the folded names, links left out, hidden ones and directories only when
  // asked for; the end is 0x89FF.
  const Strings all{".secret 2 507", "alpha.doc 0 507", "file.txt 0 507", "Sub 16 0",
                    "Zeta.doc 0 1"};
  EXPECT_EQ(ScanEntries("VOL:Dir\\*", nw::FA_ALL_ENTRIES), std::pair(all, nw::NWRCODE{0x89FF}));
  EXPECT_EQ(ScanEntries("VOL:Dir/*", 0),
            std::pair(Strings{all[1], all[2], all[4]}, nw::NWRCODE{0x89FF}));
  EXPECT_EQ(ScanEntries("VOL:Dir\\*.doc", nw::FA_ALL_ENTRIES),
            std::pair(Strings{all[1], all[4]}, nw::NWRCODE{0x89FF}));
  EXPECT_EQ(ScanEntries("VOL:*", nw::FA_ALL_ENTRIES),
            std::pair(Strings{".hid 18 507", "Dir 16 507"}, nw::NWRCODE{0x89FF}));
  EXPECT_EQ(ScanEntries("VOL:Dir/Link/*", nw::FA_ALL_ENTRIES), std::pair(Strings{}, kNone));
  EXPECT_EQ(ScanEntries("VOL:Dir/file.txt/*", nw::FA_ALL_ENTRIES), std::pair(Strings{}, kNone));

  // A walk goes into each directory before the scan of its parent goes on.
  Strings walked;
  EXPECT_EQ(nw::WalkVolume(
                client(), Connect("FS"), "VOL",
                [&](const std::string& path, const nw::NW_ENTRY_INFO&) { walked.push_back(path); }),
            0);
  EXPECT_EQ(walked, (Strings{"VOL:\\.hid", "VOL:\\Dir", "VOL:\\Dir\\.secret",
                             "VOL:\\Dir\\alpha.doc", "VOL:\\Dir\\file.txt", "VOL:\\Dir\\Sub",
                             "VOL:\\Dir\\Sub\\inner.txt", "VOL:\\Dir\\Zeta.doc"}));

  EXPECT_EQ(SetFilter("VOL:Dir/Sub", nw::TA_ALL), 0);  // every right passes: no filter
  EXPECT_EQ(SetFilter("VOL:Dir/Zeta.doc", nw::TA_ALL), 0);
  EXPECT_EQ(sim::DumpFilters(folder()), Strings{});
}

TEST_F(EntriesTest, BinderyVolumesTreesAndNamesByID) {
  EXPECT_EQ(ScanBindery("OLD", "*", nw::OT_WILD),
            std::pair(Strings{"ZED 256", "ADMINS 512", "AMY 256"}, nw::kNoSuchObject));
  EXPECT_EQ(ScanBindery("OLD", "*", nw::OT_USER),
            std::pair(Strings{"ZED 256", "AMY 256"}, nw::kNoSuchObject));
  EXPECT_EQ(ScanBindery("OLD", "a*", nw::OT_WILD),
            std::pair(Strings{"ADMINS 512", "AMY 256"}, nw::kNoSuchObject));
  EXPECT_EQ(ScanBindery("FS", "*", nw::OT_WILD), std::pair(Strings{}, nw::kNoSuchObject));
  char name[48];
  std::uint16_t type = 0;
  EXPECT_EQ(client().NWGetObjectName(Connect("OLD"), 7, name, sizeof name, &type), 0);
  EXPECT_EQ(std::pair(std::string(name), type), std::pair(std::string("ADMINS"), nw::OT_GROUP));
  EXPECT_EQ(client().NWGetObjectName(Connect("OLD"), 8, name, sizeof name, &type),
            nw::kNoSuchObject);
  EXPECT_EQ(client().NWGetObjectName(Connect("LONE"), 7, name, sizeof name, &type),
            nw::kNoSuchObject);  // another server's bindery

  Strings volumes;
  nw::NWRCODE code = 0;
  for (std::uint16_t number = 0; code == 0 && number < 10; ++number) {
    char volume[32];
    code = client().NWGetVolumeName(Connect("FS"), number, volume, sizeof volume);
    if (code == 0) volumes.push_back(volume);
  }
  EXPECT_EQ(std::pair(volumes, code), std::pair(Strings{"VOL", "DATA"}, kNoVolume));

  for (auto [server, tree, size, expected] : {std::tuple{"OLD", "T", 2, nw::NWRCODE{0}},
                                              {"LONE", "", 1, nw::NWRCODE{0}},
                                              {"OLD", "", 1, nw::NWRCODE{0x8877}}}) {
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(client().NWCCGetConnInfo(Connect(server), nw::NWCC_INFO_TREE_NAME,
                                       static_cast<std::size_t>(size), buffer),
              expected)
        << server;
    EXPECT_STREQ(buffer, tree) << server;
  }

  const nw::NWDSContextHandle context = Context();
  char dotted[128];
  EXPECT_EQ(client().NWDSMapIDToName(context, Connect("FS"), IdOf("U07.Crowd.ORG"), dotted,
                                     sizeof dotted),
            0);
  EXPECT_STREQ(dotted, "U07.Crowd.ORG");
  EXPECT_EQ(IdOf(dotted), IdOf("U07.Crowd.ORG"));
  EXPECT_EQ(client().NWDSMapIDToName(context, Connect("FS"), 7, dotted, sizeof dotted),
            nw::kDsNoSuchEntry);  // a bindery ID is no NDS object
  EXPECT_EQ(client().NWDSMapIDToName(context, Connect("FS"), IdOf("Staff.ORG"), dotted, 9), 0x8877);
  EXPECT_EQ(client().NWDSMapIDToName(context + 100, Connect("FS"), 7, dotted, sizeof dotted), -303);
}

// Each new call counts one round trip, and answers a closed connection and a down server as
// every other call does.
TEST_F(EntriesTest, EveryCallCrossesTheNetworkOnceAndNeedsAnOpenConnectionToAServerThatIsUp) {
  const nw::NWDSContextHandle context = Context();
  const std::uint32_t staff = IdOf("Staff.ORG");
  nw::NWET_INFO trustees;
  nw::NW_ENTRY_INFO info;
  nw::SEARCH_SEQUENCE sequence;
  nw::MODIFY_DOS_INFO dos{0x41, nw::TA_ALL};
  std::uint16_t count = 0, type = 0;
  char text[64];
  // Those on OLD first: the bindery calls.
  const std::vector<std::function<nw::NWRCODE(nw::NWCONN_HANDLE)>> calls{
      [&](auto c) {
        nw::nuint32 id = 0xFFFFFFFFu;
        return client().NWScanObject(c, "*", nw::OT_WILD, &id, text, 64, &type, 0, 0, 0);
      },
      [&](auto c) { return client().NWGetObjectName(c, 5, text, sizeof text, &type); },
      [&](auto c) { return client().NWDeleteTrustee(c, 0, "VOL:", staff); },
      [&](auto c) {
        nw::nuint32 iteration = 0;
        return client().NWScanForTrustees(c, 0, "VOL:Dir/file.txt", &iteration, &count, &trustees);
      },
      [&](auto c) { return client().NWGetNSEntryInfo(c, 0, "VOL:Dir", 0, 0, 0, 0, &info); },
      [&](auto c) {
        std::memset(&sequence, 0xFF, sizeof sequence);
        return client().NWScanNSEntryInfo(c, 0, 0, 0, &sequence, "VOL:Dir\\*", 0, &info);
      },
      [&](auto c) { return client().NWSetNSEntryDOSInfo(c, 0, "VOL:Dir", 0, 0, 0x1000, &dos); },
      [&](auto c) { return client().NWGetVolumeName(c, 0, text, sizeof text); },
      [&](auto c) { return client().NWCCGetConnInfo(c, nw::NWCC_INFO_TREE_NAME, 64, text); },
      [&](auto c) { return client().NWDSMapIDToName(context, c, staff, text, 64); },
  };
  const nw::NWCONN_HANDLE closed = Connect("FS");
  ASSERT_EQ(client().NWCCCloseConn(closed), 0);
  const nw::NWCONN_HANDLE down = Connect("LONE");
  sim::SetServerUp(folder(), "LONE", false);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const nw::NWCONN_HANDLE conn = Connect(i < 2 ? "OLD" : "FS");
    sim::ResetRoundTrips();
    EXPECT_EQ(calls[i](conn), 0) << i;
    EXPECT_EQ(sim::CountedRoundTrips().clientCalls, 1u) << i;
    EXPECT_EQ(calls[i](closed), nw::kInvalidConnection) << i;
    EXPECT_EQ(calls[i](down), nw::kServerDown) << i;
  }
}

// A network made before filters existed has no table for them: it opens, has none, and takes
// its first filter.
TEST_F(EntriesTest, ANetworkWithoutTheFiltersTableOpensAndTakesFilters) {
  platform_.reset();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((folder() / "network.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "DROP TABLE filters", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  Open();

  nw::NW_ENTRY_INFO info;
  ASSERT_EQ(EntryInfo("VOL:Dir/Sub", &info), 0);
  EXPECT_EQ(info.inheritedRightsMask, nw::TA_ALL);
  EXPECT_EQ(sim::DumpFilters(folder()), Strings{});
  EXPECT_FALSE(json::parse(sim::ExportNetworkJson(folder())).contains("filters"));
  std::size_t filters = 9;
  EXPECT_EQ(sim::ClearAssignments(folder(), "FS", "DATA", &filters), 0u);
  EXPECT_EQ(filters, 0u);
  EXPECT_EQ(SetFilter("VOL:Dir", 0x0041), 0);
  EXPECT_EQ(sim::DumpFilters(folder()), Strings{"FS,VOL:\\Dir,Read-FileScan"});
}

TEST_F(EntriesTest, FiltersAndTrusteesOnFilesExportAndLoadBackUnchanged) {
  ASSERT_EQ(SetFilter("VOL:.hid", 0x0100), 0);  // hidden entries are not exported
  const std::string exported = sim::ExportNetworkJson(folder());
  const json description = json::parse(exported);
  EXPECT_EQ(description["filters"], json::parse(R"([
      {"server": "FS", "volume": "VOL", "path": ".hid", "rights": "Supervisor", "missing": true},
      {"server": "FS", "volume": "VOL", "path": "Dir/Sub", "rights": "Read-FileScan"}])"));
  for (const json& assignment : description["assignments"]) {
    EXPECT_FALSE(assignment.contains("missing")) << assignment;  // a file is no missing folder
  }
  const fs::path copy = temp_.path() / "copy";
  sim::LoadNetworkJson(copy, exported);
  EXPECT_EQ(sim::ExportNetworkJson(copy), exported);
  EXPECT_EQ(sim::DumpFilters(copy), sim::DumpFilters(folder()));
  EXPECT_EQ(sim::DumpAssignments(copy), sim::DumpAssignments(folder()));
}

// A refused description names the place and leaves the network as it was: not even the
// folders of a new server.
TEST_F(EntriesTest, ADescriptionThatCannotBeIsRefusedWithItsPlaceAndLeavesNothingBehind) {
  const auto dump = sim::DumpAssignments(folder());
  const std::string staff = R"("server": "FS", "volume": "VOL", "object": "Staff.ORG")";
  const std::string vol = R"("server": "FS", "volume": "VOL", )";
  for (auto [description, message] : {
           std::pair{std::string(R"({ "servers": [ { "name": "FS2", "volumes": [ { "name": "V1",
              "directories": [ "A" ], "files": [ "A/readme.txt" ] } ] } ], "assignments": [ {
              "server": "FS2", "volume": "V1", "directory": "A", "object": "Staff.ORG",
              "rights": "Reed" } ] })"),
                     "assignments[0].rights: unknown right \"Reed\""},
           {R"({ "servers": [ { "name": "FS2", "volumes": [ { "name": "V",
              "directories": [ "A/../../x" ] } ] } ] })",
            "servers[0].volumes[0].directories[0]: \"A/../../x\" holds the name \"..\""},
           {R"({ "servers": [ { "name": "fs" } ] })", "servers[0].name: duplicate name"},
           {R"({ "servers": [ { "name": "FS2", "volumes": [ { "name": "V", "size": 1 } ] } ] })",
            "servers[0].volumes[0]: unknown field \"size\""},
           {R"({ "servers": [ { "name": "FS 2" } ] })",
            "servers[0].name: the name \"FS 2\" holds the character \" \""},
           {"[1, 2]", "the description must be a JSON object"},
           {R"({"filters": [{)" + vol + R"("path": "", "rights": "Read"}]})",
            "filters[0].path: the volume root takes no filter"},
           {R"({"filters": [{)" + vol + R"("path": "Nope/file.txt", "rights": 1}]})",
            "filters[0].path: there is no directory or file \"Nope/file.txt\" on FS/VOL"},
           {R"({"filters": [{)" + vol + R"("path": "Dir/Link", "rights": 1}]})",
            "filters[0].path: there is no directory or file \"Dir/Link\" on FS/VOL"},
           {R"({"filters": [{)" + vol + R"("path": "dir/sub", "rights": 1}]})",
            "filters[0]: duplicate filter: the same directory or file has one already"},
           {R"({"filters": [{)" + vol + R"("path": "Dir", "rights": "Reed"}]})",
            "filters[0].rights: unknown right \"Reed\""},
           {R"({"filters": [{"server": "FS", "volume": "NO", "path": "Dir", "rights": ""}]})",
            "filters[0].volume: the server FS has no volume \"NO\""},
           {R"({"assignments": [{)" + staff + R"(, "directory": "Nope/f.txt", "rights": 1}]})",
            "assignments[0].directory: there is no directory \"Nope/f.txt\" on FS/VOL"},
           {R"({"assignments": [{)" + staff + R"(, "directory": "Dir/file.txt/x", "rights": 1}]})",
            "assignments[0].directory: there is no directory \"Dir/file.txt/x\" on FS/VOL"},
       }) {
    EXPECT_THAT(LoadError(description), testing::StartsWith(message));
  }
  EXPECT_EQ(sim::DumpFilters(folder()), Strings{"FS,VOL:\\Dir\\Sub,Read-FileScan"});
  EXPECT_EQ(sim::DumpAssignments(folder()), dump);
  EXPECT_FALSE(fs::exists(folder() / "volumes" / "FS2"));
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_EQ(sim::OpenNetwork(folder())->Client().NWCCOpenConnByName(0, "FS2", 2, 1, 0, &conn),
            nw::kUnknownServer);
}

}  // namespace
