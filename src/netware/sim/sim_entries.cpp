// The client's calls on files, filters, the bindery's listing and names by ID.

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "netware/sim/client_calls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/sim_client.h"
#include "netware/volume_walk.h"

namespace sim {

using nw::NWRCODE;
namespace fs = std::filesystem;

namespace {

inline constexpr NWRCODE kAccessDenied = 0x898C;  // the volume root takes no filter
constexpr std::size_t kMostScans = 256;           // scans left unfinished are dropped then

// The place of a scan of entries: the index of the next entry in its first four bytes.
std::uint32_t ScanPlace(const nw::SEARCH_SEQUENCE& sequence) {
  if (std::all_of(std::begin(sequence.searchDirNumber), std::end(sequence.searchDirNumber),
                  [](std::uint8_t b) { return b == 0xFF; })) {
    return 0;
  }
  std::uint32_t place = 0;
  for (int i = 3; i >= 0; --i) place = place << 8 | sequence.searchDirNumber[i];
  return place;
}

void SetScanPlace(nw::SEARCH_SEQUENCE* sequence, std::uint32_t place) {
  std::memset(sequence->searchDirNumber, 0, sizeof sequence->searchDirNumber);
  for (int i = 0; i < 4; ++i)
    sequence->searchDirNumber[i] = static_cast<std::uint8_t>(place >> 8 * i);
}

bool Hidden(const std::string& name) { return !name.empty() && name.front() == '.'; }

// The entries of `folder` a scan with `searchAttrs` and `pattern` returns, in the order of
// their folded names: each name, and whether it is a directory. Links are nothing.
std::vector<std::pair<std::string, bool>> ListEntries(const fs::path& folder,
                                                      std::uint16_t searchAttrs,
                                                      const std::string& pattern) {
  std::vector<std::pair<std::string, bool>> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    std::error_code type;
    const auto status = it->symlink_status(type);
    const bool directory = fs::is_directory(status);
    if (type || !(directory || fs::is_regular_file(status))) continue;
    if ((directory && !(searchAttrs & nw::FA_DIRECTORY)) ||
        (Hidden(name) && !(searchAttrs & nw::FA_HIDDEN)) || !text::WildcardMatch(pattern, name)) {
      continue;
    }
    entries.emplace_back(std::move(name), directory);
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return std::pair(text::Fold(a.first), a.first) < std::pair(text::Fold(b.first), b.first);
  });
  return entries;
}

}  // namespace

NWRCODE SimClient::EntryInfo(const VolumeRow& volume, const std::vector<std::string>& stored,
                             bool directory, nw::NW_ENTRY_INFO* entryInfo) {
  std::memset(static_cast<void*>(entryInfo), 0, sizeof *entryInfo);
  const std::string name = stored.empty() ? volume.name : stored.back();
  entryInfo->attributes = (directory ? nw::FA_DIRECTORY : 0) | (Hidden(name) ? nw::FA_HIDDEN : 0);
  entryInfo->inheritedRightsMask =
      stored.empty() ? nw::TA_ALL : FilterOf(network_.GetStore(), volume.id, DirectoryKey(stored));
  entryInfo->volNumber = volume.number;
  if (!Put(name, entryInfo->entryName, sizeof entryInfo->entryName)) return kBufferTooSmall;
  entryInfo->nameLength = static_cast<std::uint8_t>(std::strlen(entryInfo->entryName));
  return nw::kSuccess;
}

NWRCODE SimClient::NWDeleteTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                   const char* dirPath, nw::nuint32 objID) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnPath(
      conn, dirHandle, dirPath,
      [&](auto&, const VolumeRow& volume, auto& parsed) {
        if (!parsed.valid) return nw::kNoMoreEntries;
        // A trustee kept for a directory that is gone can still be removed.
        auto q = network_.GetStore().Prepare(
            "DELETE FROM trustees WHERE volume_id = ?1 AND dir_key = ?2 AND object_id = ?3");
        q.Bind(1, volume.id).Bind(2, DirectoryKey(parsed.directories)).Bind(3, objID);
        if (q.Run() > 0) return nw::kSuccess;
        return EntryOfPath(volume, parsed, false) ? nw::kTrusteeNotFound : nw::kNoMoreEntries;
      },
      /*writes=*/true);
}

