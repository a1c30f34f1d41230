// A JSON description of a network, loaded in one transaction: a refused description leaves
// neither rows nor folders behind.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool IsContainer(const std::string& objectClass) {
  return objectClass == "Country" || objectClass == "Locality" || objectClass == "Organization" ||
         objectClass == "Organizational Unit";
}

// Why `objectClass` may not stand below `parentClass` ("" for [Root]); "" when it may.
std::string Placement(const std::string& objectClass, const std::string& parentClass) {
  if (!parentClass.empty() && !IsContainer(parentClass)) {
    return "a " + parentClass + " cannot hold other objects";
  }
  if (objectClass == "Country" && !parentClass.empty()) {
    return "a Country stands only directly below [Root]";
  }
  if (objectClass == "Organization" && !parentClass.empty() && parentClass != "Country" &&
      parentClass != "Locality") {
    return "an Organization stands below [Root], a Country or a Locality";
  }
  if (objectClass == "Organizational Unit" && parentClass != "Organization" &&
      parentClass != "Organizational Unit" && parentClass != "Locality") {
    return "an Organizational Unit stands below an Organization, a Locality or another unit";
  }
  if (!IsContainer(objectClass) && parentClass.empty()) {
    return "a " + objectClass + " needs a container; it cannot stand directly below [Root]";
  }
  return "";
}

// Why a server, volume or tree name is refused; "" when it is fine.
std::string CheckPlainName(const std::string& name, std::size_t maxLength) {
  if (name.empty()) return "the name is empty";
  if (name.size() > maxLength) {
    return "the name " + text::Quote(name) + " is longer than " + std::to_string(maxLength) +
           " characters";
  }
  for (char c : name) {
    if (static_cast<unsigned char>(c) <= 0x20 ||
        std::string_view("\\/:.,;*?\"<>|=[]").find(c) != std::string_view::npos) {
      return "the name " + text::Quote(name) + " holds the character " +
             text::Quote(std::string(1, c));
    }
  }
  if (!text::FitsCp1252(name)) {
    return "the name " + text::Quote(name) + " holds a character without a Windows-1252 code";
  }
  return "";
}

std::string CheckObjectName(const std::string& name) {
  if (name.empty()) return "the name is empty";
  if (name.size() > 64) return "the name " + text::Quote(name) + " is longer than 64 characters";
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '.' || c == '\\' || c == '=') {
      return "the name " + text::Quote(name) + " holds the character " +
             text::Quote(std::string(1, c));
    }
  }
  if (!text::FitsCp1252(name)) {
    return "the name " + text::Quote(name) + " holds a character without a Windows-1252 code";
  }
  return "";
}

class Loader {
 public:
  Loader(Store& store, std::vector<fs::path>& created)
      : store_(store), created_(created), ids_(store) {}

  void Load(const json& root) {
    if (!root.is_object()) Fail("", "the description must be a JSON object");
    Keys(root, "", {"trees", "servers", "assignments", "workstation"});
    catalog_.Load(store_);
    const json* trees = Array(root, "trees", "");
    if (trees != nullptr) {
      for (std::size_t i = 0; i < trees->size(); ++i) LoadTree((*trees)[i], Index("trees", i));
    }
    if (const json* servers = Array(root, "servers", "")) {
      for (std::size_t i = 0; i < servers->size(); ++i) {
        LoadServer((*servers)[i], Index("servers", i));
      }
    }
    if (trees != nullptr) {
      for (std::size_t i = 0; i < trees->size(); ++i) {
        LoadTreeObjects((*trees)[i], Index("trees", i));
      }
    }
    if (const json* assignments = Array(root, "assignments", "")) {
      for (std::size_t i = 0; i < assignments->size(); ++i) {
        LoadAssignment((*assignments)[i], Index("assignments", i));
      }
    }
    if (root.contains("workstation")) LoadWorkstation(root["workstation"], "workstation");
  }

