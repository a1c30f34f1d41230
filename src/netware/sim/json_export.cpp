// The network written back as the JSON description it can be loaded from.

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

ordered_json ObjectJson(const ObjectIndex& objects, const Catalog& catalog, std::int64_t treeId,
                        std::int64_t id,
                        const std::unordered_map<std::int64_t, std::int64_t>& volumeOf) {
  const ObjectRow* row = objects.Find(id);
  ordered_json node;
  node["name"] = row->name;
  node["class"] = row->objectClass;
  node["id"] = static_cast<std::uint32_t>(id);
  if (auto found = volumeOf.find(id); found != volumeOf.end()) {
    if (const VolumeRow* volume = catalog.Volume(found->second)) {
      node["server"] = catalog.Server(volume->serverId)->name;
      node["volume"] = volume->name;
    }
  }
  const auto& children = objects.Children(treeId, id);
  if (!children.empty()) {
    ordered_json list = ordered_json::array();
    for (std::int64_t child : children) {
      list.push_back(ObjectJson(objects, catalog, treeId, child, volumeOf));
    }
    node["children"] = std::move(list);
  }
  return node;
}

// Every folder and file below `root` (hidden ones and links left out), "/"-separated, sorted.
void ListVolume(const fs::path& root, std::vector<std::string>* directories,
                std::vector<std::string>* files) {
  if (!InsideNetwork(root)) return;  // a link in place of a volume leads outside
  std::error_code error;
  fs::recursive_directory_iterator it(root, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    std::error_code type;
    if (it->is_symlink(type)) continue;  // nothing of the volume
    if (!name.empty() && name.front() == '.') {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    std::string relative = fs::relative(it->path(), root).generic_string();
    (it->is_directory() ? directories : files)->push_back(relative);
  }
  std::sort(directories->begin(), directories->end());
  std::sort(files->begin(), files->end());
}

}  // namespace

std::string ExportNetworkJson(const fs::path& folder) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  ObjectIndex objects;
  objects.Load(*store);
  std::unordered_map<std::int64_t, std::int64_t> volumeOf;
  {
    auto q = store->Prepare("SELECT id, volume_id FROM objects WHERE volume_id IS NOT NULL");
    while (q.Step()) volumeOf[q.Int(0)] = q.Int(1);
  }
  ordered_json root;
  ordered_json trees = ordered_json::array();
  for (const TreeRow& tree : catalog.Trees()) {
    ordered_json node;
    node["name"] = tree.name;
    ordered_json list = ordered_json::array();
    for (std::int64_t id : objects.Children(tree.id, 0)) {
      list.push_back(ObjectJson(objects, catalog, tree.id, id, volumeOf));
    }
    node["objects"] = std::move(list);
    trees.push_back(std::move(node));
  }
  root["trees"] = std::move(trees);

  ordered_json servers = ordered_json::array();
  std::map<std::int64_t, std::pair<std::string, std::int64_t>> bindery;  // id -> name, server
  for (const ServerRow& server : catalog.Servers()) {
    ordered_json node;
    node["name"] = server.name;
    if (const TreeRow* tree = catalog.Tree(server.treeId)) node["tree"] = tree->name;
    node["major"] = server.major;
    node["minor"] = server.minor;
    node["up"] = server.up;
    ordered_json entries = ordered_json::array();
    auto q = store->Prepare(
        "SELECT id, name, type FROM bindery WHERE server_id = ?1 ORDER BY name_key, type");
    q.Bind(1, server.id);
    while (q.Step()) {
      entries.push_back({{"name", q.Text(1)}, {"type", q.Int(2)}, {"id", q.Int(0)}});
      bindery[q.Int(0)] = {q.Text(1), server.id};
    }
    if (!entries.empty()) node["bindery"] = std::move(entries);
    ordered_json volumes = ordered_json::array();
    for (const VolumeRow& volume : catalog.Volumes()) {
      if (volume.serverId != server.id) continue;
      std::vector<std::string> directories, files;
      ListVolume(store->VolumeFolder(server.name, volume.name), &directories, &files);
      volumes.push_back({{"name", volume.name},
                         {"number", volume.number},
                         {"directories", directories},
                         {"files", files}});
    }
    node["volumes"] = std::move(volumes);
    servers.push_back(std::move(node));
  }
  root["servers"] = std::move(servers);

  ordered_json assignments = ordered_json::array();
  FolderResolver folders;
  auto q = store->Prepare(
      "SELECT volume_id, dir, object_id, rights FROM trustees ORDER BY volume_id, dir_key, id");
  while (q.Step()) {
    const VolumeRow* volume = catalog.Volume(q.Int(0));
    const ServerRow* server = catalog.Server(volume->serverId);
    ordered_json node;
    node["server"] = server->name;
    node["volume"] = volume->name;
    std::string dir = q.Text(1);
    node["directory"] = dir;
    std::int64_t id = q.Int(2);
    if (const ObjectRow* row = objects.Find(id)) {
      node["object"] = objects.Dotted(id);
      if (row->treeId != server->treeId) node["tree"] = catalog.Tree(row->treeId)->name;
    } else if (auto found = bindery.find(id); found != bindery.end()) {
      node["bindery"] = found->second.first;
    } else {
      continue;  // a trustee that no longer exists cannot be described
    }
    auto rights = static_cast<std::uint16_t>(q.Int(3));
    std::string words = text::RightsText(rights);
    if (text::ParseRightsText(words, nullptr) == rights) {
      node["rights"] = words;
    } else {
      node["rights"] = rights;
    }
    auto components = dir.empty() ? std::vector<std::string>{} : text::Split(dir, "/");
    if (!folders.Resolve(store->VolumeFolder(server->name, volume->name), components, true)) {
      node["missing"] = true;
    }
    assignments.push_back(std::move(node));
  }
  root["assignments"] = std::move(assignments);

  ordered_json workstation;
  ordered_json wsTrees = ordered_json::array();
  {
    auto wq = store->Prepare("SELECT tree_id FROM workstation_trees ORDER BY position");
    while (wq.Step()) {
      if (const TreeRow* tree = catalog.Tree(wq.Int(0))) wsTrees.push_back(tree->name);
    }
  }
  workstation["trees"] = std::move(wsTrees);
  ordered_json mappings = ordered_json::array();
  {
    auto mq = store->Prepare("SELECT drive, volume_id, path FROM drive_mappings ORDER BY drive");
    while (mq.Step()) {
      const VolumeRow* volume = catalog.Volume(mq.Int(1));
      ordered_json node;
      node["drive"] = mq.Text(0) + ":";
      node["server"] = catalog.Server(volume->serverId)->name;
      node["volume"] = volume->name;
      std::string path = mq.Text(2);
      std::replace(path.begin(), path.end(), '\\', '/');
      if (!path.empty()) node["path"] = path;
      mappings.push_back(std::move(node));
    }
  }
  workstation["mappings"] = std::move(mappings);
  root["workstation"] = std::move(workstation);
  return root.dump(2) + "\n";
}

}  // namespace sim
