#include "netware/sim/sim_client.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "netware/sim/round_trips.h"
#include "netware/sim/text.h"

namespace sim {

using nw::NWRCODE;

namespace {

// A store that stayed locked past the wait answers a code; anything worse throws.
template <typename Body>
NWRCODE Guarded(Body&& body) {
  try {
    return body();
  } catch (const StoreBusy&) {
    return kStoreFailure;
  }
}

void Clear(char* buffer, std::size_t size) {
  if (buffer != nullptr && size > 0) buffer[0] = '\0';
}

// Stored UTF-8 out to the caller's Windows-1252 buffer.
bool Put(const std::string& utf8, char* buffer, std::size_t size) {
  auto bytes = text::Utf8ToCp1252(utf8);
  if (!bytes) throw SimError("The name " + text::Quote(utf8) + " has no Windows-1252 form.");
  return text::CopyOut(*bytes, buffer, size);
}

std::string In(const char* cp1252) { return text::Cp1252ToUtf8(cp1252); }

}  // namespace

NWRCODE SimClient::NWCallsInit(std::uint8_t*, std::uint8_t*) {
  CrossNetwork(RoundTrip::kClientCall);
  return network_.TryOpen().empty() ? nw::kSuccess : nw::kCallsInitFailed;
}

nw::NWCONN_HANDLE SimClient::NewHandle(std::int64_t serverId) {
  nw::NWCONN_HANDLE handle = nextHandle_++;
  if (nextHandle_ == 0) nextHandle_ = 1;
  connections_[handle] = serverId;
  return handle;
}

NWRCODE SimClient::Connection(nw::NWCONN_HANDLE conn, const ServerRow** server) {
  const Catalog& catalog = network_.Sync();
  auto found = connections_.find(conn);
  if (found == connections_.end()) return nw::kInvalidConnection;
  *server = catalog.Server(found->second);
  if (*server == nullptr) return nw::kInvalidConnection;
  if (!(*server)->up) return nw::kServerDown;
  return nw::kSuccess;
}

NWRCODE SimClient::NWParsePath(const char* path, char* serverName, std::size_t serverNameSize,
                               nw::NWCONN_HANDLE* conn, char* volName, std::size_t volNameSize,
                               char* dirPath, std::size_t dirPathSize) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    Clear(serverName, serverNameSize);
    Clear(volName, volNameSize);
    Clear(dirPath, dirPathSize);
    if (conn != nullptr) *conn = 0;
    if (path == nullptr) return kInvalidParameter;
    const Catalog& catalog = network_.Sync();
    std::string given = In(path);
    std::string serverText, volumeText;
    std::vector<std::string> directories;
    const VolumeRow* mapped = nullptr;
    if (given.size() >= 2 && (given[0] == '\\' || given[0] == '/') &&
        (given[1] == '\\' || given[1] == '/')) {
      auto parts = text::Split(given.substr(2), "/\\");
      serverText = parts[0];
      if (parts.size() > 1) volumeText = parts[1];
      for (std::size_t i = 2; i < parts.size(); ++i) {
        if (!parts[i].empty()) directories.push_back(parts[i]);
      }
    } else if (given.size() >= 2 && given[1] == ':' &&
               std::isalpha(static_cast<unsigned char>(given[0]))) {
      // A mapped drive: "F:\DIR" stands for the mapping's volume and folder.
      auto q = network_.GetStore().Prepare(
          "SELECT volume_id, path FROM drive_mappings WHERE drive = ?1");
      q.Bind(1, std::string(1, static_cast<char>(std::toupper(given[0]))));
      if (!q.Step()) return kInvalidParameter;
      mapped = catalog.Volume(q.Int(0));
      if (mapped == nullptr) return nw::kVolumeDoesNotExist;
      for (auto& part : text::Split(q.Text(1) + "\\" + given.substr(2), "/\\")) {
        if (!part.empty()) directories.push_back(part);
      }
      const ServerRow* server = catalog.Server(mapped->serverId);
      serverText = server != nullptr ? server->name : "";
      volumeText = mapped->name;
    } else {
      auto parsed = ParseVolumePath(given);
      if (!parsed || parsed->server.empty()) return kInvalidParameter;
      serverText = parsed->server;
      volumeText = parsed->volume;
      directories = parsed->directories;
    }
    const ServerRow* server = catalog.ServerByName(serverText);
    if (server == nullptr) return nw::kUnknownServer;
    if (!server->up) return nw::kServerDown;
    auto attached = attachments_.find(server->id);
    if (attached == attachments_.end() || connections_.count(attached->second) == 0) {
      attached = attachments_.insert_or_assign(server->id, NewHandle(server->id)).first;
    }
    if (conn != nullptr) *conn = attached->second;
    if (!Put(server->name, serverName, serverNameSize)) return kBufferTooSmall;
    const VolumeRow* volume = catalog.VolumeByName(server->id, volumeText);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    if (!Put(volume->name, volName, volNameSize)) return kBufferTooSmall;
    if (!Put(text::Join(directories, "\\"), dirPath, dirPathSize)) return kBufferTooSmall;
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* volName,
                                     nw::nuint32* volNum) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (volName == nullptr || volNum == nullptr) return kInvalidParameter;
    std::string name = In(volName);
    if (!name.empty() && name.back() == ':') name.pop_back();
    const VolumeRow* volume = network_.Cached().VolumeByName(server->id, name);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    *volNum = volume->number;
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 objID,
                                            nw::nuint32 volNum, nw::nuint32* iterHandle,
                                            std::uint8_t* accessRights, char* path,
                                            std::size_t pathSize) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (iterHandle == nullptr || path == nullptr) return kInvalidParameter;
    const VolumeRow* volume = network_.Cached().VolumeByNumber(server->id, volNum);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    // Keyset iteration: the handle is the key of the last row returned.
    const std::int64_t after = *iterHandle == 0xFFFFFFFFu ? 0 : *iterHandle;
    const std::uint64_t generation = network_.GetStore().TrusteeGeneration();
    ObjectPaths& paths = objectPaths_;
    if (after == 0 || paths.conn != conn || paths.objectId != objID ||
        paths.volumeId != volume->id || paths.generation != generation) {
      paths = {conn, objID, volume->id, generation, {}};
      auto q = network_.GetStore().Prepare(
          "SELECT id, dir_key, rights FROM trustees "
          "WHERE object_id = ?1 AND volume_id = ?2 AND id > ?3 ORDER BY id");
      q.Bind(1, objID).Bind(2, volume->id).Bind(3, after);
      while (q.Step()) paths.rows.push_back({q.Int(0), q.Text(1), q.Int(2)});
    }
    auto next = std::upper_bound(paths.rows.begin(), paths.rows.end(), after,
                                 [](std::int64_t id, const auto& row) { return id < row.id; });
    if (next == paths.rows.end()) {
      Clear(path, pathSize);
      return nw::kNoMoreEntries;
    }
    std::string found = text::Fold(volume->name) + ":" + next->dirKey;
    if (!Put(found, path, pathSize)) return kBufferTooSmall;
    *iterHandle = static_cast<nw::nuint32>(next->id);
    if (accessRights != nullptr) *accessRights = static_cast<std::uint8_t>(next->rights & 0xFF);
    return nw::kSuccess;
  });
}

