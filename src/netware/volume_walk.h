#pragma once
// The walk over every file and directory of a volume: the capture reads the filters with it,
// the exact restore every place that can hold a trustee or a filter.

#include <functional>
#include <string>

#include "netware/nw_client.h"

namespace nw {

// The answer of NWScanNSEntryInfo once a directory has no more entries.
inline constexpr NWRCODE kNoMoreFiles = 0x89FF;

using VolumeVisit = std::function<void(const std::string& path, const NW_ENTRY_INFO& entry)>;
// Sees one entry of a directory; a code other than 0 ends the listing with that code.
using EntryVisit = std::function<NWRCODE(const std::string& path, const NW_ENTRY_INFO& entry)>;

// Visits the entries of the directory `directory` ("DATA:" for the root, "DATA:\Apps" below
// it) in the server's order, not those of its subdirectories. `path` is as for WalkVolume.
// 0 when the whole directory was listed; otherwise the code that ended it.
inline NWRCODE ListDirectory(NetWareClient& client, NWCONN_HANDLE conn,
                             const std::string& directory, const EntryVisit& visit) {
  constexpr std::uint8_t kFullPathDirHandle = 0;
  const std::string pattern = directory + "\\*";
  SEARCH_SEQUENCE sequence{};
  for (std::uint8_t& byte : sequence.searchDirNumber) byte = 0xFF;
  while (true) {
    NW_ENTRY_INFO entry{};
    const NWRCODE rc = client.NWScanNSEntryInfo(conn, kFullPathDirHandle, NW_NS_DOS, FA_ALL_ENTRIES,
                                                &sequence, pattern.c_str(),
                                                IM_ENTRY_NAME | IM_ATTRIBUTES | IM_RIGHTS, &entry);
    if (rc == kNoMoreFiles) return 0;
    if (rc != 0) return rc;
    entry.entryName[sizeof(entry.entryName) - 1] = 0;
    const NWRCODE stop = visit(directory + "\\" + entry.entryName, entry);
    if (stop != 0) return stop;
  }
}

namespace detail {

// Each directory's own entries right after it.
inline NWRCODE WalkDirectory(NetWareClient& client, NWCONN_HANDLE conn,
                             const std::string& directory, const VolumeVisit& visit) {
  return ListDirectory(client, conn, directory,
                       [&](const std::string& path, const NW_ENTRY_INFO& entry) -> NWRCODE {
                         visit(path, entry);
                         if ((entry.attributes & FA_DIRECTORY) == 0) return 0;
                         return WalkDirectory(client, conn, path, visit);
                       });
}

}  // namespace detail

// Every entry of the volume below its root, directories before what they hold, each
// directory's entries in the server's order. `path` is the entry's full path as the client
// takes it ("DATA:\Apps\EDIT.EXE", in the client's code page), the form NWAddTrustee takes.
// 0 when the whole volume was walked; otherwise the code of the scan that failed, with the
// entries before it visited.
inline NWRCODE WalkVolume(NetWareClient& client, NWCONN_HANDLE conn, const std::string& volume,
                          const VolumeVisit& visit) {
  return detail::WalkDirectory(client, conn, volume + ":", visit);
}

}  // namespace nw
