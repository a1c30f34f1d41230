#include "restore/grant.h"

#include <array>

#include "formats/byte_buffer.h"
#include "formats/name_fold.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"
#include "restore/rights_mask.h"

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

// The rights a rights text can name; a restored "Read" carries 0x0004 as well, which no word
// shows and a dry run does not count as a change.
constexpr std::uint16_t kWordBits = formats::TR_READ | formats::TR_WRITE | formats::TR_CREATE |
                                    formats::TR_ERASE | formats::TR_ACCESS | formats::TR_FILESCAN |
                                    formats::TR_MODIFY | formats::TR_SUPERVISOR;

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

Granter::Granter(nw::NetWareClient& client, nw::FileListing& files, GrantOptions options)
    : client_(client), files_(files), options_(options) {}

Granter::~Granter() {
  for (const auto& [tree, context] : contexts_) client_.NWDSFreeContext(context);
  for (const auto& [name, server] : servers_) client_.NWCCCloseConn(server.conn);
}

GrantOutcome Granter::Grant(const formats::RightsRecord& record) {
  const std::uint16_t mask = RightsMaskFromText(record.rights);
  GrantOutcome outcome;
  Server server;
  if (!Connect(record.server, &server, &outcome)) {
    outcome.mask = mask;
    return outcome;
  }
  nw::nuint32 objectID = 0;
  if (!Lookup(record, server, &objectID, &outcome)) {
    outcome.mask = mask;
  } else if (options_.dryRun) {
    outcome = LookAt(record, server, objectID, mask);
  } else {
    const nw::NWRCODE rc =
        client_.NWAddTrustee(server.conn, kFullPathDirHandle,
                             formats::Utf8ToCp1252(record.directory).c_str(), objectID, mask);
    outcome = rc == 0 ? GrantOutcome{GrantStatus::kAdded, GrantFailure::kNone, 0, 0, mask, 0}
                      : Failed(GrantFailure::kAddTrustee, rc, mask);
  }
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
  if (options_.reuse) {
    const auto known = objects_.find(key);
    if (known != objects_.end()) {
      *objectID = known->second;
      return true;
    }
  }

  nw::NWRCODE rc = 0;
  if (server.bindery) {
    rc = client_.NWGetObjectID(server.conn, reinterpret_cast<const char*>(binderyBuffer.data()),
                               nw::OT_USER, objectID);
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
  if (options_.reuse) objects_[key] = *objectID;
  return true;
}

GrantOutcome Granter::LookAt(const formats::RightsRecord& record, const Server& server,
                             nw::nuint32 objectID, std::uint16_t mask) {
  GrantOutcome outcome;
  outcome.mask = mask;
  const std::string path = formats::Utf8ToCp1252(record.directory);
  bool listed = false;
  nw::nuint32 iteration = 0;
  std::array<char, 512> dirName{};
  std::array<nw::TrusteeEntry, nw::kTrusteeBatch> batch{};
  while (true) {
    nw::nuint32 dateTime = 0;
    nw::nuint32 ownerID = 0;
    batch.fill({});
    const nw::NWRCODE rc = client_.NWScanDirectoryForTrustees2(
        server.conn, kFullPathDirHandle, path.c_str(), &iteration, dirName.data(), dirName.size(),
        &dateTime, &ownerID, batch.data());
    if (rc != 0) {
      if (Broken(rc)) return Failed(GrantFailure::kConnection, rc, mask);
      break;
    }
    listed = true;
    for (const nw::TrusteeEntry& entry : batch) {
      if (entry.ObjectID == 0) break;
      if (entry.ObjectID != objectID) continue;
      outcome.oldMask = entry.ObjectRights;
      outcome.status = (entry.ObjectRights & kWordBits) == (mask & kWordBits)
                           ? GrantStatus::kAlreadyThere
                           : GrantStatus::kWouldChange;
      return outcome;
    }
  }
  // An empty trustee list and a directory that is not there answer alike: ask the volume.
  if (!listed && !DirectoryExists(record, server)) {
    return Failed(GrantFailure::kDirectoryMissing, 0, mask);
  }
  outcome.status = GrantStatus::kWouldAdd;
  return outcome;
}

bool Granter::DirectoryExists(const formats::RightsRecord& record, const Server& server) {
  const std::size_t colon = record.directory.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  const std::string volume = record.directory.substr(0, colon);
  nw::nuint32 number = 0;
  if (client_.NWGetVolumeNumber(server.conn, formats::Utf8ToCp1252(volume).c_str(), &number) != 0) {
    return false;
  }
  std::string listing = "\\\\" + record.server + "\\" + volume;
  bool root = true;
  std::string component;
  for (std::size_t i = colon + 1; i <= record.directory.size(); ++i) {
    const char c = i < record.directory.size() ? record.directory[i] : '\\';
    if (c != '\\' && c != '/') {
      component += c;
      continue;
    }
    if (component.empty()) continue;
    listing += "\\" + component;
    root = false;
    component.clear();
  }
  return root || !files_.Dir(listing).empty();
}

}  // namespace restore