 private:
  [[noreturn]] void Fail(const std::string& place, const std::string& message) {
    throw SimError(place.empty() ? message : place + ": " + message);
  }

  static std::string Index(const std::string& place, std::size_t i) {
    return place + "[" + std::to_string(i) + "]";
  }
  static std::string Field(const std::string& place, const char* key) {
    return place.empty() ? key : place + "." + key;
  }

  void Keys(const json& node, const std::string& place, std::initializer_list<const char*> known) {
    for (const auto& item : node.items()) {
      if (std::find_if(known.begin(), known.end(),
                       [&](const char* k) { return item.key() == k; }) == known.end()) {
        Fail(place, "unknown field " + text::Quote(item.key()));
      }
    }
  }

  const json* Array(const json& node, const char* key, const std::string& place) {
    if (!node.contains(key)) return nullptr;
    const json& value = node[key];
    if (!value.is_array()) Fail(Field(place, key), "must be a list");
    return &value;
  }

  const json& Object(const json& node, const std::string& place) {
    if (!node.is_object()) Fail(place, "must be a JSON object");
    return node;
  }

  std::string String(const json& node, const char* key, const std::string& place,
                     bool required = true, const std::string& otherwise = "") {
    if (!node.contains(key)) {
      if (required) Fail(place, "the field " + text::Quote(key) + " is missing");
      return otherwise;
    }
    if (!node[key].is_string()) Fail(Field(place, key), "must be a text");
    return node[key].get<std::string>();
  }

  std::int64_t Integer(const json& node, const char* key, const std::string& place,
                       std::int64_t otherwise, std::int64_t low, std::int64_t high) {
    if (!node.contains(key)) return otherwise;
    const json& value = node[key];
    if (!value.is_number_integer()) Fail(Field(place, key), "must be a whole number");
    std::int64_t number = value.is_number_unsigned()
                              ? static_cast<std::int64_t>(value.get<std::uint64_t>())
                              : value.get<std::int64_t>();
    if (number < low || number > high) {
      Fail(Field(place, key), std::to_string(number) + " is not between " + std::to_string(low) +
                                  " and " + std::to_string(high));
    }
    return number;
  }

  bool Boolean(const json& node, const char* key, const std::string& place, bool otherwise) {
    if (!node.contains(key)) return otherwise;
    if (!node[key].is_boolean()) Fail(Field(place, key), "must be true or false");
    return node[key].get<bool>();
  }

  // ---- trees and objects ----

  void LoadTree(const json& node, const std::string& place) {
    Object(node, place);
    Keys(node, place, {"name", "objects"});
    std::string name = String(node, "name", place);
    if (auto why = CheckPlainName(name, 32); !why.empty()) Fail(Field(place, "name"), why);
    if (catalog_.TreeByName(name) != nullptr) {
      if (std::find(newTrees_.begin(), newTrees_.end(), text::Fold(name)) != newTrees_.end()) {
        Fail(Field(place, "name"), "the tree " + text::Quote(name) + " is described twice");
      }
      return;  // an existing tree takes the new objects
    }
    store_.Prepare("INSERT INTO trees(name, name_key) VALUES(?1, ?2)")
        .Bind(1, name)
        .Bind(2, text::Fold(name))
        .Run();
    newTrees_.push_back(text::Fold(name));
    catalog_.Load(store_);
  }

