#pragma once
// The real folders behind each volume: NetWare paths are parsed here, and each directory
// component is matched without regard to case against what the folder really holds.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sim {

// "VOL:DIR/SUB", "VOL:\Dir\Sub", "VOL:" (the root); "/" and "\" alike, a separator right
// after the colon and one at the end optional. A server in front ("SRV/VOL:DIR") is kept.
struct VolumePath {
  std::string server;  // empty unless given
  std::string volume;
  std::vector<std::string> directories;  // root first; empty for the volume root
  bool valid = true;                     // false for an empty component, "." or ".." anywhere
};
std::optional<VolumePath> ParseVolumePath(std::string_view path);

// The directory's key in the store: folded components joined by "/" ("" for the root).
std::string DirectoryKey(const std::vector<std::string>& directories);

// True when a component can name a folder of a volume (not empty, no separator, no ".",
// "..", no character NetWare refuses in names).
bool ValidComponent(std::string_view name, std::string* why);

class FolderResolver {
 public:
  // The stored names of `components` below `root`, matched without regard to case (an
  // exact spelling wins); nullopt when one is missing, "." or "..", hidden (a leading dot)
  // unless `hidden` admits such entries, or when `wantDirectory` and the last is not a
  // folder. A listing does not show hidden entries; a trustee may still be granted on one.
  std::optional<std::vector<std::string>> Resolve(const std::filesystem::path& root,
                                                  const std::vector<std::string>& components,
                                                  bool wantDirectory, bool hidden = false);

  // Creates what is missing of `components` below `root` (existing ones matched without
  // regard to case); returns the stored names and appends every folder it created to
  // `created`. Throws std::filesystem::filesystem_error.
  std::vector<std::string> MakeDirectories(const std::filesystem::path& root,
                                           const std::vector<std::string>& components,
                                           std::vector<std::filesystem::path>* created);

  void Forget() { listings_.clear(); }

 private:
  using Listing = std::unordered_map<std::string, std::vector<std::string>>;  // key -> names
  const Listing& Read(const std::filesystem::path& folder, bool fresh);
  static const std::string* Pick(const Listing& listing, const std::string& name,
                                 bool hidden = false);

  std::unordered_map<std::string, Listing> listings_;
};

}  // namespace sim
