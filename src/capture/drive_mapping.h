#pragma once
// The drive mapping a capture holds on its volume while it runs. The window and the command
// line map and unmap through these, each telling a failure in its own words.

#include <string>
#include <vector>

#include "netware/nds_controls.h"

namespace capture {

struct CaptureDrive {
  // CandidateDrives over the session's mappings; when mapped, the first is the drive.
  std::vector<std::string> candidates;
  std::size_t freeDrives = 0;
  std::string networkPath;  // "\\SERVER\VOLUME\"
  bool mapped = false;
  std::string error;  // what the client threw, when it did
};

// Maps the first candidate drive to "\\" + server + "\" + volume + "\". Nothing to map to
// when `candidates` is empty.
CaptureDrive MapCaptureDrive(nw::NWSession& session, const std::string& server,
                             const std::string& volume);

// Why no drive could be chosen: "only 4 drive letters are free, and a capture needs 6 (...)".
std::string NoFreeDriveReason(const CaptureDrive& drive);

// Removes the mapping of `drive` ("H:"); false, with what the client threw in `error` when it
// did, when it could not.
bool UnmapCaptureDrive(nw::NWSession& session, const std::string& drive, std::string* error);

}  // namespace capture
