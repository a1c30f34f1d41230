#include "netware/sim/sim_client.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "netware/sim/client_calls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/text.h"

namespace sim {

using nw::NWRCODE;

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
    if (given.size() >= 2 && given[1] == ':' &&
        std::isalpha(static_cast<unsigned char>(given[0]))) {
      // A mapped drive: "F:\DIR" stands for the mapping's volume and folder.
      auto q = network_.GetStore().Prepare(
          "SELECT volume_id, path FROM drive_mappings WHERE drive = ?1");
      q.Bind(1, std::string(1, static_cast<char>(std::toupper(given[0]))));
      if (!q.Step()) return kInvalidParameter;
      const VolumeRow* mapped = catalog.Volume(q.Int(0));
      if (mapped == nullptr) return nw::kVolumeDoesNotExist;
      const ServerRow* owner = catalog.Server(mapped->serverId);
      given = "\\\\" + (owner != nullptr ? owner->name : "") + "\\" + mapped->name + "\\" +
              q.Text(1) + "\\" + given.substr(2);
    }
    std::string serverText, volumeText;
    std::vector<std::string> directories;
    if (given.size() >= 2 && (given[0] == '\\' || given[0] == '/') &&
        (given[1] == '\\' || given[1] == '/')) {
      auto parts = text::Split(given.substr(2), "/\\");
      serverText = parts[0];
      if (parts.size() > 1) volumeText = parts[1];
      for (std::size_t i = 2; i < parts.size(); ++i) {
        if (!parts[i].empty()) directories.push_back(parts[i]);
      }
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
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (volName == nullptr || volNum == nullptr) return kInvalidParameter;
    std::string name = In(volName);
    if (!name.empty() && name.back() == ':') name.pop_back();
    const VolumeRow* volume = network_.Cached().VolumeByName(server.id, name);
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
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (iterHandle == nullptr || path == nullptr) return kInvalidParameter;
    const VolumeRow* volume = network_.Cached().VolumeByNumber(server.id, volNum);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    // An object's paths come in the order of their folded paths (byte order, "/" between
    // components), so that a client reading directories' trustee lists instead can put them
    // in the same order. Keyset iteration: the handle is the key of the last row returned,
    // and an object holds one row a path.
    const bool first = *iterHandle == 0xFFFFFFFFu || *iterHandle == 0;
    auto q = network_.GetStore().Prepare(
        first ? "SELECT id, dir_key, rights FROM trustees INDEXED BY trustees_by_object "
                "WHERE object_id = ?1 AND volume_id = ?2 "
                "ORDER BY dir_key LIMIT 1"
              : "SELECT id, dir_key, rights FROM trustees INDEXED BY trustees_by_object "
                "WHERE object_id = ?1 AND volume_id = ?2 "
                "AND dir_key > (SELECT dir_key FROM trustees WHERE id = ?3) "
                "ORDER BY dir_key LIMIT 1");
    q.Bind(1, objID).Bind(2, volume->id);
    if (!first) q.Bind(3, *iterHandle);
    if (!q.Step()) {
      Clear(path, pathSize);
      return nw::kNoMoreEntries;
    }
    if (!Put(text::Fold(volume->name) + ":" + q.Text(1), path, pathSize)) return kBufferTooSmall;
    *iterHandle = static_cast<nw::nuint32>(q.Int(0));
    if (accessRights != nullptr) *accessRights = static_cast<std::uint8_t>(q.Int(2) & 0xFF);
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                               const char* path, nw::nuint32* iterHandle,
                                               char* dirName, std::size_t dirNameSize,
                                               nw::nuint32* dirDateTime, nw::nuint32* ownerID,
                                               nw::TrusteeEntry trustees[nw::kTrusteeBatch]) {
  CrossNetwork(RoundTrip::kClientCall);
  if (path == nullptr || iterHandle == nullptr || trustees == nullptr) return kInvalidParameter;
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (dirHandle != 0) return kBadDirectoryHandle;
    VolumePath parsed;
    const VolumeRow* volume = VolumeOfPath(server, path, &parsed);
    if (volume == nullptr || !parsed.valid) return nw::kNoMoreEntries;
    // Keyset iteration in object order along the directory's index, so that a batch costs
    // its own rows however many trustees the directory holds: the handle is the object of
    // the last trustee returned. The directory's name is as its first trustee stored it.
    auto q = network_.GetStore().Prepare(
        "SELECT object_id, object_id, rights, (SELECT dir FROM trustees WHERE volume_id = ?1 "
        "AND dir_key = ?2 ORDER BY object_id LIMIT 1) FROM trustees WHERE volume_id = ?1 "
        "AND dir_key = ?2 AND object_id > ?3 ORDER BY object_id LIMIT ?4");
    q.Bind(1, volume->id).Bind(2, DirectoryKey(parsed.directories)).Bind(3, *iterHandle);
    q.Bind(4, static_cast<std::int64_t>(nw::kTrusteeBatch));
    const nw::nuint32 from = *iterHandle;
    std::size_t count = 0;
    std::string stored;
    for (; q.Step(); ++count) {
      if (count == 0) {
        std::memset(static_cast<void*>(trustees), 0, sizeof(nw::TrusteeEntry) * nw::kTrusteeBatch);
        stored = q.Text(3);
      }
      trustees[count] = {static_cast<std::uint32_t>(q.Int(1)), static_cast<std::uint16_t>(q.Int(2)),
                         0};
      *iterHandle = static_cast<nw::nuint32>(q.Int(0));
    }
    if (count == 0) return nw::kNoMoreEntries;
    // A file's list is no directory's: the caller asks NWScanForTrustees for it.
    bool isDirectory = true;
    if (from == 0 && EntryOfPath(*volume, parsed, false, &isDirectory) && !isDirectory) {
      *iterHandle = 0;
      return nw::kNoMoreEntries;
    }
    const std::string name =
        parsed.directories.empty() ? volume->name : text::Split(stored, "/").back();
    if (dirName != nullptr && !Put(name, dirName, dirNameSize)) Clear(dirName, dirNameSize);
    if (dirDateTime != nullptr) *dirDateTime = 0;
    if (ownerID != nullptr) *ownerID = 0;
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetFileServerVersionInfo(nw::NWCONN_HANDLE conn, std::uint8_t* versionInfo,
                                              std::size_t versionInfoSize) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (versionInfo == nullptr) return kInvalidParameter;
    std::size_t size = std::min(versionInfoSize, nw::kVersionInfoSize);
    std::memset(versionInfo, 0, size);
    auto name = text::Utf8ToCp1252(server.name).value_or("");
    std::memcpy(versionInfo, name.data(), std::min({name.size(), std::size_t{47}, size}));
    if (size > nw::kVersionMajorOffset) {
      versionInfo[nw::kVersionMajorOffset] = static_cast<std::uint8_t>(server.major);
    }
    if (size > nw::kVersionMajorOffset + 1) {
      versionInfo[nw::kVersionMajorOffset + 1] = static_cast<std::uint8_t>(server.minor);
    }
    return size < nw::kVersionMajorOffset + 2 ? kBufferTooSmall : nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetObjectID(nw::NWCONN_HANDLE conn, const char* objName, std::uint16_t objType,
                                 nw::nuint32* objID) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (objName == nullptr || objID == nullptr) return kInvalidParameter;
    if (server.major > 3) return nw::kNoSuchObject;  // no bindery past version 3
    std::int64_t id = FindBinderyObject(network_.GetStore(), server.id, In(objName), objType);
    if (id == 0) return nw::kNoSuchObject;
    *objID = static_cast<nw::nuint32>(id);
    return nw::kSuccess;
  });
}

