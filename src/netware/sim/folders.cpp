#include "netware/sim/folders.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "netware/sim/sim_network.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;

std::optional<VolumePath> ParseVolumePath(std::string_view path) {
  auto colon = path.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  VolumePath result;
  std::string_view head = path.substr(0, colon);
  auto slash = head.find_last_of("/\\");
  if (slash != std::string_view::npos) {
    result.server = std::string(head.substr(0, slash));
    head = head.substr(slash + 1);
  }
  if (head.empty()) return std::nullopt;
  result.volume = std::string(head);
  std::string_view rest = path.substr(colon + 1);
  if (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) rest.remove_prefix(1);
  if (!rest.empty() && (rest.back() == '/' || rest.back() == '\\')) rest.remove_suffix(1);
  if (rest.empty()) return result;
  result.directories = text::Split(rest, "/\\");
  for (const auto& name : result.directories) {
    if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) {
      result.valid = false;
    }
  }
  return result;
}

std::string DirectoryKey(const std::vector<std::string>& directories) {
  return text::Fold(text::Join(directories, "/"));
}

bool ValidComponent(std::string_view name, std::string* why) {
  auto refuse = [&](const std::string& reason) {
    if (why != nullptr) *why = reason;
    return false;
  };
  if (name.empty()) return refuse("an empty name");
  if (name == "." || name == "..") return refuse("the name " + text::Quote(name));
  if (name.size() > 255) return refuse("a name longer than 255 characters");
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 ||
        std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
      return refuse("the character " + text::Quote(std::string(1, c)) + " in " + text::Quote(name));
    }
  }
  if (!text::FitsCp1252(name)) return refuse("a character without a Windows-1252 code");
  return true;
}

namespace {

// True when `path` itself, not what a link there points at, is a folder (or, unless
// `wantDirectory`, a plain file).
bool RealEntry(const fs::path& path, bool wantDirectory) {
  std::error_code error;
  auto status = fs::symlink_status(path, error);
  if (error) return false;
  return fs::is_directory(status) || (!wantDirectory && fs::is_regular_file(status));
}

// The network folder of a volume root (NETWORK/volumes/SERVER/VOLUME) and the root below it.
std::pair<fs::path, fs::path> SplitRoot(const fs::path& root) {
  const fs::path server = root.parent_path(), volumes = server.parent_path();
  return {volumes.parent_path(), volumes.filename() / server.filename() / root.filename()};
}

}  // namespace

FolderResolver::~FolderResolver() {
  for (const auto& [folder, fd] : networks_) ::close(fd);
}

std::optional<bool> FolderResolver::RealPath(const fs::path& root,
                                             const std::vector<std::string>& names,
                                             bool wantDirectory) {
  const auto [network, below] = SplitRoot(root);
  auto found = networks_.find(network.string());
  if (found == networks_.end()) {
    const int fd = ::open(network.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    found = networks_.emplace(network.string(), fd).first;
  }
  fs::path path = below;
  for (const std::string& name : names) path /= name;
  // One resolution of the whole path that refuses any link on the way, rather than a stat
  // of every step, each walking the path again.
  open_how how{};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
  const long fd = ::syscall(SYS_openat2, found->second, path.c_str(), &how, sizeof how);
  if (fd < 0) {
    if (errno == ENOSYS || errno == EPERM) return std::nullopt;  // an older kernel, a sandbox
    return false;
  }
  struct stat status {};
  const bool ok = ::fstat(static_cast<int>(fd), &status) == 0 &&
                  (S_ISDIR(status.st_mode) || (!wantDirectory && S_ISREG(status.st_mode)));
  ::close(static_cast<int>(fd));
  return ok;
}

bool InsideNetwork(const fs::path& volumeRoot) {
  fs::path path = volumeRoot;
  for (int level = 0; level < 3; ++level, path = path.parent_path()) {
    if (!RealEntry(path, true)) return false;
  }
  return true;
}

bool MakeRealFolder(const fs::path& path) {
  // mkdir, unlike create_directory, never treats a link to a folder as the folder.
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  const int error = errno;
  if (error == EEXIST) {
    std::error_code ignored;
    auto status = fs::symlink_status(path, ignored);
    if (fs::is_symlink(status)) {
      throw SimError("the folder " + path.string() +
                     " is a link, and a network never follows a link");
    }
    if (fs::is_directory(status)) return false;
  }
  throw fs::filesystem_error("cannot create directory", path,
                             std::error_code(error, std::generic_category()));
}

void MakeRealFile(const fs::path& path) {
  // O_EXCL: never opened through a link that stands in the file's place.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  std::error_code ignored;
  if (fs::is_symlink(fs::symlink_status(path, ignored))) {
    throw SimError("the file " + path.string() + " is a link, and a network never follows a link");
  }
  throw SimError("cannot be created");
}

FolderResolver::Listing& FolderResolver::Read(const fs::path& folder, bool fresh) {
  std::string key = folder.string();
  auto found = listings_.find(key);
  if (found != listings_.end() && !fresh) return found->second;
  if (listings_.size() > 200000) listings_.clear();
  Listing listing;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    std::error_code type;
    if (name.empty() || it->is_symlink(type)) continue;  // a link is nothing of the volume
    listing[text::Fold(name)].push_back(std::move(name));
  }
  for (auto& [k, names] : listing) std::sort(names.begin(), names.end());
  return listings_[key] = std::move(listing);
}

