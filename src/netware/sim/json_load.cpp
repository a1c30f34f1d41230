// A JSON description of a network, loaded in one transaction: a refused description leaves
// neither rows nor folders behind.

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

#include "netware/sim/controls.h"
#include "netware/sim/json_check.h"
#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using namespace description;

class Loader {
 public:
  Loader(Store& store, std::vector<fs::path>& created)
      : store_(store), created_(created), ids_(store) {}

  void Load(const json& root) {
    Check(root, "description", "");
    catalog_.Load(store_);
    Each(root, "trees", "", &Loader::LoadTree);
    Each(root, "servers", "", &Loader::LoadServer);
    Each(root, "trees", "", &Loader::LoadTreeObjects);
    Each(root, "assignments", "", &Loader::LoadAssignment);
    Each(root, "filters", "", &Loader::LoadFilter);
    if (root.contains("workstation")) LoadWorkstation(root["workstation"], "workstation");
  }

 private:
  // Loads every item of the list `key`, if any, with `load(item, its place, args...)`.
  template <typename... Params, typename... Args>
  void Each(const json& node, const char* key, const std::string& place,
            void (Loader::*load)(const json&, const std::string&, Params...), Args&&... args) {
    if (!node.contains(key)) return;
    const json& list = node[key];
    for (std::size_t i = 0; i < list.size(); ++i) {
      (this->*load)(list[i], Index(Field(place, key), i), args...);
    }
  }
  // ---- trees and objects ----

  void LoadTree(const json& node, const std::string& place) {
    Check(node, "tree", place);
    std::string name = Text(node, "name");
    if (catalog_.TreeByName(name) != nullptr) {
      if (newTrees_.count(text::Fold(name)) > 0) {
        Fail(Field(place, "name"), "the tree " + text::Quote(name) + " is described twice");
      }
      return;  // an existing tree takes the new objects
    }
    AddTree(store_, name);
    newTrees_.insert(text::Fold(name));
    catalog_.Load(store_);
  }

  void LoadTreeObjects(const json& node, const std::string& place) {
    Each(node, "objects", place, &Loader::LoadObject, *catalog_.TreeByName(Text(node, "name")),
         std::int64_t{0}, std::string(), std::vector<std::string>());
  }

  std::vector<std::string> ObjectPathOf(std::int64_t id) {
    std::vector<std::string> path;
    for (auto row = GetObject(store_, id); row; row = GetObject(store_, row->parentId)) {
      path.insert(path.begin(), row->name);
    }
    return path;
  }

  // An entry of a tree's "objects" (parent 0) stands below [Root] or in its "container".
  void LoadObject(const json& node, const std::string& place, const TreeRow& tree,
                  std::int64_t parent, std::string parentClass, std::vector<std::string> path) {
    Check(node, "object", place);
    if (parent == 0 && node.contains("container")) {
      std::string container = Text(node, "container");
      auto leafFirst = text::Split(container, ".");
      if (std::find(leafFirst.begin(), leafFirst.end(), "") != leafFirst.end()) {
        Fail(Field(place, "container"), text::Quote(container) + " is no dotted name");
      }
      parent = FindObject(store_, tree.id, {leafFirst.rbegin(), leafFirst.rend()});
      if (parent == 0) {
        Fail(Field(place, "container"),
             "there is no container " + text::Quote(container) + " in the tree " + tree.name);
      }
      parentClass = GetObject(store_, parent)->objectClass;
      path = ObjectPathOf(parent);
    }
    std::string name = Text(node, "name");
    std::string givenClass = Text(node, "class");
    auto known = std::find_if(std::begin(kClasses), std::end(kClasses), [&](const char* c) {
      return text::Fold(c) == text::Fold(givenClass);
    });
    if (known == std::end(kClasses)) Fail(place, "unknown class " + text::Quote(givenClass));
    const std::string objectClass = *known;
    if (auto why = Placement(objectClass, parentClass); !why.empty()) Fail(place, why);
    {
      auto q = store_.Prepare(
          "SELECT name FROM objects WHERE tree_id = ?1 AND parent_id = ?2 AND name_key = ?3");
      q.Bind(1, tree.id).Bind(2, parent).Bind(3, text::Fold(name));
      if (q.Step()) {
        Fail(place, "duplicate name: " + text::Quote(q.Text(0)) + " already stands in " +
                        (path.empty() ? std::string("[Root]") : text::Join(path, "\\")) +
                        " of the tree " + tree.name);
      }
    }
    std::int64_t volumeId = 0;
    if (objectClass == "Volume") {
      std::string server = Needed(node, "server", place), volume = Needed(node, "volume", place);
      const ServerRow* serverRow = catalog_.ServerByName(server);
      const VolumeRow* volumeRow =
          serverRow != nullptr ? catalog_.VolumeByName(serverRow->id, volume) : nullptr;
      if (volumeRow == nullptr) {
        Fail(place, "there is no volume " + text::Quote(server + "/" + volume));
      }
      volumeId = volumeRow->id;
    } else if (node.contains("server") || node.contains("volume")) {
      Fail(place, "only a Volume names a server and a volume");
    }
    path.push_back(name);
    std::uint32_t id = TakeId(node, place, NdsIdentity(tree.name, path));
    AddObject(store_, id, tree.id, parent, name, objectClass, volumeId);
    Each(node, "children", place, &Loader::LoadObject, tree, std::int64_t{id}, objectClass, path);
  }

