#include "capture/trustee_path.h"

namespace capture {

// The first component is the volume: it is part of every lookup path but never of the
// result, whose head already names the volume (the bare volume path has no listed name, so
// it is not asked for). Empty components, from two separators in a row or one at the end,
// name no directory and are passed over, so "VOL1:" is the volume root. "\" separates
// components as ":" and "/" do, so a path the client returns in either form rebuilds alike.
std::string BuildTrusteePath(std::string_view returnedPath, std::string_view serverName,
                             std::string_view volumeName, nw::FileListing& listing) {
  static constexpr std::string_view kSeparators = ":/\\";

  std::string result;
  result.reserve(serverName.size() + volumeName.size() + returnedPath.size() + 8);
  result.append("\\\\").append(serverName).append("\\").append(volumeName).append(":");

  std::string lookup;
  lookup.reserve(serverName.size() + volumeName.size() + returnedPath.size() + 4);
  lookup.append("\\\\").append(serverName);

  bool volumeComponent = true;
  std::size_t pos = 0;
  while (true) {
    const std::size_t end = returnedPath.find_first_of(kSeparators, pos);
    const std::string_view component =
        returnedPath.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (volumeComponent) {
      lookup.append("\\").append(component.empty() ? volumeName : component);
      volumeComponent = false;
    } else if (!component.empty()) {
      lookup.append("\\").append(component);
      const std::string listed = listing.Dir(lookup);
      // Not found (hidden, or gone since): keep the returned name rather than drop the
      // component, which would move the assignment to the parent directory.
      result.append("\\").append(listed.empty() ? component : std::string_view(listed));
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return result;
}

}  // namespace capture
