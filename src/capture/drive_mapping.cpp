#include "capture/drive_mapping.h"

#include <exception>

#include "capture/drive_choice.h"

namespace capture {

CaptureDrive MapCaptureDrive(nw::NWSession& session, const std::string& server,
                             const std::string& volume) {
  CaptureDrive result;
  result.networkPath = "\\\\" + server + "\\" + volume + "\\";
  try {
    std::vector<std::string> mappedDrives;
    for (const nw::NWDriveMapping& mapping : session.DriveMappings()) {
      mappedDrives.push_back(mapping.Drive);
    }
    result.freeDrives = FreeDrives(mappedDrives).size();
    result.candidates = CandidateDrives(mappedDrives);
    if (result.candidates.empty()) return result;
    std::string drive = result.candidates.front();
    result.mapped = !session.MapDrive(drive, result.networkPath, true).FullName.empty();
  } catch (const std::exception& e) {
    result.mapped = false;
    result.error = e.what();
  }
  return result;
}

std::string NoFreeDriveReason(const CaptureDrive& drive) {
  return "only " + std::to_string(drive.freeDrives) +
         " drive letters are free, and a capture needs " + std::to_string(kDrivesLeftFree + 1) +
         " (it leaves the five lowest free letters to you)";
}

bool UnmapCaptureDrive(nw::NWSession& session, const std::string& drive, std::string* error) {
  try {
    return !drive.empty() && session.UnmapDrive(drive.substr(0, 1));
  } catch (const std::exception& e) {
    *error = e.what();
    return false;
  }
}

}  // namespace capture