std::shared_ptr<const SimClient::TrusteeList> SimClient::DirectoryTrustees(const ServerRow& server,
                                                                           const char* path) {
  Store& store = network_.GetStore();
  std::uint64_t generation = store.TrusteeGeneration();
  if (generation != trusteeListsGeneration_) {
    trusteeLists_.clear();
    trusteeListEntries_ = 0;
    trusteeListsGeneration_ = generation;
  }
  std::string key = std::to_string(server.id) + "|" + path;
  auto cached = trusteeLists_.find(key);
  if (cached != trusteeLists_.end()) return cached->second;
  if (trusteeListEntries_ > 4'000'000 || trusteeLists_.size() > 200'000) {
    trusteeLists_.clear();
    trusteeListEntries_ = 0;
  }
  auto built = std::make_shared<TrusteeList>();
  trusteeLists_[key] = built;
  TrusteeList& list = *built;
  auto parsed = ParseVolumePath(In(path));
  if (!parsed || !parsed->valid) return built;
  const Catalog& catalog = network_.Cached();
  if (!parsed->server.empty() && catalog.ServerByName(parsed->server) != &server) return built;
  const VolumeRow* volume = catalog.VolumeByName(server.id, parsed->volume);
  if (volume == nullptr) return built;
  auto q = store.Prepare(
      "SELECT object_id, rights, dir FROM trustees WHERE volume_id = ?1 AND dir_key = ?2 "
      "ORDER BY id");
  q.Bind(1, volume->id).Bind(2, DirectoryKey(parsed->directories));
  std::string stored;
  while (q.Step()) {
    list.entries.push_back(
        {static_cast<std::uint32_t>(q.Int(0)), static_cast<std::uint16_t>(q.Int(1)), 0});
    if (stored.empty()) stored = q.Text(2);
  }
  trusteeListEntries_ += list.entries.size();
  list.found = true;
  if (parsed->directories.empty()) {
    list.dirName = volume->name;
  } else {
    auto names = text::Split(stored, "/");
    list.dirName = stored.empty() ? parsed->directories.back() : names.back();
  }
  return built;
}

