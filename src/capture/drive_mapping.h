#pragma once
// The drive mapping a capture holds on its volume while it runs, without a window: the
// drive the window's capture maps, with failures as texts.

#include <string>
#include <vector>

#include "netware/nds_controls.h"

namespace capture {

struct CaptureDrive {
  std::string drive;    // "H:" when mapped, else empty
  std::string failure;  // why nothing was mapped, a sentence; empty when mapped
};

// The workstation's mapped drives ("F:"), in the session's order.
std::vector<std::string> MappedDrives(nw::NWSession& session);

// Maps the first of CandidateDrives (over the session's current mappings) to
// "\\" + server + "\" + volume + "\".
CaptureDrive MapCaptureDrive(nw::NWSession& session, const std::string& server,
                             const std::string& volume);

// Removes the mapping of `drive` ("H:"); "" when it was removed, else why not.
std::string UnmapCaptureDrive(nw::NWSession& session, const std::string& drive);

}  // namespace capture
