#pragma once
// A volume's assignments read entry by entry: every directory's and file's trustee list in
// batches, rather than each object's paths one call at a time. What it finds is written in
// the per-object scan's order: each object's paths in the order the server returns them
// (by their folded path), with the names the per-object scan rebuilds.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "capture/volume_scan.h"
#include "netware/file_listing.h"
#include "netware/nw_client.h"

namespace capture {

struct EntryTrustees {
  // The directory field of its records, as the per-object scan writes it ("DATA:\Apps").
  std::string recordPath;
  // Orders one object's paths as NWScanObjectTrusteePaths returns them.
  std::string key;
  // Each trustee's ID and rights (an ID standing twice: its first entry).
  std::vector<std::pair<nw::nuint32, std::uint16_t>> trustees;
};

// The trustee list of the entry `clientPath` of the target volume ("DATA:" for its root,
// "DATA:\Apps\EDIT.EXE", in the client's code page), its record path rebuilt through
// `listing` only when it has trustees. `mayBeGone`: read through the directory call, which
// answers for a directory the volume no longer shows as the per-object scan's calls do.
// Throws std::runtime_error naming the entry when the list cannot be read.
EntryTrustees ReadEntryTrustees(nw::NetWareClient& client, nw::NWCONN_HANDLE conn,
                                nw::FileListing& listing, const ScanTarget& target,
                                const std::string& clientPath, bool mayBeGone = false);

// The key EntryTrustees orders by, of the entry `clientPath`.
std::string EntryKey(const std::string& clientPath);

}  // namespace capture