NWRCODE SimClient::NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                               const char* path, nw::nuint32* iterHandle,
                                               char* dirName, std::size_t dirNameSize,
                                               nw::nuint32* dirDateTime, nw::nuint32* ownerID,
                                               nw::TrusteeEntry trustees[nw::kTrusteeBatch]) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    if (path == nullptr || iterHandle == nullptr || trustees == nullptr) {
      return kInvalidParameter;
    }
    std::shared_ptr<const TrusteeList> listed;
    if (*iterHandle != 0 && iteration_.list && iteration_.conn == conn &&
        iteration_.next == *iterHandle && iteration_.path == path && connections_.count(conn) > 0) {
      listed = iteration_.list;
    } else {
      const ServerRow* server = nullptr;
      if (NWRCODE code = Connection(conn, &server)) return code;
      if (dirHandle != 0) return kBadDirectoryHandle;
      listed = DirectoryTrustees(*server, path);
    }
    const TrusteeList& list = *listed;
    std::size_t start = *iterHandle;
    if (!list.found || start >= list.entries.size()) return nw::kNoMoreEntries;
    std::size_t count = std::min<std::size_t>(nw::kTrusteeBatch, list.entries.size() - start);
    std::memset(static_cast<void*>(trustees), 0, sizeof(nw::TrusteeEntry) * nw::kTrusteeBatch);
    std::copy_n(list.entries.begin() + static_cast<std::ptrdiff_t>(start), count, trustees);
    *iterHandle = static_cast<nw::nuint32>(start + count);
    iteration_ = {conn, path, *iterHandle, listed};
    if (dirName != nullptr && !Put(list.dirName, dirName, dirNameSize)) {
      Clear(dirName, dirNameSize);
    }
    if (dirDateTime != nullptr) *dirDateTime = 0;
    if (ownerID != nullptr) *ownerID = 0;
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetFileServerVersionInfo(nw::NWCONN_HANDLE conn, std::uint8_t* versionInfo,
                                              std::size_t versionInfoSize) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (versionInfo == nullptr) return kInvalidParameter;
    std::size_t size = std::min(versionInfoSize, nw::kVersionInfoSize);
    std::memset(versionInfo, 0, size);
    auto name = text::Utf8ToCp1252(server->name).value_or("");
    std::memcpy(versionInfo, name.data(), std::min({name.size(), std::size_t{47}, size}));
    if (size > nw::kVersionMajorOffset) {
      versionInfo[nw::kVersionMajorOffset] = static_cast<std::uint8_t>(server->major);
    }
    if (size > nw::kVersionMajorOffset + 1) {
      versionInfo[nw::kVersionMajorOffset + 1] = static_cast<std::uint8_t>(server->minor);
    }
    return size < nw::kVersionMajorOffset + 2 ? kBufferTooSmall : nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetObjectID(nw::NWCONN_HANDLE conn, const char* objName, std::uint16_t objType,
                                 nw::nuint32* objID) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (objName == nullptr || objID == nullptr) return kInvalidParameter;
    if (server->major > 3) return nw::kNoSuchObject;  // no bindery past version 3
    auto q = network_.GetStore().Prepare(
        "SELECT id FROM bindery WHERE server_id = ?1 AND name_key = ?2 "
        "AND (?3 = 65535 OR type = ?3) ORDER BY type LIMIT 1");
    q.Bind(1, server->id).Bind(2, text::Fold(In(objName))).Bind(3, objType);
    if (!q.Step()) return nw::kNoSuchObject;
    *objID = static_cast<nw::nuint32>(q.Int(0));
    return nw::kSuccess;
  });
}

