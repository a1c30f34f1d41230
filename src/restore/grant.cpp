#include "restore/grant.h"

#include <algorithm>
#include <array>
#include <optional>

#include "formats/byte_buffer.h"
#include "formats/name_fold.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"
#include "netware/trustee_list.h"

namespace restore {
namespace {

constexpr std::size_t kNameBufferSize = 128;        // tree name and name context
constexpr std::size_t kNdsNameBufferSize = 257;     // a complete NDS name and its zero
constexpr std::size_t kBinderyNameBufferSize = 48;  // a bindery object name and its zero
constexpr std::uint8_t kFullPathDirHandle = 0;      // the path starts with the volume

// Copies `text` and its zero into `buffer`; false when it does not fit.
template <std::size_t N>
bool Terminated(std::array<std::uint8_t, N>& buffer, const std::string& text) {
  if (formats::Utf8ToCp1252(text).size() + 1 > N) return false;
  formats::CopyTextToBytes(buffer, text + '\0');
  return true;
}

bool Broken(nw::NWRCODE code) { return code == nw::kInvalidConnection || code == nw::kServerDown; }

GrantOutcome Failed(GrantFailure failure, nw::NWRCODE code, std::uint16_t mask,
                    std::size_t limit = 0) {
  GrantOutcome outcome;
  outcome.failure = failure;
  outcome.code = code;
  outcome.mask = mask;
  outcome.limit = limit;
  return outcome;
}

}  // namespace

Granter::Granter(nw::NetWareClient& client, GrantOptions options)
    : client_(client), options_(options) {}

Granter::~Granter() {
  for (const auto& [tree, context] : contexts_) client_.NWDSFreeContext(context);
  for (const auto& [name, server] : servers_) client_.NWCCCloseConn(server.conn);
}

GrantOutcome Granter::Grant(const formats::RightsRecord& record) {
  // A word that is no right would otherwise grant the rest without it: nothing is asked.
  const std::optional<std::uint16_t> rights = formats::RightsMaskFromText(record.rights);
  if (!rights) return Failed(GrantFailure::kBadRights, 0, 0);
  const std::uint16_t mask = *rights;
  // Without reuse a directory is asked afresh for each record.
  if (!options_.reuse) directories_.clear();
  GrantOutcome outcome;
  Server server;
  if (!Connect(record.server, &server, &outcome)) {
    outcome.mask = mask;
    return outcome;
  }
  nw::nuint32 objectID = 0;
  if (!Lookup(record, server, &objectID, &outcome)) {
    outcome.mask = mask;
  } else if (options_.dryRun || options_.reuse) {
    outcome = Settle(record, server, objectID, mask);
  } else {
    const nw::NWRCODE rc =
        client_.NWAddTrustee(server.conn, kFullPathDirHandle,
                             formats::Utf8ToCp1252(record.directory).c_str(), objectID, mask);
    outcome = rc == 0 ? GrantOutcome{GrantStatus::kGranted, GrantFailure::kNone, 0, 0, mask, 0}
                      : Failed(GrantFailure::kAddTrustee, rc, mask);
  }
  if (outcome.failure != GrantFailure::kObjectNotFound) outcome.objectID = objectID;
  Release(record.server, server, outcome.code);
  return outcome;
}

bool Granter::Connect(const std::string& name, Server* found, GrantOutcome* outcome) {
  const std::string key = formats::FoldName(name);
  if (options_.reuse) {
    const auto kept = servers_.find(key);
    if (kept != servers_.end()) {
      *found = kept->second;
      return true;
    }
  }
  const std::string server = formats::Utf8ToCp1252(name);
  Server opened;
  const nw::NWRCODE rc =
      client_.NWCCOpenConnByName(0, server.c_str(), nw::NWCC_NAME_FORMAT_BIND,
                                 nw::NWCC_OPEN_LICENSED, nw::NWCC_TRAN_TYPE_WILD, &opened.conn);
  if (rc != 0) {
    *outcome = Failed(GrantFailure::kConnection, rc, 0);
    return false;
  }
  std::array<std::uint8_t, nw::kVersionInfoSize + 2> version{};
  client_.NWGetFileServerVersionInfo(opened.conn, version.data(), nw::kVersionInfoSize);
  opened.bindery = version[nw::kVersionMajorOffset] <= 3;
  if (options_.reuse) servers_[key] = opened;
  *found = opened;
  return true;
}

void Granter::Release(const std::string& name, const Server& used, nw::NWRCODE lastCode) {
  if (!options_.reuse) {
    client_.NWCCCloseConn(used.conn);
    return;
  }
  // A connection that broke is dropped, so the next record of its server opens a new one.
  if (Broken(lastCode)) {
    client_.NWCCCloseConn(used.conn);
    servers_.erase(formats::FoldName(name));
  }
}

bool Granter::Lookup(const formats::RightsRecord& record, const Server& server,
                     nw::nuint32* objectID, GrantOutcome* outcome) {
  std::array<std::uint8_t, kNdsNameBufferSize> objectBuffer{};
  std::array<std::uint8_t, kBinderyNameBufferSize> binderyBuffer{};
  const bool objectFits = server.bindery ? Terminated(binderyBuffer, record.object)
                                         : Terminated(objectBuffer, record.object);
  if (!objectFits) {
    *outcome = Failed(GrantFailure::kObjectNameTooLong, 0, 0,
                      (server.bindery ? kBinderyNameBufferSize : kNdsNameBufferSize) - 1);
    return false;
  }
  // A bindery name stands for an object of its own server, an NDS name for one of its tree.
  const std::pair<std::string, std::string> key{server.bindery
                                                    ? "server " + formats::FoldName(record.server)
                                                    : "tree " + formats::FoldName(record.tree),
                                                formats::FoldName(record.object)};
  // Shared, the run's objects are kept once, not once a granter.
  if (options_.reuse && shared_) {
    if (const std::optional<nw::nuint32> found = shared_->Find(key)) {
      *objectID = *found;
      return true;
    }
  } else if (options_.reuse) {
    const auto known = objects_.find(key);
    if (known != objects_.end()) {
      *objectID = known->second;
      return true;
    }
  }

  nw::NWRCODE rc = 0;
  if (server.bindery) {
    const char* name = reinterpret_cast<const char*>(binderyBuffer.data());
    rc = client_.NWGetObjectID(server.conn, name, nw::OT_USER, objectID);
    if (rc == nw::kNoSuchObject && options_.groups) {
      rc = client_.NWGetObjectID(server.conn, name, nw::OT_GROUP, objectID);
    }
  } else {
    std::array<std::uint8_t, kNameBufferSize> nameBuffer{};
    if (!Terminated(nameBuffer, record.tree)) {
      *outcome = Failed(GrantFailure::kTreeNameTooLong, 0, 0, kNameBufferSize - 1);
      return false;
    }
    const auto kept = options_.reuse ? contexts_.find(key.first) : contexts_.end();
    nw::NWDSContextHandle context = kept == contexts_.end() ? 0 : kept->second;
    if (kept == contexts_.end()) {
      rc = client_.NWDSCreateContextHandle(&context);
      if (rc == 0) {
        rc = client_.NWDSSetContext(context, nw::DCK_TREE_NAME, nameBuffer.data());
        Terminated(nameBuffer, "[Root]");
        if (rc == 0) rc = client_.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, nameBuffer.data());
        if (rc != 0) client_.NWDSFreeContext(context);
      }
      if (rc == 0 && options_.reuse) contexts_[key.first] = context;
    }
    if (rc == 0) {
      rc = client_.NWDSMapNameToID(context, server.conn,
                                   reinterpret_cast<const char*>(objectBuffer.data()), objectID);
      if (!options_.reuse) client_.NWDSFreeContext(context);
    }
  }
  // Never add a trustee under an identifier that was not found for this very record.
  if (rc != 0) {
    *outcome = Failed(GrantFailure::kObjectNotFound, rc, 0);
    return false;
  }
  if (options_.reuse && shared_) {
    shared_->Add(key, *objectID);
  } else if (options_.reuse) {
    objects_[key] = *objectID;
  }
  return true;
}

