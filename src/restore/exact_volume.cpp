#include "restore/exact_volume.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "formats/byte_buffer.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"
#include "netware/trustee_list.h"
#include "netware/volume_walk.h"
#include "restore/grant.h"

namespace restore {
namespace {

constexpr std::uint8_t kFullPathDirHandle = 0;
constexpr std::size_t kNdsNameBufferSize = 257;
constexpr std::size_t kBinderyNameBufferSize = 48;

// The names of trustees by their IDs, asked once each: of the bindery on a version 3 server,
// else of the tree.
class Names {
 public:
  Names(nw::NetWareClient& client, nw::NWCONN_HANDLE conn, bool bindery, const std::string& tree)
      : client_(client), conn_(conn), bindery_(bindery) {
    if (bindery_) return;
    // A tree name the buffer cannot carry names no tree: every ID then has no name.
    std::array<std::uint8_t, 128> treeName{};
    try {
      formats::CopyTextToBytes(treeName, tree + '\0');
    } catch (const formats::FormatError&) {
      return;
    }
    if (client_.NWDSCreateContextHandle(&context_) != 0) return;
    std::array<std::uint8_t, 8> root{};
    formats::CopyTextToBytes(root, std::string("[Root]") + '\0');
    nw::NWRCODE rc = client_.NWDSSetContext(context_, nw::DCK_TREE_NAME, treeName.data());
    if (rc == 0) rc = client_.NWDSSetContext(context_, nw::DCK_NAME_CONTEXT, root.data());
    if (rc != 0) {
      client_.NWDSFreeContext(context_);
      return;
    }
    haveContext_ = true;
  }
  ~Names() {
    if (haveContext_) client_.NWDSFreeContext(context_);
  }
  Names(const Names&) = delete;
  Names& operator=(const Names&) = delete;

  // The name, or "" when the ID maps to none.
  const std::string& Of(nw::nuint32 id) {
    const auto known = names_.find(id);
    if (known != names_.end()) return known->second;
    std::array<char, kNdsNameBufferSize> name{};
    nw::NWRCODE rc = nw::kNoSuchObject;
    if (bindery_) {
      std::uint16_t type = 0;
      rc = client_.NWGetObjectName(conn_, id, name.data(), kBinderyNameBufferSize, &type);
    } else if (haveContext_) {
      rc = client_.NWDSMapIDToName(context_, conn_, id, name.data(), name.size());
    }
    name.back() = 0;
    return names_[id] = rc == 0 ? formats::Cp1252ToUtf8(name.data()) : std::string();
  }

 private:
  nw::NetWareClient& client_;
  nw::NWCONN_HANDLE conn_;
  bool bindery_;
  nw::NWDSContextHandle context_ = 0;
  bool haveContext_ = false;
  std::map<nw::nuint32, std::string> names_;
};

std::string NoName(nw::nuint32 id) {
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "(no name: ID 0x%08X)", static_cast<unsigned>(id));
  return text.data();
}

struct Entry {
  std::string path;  // as the client takes it
  std::uint16_t filter = nw::TA_ALL;
  bool root = false;
};

}  // namespace

nw::NWRCODE MakeExact(nw::NetWareClient& client, const ExactVolume& volume, bool dryRun,
                      const std::function<void(const Removal&)>& each) {
  nw::NWCONN_HANDLE conn = 0;
  nw::NWRCODE rc = client.NWCCOpenConnByName(0, formats::Utf8ToCp1252(volume.server).c_str(),
                                             nw::NWCC_NAME_FORMAT_BIND, nw::NWCC_OPEN_LICENSED,
                                             nw::NWCC_TRAN_TYPE_WILD, &conn);
  if (rc != 0) return rc;
  // Closed however the walk ends, a sink that throws included.
  const std::unique_ptr<nw::NWCONN_HANDLE, std::function<void(nw::NWCONN_HANDLE*)>> closer(
      &conn, [&](nw::NWCONN_HANDLE* open) { client.NWCCCloseConn(*open); });
  std::array<std::uint8_t, nw::kVersionInfoSize + 2> version{};
  client.NWGetFileServerVersionInfo(conn, version.data(), nw::kVersionInfoSize);
  const bool bindery = version[nw::kVersionMajorOffset] <= 3;
  std::string tree = volume.tree;
  if (tree.empty()) {
    std::array<char, 128> name{};
    if (client.NWCCGetConnInfo(conn, nw::NWCC_INFO_TREE_NAME, name.size() - 1, name.data()) == 0) {
      tree = formats::Cp1252ToUtf8(name.data());
    }
  }

  // The whole list of places first: nothing removed while the server is still being walked.
  std::vector<Entry> entries{{formats::Utf8ToCp1252(volume.volume) + ":", nw::TA_ALL, true}};
  rc = nw::WalkVolume(client, conn, formats::Utf8ToCp1252(volume.volume),
                      [&](const std::string& path, const nw::NW_ENTRY_INFO& entry) {
                        entries.push_back({path, entry.inheritedRightsMask, false});
                      });
  if (rc == 0) {
    Names names(client, conn, bindery, tree);
    for (const Entry& entry : entries) {
      const std::string path = formats::Cp1252ToUtf8(entry.path);
      const std::string key = formats::DirectoryKey(path);
      nw::TrusteeList held;
      rc = nw::ReadEntryTrusteeList(client, conn, entry.path.c_str(), &held);
      if (rc != 0) break;
      std::vector<std::pair<nw::nuint32, std::uint16_t>> sorted(held.begin(), held.end());
      std::sort(sorted.begin(), sorted.end());
      for (const auto& [id, mask] : sorted) {
        if (volume.trusteeIDs.contains({key, id})) continue;
        const std::string& name = names.Of(id);
        if (!name.empty() && volume.trusteeNames.contains({key, formats::FoldName(name)})) {
          continue;
        }
        Removal removal{false, tree, name.empty() ? NoName(id) : name, path, mask, 0};
        if (!dryRun)
          removal.code = client.NWDeleteTrustee(conn, kFullPathDirHandle, entry.path.c_str(), id);
        each(removal);
      }
      if (!volume.exactFilters || entry.root || (entry.filter & kWordBits) == kWordBits ||
          volume.filters.contains(key)) {
        continue;
      }
      Removal removal{true, "", "", path, entry.filter, 0};
      if (!dryRun) {
        const nw::MODIFY_DOS_INFO info{nw::TA_ALL, 0xFFFF};
        removal.code =
            client.NWSetNSEntryDOSInfo(conn, kFullPathDirHandle, entry.path.c_str(), nw::NW_NS_DOS,
                                       nw::FA_ALL_ENTRIES, nw::DM_INHERITED_RIGHTS_MASK, &info);
      }
      each(removal);
    }
  }
  return rc;
}

}  // namespace restore
