// The network written back as the JSON description it can be loaded from.

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "formats/rights_text.h"
#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

ordered_json ObjectJson(const ObjectIndex& objects, const Catalog& catalog, std::int64_t treeId,
                        std::int64_t id) {
  const ObjectRow* row = objects.Find(id);
  ordered_json node = {{"name", row->name}, {"class", row->objectClass}, {"id", id}};
  if (const VolumeRow* volume = catalog.Volume(row->volumeId)) {
    node["server"] = catalog.Server(volume->serverId)->name;
    node["volume"] = volume->name;
  }
  for (std::int64_t child : objects.Children(treeId, id)) {
    node["children"].push_back(ObjectJson(objects, catalog, treeId, child));
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

// A rights text, or a number when the mask has bits no word names.
ordered_json RightsJson(std::uint16_t rights) {
  const std::string words = formats::BuildRightsText(rights);
  return formats::RightsBitsFromText(words, nullptr) == rights ? ordered_json(words)
                                                               : ordered_json(rights);
}

}  // namespace

std::string ExportNetworkJson(const fs::path& folder) {
  auto store = Store::Open(folder);
  Catalog catalog;
  catalog.Load(*store);
  ObjectIndex objects;
  objects.Load(*store);
  const auto list = ordered_json::array();
  ordered_json root = {{"trees", list}, {"servers", list}, {"assignments", list}};
  for (const TreeRow& tree : catalog.Trees()) {
    ordered_json node = {{"name", tree.name}, {"objects", list}};
    for (std::int64_t id : objects.Children(tree.id, 0)) {
      node["objects"].push_back(ObjectJson(objects, catalog, tree.id, id));
    }
    root["trees"].push_back(std::move(node));
  }

  std::map<std::int64_t, std::string> bindery;  // id -> name
  for (const ServerRow& server : catalog.Servers()) {
    ordered_json node = {{"name", server.name}};
    if (const TreeRow* tree = catalog.Tree(server.treeId)) node["tree"] = tree->name;
    node["major"] = server.major;
    node["minor"] = server.minor;
    node["up"] = server.up;
    auto q = store->Prepare(
        "SELECT id, name, type FROM bindery WHERE server_id = ?1 ORDER BY name_key, type");
    for (q.Bind(1, server.id); q.Step();) {
      node["bindery"].push_back({{"name", q.Text(1)}, {"type", q.Int(2)}, {"id", q.Int(0)}});
      bindery[q.Int(0)] = q.Text(1);
    }
    node["volumes"] = list;
    for (const VolumeRow& volume : catalog.Volumes()) {
      if (volume.serverId != server.id) continue;
      std::vector<std::string> directories, files;
      ListVolume(volume.root, &directories, &files);
      node["volumes"].push_back({{"name", volume.name},
                                 {"number", volume.number},
                                 {"directories", directories},
                                 {"files", files}});
    }
    root["servers"].push_back(std::move(node));
  }

  FolderResolver folders;
  for (auto q = store->Prepare("SELECT volume_id, dir, object_id, rights FROM trustees "
                               "ORDER BY volume_id, dir_key, id");
       q.Step();) {
    const VolumeRow* volume = catalog.Volume(q.Int(0));
    const ServerRow* server = catalog.Server(volume->serverId);
    const std::string dir = q.Text(1);
    ordered_json node = {{"server", server->name}, {"volume", volume->name}, {"directory", dir}};
    const std::int64_t id = q.Int(2);
    if (const ObjectRow* row = objects.Find(id)) {
      node["object"] = objects.Dotted(id);
      if (row->treeId != server->treeId) node["tree"] = catalog.Tree(row->treeId)->name;
    } else if (auto found = bindery.find(id); found != bindery.end()) {
      node["bindery"] = found->second;
    } else {
      continue;  // a trustee that no longer exists cannot be described
    }
    node["rights"] = RightsJson(static_cast<std::uint16_t>(q.Int(3)));
    auto components = dir.empty() ? std::vector<std::string>{} : text::Split(dir, "/");
    if (!folders.Resolve(volume->root, components, false)) node["missing"] = true;
    root["assignments"].push_back(std::move(node));
  }
  // Left out when there are none, so that a network without filters exports as before.
  if (store->HasFilters()) {
    for (auto q = store->Prepare(
             "SELECT volume_id, path, rights FROM filters ORDER BY volume_id, path_key");
         q.Step();) {
      const VolumeRow* volume = catalog.Volume(q.Int(0));
      ordered_json node = {{"server", catalog.Server(volume->serverId)->name},
                           {"volume", volume->name},
                           {"path", q.Text(1)},
                           {"rights", RightsJson(static_cast<std::uint16_t>(q.Int(2)))}};
      // A hidden entry is not exported, nor is one removed from the folders since.
      if (!folders.Resolve(volume->root, text::Split(q.Text(1), "/"), false)) {
        node["missing"] = true;
      }
      root["filters"].push_back(std::move(node));
    }
  }

  ordered_json& workstation = root["workstation"] = {{"trees", list}, {"mappings", list}};
  for (auto q = store->Prepare("SELECT tree_id FROM workstation_trees ORDER BY position");
       q.Step();) {
    if (const TreeRow* tree = catalog.Tree(q.Int(0))) workstation["trees"].push_back(tree->name);
  }
  for (auto q = store->Prepare("SELECT drive, volume_id, path FROM drive_mappings ORDER BY drive");
       q.Step();) {
    const VolumeRow* volume = catalog.Volume(q.Int(1));
    ordered_json node = {{"drive", q.Text(0) + ":"},
                         {"server", catalog.Server(volume->serverId)->name},
                         {"volume", volume->name}};
    std::string path = q.Text(2);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!path.empty()) node["path"] = path;
    workstation["mappings"].push_back(std::move(node));
  }
  return root.dump(2) + "\n";
}

}  // namespace sim