const VolumeRow* SimClient::VolumeOfPath(const ServerRow& server, const char* path,
                                         VolumePath* parsed) {
  const Catalog& catalog = network_.Cached();
  auto given = ParseVolumePath(In(path));
  if (!given || (!given->server.empty() && catalog.ServerByName(given->server) != &server)) {
    return nullptr;
  }
  *parsed = std::move(*given);
  return catalog.VolumeByName(server.id, parsed->volume);
}

std::optional<std::vector<std::string>> SimClient::EntryOfPath(const VolumeRow& volume,
                                                               const VolumePath& parsed,
                                                               bool wantDirectory,
                                                               bool* isDirectory) {
  // A hidden entry takes trustees although no listing shows it.
  if (!parsed.valid) return std::nullopt;
  auto stored = network_.Folders().Resolve(volume.root, parsed.directories, wantDirectory,
                                           /*hidden=*/true);
  if (stored && isDirectory != nullptr) {
    std::filesystem::path path = volume.root;
    for (const auto& name : *stored) path /= name;
    std::error_code error;
    *isDirectory = wantDirectory ||
                   std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
  }
  return stored;
}

NWRCODE SimClient::NWIntScanDirectoryInformation2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                                  const char* srchPath, std::uint8_t* sequence,
                                                  char* dirName, std::size_t dirNameSize,
                                                  nw::nuint32* dirDateTime, nw::nuint32* ownerID,
                                                  std::uint8_t* rightsMask, std::uint16_t) {
  CrossNetwork(RoundTrip::kClientCall);
  Clear(dirName, dirNameSize);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (srchPath == nullptr || sequence == nullptr) return kInvalidParameter;
    if (dirHandle != 0) return kBadDirectoryHandle;
    // One directory per path: a call that goes on from the first answer finds no more.
    if (!std::all_of(sequence, sequence + 4, [](std::uint8_t b) { return b == 0xFF; })) {
      return nw::kNoMoreEntries;
    }
    VolumePath parsed;
    const VolumeRow* volume = VolumeOfPath(server, srchPath, &parsed);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    auto stored = EntryOfPath(*volume, parsed, true);
    if (!stored) return nw::kNoMoreEntries;
    std::memset(sequence, 0, nw::kScanSequenceSize);
    if (dirName != nullptr &&
        !Put(stored->empty() ? volume->name : stored->back(), dirName, dirNameSize)) {
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
  // The entry is found in the volume's folders before the write lock is taken, so that the
  // writers of other jobs wait only for each other's stores.
  std::optional<std::vector<std::string>> stored;
  const NWRCODE found =
      OnPath(conn, dirHandle, path,
             [&](const ServerRow&, const VolumeRow& volume, const VolumePath& parsed) -> NWRCODE {
               stored = EntryOfPath(volume, parsed, false);
               return nw::kSuccess;
             });
  if (found != nw::kSuccess) return found;
  return OnPath(
      conn, dirHandle, path,
      [&](const ServerRow& server, const VolumeRow& volume, const VolumePath&) -> NWRCODE {
        // An NDS object anywhere, or a bindery object of this very server.
        if (objID == 0 ||
            !network_.GetStore().Execute("SELECT 1 FROM objects WHERE id = ?1 UNION ALL "
                                         "SELECT 1 FROM bindery WHERE id = ?1 AND "
                                         "server_id = ?2",
                                         objID, server.id)) {
          return nw::kNoSuchObject;
        }
        if (!stored) return nw::kNoMoreEntries;
        AddTrustee(network_.GetStore(), volume.id, text::Join(*stored, "/"), objID, rightsMask);
        return nw::kSuccess;
      },
      /*writes=*/true);
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
  auto found = contexts_.find(context);
  if (found == contexts_.end()) return kDsBadContext;
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (objectName == nullptr || objectID == nullptr) return kInvalidParameter;
    const Catalog& catalog = network_.Cached();
    const TreeRow* tree = found->second.tree.empty() ? catalog.Tree(server.treeId)
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
    std::int64_t id = FindObject(network_.GetStore(), tree->id, components);
    if (id == 0) return nw::kDsNoSuchEntry;
    *objectID = static_cast<nw::nuint32>(id);
    return nw::kSuccess;
  });
}

}  // namespace sim
