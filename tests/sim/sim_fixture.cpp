#include "sim/sim_fixture.h"

#include <cstring>
#include <nlohmann/json.hpp>

namespace simtest {

std::string SmallNetworkJson() {
  using nlohmann::json;
  json crowd = json::array();
  json assignments = json::array();
  for (int i = 1; i <= 45; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "U%02d", i);
    crowd.push_back({{"name", name}, {"class", "User"}});
    assignments.push_back({{"server", "FS1"},
                           {"volume", "Data"},
                           {"directory", "Crowd"},
                           {"object", std::string(name) + ".Crowd.ACME"},
                           {"rights", i}});
    if (i <= 20) {
      assignments.push_back({{"server", "FS1"},
                             {"volume", "Data"},
                             {"directory", "Twenty"},
                             {"object", std::string(name) + ".Crowd.ACME"},
                             {"rights", "Read"}});
    }
  }
  json description = json::parse(R"json({
    "trees": [
      { "name": "ACME_TREE", "objects": [
        { "name": "ACME", "class": "Organization", "children": [
          { "name": "JSmith", "class": "User" },
          { "name": "Staff", "class": "Group" },
          { "name": "Sales", "class": "Organizational Unit", "children": [
            { "name": "MBrown", "class": "User" },
            { "name": "Boss", "class": "Organizational Role" } ] },
          { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" },
          { "name": "FS1_Data", "class": "Volume", "server": "FS1", "volume": "Data" } ] } ] },
      { "name": "OTHER", "objects": [
        { "name": "ACME", "class": "Organization", "children": [
          { "name": "JSmith", "class": "User" } ] } ] } ],
    "servers": [
      { "name": "FS1", "tree": "ACME_TREE", "major": 4, "minor": 11, "volumes": [
        { "name": "SYS", "number": 0,
          "directories": [ "Public", "Users/JSmith", "Deep/A/B/C/D" ],
          "files": [ "Public/Login.exe" ] },
        { "name": "Data", "number": 3, "directories": [ "Crowd", "Twenty", ".hidden" ] } ] },
      { "name": "OLD3", "tree": "ACME_TREE", "major": 3, "minor": 12,
        "bindery": [ { "name": "GUEST", "type": "user" }, { "name": "STAFF", "type": "group" } ],
        "volumes": [ { "name": "SYS", "directories": [ "PUBLIC" ] } ] },
      { "name": "DOWN", "major": 4, "up": false, "volumes": [ { "name": "VOL1" } ] } ],
    "assignments": [
      { "server": "FS1", "volume": "SYS", "directory": "Users/JSmith",
        "object": "JSmith.ACME", "rights": "Read-Write-FileScan" },
      { "server": "FS1", "volume": "SYS", "directory": "", "object": "JSmith.ACME",
        "rights": "FileScan" },
      { "server": "FS1", "volume": "SYS", "directory": "Deep/A/B/C/D",
        "object": "JSmith.ACME", "rights": "Supervisor" },
      { "server": "FS1", "volume": "SYS", "directory": "Public", "object": "Staff.ACME",
        "rights": "Read-FileScan" },
      { "server": "FS1", "volume": "Data", "directory": "", "object": "JSmith.ACME",
        "rights": "Read" },
      { "server": "OLD3", "volume": "SYS", "directory": "PUBLIC", "bindery": "GUEST",
        "rights": "Read-FileScan" } ],
    "workstation": { "trees": [ "OTHER", "ACME_TREE" ],
      "mappings": [ { "drive": "G:", "server": "FS1", "volume": "Data" },
                    { "drive": "F:", "server": "FS1", "volume": "SYS" } ] }
  })json");
  description["trees"][0]["objects"][0]["children"].push_back(
      {{"name", "Crowd"}, {"class", "Organizational Unit"}, {"children", crowd}});
  for (auto& assignment : assignments) description["assignments"].push_back(assignment);
  return description.dump();
}

void SimTest::SetUp() {
  sim::LoadNetworkJson(folder(), SmallNetworkJson());
  platform_ = sim::OpenNetwork(folder());
  ASSERT_EQ(client().NWCallsInit(nullptr, nullptr), 0);
}

nw::NWCONN_HANDLE SimTest::Connect(const std::string& server) {
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_EQ(client().NWCCOpenConnByName(0, server.c_str(), nw::NWCC_NAME_FORMAT_BIND,
                                        nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &conn),
            0)
      << server;
  return conn;
}

std::uint32_t SimTest::IdOf(const std::string& dotted, const std::string& tree) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  nw::NWDSContextHandle context = 0;
  client().NWDSCreateContextHandle(&context);
  client().NWDSSetContext(context, nw::DCK_NAME_CONTEXT, "[Root]");
  if (!tree.empty()) client().NWDSSetContext(context, nw::DCK_TREE_NAME, tree.c_str());
  nw::nuint32 id = 0;
  EXPECT_EQ(client().NWDSMapNameToID(context, conn, dotted.c_str(), &id), 0) << dotted;
  client().NWDSFreeContext(context);
  client().NWCCCloseConn(conn);
  return id;
}

std::pair<std::vector<std::string>, nw::NWRCODE> ScanPaths(nw::NetWareClient& client,
                                                           nw::NWCONN_HANDLE conn, std::uint32_t id,
                                                           std::uint32_t volume) {
  std::vector<std::string> paths;
  nw::nuint32 iteration = 0xFFFFFFFFu;
  for (int guard = 0; guard < 100000; ++guard) {
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

std::vector<Batch> ScanDirectory(nw::NetWareClient& client, nw::NWCONN_HANDLE conn,
                                 const std::string& path) {
  std::vector<Batch> batches;
  nw::nuint32 iteration = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    nw::TrusteeEntry entries[nw::kTrusteeBatch];
    std::memset(entries, 0xEE, sizeof entries);
    char name[512];
    nw::nuint32 date = 0, owner = 0;
    Batch batch{client.NWScanDirectoryForTrustees2(conn, 0, path.c_str(), &iteration, name,
                                                   sizeof name, &date, &owner, entries),
                {},
                false};
    if (batch.code == 0) {
      for (const auto& entry : entries) {
        if (entry.ObjectID == 0) {
          batch.terminated = true;
          break;
        }
        batch.entries.push_back(entry);
      }
    }
    batches.push_back(batch);
    if (batch.code != 0) return batches;
  }
  ADD_FAILURE() << "the trustee scan does not end";
  return batches;
}

std::vector<std::pair<std::uint32_t, std::uint16_t>> Trustees(const std::vector<Batch>& batches) {
  std::vector<std::pair<std::uint32_t, std::uint16_t>> all;
  for (const auto& batch : batches) {
    for (const auto& entry : batch.entries) all.emplace_back(entry.ObjectID, entry.ObjectRights);
  }
  return all;
}

}  // namespace simtest