  void LoadTreeObjects(const json& node, const std::string& place) {
    const TreeRow* tree = catalog_.TreeByName(String(node, "name", place));
    const json* objects = Array(node, "objects", place);
    if (objects == nullptr) return;
    for (std::size_t i = 0; i < objects->size(); ++i) {
      const json& object = (*objects)[i];
      std::string objectPlace = Index(Field(place, "objects"), i);
      Object(object, objectPlace);
      std::int64_t parent = 0;
      std::string parentClass;
      std::vector<std::string> parentPath;
      if (object.contains("container")) {
        std::string container = String(object, "container", objectPlace);
        auto leafFirst = text::Split(container, ".");
        if (std::find(leafFirst.begin(), leafFirst.end(), "") != leafFirst.end()) {
          Fail(Field(objectPlace, "container"), text::Quote(container) + " is no dotted name");
        }
        parentPath.assign(leafFirst.rbegin(), leafFirst.rend());
        parent = FindObject(store_, tree->id, parentPath);
        if (parent == 0) {
          Fail(Field(objectPlace, "container"),
               "there is no container " + text::Quote(container) + " in the tree " + tree->name);
        }
        auto row = GetObject(store_, parent);
        parentClass = row->objectClass;
        parentPath = ObjectPathOf(parent);
      }
      LoadObject(object, objectPlace, *tree, parent, parentClass, parentPath);
    }
  }

  std::vector<std::string> ObjectPathOf(std::int64_t id) {
    std::vector<std::string> path;
    while (id != 0) {
      auto row = GetObject(store_, id);
      if (!row) break;
      path.push_back(row->name);
      id = row->parentId;
    }
    std::reverse(path.begin(), path.end());
    return path;
  }

