#include "netware/sim/network.h"

#include <algorithm>

#include "netware/sim/text.h"

namespace sim {

void Catalog::Load(Store& store) {
  trees_.clear();
  servers_.clear();
  volumes_.clear();
  for (auto q = store.Prepare("SELECT id, name FROM trees ORDER BY id"); q.Step();) {
    trees_.push_back({q.Int(0), q.Text(1), text::Fold(q.Text(1))});
  }
  for (auto q = store.Prepare(
           "SELECT id, name, IFNULL(tree_id, 0), major, minor, up FROM servers ORDER BY id");
       q.Step();) {
    servers_.push_back({q.Int(0), q.Text(1), q.Int(2), static_cast<int>(q.Int(3)),
                        static_cast<int>(q.Int(4)), q.Int(5) != 0, text::Fold(q.Text(1))});
  }
  for (auto q = store.Prepare("SELECT id, server_id, name, number FROM volumes ORDER BY id");
       q.Step();) {
    const ServerRow* server = Server(q.Int(1));
    volumes_.push_back({q.Int(0), q.Int(1), q.Text(2), static_cast<std::uint32_t>(q.Int(3)),
                        text::Fold(q.Text(2)),
                        store.VolumeFolder(server != nullptr ? server->name : "", q.Text(2))});
  }
}

namespace {

template <typename Row, typename Match>
const Row* FindRow(const std::vector<Row>& rows, Match match) {
  auto found = std::find_if(rows.begin(), rows.end(), match);
  return found == rows.end() ? nullptr : &*found;
}

}  // namespace

const TreeRow* Catalog::Tree(std::int64_t id) const {
  return FindRow(trees_, [&](const TreeRow& row) { return row.id == id; });
}

const TreeRow* Catalog::TreeByName(std::string_view name) const {
  return FindRow(trees_, [key = text::Fold(name)](const TreeRow& row) { return row.key == key; });
}

const ServerRow* Catalog::Server(std::int64_t id) const {
  return FindRow(servers_, [&](const ServerRow& row) { return row.id == id; });
}

const ServerRow* Catalog::ServerByName(std::string_view name) const {
  return FindRow(servers_,
                 [key = text::Fold(name)](const ServerRow& row) { return row.key == key; });
}

const VolumeRow* Catalog::Volume(std::int64_t id) const {
  return FindRow(volumes_, [&](const VolumeRow& row) { return row.id == id; });
}

const VolumeRow* Catalog::VolumeByName(std::int64_t serverId, std::string_view name) const {
  return FindRow(volumes_, [&, key = text::Fold(name)](const VolumeRow& row) {
    return row.serverId == serverId && row.key == key;
  });
}

const VolumeRow* Catalog::VolumeByNumber(std::int64_t serverId, std::uint32_t number) const {
  return FindRow(volumes_, [&](const VolumeRow& row) {
    return row.serverId == serverId && row.number == number;
  });
}

Store& Network::GetStore() {
  if (!store_) store_ = Store::Open(folder_);
  return *store_;
}

std::string Network::TryOpen() {
  try {
    // A store damaged past its first page would otherwise fail only at the call that reads
    // the damage, part-way through a command.
    GetStore().Verify();
    return "";
  } catch (const SimError& error) {
    return error.what();
  }
}

const Catalog& Network::Sync() {
  Store& store = GetStore();
  auto generation = store.Generation();
  if (!catalogLoaded_ || generation != catalogGeneration_) {
    catalog_.Load(store);
    catalogGeneration_ = generation;
    catalogLoaded_ = true;
  }
  return catalog_;
}

const ObjectIndex& Network::Objects(std::int64_t treeId) {
  Store& store = GetStore();
  auto generation = store.Generation();
  if (!objects_ || objectsTree_ != treeId || objectsGeneration_ != generation) {
    if (!objects_) objects_ = std::make_unique<ObjectIndex>();
    objects_->Load(store, treeId);
    objectsTree_ = treeId;
    objectsGeneration_ = generation;
  }
  return *objects_;
}

void WriteNetwork(const std::filesystem::path& folder,
                  const std::function<void(Store&, std::vector<std::filesystem::path>&)>& write) {
  namespace fs = std::filesystem;
  std::error_code error;
  const bool folderExisted = fs::exists(folder, error);
  const bool fresh = !fs::exists(Store::DatabaseFile(folder), error);
  std::vector<fs::path> created;
  try {
    try {
      auto store = fresh ? Store::Create(folder) : Store::Open(folder);
      Transaction transaction(*store);
      write(*store, created);
      transaction.Commit();
      store->NoteWrite();
    } catch (const fs::filesystem_error& fsError) {
      throw SimError(std::string("A folder of the network cannot be made: ") + fsError.what());
    }
  } catch (...) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) fs::remove_all(*it, error);
    if (fresh) {
      for (const char* name : {"network.db", "network.db-wal", "network.db-shm"}) {
        fs::remove(folder / name, error);
      }
      fs::remove(folder / "volumes", error);  // only when nothing else is in it
      if (!folderExisted) fs::remove_all(folder, error);
    }
    throw;
  }
}