NWRCODE SimClient::VolumeOfPath(const ServerRow& server, const char* path, const VolumeRow** volume,
                                VolumePath* parsed) {
  const Catalog& catalog = network_.Cached();
  auto given = ParseVolumePath(In(path));
  if (!given) return nw::kVolumeDoesNotExist;
  if (!given->server.empty() && catalog.ServerByName(given->server) != &server) {
    return nw::kVolumeDoesNotExist;
  }
  *volume = catalog.VolumeByName(server.id, given->volume);
  if (*volume == nullptr) return nw::kVolumeDoesNotExist;
  *parsed = std::move(*given);
  return nw::kSuccess;
}

NWRCODE SimClient::DirectoryOfPath(const VolumeRow& volume, const VolumePath& parsed,
                                   std::vector<std::string>* stored) {
  if (!parsed.valid) return nw::kNoMoreEntries;
  // A hidden folder takes trustees although no listing shows it.
  auto found = network_.Folders().Resolve(network_.VolumeRoot(volume), parsed.directories, true,
                                          /*hidden=*/true);
  if (!found) return nw::kNoMoreEntries;
  *stored = std::move(*found);
  return nw::kSuccess;
}

NWRCODE SimClient::NWIntScanDirectoryInformation2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                                  const char* srchPath, std::uint8_t* sequence,
                                                  char* dirName, std::size_t dirNameSize,
                                                  nw::nuint32* dirDateTime, nw::nuint32* ownerID,
                                                  std::uint8_t* rightsMask, std::uint16_t) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    Clear(dirName, dirNameSize);
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (srchPath == nullptr || sequence == nullptr) return kInvalidParameter;
    if (dirHandle != 0) return kBadDirectoryHandle;
    // One directory per path: a call that goes on from the first answer finds no more.
    if (!std::all_of(sequence, sequence + 4, [](std::uint8_t b) { return b == 0xFF; })) {
      return nw::kNoMoreEntries;
    }
    const VolumeRow* volume = nullptr;
    VolumePath parsed;
    if (NWRCODE code = VolumeOfPath(*server, srchPath, &volume, &parsed)) return code;
    std::vector<std::string> stored;
    if (NWRCODE code = DirectoryOfPath(*volume, parsed, &stored)) return code;
    std::memset(sequence, 0, nw::kScanSequenceSize);
    if (dirName != nullptr &&
        !Put(stored.empty() ? volume->name : stored.back(), dirName, dirNameSize)) {
      return kBufferTooSmall;
    }
    if (dirDateTime != nullptr) *dirDateTime = 0;
    if (ownerID != nullptr) *ownerID = 0;
    if (rightsMask != nullptr) *rightsMask = 0xFF;
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                nw::nuint32 objID, std::uint16_t rightsMask) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (path == nullptr) return kInvalidParameter;
    if (dirHandle != 0) return kBadDirectoryHandle;
    const VolumeRow* volume = nullptr;
    VolumePath parsed;
    if (NWRCODE code = VolumeOfPath(*server, path, &volume, &parsed)) return code;
    Store& store = network_.GetStore();
    {
      // An NDS object anywhere, or a bindery object of this very server.
      auto q = store.Prepare(
          "SELECT 1 FROM objects WHERE id = ?1 "
          "UNION ALL SELECT 1 FROM bindery WHERE id = ?1 AND server_id = ?2");
      q.Bind(1, objID).Bind(2, server->id);
      if (objID == 0 || !q.Step()) return nw::kNoSuchObject;
    }
    std::vector<std::string> stored;
    if (NWRCODE code = DirectoryOfPath(*volume, parsed, &stored)) return code;
    auto q = store.Prepare(
        "INSERT INTO trustees(volume_id, dir_key, dir, object_id, rights) "
        "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(volume_id, dir_key, object_id) "
        "DO UPDATE SET rights = excluded.rights, dir = excluded.dir");
    q.Bind(1, volume->id)
        .Bind(2, DirectoryKey(stored))
        .Bind(3, text::Join(stored, "/"))
        .Bind(4, objID)
        .Bind(5, rightsMask);
    q.Run();  // autocommit: stored before the code says so
    store.NoteTrusteeWrite();
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWCCOpenConnByName(nw::NWCONN_HANDLE, const char* name, nw::nuint32, nw::nuint32,
                                      nw::nuint32, nw::NWCONN_HANDLE* conn) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    if (conn != nullptr) *conn = 0;
    if (name == nullptr || conn == nullptr) return kInvalidParameter;
    const ServerRow* server = network_.Sync().ServerByName(In(name));
    if (server == nullptr) return nw::kUnknownServer;
    if (!server->up) return nw::kServerDown;
    *conn = NewHandle(server->id);
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWCCCloseConn(nw::NWCONN_HANDLE conn) {
  CrossNetwork(RoundTrip::kClientCall);
  auto found = connections_.find(conn);
  if (found == connections_.end()) return nw::kInvalidConnection;
  auto attached = attachments_.find(found->second);
  if (attached != attachments_.end() && attached->second == conn) attachments_.erase(attached);
  connections_.erase(found);
  return nw::kSuccess;
}