std::optional<nw::nuint32> FoundObjects::Find(const Key& key) const {
  std::lock_guard lock(mutex_);
  const auto found = ids_.find(key);
  if (found == ids_.end()) return std::nullopt;
  return found->second;
}

void FoundObjects::Add(const Key& key, nw::nuint32 id) {
  std::lock_guard lock(mutex_);
  ids_.emplace(key, id);
}

GrantOutcome Granter::Settle(const formats::RightsRecord& record, const Server& server,
                             nw::nuint32 objectID, std::uint16_t mask) {
  GrantOutcome outcome;
  Directory* directory = ReadDirectory(record.server, record.directory, server, &outcome);
  if (directory == nullptr) {
    outcome.mask = mask;
    return outcome;
  }
  if (directory->missing != 0) {
    return Failed(GrantFailure::kDirectoryMissing, directory->missing, mask);
  }
  outcome.mask = mask;
  std::optional<std::uint16_t> held;
  {
    const auto lock = LockHeld();
    if (const auto found = directory->held.find(objectID); found != directory->held.end()) {
      held = found->second;
    }
  }
  if (!held) {
    outcome.status = GrantStatus::kAdded;
  } else {
    outcome.oldMask = *held;
    outcome.status =
        (*held & kWordBits) == (mask & kWordBits) ? GrantStatus::kSame : GrantStatus::kChanged;
  }
  // A mask held exactly needs no grant; one that differs only in a bit with no word does.
  if (!options_.dryRun && held != mask) {
    const nw::NWRCODE rc =
        client_.NWAddTrustee(server.conn, kFullPathDirHandle,
                             formats::Utf8ToCp1252(record.directory).c_str(), objectID, mask);
    if (rc != 0) return Failed(GrantFailure::kAddTrustee, rc, mask);
  }
  // A later record of the same trustee and directory sees what this one granted (or, in a
  // dry run, would have).
  const auto lock = LockHeld();
  directory->held[objectID] = mask;
  return outcome;
}