  // The "id" given, or a new one from what names the object.
  std::uint32_t TakeId(const json& node, const std::string& place, std::string_view identity) {
    if (!node.contains("id")) return ids_.Allocate(identity);
    auto id = static_cast<std::uint32_t>(Number(node, "id", 0));
    if (!ids_.Take(id)) Fail(Field(place, "id"), "the ID " + std::to_string(id) + " is in use");
    return id;
  }

  // ---- servers, volumes, binderies ----

  void LoadServer(const json& node, const std::string& place) {
    Check(node, "server", place);
    std::string name = Text(node, "name");
    if (const ServerRow* existing = catalog_.ServerByName(name)) {
      Fail(Field(place, "name"), "duplicate name: the server " + existing->name + " exists");
    }
    std::int64_t treeId = 0;
    if (node.contains("tree") && !node["tree"].is_null()) {
      std::string tree = Text(node, "tree");
      const TreeRow* row = catalog_.TreeByName(tree);
      if (row == nullptr) Fail(Field(place, "tree"), "there is no tree " + text::Quote(tree));
      treeId = row->id;
    }
    const int major = static_cast<int>(Number(node, "major", 4));
    const std::int64_t serverId =
        AddServer(store_, name, treeId, major, static_cast<int>(Number(node, "minor", 0)),
                  Flag(node, "up", true));
    catalog_.Load(store_);
    if (major > 3 && node.contains("bindery") && !node["bindery"].empty()) {
      Fail(Field(place, "bindery"), "only a server of version 3 or lower has a bindery");
    }
    Each(node, "bindery", place, &Loader::LoadBinderyObject, serverId, name);
    for (const fs::path& folder :
         {store_.Folder() / "volumes", store_.Folder() / "volumes" / name}) {
      if (Make([&] { return MakeRealFolder(folder); }, place)) created_.push_back(folder);
    }
    Each(node, "volumes", place, &Loader::LoadVolume, serverId, name);
  }

  void LoadBinderyObject(const json& node, const std::string& place, std::int64_t serverId,
                         const std::string& serverName) {
    Check(node, "bindery", place);
    std::string name = Text(node, "name");
    int type = node.contains("type") ? BinderyType(node["type"]) : 0x0100;
    if (store_.Execute("SELECT 1 FROM bindery WHERE server_id = ?1 AND name_key = ?2 AND type = ?3",
                       serverId, text::Fold(name), type)) {
      Fail(place, "duplicate name: " + text::Quote(name) + " is in the bindery");
    }
    store_.Execute(
        "INSERT INTO bindery(id, server_id, name, name_key, type) VALUES(?1,?2,?3,?4,?5)",
        TakeId(node, place, BinderyIdentity(serverName, name, type)), serverId, name,
        text::Fold(name), type);
  }

  void LoadVolume(const json& node, const std::string& place, std::int64_t serverId,
                  const std::string& serverName) {
    Check(node, "volume", place);
    std::string name = Text(node, "name");
    if (catalog_.VolumeByName(serverId, name) != nullptr) {
      Fail(Field(place, "name"), "duplicate name: the volume " + text::Quote(name) + " exists");
    }
    // Unnumbered, a volume takes its position in the list: the volumes loaded before it.
    auto number = Number(node, "number",
                         std::count_if(catalog_.Volumes().begin(), catalog_.Volumes().end(),
                                       [&](const VolumeRow& v) { return v.serverId == serverId; }));
    if (catalog_.VolumeByNumber(serverId, static_cast<std::uint32_t>(number)) != nullptr) {
      Fail(Field(place, "number"),
           "another volume of the server has the number " + std::to_string(number));
    }
    AddVolume(store_, serverId, name, number);
    catalog_.Load(store_);
    fs::path root = store_.VolumeFolder(serverName, name);
    MakeDirectories(root, {}, place);
    Each(node, "directories", place, &Loader::LoadDirectory, root);
    Each(node, "files", place, &Loader::LoadFile, root);
  }

