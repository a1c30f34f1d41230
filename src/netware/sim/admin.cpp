// Whole-network operations for the tool and for tests: the demo, dump, clear, servers up and
// down, drive mappings, removal.

#include <algorithm>
#include <unordered_map>

#include "demo_network_json.h"
#include "formats/rights_text.h"
#include "netware/sim/controls.h"
#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

const VolumeRow& FindVolume(const Catalog& catalog, const std::string& server,
                            const std::string& volume) {
  const ServerRow* serverRow = catalog.ServerByName(server);
  if (serverRow == nullptr) throw SimError("There is no server " + text::Quote(server) + ".");
  const VolumeRow* volumeRow = catalog.VolumeByName(serverRow->id, volume);
  if (volumeRow == nullptr) {
    throw SimError("The server " + serverRow->name + " has no volume " + text::Quote(volume) + ".");
  }
  return *volumeRow;
}

}  // namespace

bool NetworkExists(const fs::path& folder) {
  std::error_code error;
  return fs::exists(Store::DatabaseFile(folder), error);
}

void RemoveNetwork(const fs::path& folder) {
  if (!NetworkExists(folder)) return;
  Store::Open(folder);  // throws for a network.db that is no network store
  std::error_code error;
  for (const char* name : {"network.db", "network.db-wal", "network.db-shm"}) {
    fs::remove(folder / name, error);
    if (error) {
      throw SimError("The network in " + folder.string() +
                     " cannot be removed: " + error.message() + ".");
    }
  }
  fs::remove_all(folder / "volumes", error);
}

void CreateDemoNetwork(const fs::path& folder) {
  if (NetworkExists(folder)) throw SimError("A network already exists in " + folder.string() + ".");
  LoadNetworkJson(folder, kDemoNetworkJson);
}

std::vector<std::string> DumpAssignments(const fs::path& folder, const std::string& server,
                                         const std::string& volume) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  std::int64_t onlyVolume = 0, onlyServer = 0;
  if (!server.empty() && !volume.empty()) {
    onlyVolume = FindVolume(catalog, server, volume).id;
  } else if (!server.empty()) {
    const ServerRow* row = catalog.ServerByName(server);
    if (row == nullptr) throw SimError("There is no server " + text::Quote(server) + ".");
    onlyServer = row->id;
  } else if (!volume.empty()) {
    throw SimError("Name the server of the volume " + text::Quote(volume) + ".");
  }
  ObjectIndex objects;
  objects.Load(*store);
  std::unordered_map<std::int64_t, std::string> names;  // trustee ID -> "tree,name"
  // A bindery trustee: its bindery name, in the tree its server stands in.
  for (auto q = store->Prepare(
           "SELECT b.id, IFNULL(t.name, '') || ',' || b.name FROM bindery b "
           "JOIN servers s ON s.id = b.server_id LEFT JOIN trees t ON t.id = s.tree_id");
       q.Step();) {
    names[q.Int(0)] = q.Text(1);
  }
  auto trusteeName = [&](std::int64_t id) -> const std::string& {
    auto [found, added] = names.try_emplace(id);
    if (const ObjectRow* row = added ? objects.Find(id) : nullptr) {
      const TreeRow* tree = catalog.Tree(row->treeId);
      found->second = (tree != nullptr ? tree->name : "") + "," + objects.Dotted(id);
    } else if (added) {
      found->second = ",#" + std::to_string(id);  // no such object any more
    }
    return found->second;
  };
  std::vector<std::string> lines;
  auto q = store->Prepare(
      "SELECT volume_id, dir, object_id, rights FROM trustees "
      "WHERE ?1 = 0 OR volume_id = ?1");
  q.Bind(1, onlyVolume);
  while (q.Step()) {
    const VolumeRow* volumeRow = catalog.Volume(q.Int(0));
    if (volumeRow == nullptr) continue;
    if (onlyServer != 0 && volumeRow->serverId != onlyServer) continue;
    const ServerRow* serverRow = catalog.Server(volumeRow->serverId);
    std::string dir = q.Text(1);
    std::replace(dir.begin(), dir.end(), '/', '\\');
    lines.push_back(trusteeName(q.Int(2)) + "," + serverRow->name + "," + volumeRow->name + ":" +
                    (dir.empty() ? "" : "\\" + dir) + "," +
                    formats::BuildRightsText(static_cast<std::uint16_t>(q.Int(3))));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::size_t ClearAssignments(const fs::path& folder, const std::string& server,
                             const std::string& volume) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  const VolumeRow& row = FindVolume(catalog, server, volume);
  auto q = store->Prepare("DELETE FROM trustees WHERE volume_id = ?1");
  q.Bind(1, row.id);
  return static_cast<std::size_t>(q.Run());
}

void SetServerUp(const fs::path& folder, const std::string& server, bool up) {
  auto store = Store::Open(folder);
  auto q = store->Prepare("UPDATE servers SET up = ?1 WHERE name_key = ?2");
  q.Bind(1, up ? 1 : 0).Bind(2, text::Fold(server));
  if (q.Run() == 0) throw SimError("There is no server " + text::Quote(server) + ".");
}

std::string MapDrive(const fs::path& folder, const std::string& drive, const std::string& path) {
  Network network(folder);
  return MapDriveIn(network, drive, path, nullptr);
}

bool UnmapDrive(const fs::path& folder, const std::string& letter) {
  Network network(folder);
  return UnmapDriveIn(network, letter);
}

}  // namespace sim
