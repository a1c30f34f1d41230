#pragma once
// The real folders behind each volume: NetWare paths are parsed here, and each directory
// component is matched without regard to case against what the folder really holds.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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

// True when the volume root (NETWORK/volumes/SERVER/VOLUME) and the two folders above it
// are real folders, not links: only then does a path below it stay inside the network.
bool InsideNetwork(const std::filesystem::path& volumeRoot);

// Makes the folder `path` unless it is there; throws SimError when a link stands there (a
// link is never followed out of the network) and std::filesystem::filesystem_error when it
// cannot be made. True when it made the folder.
bool MakeRealFolder(const std::filesystem::path& path);
// Makes the empty file `path`; throws SimError when it cannot, a link in its place named.
void MakeRealFile(const std::filesystem::path& path);

// A link inside a volume is neither a directory nor a file of the volume: it is not listed,
// not resolved and nothing is made through it.
class FolderResolver {
 public:
  FolderResolver() = default;
  ~FolderResolver();
  FolderResolver(const FolderResolver&) = delete;
  FolderResolver& operator=(const FolderResolver&) = delete;

  // The stored names of `components` below `root` (a volume root), matched without regard
  // to case (an exact spelling wins); nullopt when one is missing, a link, "." or "..",
  // hidden (a leading dot) unless `hidden` admits such entries, when `wantDirectory` and the
  // last is not a folder, or when the root is not inside the network. A listing does not
  // show hidden entries; a trustee may still be granted on one.
  std::optional<std::vector<std::string>> Resolve(const std::filesystem::path& root,
                                                  const std::vector<std::string>& components,
                                                  bool wantDirectory, bool hidden = false);

  // Creates what is missing of the volume root `root` and of `components` below it
  // (existing ones matched without regard to case); returns the stored names and appends
  // every folder it created to `created`. Throws SimError for a link in the way and
  // std::filesystem::filesystem_error for a folder that cannot be made.
  std::vector<std::string> MakeDirectories(const std::filesystem::path& root,
                                           const std::vector<std::string>& components,
                                           std::vector<std::filesystem::path>* created);

  // Notes a file or folder made in `folder` by the caller, so that the next lookup finds
  // it without reading the folder again.
  void Added(const std::filesystem::path& folder, const std::string& name);

 private:
  using Listing = std::unordered_map<std::string, std::vector<std::string>>;  // key -> names
  Listing& Read(const std::filesystem::path& folder, bool fresh);
  static const std::string* Pick(const Listing& listing, const std::string& name,
                                 bool hidden = false);

  // Whether the stored `names` below `root` stand as real folders (the last, unless
  // `wantDirectory`, a file), no step a link, the three folders above them included;
  // nullopt when the system cannot answer in one call.
  std::optional<bool> RealPath(const std::filesystem::path& root,
                               const std::vector<std::string>& names, bool wantDirectory);

  std::unordered_map<std::string, Listing> listings_;
  // The stored names of the paths resolved, by root and components as asked.
  static constexpr std::size_t kResolvedKept = 4096;
  std::unordered_map<std::string, std::vector<std::string>> resolved_;
  std::unordered_map<std::string, int> networks_;  // network folder -> its descriptor
  std::unordered_set<std::string> roots_;  // volume roots made or checked by MakeDirectories
};

}  // namespace sim
