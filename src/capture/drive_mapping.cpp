#include "capture/drive_mapping.h"

#include <exception>
#include <vector>

#include "capture/drive_choice.h"

namespace capture {

std::vector<std::string> MappedDrives(nw::NWSession& session) {
  std::vector<std::string> drives;
  for (const nw::NWDriveMapping& mapping : session.DriveMappings()) drives.push_back(mapping.Drive);
  return drives;
}

CaptureDrive MapCaptureDrive(nw::NWSession& session, const std::string& server,
                             const std::string& volume) {
  const std::string cannot = "Cannot add drive mapping to server " + server + ", volume " + volume;
  try {
    const std::vector<std::string> mappedDrives = MappedDrives(session);
    const std::vector<std::string> candidates = CandidateDrives(mappedDrives);
    if (candidates.empty()) {
      return {"", cannot + ": only " + std::to_string(FreeDrives(mappedDrives).size()) +
                      " drive letters are free, and a capture needs " +
                      std::to_string(kDrivesLeftFree + 1) +
                      " (it leaves the five lowest free letters to you)."};
    }
    std::string drive = candidates.front();
    std::string networkPath = "\\\\" + server + "\\" + volume + "\\";
    if (session.MapDrive(drive, networkPath, true).FullName.empty()) {
      return {"", cannot + " (" + networkPath + " on " + candidates.front() + ")."};
    }
    return {candidates.front(), ""};
  } catch (const std::exception& e) {
    return {"", cannot + ": " + e.what()};
  }
}

std::string UnmapCaptureDrive(nw::NWSession& session, const std::string& drive) {
  try {
    if (!drive.empty() && session.UnmapDrive(drive.substr(0, 1))) return "";
    return "Cannot delete drive mapping " + drive + ".";
  } catch (const std::exception& e) {
    return "Cannot delete drive mapping " + drive + ": " + e.what();
  }
}

}  // namespace capture
