// Whole-network operations for the tool and for tests: the demo, dumps, clear, servers up and
// down, drive mappings, removal.

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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

// The volumes `server` and `volume` select: all when both are empty, every volume of a
// server, or one volume.
std::unordered_set<std::int64_t> SelectVolumes(const Catalog& catalog, const std::string& server,
                                               const std::string& volume) {
  std::unordered_set<std::int64_t> selected;
  if (!server.empty() && !volume.empty()) {
    selected.insert(FindVolume(catalog, server, volume).id);
    return selected;
  }
  if (!volume.empty()) throw SimError("Name the server of the volume " + text::Quote(volume) + ".");
  const ServerRow* only = server.empty() ? nullptr : catalog.ServerByName(server);
  if (!server.empty() && only == nullptr) {
    throw SimError("There is no server " + text::Quote(server) + ".");
  }
  for (const VolumeRow& row : catalog.Volumes()) {
    if (only == nullptr || row.serverId == only->id) selected.insert(row.id);
  }
  return selected;
}

// "VOLUME:\Dir\File" of a "/"-joined stored path; "VOLUME:" for the root.
std::string DumpedPath(const VolumeRow& volume, std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return volume.name + ":" + (path.empty() ? "" : "\\" + path);
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
  const auto selected = SelectVolumes(catalog, server, volume);
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
  for (auto q = store->Prepare("SELECT volume_id, dir, object_id, rights FROM trustees");
       q.Step();) {
    const VolumeRow* volumeRow = catalog.Volume(q.Int(0));
    if (volumeRow == nullptr || selected.count(volumeRow->id) == 0) continue;
    lines.push_back(trusteeName(q.Int(2)) + "," + catalog.Server(volumeRow->serverId)->name + "," +
                    DumpedPath(*volumeRow, q.Text(1)) + "," +
                    formats::BuildRightsText(static_cast<std::uint16_t>(q.Int(3))));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> DumpFilters(const fs::path& folder, const std::string& server,
                                     const std::string& volume) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  const auto selected = SelectVolumes(catalog, server, volume);
  std::vector<std::string> lines;
  if (!store->HasFilters()) return lines;
  for (auto q = store->Prepare("SELECT volume_id, path, rights FROM filters"); q.Step();) {
    const VolumeRow* volumeRow = catalog.Volume(q.Int(0));
    if (volumeRow == nullptr || selected.count(volumeRow->id) == 0) continue;
    lines.push_back(catalog.Server(volumeRow->serverId)->name + "," +
                    DumpedPath(*volumeRow, q.Text(1)) + "," +
                    formats::BuildRightsText(static_cast<std::uint16_t>(q.Int(2))));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::size_t ClearAssignments(const fs::path& folder, const std::string& server,
                             const std::string& volume, std::size_t* filters) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  const VolumeRow& row = FindVolume(catalog, server, volume);
  Transaction transaction(*store);
  auto q = store->Prepare("DELETE FROM trustees WHERE volume_id = ?1");
  q.Bind(1, row.id);
  const auto removed = static_cast<std::size_t>(q.Run());
  std::size_t removedFilters = 0;
  if (store->HasFilters()) {
    auto f = store->Prepare("DELETE FROM filters WHERE volume_id = ?1");
    f.Bind(1, row.id);
    removedFilters = static_cast<std::size_t>(f.Run());
  }
  transaction.Commit();
  if (filters != nullptr) *filters = removedFilters;
  return removed;
}

void SetServerUp(const fs::path& folder, const std::string& server, bool up) {
  auto store = Store::Open(folder);
  auto q = store->Prepare("UPDATE servers SET up = ?1 WHERE name_key = ?2");
  q.Bind(1, up ? 1 : 0).Bind(2, text::Fold(server));
  if (q.Run() == 0) throw SimError("There is no server " + text::Quote(server) + ".");
  store->NoteWrite();
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