NWRCODE SimClient::NWScanForTrustees(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                     const char* srchPath, nw::nuint32* iterHandle,
                                     std::uint16_t* numOfEntries, nw::NWET_INFO* entryTrustees) {
  CrossNetwork(RoundTrip::kClientCall);
  if (iterHandle == nullptr || numOfEntries == nullptr || entryTrustees == nullptr) {
    return kInvalidParameter;
  }
  *numOfEntries = 0;
  return OnPath(conn, dirHandle, srchPath, [&](auto&, const VolumeRow& volume, auto& parsed) {
    auto stored = EntryOfPath(volume, parsed, false);
    if (!stored) return nw::kNoMoreEntries;
    // Keyset iteration, as for a directory's list.
    auto q = network_.GetStore().Prepare(
        "SELECT object_id, object_id, rights FROM trustees WHERE volume_id = ?1 "
        "AND dir_key = ?2 AND object_id > ?3 ORDER BY object_id LIMIT ?4");
    q.Bind(1, volume.id).Bind(2, DirectoryKey(*stored)).Bind(3, *iterHandle);
    q.Bind(4, static_cast<std::int64_t>(nw::kTrusteeBatch));
    std::uint16_t count = 0;
    for (; q.Step(); ++count) {
      if (count == 0) std::memset(static_cast<void*>(entryTrustees), 0, sizeof *entryTrustees);
      entryTrustees->trusteeList[count] = {static_cast<std::uint32_t>(q.Int(1)),
                                           static_cast<std::uint16_t>(q.Int(2)), 0};
      *iterHandle = static_cast<nw::nuint32>(q.Int(0));
    }
    if (count == 0) return nw::kNoMoreEntries;
    *numOfEntries = count;
    const std::string name = stored->empty() ? volume.name : stored->back();
    if (!Put(name, entryTrustees->entryName, sizeof entryTrustees->entryName)) {
      Clear(entryTrustees->entryName, sizeof entryTrustees->entryName);
    }
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                    const char* path, std::uint8_t, std::uint8_t, std::uint16_t,
                                    nw::nuint32, nw::NW_ENTRY_INFO* entryInfo) {
  CrossNetwork(RoundTrip::kClientCall);
  if (entryInfo == nullptr) return kInvalidParameter;
  return OnPath(conn, dirHandle, path, [&](auto&, const VolumeRow& volume, auto& parsed) {
    bool directory = true;
    auto stored = EntryOfPath(volume, parsed, false, &directory);
    if (!stored) return nw::kNoMoreEntries;
    return EntryInfo(volume, *stored, directory, entryInfo);
  });
}

NWRCODE SimClient::NWScanNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, std::uint8_t,
                                     std::uint16_t searchAttrs, nw::SEARCH_SEQUENCE* sequence,
                                     const char* searchPattern, nw::nuint32,
                                     nw::NW_ENTRY_INFO* entryInfo) {
  CrossNetwork(RoundTrip::kClientCall);
  if (sequence == nullptr || entryInfo == nullptr) return kInvalidParameter;
  return OnPath(
      conn, dirHandle, searchPattern, [&](auto&, const VolumeRow& volume, VolumePath parsed) {
        // The last component is the pattern of the names; what stands before it, the directory.
        if (parsed.directories.empty()) return kInvalidParameter;
        const std::string pattern = parsed.directories.back();
        parsed.directories.pop_back();
        auto stored = EntryOfPath(volume, parsed, true);
        if (!stored) return nw::kNoMoreEntries;
        std::uint32_t place = ScanPlace(*sequence);
        const std::string key = std::to_string(volume.id) + ":" + DirectoryKey(*stored) + ":" +
                                std::to_string(searchAttrs) + ":" + pattern;
        auto found = scans_.find(key);
        if (place == 0 || found == scans_.end()) {
          if (scans_.size() >= kMostScans) scans_.clear();
          fs::path folder = volume.root;
          for (const auto& name : *stored) folder /= name;
          found = scans_.insert_or_assign(key, ListEntries(folder, searchAttrs, pattern)).first;
        }
        if (place >= found->second.size()) {
          scans_.erase(found);
          return nw::kNoMoreFiles;
        }
        const auto [name, directory] = found->second[place];
        stored->push_back(name);
        SetScanPlace(sequence, place + 1);
        return EntryInfo(volume, *stored, directory, entryInfo);
      });
}

NWRCODE SimClient::NWSetNSEntryDOSInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                       const char* path, std::uint8_t, std::uint16_t,
                                       nw::nuint32 modifyDOSMask,
                                       const nw::MODIFY_DOS_INFO* dosInfo) {
  CrossNetwork(RoundTrip::kClientCall);
  if (dosInfo == nullptr) return kInvalidParameter;
  return OnPath(
      conn, dirHandle, path,
      [&](auto&, const VolumeRow& volume, auto& parsed) {
        auto stored = EntryOfPath(volume, parsed, false);
        if (!stored) return nw::kNoMoreEntries;
        if (!(modifyDOSMask & nw::DM_INHERITED_RIGHTS_MASK)) return nw::kSuccess;
        if (stored->empty()) return kAccessDenied;
        Store& store = network_.GetStore();
        const std::uint16_t now = FilterOf(store, volume.id, DirectoryKey(*stored));
        SetFilter(store, volume.id, text::Join(*stored, "/"),
                  (now & ~dosInfo->inheritanceRevokeMask) | dosInfo->inheritanceGrantMask);
        return nw::kSuccess;
      },
      /*writes=*/true);
}

