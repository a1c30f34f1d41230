#include "netware/sim/controls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/text.h"

namespace sim {

std::string SimFiles::Dir(const std::string& path) {
  CrossNetwork(RoundTrip::kListing);
  if (path.size() < 3 || (path[0] != '\\' && path[0] != '/') ||
      (path[1] != '\\' && path[1] != '/')) {
    return "";
  }
  auto parts = text::Split(path.substr(2), "\\/");
  if (parts.size() < 3) return "";  // the bare server or volume
  const Catalog& catalog = network_.Sync();
  const ServerRow* server = catalog.ServerByName(parts[0]);
  if (server == nullptr || !server->up) return "";
  const VolumeRow* volume = catalog.VolumeByName(server->id, parts[1]);
  if (volume == nullptr) return "";
  std::vector<std::string> components(parts.begin() + 2, parts.end());
  auto stored = network_.Folders().Resolve(volume->root, components, false);
  return stored && !stored->empty() ? stored->back() : "";
}

}  // namespace sim
