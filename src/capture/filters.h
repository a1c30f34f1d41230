#pragma once
// The inherited rights filters of a volume, as the filters file beside the rights file holds
// them.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/filters_file.h"
#include "netware/nw_client.h"

namespace capture {

// Every filter of the volume `volume` of server `server` that blocks a right, sorted by the
// path's folded key, each with the server and volume as named here and the path as the rights
// file writes a directory ("DATA:\Home\alice"). Throws std::runtime_error naming the server
// and volume when the volume cannot be reached or walked whole.
std::vector<formats::FilterRecord> ReadFilters(nw::NetWareClient& client, const std::string& server,
                                               const std::string& volume);

// The filter of a walked entry (`path` as the walk gives it, in the client's code page), or
// nullopt when it lets every right through, which is the same as none.
std::optional<formats::FilterRecord> EntryFilter(const std::string& server, const std::string& path,
                                                 const nw::NW_ENTRY_INFO& entry);
// The failure of a walk that ended with `rc`.
std::runtime_error FiltersUnreadable(const std::string& server, const std::string& volume,
                                     nw::NWRCODE rc);
// Puts filters in the filters file's order: by the path's folded key, ties as they came.
void SortFilters(std::vector<formats::FilterRecord>& filters);

// The connection to the server of "\\SERVER\VOLUME" that the scan and the filters use; throws
// std::runtime_error naming the network path when it cannot be reached.
nw::NWCONN_HANDLE VolumeConnection(nw::NetWareClient& client, const std::string& server,
                                   const std::string& volume);

}  // namespace capture