  void LoadDirectory(const json& item, const std::string& place, const fs::path& root) {
    MakeDirectories(root, Components(item.get<std::string>()), place);
  }

  void LoadFile(const json& item, const std::string& place, const fs::path& root) {
    auto components = Components(item.get<std::string>());
    if (components.empty()) Fail(place, "names no file");
    std::string file = components.back();
    components.pop_back();
    auto stored = MakeDirectories(root, components, place);
    fs::path folder = root;
    for (const auto& part : stored) folder /= part;
    stored.push_back(file);
    if (folders_.Resolve(root, stored, false, /*hidden=*/true)) return;
    Make([&] { return MakeRealFile(folder / file); }, place);
    created_.push_back(folder / file);
    folders_.Added(folder, file);
  }

  // A folder made, or a link in its way refused at `place`.
  template <typename Making>
  auto Make(Making making, const std::string& place) -> decltype(making()) {
    try {
      return making();
    } catch (const SimError& error) {
      Fail(place, error.what());
    }
  }

  std::vector<std::string> MakeDirectories(const fs::path& root,
                                           const std::vector<std::string>& components,
                                           const std::string& place) {
    return Make([&] { return folders_.MakeDirectories(root, components, &created_); }, place);
  }

  // ---- assignments ----

  // The "server" and "volume" an entry names; both must exist.
  std::pair<const ServerRow*, const VolumeRow*> ServerVolume(const json& node,
                                                             const std::string& place) {
    std::string serverName = Text(node, "server");
    const ServerRow* server = catalog_.ServerByName(serverName);
    if (server == nullptr) {
      Fail(Field(place, "server"), "there is no server " + text::Quote(serverName));
    }
    std::string volumeName = Text(node, "volume");
    const VolumeRow* volume = catalog_.VolumeByName(server->id, volumeName);
    if (volume == nullptr) {
      Fail(Field(place, "volume"),
           "the server " + server->name + " has no volume " + text::Quote(volumeName));
    }
    return {server, volume};
  }

  // The stored names of the directory or file the field `key` names on the volume (as given
  // when it is "missing"); refused at the field, as no `what`, when it is not there.
  std::vector<std::string> Entry(const json& node, const std::string& place, const char* key,
                                 const ServerRow& server, const VolumeRow& volume,
                                 const std::string& what) {
    const std::string given = Text(node, key);
    auto components = Components(given);
    if (auto stored = folders_.Resolve(volume.root, components, false, /*hidden=*/true)) {
      return *stored;
    }
    if (!Flag(node, "missing", false)) {
      Fail(Field(place, key), "there is no " + what + " " + text::Quote(given) + " on " +
                                  server.name + "/" + volume.name);
    }
    return components;
  }

  void LoadAssignment(const json& node, const std::string& place) {
    Check(node, "assignment", place);
    const auto [server, volume] = ServerVolume(node, place);
    // A file of the volume takes trustees as a directory does.
    const auto stored = Entry(node, place, "directory", *server, *volume, "directory");
    std::int64_t objectId = TrusteeId(node, place, *server);
    const json& rights = node["rights"];
    if (store_.Execute(
            "SELECT 1 FROM trustees WHERE volume_id = ?1 AND dir_key = ?2 AND object_id = ?3",
            volume->id, DirectoryKey(stored), objectId)) {
      Fail(place, "duplicate assignment: the same trustee on the same directory");
    }
    AddTrustee(store_, volume->id, text::Join(stored, "/"), objectId, Rights(rights));
  }

  void LoadFilter(const json& node, const std::string& place) {
    Check(node, "filter", place);
    const auto [server, volume] = ServerVolume(node, place);
    if (Components(Text(node, "path")).empty()) {
      Fail(Field(place, "path"), "the volume root takes no filter");
    }
    const auto stored = Entry(node, place, "path", *server, *volume, "directory or file");
    if (store_.HasFilters() &&
        store_.Execute("SELECT 1 FROM filters WHERE volume_id = ?1 AND path_key = ?2", volume->id,
                       DirectoryKey(stored))) {
      Fail(place, "duplicate filter: the same directory or file has one already");
    }
    SetFilter(store_, volume->id, text::Join(stored, "/"), Rights(node["rights"]));
  }

