#pragma once
// A directory's whole trustee list, read in batches: the capture's scan, the restore's dry run
// and its comparisons all read it this one way.

#include <array>
#include <unordered_map>

#include "netware/nw_client.h"

namespace nw {

// Object ID to rights; where an ID stands twice, its first entry counts.
using TrusteeList = std::unordered_map<nuint32, std::uint16_t>;

// Reads the list of the directory `path` (a full path, in the client's code page) into
// `list`. 0 when the whole list was read; otherwise the code of the call that failed, with
// the entries read before it in `list`.
inline NWRCODE ReadTrusteeList(NetWareClient& client, NWCONN_HANDLE conn, const char* path,
                               TrusteeList* list) {
  constexpr std::uint8_t kFullPathDirHandle = 0;
  std::array<TrusteeEntry, kTrusteeBatch> batch{};
  std::array<char, 256> dirName{};
  nuint32 iteration = 0;
  while (true) {
    nuint32 dateTime = 0;
    nuint32 ownerID = 0;
    batch.fill({});
    const NWRCODE rc = client.NWScanDirectoryForTrustees2(
        conn, kFullPathDirHandle, path, &iteration, dirName.data(), dirName.size(), &dateTime,
        &ownerID, batch.data());
    if (rc == kNoMoreEntries) return 0;
    if (rc != 0) return rc;
    for (const TrusteeEntry& entry : batch) {
      // A short batch is the last: no call is spent on hearing so.
      if (entry.ObjectID == 0) return 0;
      list->try_emplace(entry.ObjectID, entry.ObjectRights);
    }
  }
}

}  // namespace nw
