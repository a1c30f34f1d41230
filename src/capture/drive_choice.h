#pragma once
// The drive letter a capture maps to the volume while it runs.

#include <string>
#include <vector>

namespace capture {

// The lowest free letters are left to the user's own mappings; the capture takes the next.
inline constexpr std::size_t kDrivesLeftFree = 5;

// "A:" to "Z:" in alphabetical order, without every letter a mapping uses. A mapping's letter
// is the first character of its drive ("F:"), in either case; one that does not begin with a
// letter takes none. The order of `mappedDrives` does not matter.
std::vector<std::string> FreeDrives(const std::vector<std::string>& mappedDrives);

// The free drives without the kDrivesLeftFree lowest: the first entry is the drive to map.
// Empty when fewer than kDrivesLeftFree + 1 letters are free.
std::vector<std::string> CandidateDrives(const std::vector<std::string>& mappedDrives);

}  // namespace capture