  std::int64_t TrusteeId(const json& node, const std::string& place, const ServerRow& server) {
    if (node.contains("object") == node.contains("bindery")) {
      Fail(place, "name the trustee by either \"object\" or \"bindery\"");
    }
    if (node.contains("bindery")) {
      std::string name = Text(node, "bindery");
      auto type = node.contains("type") ? BinderyType(node["type"]) : 0xFFFF;
      if (std::int64_t id = FindBinderyObject(store_, server.id, name, type)) return id;
      Fail(Field(place, "bindery"),
           "the bindery of " + server.name + " holds no " + text::Quote(name));
    }
    std::string dotted = Text(node, "object");
    const TreeRow* tree = catalog_.Tree(server.treeId);
    if (node.contains("tree")) {
      std::string treeName = Text(node, "tree");
      tree = catalog_.TreeByName(treeName);
      if (tree == nullptr) Fail(Field(place, "tree"), "there is no tree " + text::Quote(treeName));
    } else if (tree == nullptr) {
      Fail(place, "the server " + server.name + " is in no tree; name the object's \"tree\"");
    }
    auto leafFirst = text::Split(dotted, ".");
    std::int64_t id = 0;
    if (std::find(leafFirst.begin(), leafFirst.end(), "") == leafFirst.end()) {
      id = FindObject(store_, tree->id, {leafFirst.rbegin(), leafFirst.rend()});
    }
    if (id == 0) {
      Fail(Field(place, "object"),
           "there is no object " + text::Quote(dotted) + " in the tree " + tree->name);
    }
    return id;
  }

  // ---- the workstation ----

  void LoadWorkstation(const json& node, const std::string& place) {
    Check(node, "workstation", place);
    Each(node, "trees", place, &Loader::LoadWorkstationTree);
    Each(node, "mappings", place, &Loader::LoadMapping);
  }

  void LoadWorkstationTree(const json& item, const std::string& place) {
    const TreeRow* tree = catalog_.TreeByName(item.get<std::string>());
    if (tree == nullptr) Fail(place, "there is no tree " + text::Quote(item.get<std::string>()));
    ConnectTree(store_, tree->id);
  }

  void LoadMapping(const json& node, const std::string& place) {
    Check(node, "mapping", place);
    std::string drive = Text(node, "drive");
    std::string letter = DriveLetter(drive);
    if (letter.empty()) Fail(Field(place, "drive"), text::Quote(drive) + " is no drive letter");
    const auto [server, volume] = ServerVolume(node, place);
    std::string path = Text(node, "path");
    auto components = Components(path);
    auto stored = folders_.Resolve(volume->root, components, true);
    if (!stored) Fail(Field(place, "path"), "there is no directory " + text::Quote(path));
    if (store_.Execute("SELECT 1 FROM drive_mappings WHERE drive = ?1", letter)) {
      Fail(Field(place, "drive"), "the drive " + letter + ": is already mapped");
    }
    store_.Execute("INSERT INTO drive_mappings(drive, volume_id, path) VALUES(?1, ?2, ?3)", letter,
                   volume->id, text::Join(*stored, "\\"));
  }

  Store& store_;
  std::vector<fs::path>& created_;
  IdAllocator ids_;
  Catalog catalog_;
  FolderResolver folders_;
  std::set<std::string> newTrees_;  // folded
};

std::string JsonMessage(const std::exception& error) {
  std::string message = error.what();
  if (message.rfind("[json.exception.", 0) == 0) {
    auto end = message.find("] ");
    if (end != std::string::npos) message.erase(0, end + 2);
  }
  return "The description is not valid JSON: " + message;
}

}  // namespace

void LoadNetworkJson(const fs::path& folder, const std::string& description) {
  json root;
  try {
    root = json::parse(description);
  } catch (const json::exception& error) {
    throw SimError(JsonMessage(error));
  }
  WriteNetwork(folder, [&](Store& store, std::vector<fs::path>& created) {
    try {
      Loader(store, created).Load(root);
    } catch (const json::exception& jsonError) {
      throw SimError(JsonMessage(jsonError));
    }
  });
}

}  // namespace sim