GrantOutcome Granter::SetFilter(const std::string& serverName, const std::string& path,
                                const std::string& rights) {
  const std::optional<std::uint16_t> parsed = formats::RightsMaskFromText(rights);
  if (!parsed) return Failed(GrantFailure::kBadRights, 0, 0);
  // The server refuses it; a dry run is to say so without asking.
  const std::string key = formats::DirectoryKey(path);
  if (!key.empty() && key.back() == ':') return Failed(GrantFailure::kVolumeRoot, 0, 0);
  // All eight words let every right through, which is no filter at all.
  const std::uint16_t words = *parsed & kWordBits;
  const std::uint16_t mask = words == kWordBits ? nw::TA_ALL : *parsed & nw::TA_ALL;
  GrantOutcome outcome;
  Server server;
  if (!Connect(serverName, &server, &outcome)) {
    outcome.mask = mask;
    return outcome;
  }
  Directory* entry = ReadDirectory(serverName, path, server, &outcome);
  if (entry == nullptr) {
    outcome.mask = mask;
  } else if (entry->missing != 0) {
    outcome = Failed(GrantFailure::kDirectoryMissing, entry->missing, mask);
  } else {
    const std::uint16_t filter = [&] {
      const auto lock = LockHeld();
      return entry->filter;
    }();
    const std::uint16_t held = filter & kWordBits;
    outcome.mask = mask;
    outcome.oldMask = filter;
    outcome.status = held == words       ? GrantStatus::kSame
                     : held == kWordBits ? GrantStatus::kAdded
                                         : GrantStatus::kChanged;
    if (!options_.dryRun && outcome.status != GrantStatus::kSame) {
      // Every right blocked, then the filter's own let through: the filter becomes `mask`.
      const nw::MODIFY_DOS_INFO info{mask, 0xFFFF};
      const nw::NWRCODE rc = client_.NWSetNSEntryDOSInfo(
          server.conn, kFullPathDirHandle, formats::Utf8ToCp1252(path).c_str(), nw::NW_NS_DOS,
          nw::FA_ALL_ENTRIES, nw::DM_INHERITED_RIGHTS_MASK, &info);
      if (rc != 0) {
        outcome =
            Failed(Broken(rc) ? GrantFailure::kConnection : GrantFailure::kSetFilter, rc, mask);
      }
    }
    if (outcome.status != GrantStatus::kFailed) {
      const auto lock = LockHeld();
      entry->filter = mask;
    }
  }
  Release(serverName, server, outcome.code);
  return outcome;
}

