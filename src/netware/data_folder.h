#pragma once
// Where Tolvane's programs keep what belongs to the user: the network and, for an installed
// copy, the rights files.

#include <cstdlib>
#include <filesystem>

namespace nw {

// $XDG_DATA_HOME/tolvane when that is an absolute path, else $HOME/.local/share/tolvane;
// empty when neither is set.
inline std::filesystem::path UserDataFolder() {
  const auto set = [](const char* name) -> const char* {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
  };
  if (const char* data = set("XDG_DATA_HOME"); data && std::filesystem::path(data).is_absolute()) {
    return std::filesystem::path(data) / "tolvane";
  }
  if (const char* home = set("HOME")) {
    return std::filesystem::path(home) / ".local" / "share" / "tolvane";
  }
  return {};
}

}  // namespace nw