NWRCODE SimClient::NWScanObject(nw::NWCONN_HANDLE conn, const char* searchName,
                                std::uint16_t searchType, nw::nuint32* objID, char* objName,
                                std::size_t objNameSize, std::uint16_t* objType,
                                std::uint8_t* hasPropertiesFlag, std::uint8_t* objFlags,
                                std::uint8_t* objSecurity) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (searchName == nullptr || objID == nullptr) return kInvalidParameter;
    Clear(objName, objNameSize);
    if (server.major > 3) return nw::kNoSuchObject;  // no bindery past version 3
    const std::string pattern = In(searchName);
    auto q = network_.GetStore().Prepare(
        "SELECT id, name, type FROM bindery WHERE server_id = ?1 AND id > ?2 "
        "AND (?3 = 65535 OR type = ?3) ORDER BY id");
    q.Bind(1, server.id).Bind(2, *objID == 0xFFFFFFFFu ? -1 : std::int64_t{*objID});
    for (q.Bind(3, searchType); q.Step();) {
      if (!text::WildcardMatch(pattern, q.Text(1))) continue;
      if (!Put(q.Text(1), objName, objNameSize)) return kBufferTooSmall;
      *objID = static_cast<nw::nuint32>(q.Int(0));
      if (objType != nullptr) *objType = static_cast<std::uint16_t>(q.Int(2));
      if (hasPropertiesFlag != nullptr) *hasPropertiesFlag = 0;
      if (objFlags != nullptr) *objFlags = 0;           // static
      if (objSecurity != nullptr) *objSecurity = 0x31;  // read: logged in; write: supervisor
      return nw::kSuccess;
    }
    return nw::kNoSuchObject;
  });
}

NWRCODE SimClient::NWGetObjectName(nw::NWCONN_HANDLE conn, nw::nuint32 objID, char* objName,
                                   std::size_t objNameSize, std::uint16_t* objType) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    Clear(objName, objNameSize);
    if (server.major > 3) return nw::kNoSuchObject;
    auto q = network_.GetStore().Prepare(
        "SELECT name, type FROM bindery WHERE server_id = ?1 AND id = ?2");
    q.Bind(1, server.id).Bind(2, objID);
    if (!q.Step()) return nw::kNoSuchObject;
    if (!Put(q.Text(0), objName, objNameSize)) return kBufferTooSmall;
    if (objType != nullptr) *objType = static_cast<std::uint16_t>(q.Int(1));
    return nw::kSuccess;
  });
}

NWRCODE SimClient::NWGetVolumeName(nw::NWCONN_HANDLE conn, std::uint16_t volNum, char* volName,
                                   std::size_t volNameSize) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    Clear(volName, volNameSize);
    if (volName == nullptr) return kInvalidParameter;
    const VolumeRow* volume = network_.Cached().VolumeByNumber(server.id, volNum);
    if (volume == nullptr) return nw::kVolumeDoesNotExist;
    return Put(volume->name, volName, volNameSize) ? nw::kSuccess : kBufferTooSmall;
  });
}

NWRCODE SimClient::NWCCGetConnInfo(nw::NWCONN_HANDLE conn, nw::nuint32 infoType, std::size_t len,
                                   void* buffer) {
  CrossNetwork(RoundTrip::kClientCall);
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    if (infoType != nw::NWCC_INFO_TREE_NAME || buffer == nullptr) return kInvalidParameter;
    const TreeRow* tree = network_.Cached().Tree(server.treeId);
    auto* text = static_cast<char*>(buffer);
    Clear(text, len);
    return Put(tree != nullptr ? tree->name : "", text, len) ? nw::kSuccess : kBufferTooSmall;
  });
}

NWRCODE SimClient::NWDSMapIDToName(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                                   nw::nuint32 objectID, char* objectName,
                                   std::size_t objectNameSize) {
  CrossNetwork(RoundTrip::kClientCall);
  auto found = contexts_.find(context);
  if (found == contexts_.end()) return kDsBadContext;
  return OnServer(conn, [&](const ServerRow& server) -> NWRCODE {
    Clear(objectName, objectNameSize);
    if (objectName == nullptr) return kInvalidParameter;
    const Catalog& catalog = network_.Cached();
    const TreeRow* tree = found->second.tree.empty() ? catalog.Tree(server.treeId)
                                                     : catalog.TreeByName(found->second.tree);
    Store& store = network_.GetStore();
    auto object = GetObject(store, objectID);
    if (tree == nullptr || !object || object->treeId != tree->id) return nw::kDsNoSuchEntry;
    // Leaf first, up to the top of the tree: the name NWDSMapNameToID takes from [Root].
    std::string dotted = object->name;
    for (int depth = 0; object->parentId != 0 && depth < 1000; ++depth) {
      object = GetObject(store, object->parentId);
      if (!object) return nw::kDsNoSuchEntry;
      dotted += "." + object->name;
    }
    return Put(dotted, objectName, objectNameSize) ? nw::kSuccess : kBufferTooSmall;
  });
}

}  // namespace sim