const std::string* FolderResolver::Pick(const Listing& listing, const std::string& name,
                                        bool hidden) {
  if (!hidden && !name.empty() && name.front() == '.') return nullptr;
  auto found = listing.find(text::Fold(name));
  if (found == listing.end()) return nullptr;
  const auto& names = found->second;
  auto exact = std::find(names.begin(), names.end(), name);
  return exact != names.end() ? &*exact : &names.front();
}

std::optional<std::vector<std::string>> FolderResolver::Resolve(
    const fs::path& root, const std::vector<std::string>& components, bool wantDirectory,
    bool hidden) {
  for (const auto& name : components) {
    if (name.empty() || name == "." || name == ".." || (!hidden && name.front() == '.') ||
        name.find_first_of("/\\") != std::string::npos) {
      return std::nullopt;
    }
  }
  // A path asked before is looked up as it was found, and confirmed on the disk as below.
  std::string asked = root.native();
  for (const auto& name : components) asked += '/' + name;
  asked += hidden ? "/h" : "/";
  if (const auto known = resolved_.find(asked); known != resolved_.end()) {
    if (RealPath(root, known->second, wantDirectory).value_or(false)) return known->second;
    resolved_.erase(known);
  }
  // Listings are cached; one stat of the whole path confirms what they say, and a listing
  // that no longer holds is read again once.
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool fresh = attempt > 0;
    fs::path path = root;
    std::vector<std::string> names;
    bool missing = false;
    for (const auto& name : components) {
      const std::string* stored = Pick(Read(path, fresh), name, hidden);
      if (stored == nullptr && !fresh) stored = Pick(Read(path, true), name, hidden);
      if (stored == nullptr) {
        missing = true;
        break;
      }
      names.push_back(*stored);
      path /= *stored;
    }
    if (missing) return std::nullopt;
    // The listings may be stale: each step is confirmed on the disk, never through a link.
    std::optional<bool> ok = RealPath(root, names, wantDirectory);
    if (!ok) {
      ok = InsideNetwork(root);
      fs::path step = root;
      for (std::size_t i = 0; *ok && i < names.size(); ++i) {
        step /= names[i];
        ok = RealEntry(step, wantDirectory || i + 1 < names.size());
      }
    }
    if (*ok) {
      // Kept only while small: a walk of a large volume asks each path once.
      if (resolved_.size() >= kResolvedKept) resolved_.clear();
      resolved_.emplace(std::move(asked), names);
      return names;
    }
    if (components.empty()) return std::nullopt;
  }
  return std::nullopt;
}

std::vector<std::string> FolderResolver::MakeDirectories(const fs::path& root,
                                                         const std::vector<std::string>& components,
                                                         std::vector<fs::path>* created) {
  if (roots_.count(root.string()) == 0) {
    // volumes/, volumes/SERVER and the volume root, each made or found as a real folder.
    for (const fs::path& folder : {root.parent_path().parent_path(), root.parent_path(), root}) {
      if (MakeRealFolder(folder) && created != nullptr) created->push_back(folder);
    }
    roots_.insert(root.string());
  }
  std::vector<std::string> names;
  fs::path path = root;
  for (const auto& name : components) {
    const std::string* stored = Pick(Read(path, false), name, true);
    if (stored != nullptr && !RealEntry(path / *stored, true)) {
      stored = Pick(Read(path, true), name, true);
    }
    if (stored != nullptr && RealEntry(path / *stored, true)) {
      names.push_back(*stored);
      path /= *stored;
      continue;
    }
    fs::path next = path / name;
    if (MakeRealFolder(next) && created != nullptr) created->push_back(next);
    Added(path, name);
    names.push_back(name);
    path = next;
  }
  return names;
}

void FolderResolver::Added(const fs::path& folder, const std::string& name) {
  auto found = listings_.find(folder.string());
  if (found == listings_.end()) return;  // read when first needed
  auto& names = found->second[text::Fold(name)];
  if (std::find(names.begin(), names.end(), name) != names.end()) return;
  names.insert(std::upper_bound(names.begin(), names.end(), name), name);
}

}  // namespace sim