  void LoadObject(const json& node, const std::string& place, const TreeRow& tree,
                  std::int64_t parent, const std::string& parentClass,
                  std::vector<std::string> path) {
    Object(node, place);
    Keys(node, place, {"name", "class", "children", "container", "server", "volume", "id"});
    std::string name = String(node, "name", place);
    if (auto why = CheckObjectName(name); !why.empty()) Fail(Field(place, "name"), why);
    std::string givenClass = String(node, "class", place);
    std::string objectClass;
    for (const char* known : kClasses) {
      if (text::Fold(known) == text::Fold(givenClass)) objectClass = known;
    }
    if (objectClass.empty()) Fail(place, "unknown class " + text::Quote(givenClass));
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
      std::string server = String(node, "server", place);
      std::string volume = String(node, "volume", place);
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
    std::uint32_t id = 0;
    if (node.contains("id")) {
      id = static_cast<std::uint32_t>(Integer(node, "id", place, 0, 1, 0xFFFFFFFE));
      if (!ids_.Take(id)) Fail(Field(place, "id"), "the ID " + std::to_string(id) + " is in use");
    } else {
      id = ids_.Allocate(NdsIdentity(tree.name, path));
    }
    auto q = store_.Prepare(
        "INSERT INTO objects(id, tree_id, parent_id, name, name_key, class, volume_id) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    q.Bind(1, id).Bind(2, tree.id).Bind(3, parent).Bind(4, name).Bind(5, text::Fold(name));
    q.Bind(6, objectClass);
    if (volumeId != 0) {
      q.Bind(7, volumeId);
    } else {
      q.BindNull(7);
    }
    q.Run();
    if (const json* children = Array(node, "children", place)) {
      for (std::size_t i = 0; i < children->size(); ++i) {
        LoadObject((*children)[i], Index(Field(place, "children"), i), tree, id, objectClass, path);
      }
    }
  }

  // ---- servers, volumes, binderies ----

  void LoadServer(const json& node, const std::string& place) {
    Object(node, place);
    Keys(node, place, {"name", "tree", "major", "minor", "up", "bindery", "volumes"});
    std::string name = String(node, "name", place);
    if (auto why = CheckPlainName(name, 47); !why.empty()) Fail(Field(place, "name"), why);
    if (const ServerRow* existing = catalog_.ServerByName(name)) {
      Fail(Field(place, "name"), "duplicate name: the server " + existing->name + " exists");
    }
    std::int64_t treeId = 0;
    if (node.contains("tree") && !node["tree"].is_null()) {
      std::string tree = String(node, "tree", place);
      const TreeRow* row = catalog_.TreeByName(tree);
      if (row == nullptr) Fail(Field(place, "tree"), "there is no tree " + text::Quote(tree));
      treeId = row->id;
    }
    int major = static_cast<int>(Integer(node, "major", place, 4, 1, 255));
    int minor = static_cast<int>(Integer(node, "minor", place, 0, 0, 255));
    bool up = Boolean(node, "up", place, true);
    auto q = store_.Prepare(
        "INSERT INTO servers(name, name_key, tree_id, major, minor, up) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    q.Bind(1, name).Bind(2, text::Fold(name)).Bind(4, major).Bind(5, minor).Bind(6, up ? 1 : 0);
    if (treeId != 0) {
      q.Bind(3, treeId);
    } else {
      q.BindNull(3);
    }
    q.Run();
    catalog_.Load(store_);
    const ServerRow* server = catalog_.ServerByName(name);
    std::int64_t serverId = server->id;
    if (const json* bindery = Array(node, "bindery", place)) {
      if (major > 3 && !bindery->empty()) {
        Fail(Field(place, "bindery"), "only a server of version 3 or lower has a bindery");
      }
      for (std::size_t i = 0; i < bindery->size(); ++i) {
        LoadBinderyObject((*bindery)[i], Index(Field(place, "bindery"), i), serverId, name);
      }
    }
    for (const fs::path& folder :
         {store_.Folder() / "volumes", store_.Folder() / "volumes" / name}) {
      if (Make([&] { return MakeRealFolder(folder); }, place)) created_.push_back(folder);
    }
    if (const json* volumes = Array(node, "volumes", place)) {
      for (std::size_t i = 0; i < volumes->size(); ++i) {
        LoadVolume((*volumes)[i], Index(Field(place, "volumes"), i), serverId, name, i);
      }
    }
  }

  static int BinderyType(const json& value) {
    if (value.is_string()) {
      std::string folded = text::Fold(value.get<std::string>());
      if (folded == "USER") return 0x0100;
      if (folded == "GROUP") return 0x0200;
      return -1;
    }
    if (value.is_number_integer()) {
      auto type = value.get<std::int64_t>();
      return type > 0 && type < 0xFFFF ? static_cast<int>(type) : -1;
    }
    return -1;
  }

  void LoadBinderyObject(const json& node, const std::string& place, std::int64_t serverId,
                         const std::string& serverName) {
    Object(node, place);
    Keys(node, place, {"name", "type", "id"});
    std::string name = String(node, "name", place);
    if (auto why = CheckPlainName(name, 47); !why.empty()) Fail(Field(place, "name"), why);
    int type = node.contains("type") ? BinderyType(node["type"]) : 0x0100;
    if (type < 0) Fail(Field(place, "type"), "must be \"user\", \"group\" or a number");
    {
      auto q = store_.Prepare(
          "SELECT 1 FROM bindery WHERE server_id = ?1 AND name_key = ?2 AND type = ?3");
      q.Bind(1, serverId).Bind(2, text::Fold(name)).Bind(3, type);
      if (q.Step()) Fail(place, "duplicate name: " + text::Quote(name) + " is in the bindery");
    }
    std::uint32_t id = 0;
    if (node.contains("id")) {
      id = static_cast<std::uint32_t>(Integer(node, "id", place, 0, 1, 0xFFFFFFFE));
      if (!ids_.Take(id)) Fail(Field(place, "id"), "the ID " + std::to_string(id) + " is in use");
    } else {
      id = ids_.Allocate(BinderyIdentity(serverName, name, type));
    }
    store_
        .Prepare(
            "INSERT INTO bindery(id, server_id, name, name_key, type) "
            "VALUES(?1, ?2, ?3, ?4, ?5)")
        .Bind(1, id)
        .Bind(2, serverId)
        .Bind(3, name)
        .Bind(4, text::Fold(name))
        .Bind(5, type)
        .Run();
  }

  std::vector<std::string> DirectoryComponents(const std::string& given, const std::string& place) {
    std::string_view rest = given;
    if (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) rest.remove_prefix(1);
    if (!rest.empty() && (rest.back() == '/' || rest.back() == '\\')) rest.remove_suffix(1);
    if (rest.empty()) return {};
    auto components = text::Split(rest, "/\\");
    for (const auto& name : components) {
      std::string why;
      if (!ValidComponent(name, &why)) Fail(place, text::Quote(given) + " holds " + why);
    }
    return components;
  }

  void LoadVolume(const json& node, const std::string& place, std::int64_t serverId,
                  const std::string& serverName, std::size_t position) {
    Object(node, place);
    Keys(node, place, {"name", "number", "directories", "files"});
    std::string name = String(node, "name", place);
    if (auto why = CheckPlainName(name, 31); !why.empty()) Fail(Field(place, "name"), why);
    if (catalog_.VolumeByName(serverId, name) != nullptr) {
      Fail(Field(place, "name"), "duplicate name: the volume " + text::Quote(name) + " exists");
    }
    auto number = static_cast<std::uint32_t>(
        Integer(node, "number", place, static_cast<std::int64_t>(position), 0, 255));
    if (catalog_.VolumeByNumber(serverId, number) != nullptr) {
      Fail(Field(place, "number"),
           "another volume of the server has the number " + std::to_string(number));
    }
    store_.Prepare("INSERT INTO volumes(server_id, name, name_key, number) VALUES(?1,?2,?3,?4)")
        .Bind(1, serverId)
        .Bind(2, name)
        .Bind(3, text::Fold(name))
        .Bind(4, number)
        .Run();
    catalog_.Load(store_);
    fs::path root = store_.VolumeFolder(serverName, name);
    MakeDirectories(root, {}, place);
    if (const json* directories = Array(node, "directories", place)) {
      for (std::size_t i = 0; i < directories->size(); ++i) {
        std::string itemPlace = Index(Field(place, "directories"), i);
        if (!(*directories)[i].is_string()) Fail(itemPlace, "must be a text");
        auto components = DirectoryComponents((*directories)[i].get<std::string>(), itemPlace);
        MakeDirectories(root, components, itemPlace);
      }
    }
    if (const json* files = Array(node, "files", place)) {
      for (std::size_t i = 0; i < files->size(); ++i) {
        std::string itemPlace = Index(Field(place, "files"), i);
        if (!(*files)[i].is_string()) Fail(itemPlace, "must be a text");
        auto components = DirectoryComponents((*files)[i].get<std::string>(), itemPlace);
        if (components.empty()) Fail(itemPlace, "names no file");
        std::string file = components.back();
        components.pop_back();
        auto stored = MakeDirectories(root, components, itemPlace);
        fs::path folder = root;
        for (const auto& part : stored) folder /= part;
        stored.push_back(file);
        if (folders_.Resolve(root, stored, false, /*hidden=*/true)) continue;
        fs::path target = folder / file;
        // O_EXCL: never opened through a link that stands in the file's place.
        int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
          std::error_code ignored;
          if (fs::is_symlink(fs::symlink_status(target, ignored))) {
            Fail(itemPlace,
                 "the file " + target.string() + " is a link, and a network never follows a link");
          }
          Fail(itemPlace, "cannot be created");
        }
        ::close(fd);
        created_.push_back(target);
        folders_.Added(folder, file);
      }
    }
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
    std::string serverName = String(node, "server", place);
    const ServerRow* server = catalog_.ServerByName(serverName);
    if (server == nullptr)
      Fail(Field(place, "server"), "there is no server " + text::Quote(serverName));
    std::string volumeName = String(node, "volume", place);
    const VolumeRow* volume = catalog_.VolumeByName(server->id, volumeName);
    if (volume == nullptr) {
      Fail(Field(place, "volume"),
           "the server " + server->name + " has no volume " + text::Quote(volumeName));
    }
    return {server, volume};
  }

  void LoadAssignment(const json& node, const std::string& place) {
    Object(node, place);
    Keys(node, place,
         {"server", "volume", "directory", "object", "bindery", "type", "tree", "rights",
          "missing"});
    const auto [server, volume] = ServerVolume(node, place);
    std::string directory = String(node, "directory", place, false);
    auto components = DirectoryComponents(directory, Field(place, "directory"));
    bool missing = Boolean(node, "missing", place, false);
    fs::path root = store_.VolumeFolder(server->name, volume->name);
    auto stored = folders_.Resolve(root, components, true, /*hidden=*/true);
    if (!stored) {
      if (!missing) {
        Fail(Field(place, "directory"), "there is no directory " + text::Quote(directory) + " on " +
                                            server->name + "/" + volume->name);
      }
      stored = components;
    }
    std::int64_t objectId = TrusteeId(node, place, *server);
    std::uint16_t rights = Rights(node, place);
    {
      auto q = store_.Prepare(
          "SELECT 1 FROM trustees WHERE volume_id = ?1 AND dir_key = ?2 AND object_id = ?3");
      q.Bind(1, volume->id).Bind(2, DirectoryKey(*stored)).Bind(3, objectId);
      if (q.Step()) Fail(place, "duplicate assignment: the same trustee on the same directory");
    }
    store_
        .Prepare(
            "INSERT INTO trustees(volume_id, dir_key, dir, object_id, rights) "
            "VALUES(?1, ?2, ?3, ?4, ?5)")
        .Bind(1, volume->id)
        .Bind(2, DirectoryKey(*stored))
        .Bind(3, text::Join(*stored, "/"))
        .Bind(4, objectId)
        .Bind(5, rights)
        .Run();
  }

  std::int64_t TrusteeId(const json& node, const std::string& place, const ServerRow& server) {
    bool byObject = node.contains("object");
    bool byBindery = node.contains("bindery");
    if (byObject == byBindery) {
      Fail(place, "name the trustee by either \"object\" or \"bindery\"");
    }
    if (byBindery) {
      std::string name = String(node, "bindery", place);
      int type = node.contains("type") ? BinderyType(node["type"]) : 0xFFFF;
      if (type < 0) Fail(Field(place, "type"), "must be \"user\", \"group\" or a number");
      auto q = store_.Prepare(
          "SELECT id FROM bindery WHERE server_id = ?1 AND name_key = ?2 "
          "AND (?3 = 65535 OR type = ?3) ORDER BY type LIMIT 1");
      q.Bind(1, server.id).Bind(2, text::Fold(name)).Bind(3, type);
      if (!q.Step()) {
        Fail(Field(place, "bindery"),
             "the bindery of " + server.name + " holds no " + text::Quote(name));
      }
      return q.Int(0);
    }
    std::string dotted = String(node, "object", place);
    const TreeRow* tree = nullptr;
    if (node.contains("tree")) {
      std::string treeName = String(node, "tree", place);
      tree = catalog_.TreeByName(treeName);
      if (tree == nullptr) Fail(Field(place, "tree"), "there is no tree " + text::Quote(treeName));
    } else {
      tree = catalog_.Tree(server.treeId);
      if (tree == nullptr) {
        Fail(place, "the server " + server.name + " is in no tree; name the object's \"tree\"");
      }
    }
    auto leafFirst = text::Split(dotted, ".");
    std::vector<std::string> rootFirst(leafFirst.rbegin(), leafFirst.rend());
    std::int64_t id = 0;
    if (std::find(leafFirst.begin(), leafFirst.end(), "") == leafFirst.end()) {
      id = FindObject(store_, tree->id, rootFirst);
    }
    if (id == 0) {
      Fail(Field(place, "object"),
           "there is no object " + text::Quote(dotted) + " in the tree " + tree->name);
    }
    return id;
  }

  std::uint16_t Rights(const json& node, const std::string& place) {
    if (!node.contains("rights")) Fail(place, "the field \"rights\" is missing");
    const json& value = node["rights"];
    if (value.is_number_integer()) {
      return static_cast<std::uint16_t>(Integer(node, "rights", place, 0, 0, 0xFFFF));
    }
    if (!value.is_string()) Fail(Field(place, "rights"), "must be a rights text or a number");
    std::string bad;
    auto mask = text::ParseRightsText(value.get<std::string>(), &bad);
    if (!mask) {
      Fail(Field(place, "rights"),
           "unknown right " + text::Quote(bad) +
               " (rights are Read, Write, Create, Delete, AccessCtrl, FileScan, Modify, "
               "Supervisor, joined by \"-\")");
    }
    return *mask;
  }

  // ---- the workstation ----

  void LoadWorkstation(const json& node, const std::string& place) {
    Object(node, place);
    Keys(node, place, {"trees", "mappings"});
    if (const json* trees = Array(node, "trees", place)) {
      for (std::size_t i = 0; i < trees->size(); ++i) {
        std::string itemPlace = Index(Field(place, "trees"), i);
        if (!(*trees)[i].is_string()) Fail(itemPlace, "must be a text");
        std::string name = (*trees)[i].get<std::string>();
        const TreeRow* tree = catalog_.TreeByName(name);
        if (tree == nullptr) Fail(itemPlace, "there is no tree " + text::Quote(name));
        store_
            .Prepare(
                "INSERT OR IGNORE INTO workstation_trees(position, tree_id) "
                "VALUES((SELECT IFNULL(MAX(position), 0) + 1 FROM workstation_trees), ?1)")
            .Bind(1, tree->id)
            .Run();
      }
    }
    if (const json* mappings = Array(node, "mappings", place)) {
      for (std::size_t i = 0; i < mappings->size(); ++i) {
        LoadMapping((*mappings)[i], Index(Field(place, "mappings"), i));
      }
    }
  }

  void LoadMapping(const json& node, const std::string& place) {
    Object(node, place);
    Keys(node, place, {"drive", "server", "volume", "path"});
    std::string drive = String(node, "drive", place);
    std::string letter = drive;
    if (!letter.empty() && letter.back() == ':') letter.pop_back();
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) {
      Fail(Field(place, "drive"), text::Quote(drive) + " is no drive letter");
    }
    letter[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
    const auto [server, volume] = ServerVolume(node, place);
    std::string path = String(node, "path", place, false);
    auto components = DirectoryComponents(path, Field(place, "path"));
    auto stored =
        folders_.Resolve(store_.VolumeFolder(server->name, volume->name), components, true);
    if (!stored) Fail(Field(place, "path"), "there is no directory " + text::Quote(path));
    {
      auto q = store_.Prepare("SELECT 1 FROM drive_mappings WHERE drive = ?1");
      q.Bind(1, letter);
      if (q.Step()) Fail(Field(place, "drive"), "the drive " + letter + ": is already mapped");
    }
    store_.Prepare("INSERT INTO drive_mappings(drive, volume_id, path) VALUES(?1, ?2, ?3)")
        .Bind(1, letter)
        .Bind(2, volume->id)
        .Bind(3, text::Join(*stored, "\\"))
        .Run();
  }

  Store& store_;
  std::vector<fs::path>& created_;
  IdAllocator ids_;
  Catalog catalog_;
  FolderResolver folders_;
  std::vector<std::string> newTrees_;
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
  std::error_code error;
  bool folderExisted = fs::exists(folder, error);
  bool fresh = !NetworkExists(folder);
  std::vector<fs::path> created;
  try {
    auto store = fresh ? Store::Create(folder) : Store::Open(folder);
    Transaction transaction(*store);
    try {
      Loader(*store, created).Load(root);
    } catch (const json::exception& jsonError) {
      throw SimError(JsonMessage(jsonError));
    } catch (const fs::filesystem_error& fsError) {
      throw SimError(std::string("A folder of the network cannot be made: ") + fsError.what());
    }
    transaction.Commit();
    store->NoteWrite();
  } catch (...) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) fs::remove_all(*it, error);
    if (fresh) RemoveFreshNetwork(folder, folderExisted);
    throw;
  }
}

}  // namespace sim