NWRCODE SimClient::NWDSCreateContextHandle(nw::NWDSContextHandle* context) {
  CrossNetwork(RoundTrip::kClientCall);
  if (context == nullptr) return kInvalidParameter;
  nw::NWDSContextHandle handle = nextContext_++;
  if (nextContext_ == 0) nextContext_ = 1;
  contexts_[handle] = Context{"", "[Root]"};
  *context = handle;
  return nw::kSuccess;
}

NWRCODE SimClient::NWDSSetContext(nw::NWDSContextHandle context, nw::nuint32 key,
                                  const void* value) {
  CrossNetwork(RoundTrip::kClientCall);
  auto found = contexts_.find(context);
  if (found == contexts_.end()) return kDsBadContext;
  if (value == nullptr) return kInvalidParameter;
  std::string given = In(static_cast<const char*>(value));
  if (key == nw::DCK_NAME_CONTEXT) {
    found->second.nameContext = given;
  } else if (key == nw::DCK_TREE_NAME) {
    found->second.tree = given;
  } else {
    return kDsBadKey;
  }
  return nw::kSuccess;
}

NWRCODE SimClient::NWDSFreeContext(nw::NWDSContextHandle context) {
  CrossNetwork(RoundTrip::kClientCall);
  return contexts_.erase(context) > 0 ? nw::kSuccess : kDsBadContext;
}

namespace {

// Typeless or typed ("CN=JSMITH") dotted components, leaf first; false when malformed.
bool DottedComponents(const std::string& name, std::vector<std::string>* leafFirst) {
  for (auto& part : text::Split(name, ".")) {
    auto equals = part.find('=');
    if (equals != std::string::npos) part.erase(0, equals + 1);
    if (part.empty()) return false;
    leafFirst->push_back(part);
  }
  return true;
}

}  // namespace

NWRCODE SimClient::NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                                   const char* objectName, nw::nuint32* objectID) {
  CrossNetwork(RoundTrip::kClientCall);
  return Guarded([&]() -> NWRCODE {
    auto found = contexts_.find(context);
    if (found == contexts_.end()) return kDsBadContext;
    const ServerRow* server = nullptr;
    if (NWRCODE code = Connection(conn, &server)) return code;
    if (objectName == nullptr || objectID == nullptr) return kInvalidParameter;
    const Catalog& catalog = network_.Cached();
    const TreeRow* tree = found->second.tree.empty() ? catalog.Tree(server->treeId)
                                                     : catalog.TreeByName(found->second.tree);
    std::string name = In(objectName);
    bool fromRoot = !name.empty() && name.front() == '.';
    if (fromRoot) name.erase(0, 1);
    std::vector<std::string> components;
    if (name.empty() || !DottedComponents(name, &components)) return nw::kDsInvalidName;
    const std::string& nameContext = found->second.nameContext;
    if (!fromRoot && !nameContext.empty() && text::Fold(nameContext) != "[ROOT]") {
      if (!DottedComponents(nameContext, &components)) return nw::kDsInvalidName;
    }
    if (tree == nullptr) return nw::kDsNoSuchEntry;
    std::reverse(components.begin(), components.end());
    if (nameIdsGeneration_ != network_.SyncedGeneration()) {
      nameIds_.clear();
      nameIdsGeneration_ = network_.SyncedGeneration();
    }
    std::string key = std::to_string(tree->id) + "|" + text::Fold(text::Join(components, "\\"));
    if (auto known = nameIds_.find(key); known != nameIds_.end()) {
      *objectID = known->second;
      return nw::kSuccess;
    }
    std::int64_t id = FindObject(network_.GetStore(), tree->id, components);
    if (id == 0) return nw::kDsNoSuchEntry;
    if (nameIds_.size() > 1'000'000) nameIds_.clear();
    nameIds_[key] = static_cast<std::uint32_t>(id);
    *objectID = static_cast<nw::nuint32>(id);
    return nw::kSuccess;
  });
}

}  // namespace sim
