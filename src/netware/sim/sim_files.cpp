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
  if (foundGeneration_ != network_.SyncedGeneration()) {
    found_.clear();
    foundGeneration_ = network_.SyncedGeneration();
  }
  if (auto known = found_.find(path); known != found_.end()) {
    std::error_code error;
    auto status = std::filesystem::symlink_status(known->second.file, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_symlink(status)) {
      return known->second.name;
    }
    found_.erase(known);
  }
  const VolumeRow* volume = catalog.VolumeByName(server->id, parts[1]);
  if (volume == nullptr) return "";
  std::vector<std::string> components(parts.begin() + 2, parts.end());
  auto stored = network_.Folders().Resolve(volume->root, components, false);
  if (!stored || stored->empty()) return "";
  std::filesystem::path file = volume->root;
  for (const auto& name : *stored) file /= name;
  if (found_.size() > 500'000) found_.clear();
  found_[path] = {std::move(file), stored->back()};
  return stored->back();
}

}  // namespace sim