std::int64_t AddTree(Store& store, const std::string& name) {
  store.Execute("INSERT INTO trees(name, name_key) VALUES(?1, ?2)", name, text::Fold(name));
  return store.LastRowId();
}

std::int64_t AddServer(Store& store, const std::string& name, std::int64_t treeId, int major,
                       int minor, bool up) {
  auto q = store.Prepare(
      "INSERT INTO servers(name, name_key, tree_id, major, minor, up) "
      "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
  q.Bind(1, name).Bind(2, text::Fold(name)).Bind(4, major).Bind(5, minor).Bind(6, up ? 1 : 0);
  treeId != 0 ? q.Bind(3, treeId) : q.Bind(3, std::nullopt);
  q.Run();
  return store.LastRowId();
}

std::int64_t AddVolume(Store& store, std::int64_t serverId, const std::string& name,
                       std::int64_t number) {
  store.Execute("INSERT INTO volumes(server_id, name, name_key, number) VALUES(?1, ?2, ?3, ?4)",
                serverId, name, text::Fold(name), number);
  return store.LastRowId();
}

void AddObject(Store& store, std::uint32_t id, std::int64_t treeId, std::int64_t parentId,
               const std::string& name, const std::string& objectClass, std::int64_t volumeId) {
  auto q = store.Prepare(
      "INSERT INTO objects(id, tree_id, parent_id, name, name_key, class, volume_id) "
      "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  q.Bind(1, id).Bind(2, treeId).Bind(3, parentId).Bind(4, name).Bind(5, text::Fold(name));
  q.Bind(6, objectClass);
  volumeId != 0 ? q.Bind(7, volumeId) : q.Bind(7, std::nullopt);
  q.Run();
}

void AddTrustee(Store& store, std::int64_t volumeId, const std::string& dir, std::int64_t objectId,
                std::int64_t rights) {
  store.Execute(
      "INSERT INTO trustees(volume_id, dir_key, dir, object_id, rights) "
      "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(volume_id, dir_key, object_id) "
      "DO UPDATE SET rights = excluded.rights, dir = excluded.dir",
      volumeId, text::Fold(dir), dir, objectId, rights);
}

void SetFilter(Store& store, std::int64_t volumeId, const std::string& path, std::int64_t rights) {
  if ((rights & nw::TA_ALL) == nw::TA_ALL) {
    if (store.HasFilters()) {
      store.Execute("DELETE FROM filters WHERE volume_id = ?1 AND path_key = ?2", volumeId,
                    text::Fold(path));
    }
    return;
  }
  store.MakeFilters();
  store.Execute(
      "INSERT INTO filters(volume_id, path_key, path, rights) VALUES(?1, ?2, ?3, ?4) "
      "ON CONFLICT(volume_id, path_key) DO UPDATE SET rights = excluded.rights, "
      "path = excluded.path",
      volumeId, text::Fold(path), path, rights);
}

std::uint16_t FilterOf(Store& store, std::int64_t volumeId, const std::string& pathKey) {
  if (!store.HasFilters()) return nw::TA_ALL;
  auto q = store.Prepare("SELECT rights FROM filters WHERE volume_id = ?1 AND path_key = ?2");
  q.Bind(1, volumeId).Bind(2, pathKey);
  return q.Step() ? static_cast<std::uint16_t>(q.Int(0)) : nw::TA_ALL;
}

void ConnectTree(Store& store, std::int64_t treeId) {
  store.Execute(
      "INSERT OR IGNORE INTO workstation_trees(position, tree_id) "
      "VALUES((SELECT IFNULL(MAX(position), 0) + 1 FROM workstation_trees), ?1)",
      treeId);
}

std::int64_t FindObject(Store& store, std::int64_t treeId,
                        const std::vector<std::string>& rootFirst) {
  std::int64_t parent = 0;
  for (const auto& name : rootFirst) {
    auto q = store.Prepare(
        "SELECT id FROM objects WHERE tree_id = ?1 AND parent_id = ?2 AND name_key = ?3");
    q.Bind(1, treeId).Bind(2, parent).Bind(3, text::Fold(name));
    if (!q.Step()) return 0;
    parent = q.Int(0);
  }
  return parent;
}

std::optional<ObjectRow> GetObject(Store& store, std::int64_t id) {
  auto q = store.Prepare("SELECT tree_id, parent_id, name, class FROM objects WHERE id = ?1");
  q.Bind(1, id);
  if (!q.Step()) return std::nullopt;
  return ObjectRow{id, q.Int(0), q.Int(1), q.Text(2), q.Text(3)};
}

std::int64_t FindBinderyObject(Store& store, std::int64_t serverId, const std::string& name,
                               int type) {
  auto q = store.Prepare(
      "SELECT id FROM bindery WHERE server_id = ?1 AND name_key = ?2 "
      "AND (?3 = 65535 OR type = ?3) ORDER BY type LIMIT 1");
  q.Bind(1, serverId).Bind(2, text::Fold(name)).Bind(3, type);
  return q.Step() ? q.Int(0) : 0;
}

void ObjectIndex::Load(Store& store, std::int64_t treeId) {
  rows_.clear();
  byId_.clear();
  children_.clear();
  auto q = store.Prepare(
      "SELECT id, tree_id, parent_id, name, class, IFNULL(volume_id, 0) FROM objects "
      "WHERE ?1 = 0 OR tree_id = ?1 ORDER BY tree_id, parent_id, name_key, name");
  q.Bind(1, treeId);
  while (q.Step()) {
    rows_.push_back({q.Int(0), q.Int(1), q.Int(2), q.Text(3), q.Text(4), q.Int(5)});
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    byId_[rows_[i].id] = i;
    children_[{rows_[i].treeId, rows_[i].parentId}].push_back(rows_[i].id);
  }
}

const ObjectRow* ObjectIndex::Find(std::int64_t id) const {
  auto found = byId_.find(id);
  return found == byId_.end() ? nullptr : &rows_[found->second];
}

std::vector<std::string> ObjectIndex::Path(std::int64_t id) const {
  std::vector<std::string> path;
  for (const ObjectRow* row = Find(id); row != nullptr && path.size() < 1000;
       row = row->parentId == 0 ? nullptr : Find(row->parentId)) {
    path.push_back(row->name);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

std::string ObjectIndex::Dotted(std::int64_t id) const {
  auto path = Path(id);
  std::reverse(path.begin(), path.end());
  return text::Join(path, ".");
}

const std::vector<std::int64_t>& ObjectIndex::Children(std::int64_t treeId,
                                                       std::int64_t parentId) const {
  static const std::vector<std::int64_t> kNone;
  auto found = children_.find({treeId, parentId});
  return found == children_.end() ? kNone : found->second;
}

IdAllocator::IdAllocator(Store& store) {
  auto q = store.Prepare("SELECT id FROM objects UNION ALL SELECT id FROM bindery");
  while (q.Step()) used_.insert(static_cast<std::uint32_t>(q.Int(0)));
}

std::uint32_t IdAllocator::Allocate(std::string_view identity) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : identity) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  while (hash == 0 || hash == 0xFFFFFFFFu || used_.count(hash) > 0) ++hash;
  used_.insert(hash);
  return hash;
}

bool IdAllocator::Take(std::uint32_t id) { return used_.insert(id).second; }

std::string NdsIdentity(std::string_view tree, const std::vector<std::string>& rootFirst) {
  return "NDS|" + text::Fold(tree) + "|" + text::Fold(text::Join(rootFirst, "\\"));
}

std::string BinderyIdentity(std::string_view server, std::string_view name, int type) {
  return "BINDERY|" + text::Fold(server) + "|" + text::Fold(name) + "|" + std::to_string(type);
}

}  // namespace sim
