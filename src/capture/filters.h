#pragma once
// The inherited rights filters of a volume, as the filters file beside the rights file holds
// them.

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

// The connection to the server of "\\SERVER\VOLUME" that the scan and the filters use; throws
// std::runtime_error naming the network path when it cannot be reached.
nw::NWCONN_HANDLE VolumeConnection(nw::NetWareClient& client, const std::string& server,
                                   const std::string& volume);

}  // namespace capture
