#pragma once
// A directory's or file's whole trustee list, read in batches by the capture's scan and by the
// restore's dry run and comparisons.

#include <array>
#include <unordered_map>

#include "netware/nw_client.h"

namespace nw {

// Object ID to rights; where an ID stands twice, its first entry counts.
using TrusteeList = std::unordered_map<nuint32, std::uint16_t>;

// The list of a file or directory through NWScanForTrustees, which reads both: for callers
// that know the path stands (the restore), one call a batch whatever it names.
inline NWRCODE ReadEntryTrusteeList(NetWareClient& client, NWCONN_HANDLE conn, const char* path,
                                    TrusteeList* list) {
  constexpr std::uint8_t kFullPathDirHandle = 0;
  nuint32 iteration = 0;
  while (true) {
    NWET_INFO batch{};
    std::uint16_t count = 0;
    const NWRCODE rc =
        client.NWScanForTrustees(conn, kFullPathDirHandle, path, &iteration, &count, &batch);
    if (rc == kNoMoreEntries) return 0;
    if (rc != 0) return rc;
    const int filled = count < kTrusteeBatch ? count : kTrusteeBatch;
    for (int i = 0; i < filled; ++i) {
      if (batch.trusteeList[i].ObjectID == 0) continue;
      list->try_emplace(batch.trusteeList[i].ObjectID, batch.trusteeList[i].ObjectRights);
    }
    // A short batch is the last: no call is spent on hearing so.
    if (count < kTrusteeBatch) return 0;
  }
}

// Reads the list of the directory or file `path` (a full path, in the client's code page)
// into `list`, as the scan does: through the directory call, and a path that call does not
// know on its first call (a file, an empty directory, nothing) asked again as a file. 0 when
// the whole list was read; otherwise the code of the call that failed, with the entries read
// before it in `list`.
inline NWRCODE ReadTrusteeList(NetWareClient& client, NWCONN_HANDLE conn, const char* path,
                               TrusteeList* list) {
  constexpr std::uint8_t kFullPathDirHandle = 0;
  std::array<TrusteeEntry, kTrusteeBatch> batch{};
  std::array<char, 256> dirName{};
  nuint32 iteration = 0;
  bool first = true;
  while (true) {
    nuint32 dateTime = 0;
    nuint32 ownerID = 0;
    batch.fill({});
    const NWRCODE rc = client.NWScanDirectoryForTrustees2(
        conn, kFullPathDirHandle, path, &iteration, dirName.data(), dirName.size(), &dateTime,
        &ownerID, batch.data());
    if (rc == kNoMoreEntries) {
      return first ? ReadEntryTrusteeList(client, conn, path, list) : 0;
    }
    if (rc != 0) return rc;
    first = false;
    for (const TrusteeEntry& entry : batch) {
      // A short batch is the last: no call is spent on hearing so.
      if (entry.ObjectID == 0) return 0;
      list->try_emplace(entry.ObjectID, entry.ObjectRights);
    }
  }
}

}  // namespace nw