Granter::Directory* Granter::ReadDirectory(const std::string& serverName,
                                           const std::string& directory, const Server& server,
                                           GrantOutcome* outcome) {
  const std::string key = formats::FoldName(serverName) + "|" + formats::DirectoryKey(directory);
  std::unique_lock<std::mutex> reading;
  SharedDirectories::Slot* slot = nullptr;
  if (sharedDirectories_) {
    // One granter reads a directory; the others meeting it wait, then take what it read.
    slot = &sharedDirectories_->SlotOf(key);
    reading = std::unique_lock(slot->reading);
    if (slot->read) return slot->read.get();
  } else if (const auto known = directories_.find(key); known != directories_.end()) {
    return &known->second;
  }
  const auto keep = [&](Directory read) -> Directory* {
    if (!slot) return &(directories_[key] = std::move(read));
    slot->read = std::make_unique<Directory>(std::move(read));
    return slot->read.get();
  };

  const std::string path = formats::Utf8ToCp1252(directory);
  const auto unread = [&](nw::NWRCODE rc) {
    *outcome =
        Failed(Broken(rc) ? GrantFailure::kConnection : GrantFailure::kDirectoryUnread, rc, 0);
    return nullptr;
  };
  // An empty trustee list and a path that names nothing answer alike, and a folder that is
  // gone may still carry stale entries: the server is asked what the path is first. This
  // call answers for a file as for a directory, hidden ones included.
  nw::NW_ENTRY_INFO entry{};
  nw::NWRCODE rc = client_.NWGetNSEntryInfo(server.conn, kFullPathDirHandle, path.c_str(),
                                            nw::NW_NS_DOS, nw::NW_NS_DOS, nw::FA_ALL_ENTRIES,
                                            nw::IM_ATTRIBUTES | nw::IM_RIGHTS, &entry);
  if (rc == nw::kNoMoreEntries || rc == nw::kVolumeDoesNotExist) {
    Directory missing;
    missing.missing = rc;
    return keep(std::move(missing));
  }
  if (rc != 0) return unread(rc);

  Directory read;
  read.filter = entry.inheritedRightsMask;
  rc = nw::ReadEntryTrusteeList(client_, server.conn, path.c_str(), &read.held);
  if (rc != 0) return unread(rc);
  return keep(std::move(read));
}

std::unique_lock<std::mutex> Granter::LockHeld() {
  return sharedDirectories_ ? std::unique_lock(sharedDirectories_->held)
                            : std::unique_lock<std::mutex>();
}

SharedDirectories::Slot& SharedDirectories::SlotOf(const std::string& key) {
  const std::lock_guard lock(mutex_);
  std::unique_ptr<Slot>& slot = slots_[key];
  if (!slot) slot = std::make_unique<Slot>();
  return *slot;
}

}  // namespace restore
