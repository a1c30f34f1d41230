#pragma once
// What one opened network shares between its client, session, directories and listing:
// the store (opened on first use), a cache of trees, servers and volumes that follows the
// store's changes, and the real folders of the volumes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "netware/sim/folders.h"
#include "netware/sim/store.h"

namespace sim {

struct TreeRow {
  std::int64_t id = 0;
  std::string name;
  std::string key;  // folded name
};

struct ServerRow {
  std::int64_t id = 0;
  std::string name;
  std::int64_t treeId = 0;  // 0: in no tree
  int major = 0;
  int minor = 0;
  bool up = true;
  std::string key;
};

struct VolumeRow {
  std::int64_t id = 0;
  std::int64_t serverId = 0;
  std::string name;
  std::uint32_t number = 0;
  std::string key;
  std::filesystem::path root;  // the volume's real folder
};

class ObjectIndex;

// Trees, servers and volumes: few rows, read on every call, so kept in memory.
class Catalog {
 public:
  void Load(Store& store);
  const TreeRow* Tree(std::int64_t id) const;
  const TreeRow* TreeByName(std::string_view name) const;
  const ServerRow* Server(std::int64_t id) const;
  const ServerRow* ServerByName(std::string_view name) const;
  const VolumeRow* Volume(std::int64_t id) const;
  const VolumeRow* VolumeByName(std::int64_t serverId, std::string_view name) const;
  const VolumeRow* VolumeByNumber(std::int64_t serverId, std::uint32_t number) const;
  const std::vector<TreeRow>& Trees() const { return trees_; }
  const std::vector<ServerRow>& Servers() const { return servers_; }
  const std::vector<VolumeRow>& Volumes() const { return volumes_; }

 private:
  std::vector<TreeRow> trees_;
  std::vector<ServerRow> servers_;
  std::vector<VolumeRow> volumes_;
};

class Network {
 public:
  explicit Network(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path& Folder() const { return folder_; }
  // Opens the store on first use; throws SimError when it cannot be opened.
  Store& GetStore();
  // "" when the store is open or opens now, else what is wrong.
  std::string TryOpen();
  // The catalog as the store holds it now.
  const Catalog& Sync();
  // The catalog as of the last Sync(), without looking again: what one call goes on using.
  const Catalog& Cached() const { return catalog_; }
  FolderResolver& Folders() { return folders_; }
  // Every object of one tree, kept while the store is unchanged.
  const ObjectIndex& Objects(std::int64_t treeId);

 private:
  std::filesystem::path folder_;
  std::unique_ptr<Store> store_;
  Catalog catalog_;
  std::uint64_t catalogGeneration_ = 0;
  bool catalogLoaded_ = false;
  FolderResolver folders_;
  std::unique_ptr<ObjectIndex> objects_;
  std::int64_t objectsTree_ = -1;
  std::uint64_t objectsGeneration_ = 0;
};

// Runs `write` in one transaction on the network in `folder` (created when absent), with
// the list it appends every file and folder it makes to. On any error nothing of it stays:
// the transaction is rolled back, what it made is removed, and so is a network it created.
void WriteNetwork(const std::filesystem::path& folder,
                  const std::function<void(Store&, std::vector<std::filesystem::path>&)>& write);

// Rows a load or a generation adds; each Add returns the new row's ID.
std::int64_t AddTree(Store& store, const std::string& name);
std::int64_t AddServer(Store& store, const std::string& name, std::int64_t treeId, int major,
                       int minor, bool up);  // treeId 0: in no tree
std::int64_t AddVolume(Store& store, std::int64_t serverId, const std::string& name,
                       std::int64_t number);
void AddObject(Store& store, std::uint32_t id, std::int64_t treeId, std::int64_t parentId,
               const std::string& name, const std::string& objectClass, std::int64_t volumeId);
// A trustee of the "/"-joined stored directory `dir`; an existing one's mask is replaced.
void AddTrustee(Store& store, std::int64_t volumeId, const std::string& dir, std::int64_t objectId,
                std::int64_t rights);
// The inherited rights filter of the "/"-joined stored path `path` of a directory or file
// (never the volume root); a mask that lets every right through removes it.
void SetFilter(Store& store, std::int64_t volumeId, const std::string& path, std::int64_t rights);
// The filter of the entry whose path has the key `pathKey`; nw::TA_ALL when it has none.
std::uint16_t FilterOf(Store& store, std::int64_t volumeId, const std::string& pathKey);
// The workstation connects to the tree after those it is connected to already.
void ConnectTree(Store& store, std::int64_t treeId);

// ---- NDS objects and bindery objects ----

struct ObjectRow {
  std::int64_t id = 0;
  std::int64_t treeId = 0;
  std::int64_t parentId = 0;  // 0: directly below [Root]
  std::string name;
  std::string objectClass;
  std::int64_t volumeId = 0;  // of a Volume object
};

// The object reached from the root through `rootFirst` (names in any case); 0 when none.
std::int64_t FindObject(Store& store, std::int64_t treeId,
                        const std::vector<std::string>& rootFirst);
std::optional<ObjectRow> GetObject(Store& store, std::int64_t id);
// The bindery object of the server with the name and type (0xFFFF: any, the lowest first); 0
// when none.
std::int64_t FindBinderyObject(Store& store, std::int64_t serverId, const std::string& name,
                               int type);

// Every object of a tree, with the names of the way to it, for searches and dumps.
class ObjectIndex {
 public:
  void Load(Store& store, std::int64_t treeId = 0);  // 0: every tree
  const ObjectRow* Find(std::int64_t id) const;
  // Leaf first, joined by "." ("JSMITH.SALES.ACME").
  std::string Dotted(std::int64_t id) const;
  // Root first.
  std::vector<std::string> Path(std::int64_t id) const;
  // Children of `parentId` in `treeId`, by name (folded, then as stored).
  const std::vector<std::int64_t>& Children(std::int64_t treeId, std::int64_t parentId) const;

 private:
  std::vector<ObjectRow> rows_;
  std::unordered_map<std::int64_t, std::size_t> byId_;
  std::map<std::pair<std::int64_t, std::int64_t>, std::vector<std::int64_t>> children_;
};

// Stable object IDs: the hash of what names the object, moved on past any ID in use;
// never 0 and never 0xFFFFFFFF.
class IdAllocator {
 public:
  explicit IdAllocator(Store& store);
  std::uint32_t Allocate(std::string_view identity);
  bool Take(std::uint32_t id);  // false when in use

 private:
  std::unordered_set<std::uint32_t> used_;
};
std::string NdsIdentity(std::string_view tree, const std::vector<std::string>& rootFirst);
std::string BinderyIdentity(std::string_view server, std::string_view name, int type);

}  // namespace sim
