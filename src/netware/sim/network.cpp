#include "netware/sim/network.h"

#include <algorithm>

#include "netware/sim/text.h"

namespace sim {

void Catalog::Load(Store& store) {
  trees_.clear();
  servers_.clear();
  volumes_.clear();
  {
    auto q = store.Prepare("SELECT id, name FROM trees ORDER BY id");
    while (q.Step()) trees_.push_back({q.Int(0), q.Text(1), {}});
  }
  {
    auto q = store.Prepare(
        "SELECT id, name, IFNULL(tree_id, 0), major, minor, up FROM servers ORDER BY id");
    while (q.Step()) {
      servers_.push_back({q.Int(0),
                          q.Text(1),
                          q.Int(2),
                          static_cast<int>(q.Int(3)),
                          static_cast<int>(q.Int(4)),
                          q.Int(5) != 0,
                          {}});
    }
  }
  auto q = store.Prepare("SELECT id, server_id, name, number FROM volumes ORDER BY id");
  while (q.Step()) {
    volumes_.push_back(
        {q.Int(0), q.Int(1), q.Text(2), static_cast<std::uint32_t>(q.Int(3)), {}, {}});
  }
  for (auto& tree : trees_) tree.key = text::Fold(tree.name);
  for (auto& server : servers_) server.key = text::Fold(server.name);
  for (auto& volume : volumes_) {
    volume.key = text::Fold(volume.name);
    const ServerRow* server = Server(volume.serverId);
    volume.root = store.VolumeFolder(server != nullptr ? server->name : "", volume.name);
  }
}

const TreeRow* Catalog::Tree(std::int64_t id) const {
  for (const auto& tree : trees_) {
    if (tree.id == id) return &tree;
  }
  return nullptr;
}

const TreeRow* Catalog::TreeByName(std::string_view name) const {
  auto key = text::Fold(name);
  for (const auto& tree : trees_) {
    if (tree.key == key) return &tree;
  }
  return nullptr;
}

const ServerRow* Catalog::Server(std::int64_t id) const {
  for (const auto& server : servers_) {
    if (server.id == id) return &server;
  }
  return nullptr;
}

const ServerRow* Catalog::ServerByName(std::string_view name) const {
  auto key = text::Fold(name);
  for (const auto& server : servers_) {
    if (server.key == key) return &server;
  }
  return nullptr;
}

const VolumeRow* Catalog::Volume(std::int64_t id) const {
  for (const auto& volume : volumes_) {
    if (volume.id == id) return &volume;
  }
  return nullptr;
}

const VolumeRow* Catalog::VolumeByName(std::int64_t serverId, std::string_view name) const {
  auto key = text::Fold(name);
  for (const auto& volume : volumes_) {
    if (volume.serverId == serverId && volume.key == key) return &volume;
  }
  return nullptr;
}

const VolumeRow* Catalog::VolumeByNumber(std::int64_t serverId, std::uint32_t number) const {
  for (const auto& volume : volumes_) {
    if (volume.serverId == serverId && volume.number == number) return &volume;
  }
  return nullptr;
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

std::filesystem::path Network::VolumeRoot(const VolumeRow& volume) { return volume.root; }

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

std::int64_t BinderyServer(Store& store, std::int64_t id) {
  auto q = store.Prepare("SELECT server_id FROM bindery WHERE id = ?1");
  q.Bind(1, id);
  return q.Step() ? q.Int(0) : 0;
}

namespace {
std::string ChildrenKey(std::int64_t treeId, std::int64_t parentId) {
  return std::to_string(treeId) + "/" + std::to_string(parentId);
}
}  // namespace

void ObjectIndex::Load(Store& store, std::int64_t treeId) {
  rows_.clear();
  byId_.clear();
  children_.clear();
  auto q = store.Prepare(
      "SELECT id, tree_id, parent_id, name, class FROM objects "
      "WHERE ?1 = 0 OR tree_id = ?1 ORDER BY tree_id, parent_id, name_key, name");
  q.Bind(1, treeId);
  while (q.Step()) {
    rows_.push_back({q.Int(0), q.Int(1), q.Int(2), q.Text(3), q.Text(4)});
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    byId_[rows_[i].id] = i;
    children_[ChildrenKey(rows_[i].treeId, rows_[i].parentId)].push_back(rows_[i].id);
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
  auto found = children_.find(ChildrenKey(treeId, parentId));
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
