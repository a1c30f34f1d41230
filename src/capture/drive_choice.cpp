#include "capture/drive_choice.h"

#include <array>

namespace capture {

std::vector<std::string> FreeDrives(const std::vector<std::string>& mappedDrives) {
  // Marked by letter rather than removed by position, so a mapping out of order or on no
  // letter can never uncover a mapped letter.
  std::array<bool, 26> mapped{};
  for (const std::string& drive : mappedDrives) {
    if (drive.empty()) continue;
    const char letter = drive.front();
    if (letter >= 'A' && letter <= 'Z') mapped[letter - 'A'] = true;
    if (letter >= 'a' && letter <= 'z') mapped[letter - 'a'] = true;
  }
  std::vector<std::string> free;
  for (int i = 0; i < 26; ++i) {
    if (!mapped[i]) free.push_back(std::string(1, static_cast<char>('A' + i)) + ":");
  }
  return free;
}

std::vector<std::string> CandidateDrives(const std::vector<std::string>& mappedDrives) {
  std::vector<std::string> candidates = FreeDrives(mappedDrives);
  if (candidates.size() <= kDrivesLeftFree) return {};
  candidates.erase(candidates.begin(), candidates.begin() + kDrivesLeftFree);
  return candidates;
}

}  // namespace capture
