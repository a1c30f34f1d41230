// A new network is built in a folder beside the network folder and only then put in its
// place: whatever goes wrong on the way, or whenever the program is killed, the folder holds
// the old network as it was or the new one whole.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "netware/sim/sim_admin.h"
#include "netware/sim/store.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAsideMark = ".tolvane-aside-";

// What a network folder holds; anything else in it would go with a replaced network.
bool PartOfNetwork(const std::string& name) {
  return name == "network.db" || name == "network.db-wal" || name == "network.db-shm" ||
         name == "network.db-journal" || name == "volumes";
}

std::string Why(int error) { return std::strerror(error); }

// An open descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The folder a network is built in before it takes the place of `target`: a fresh, empty
// sibling, held locked while this program lives so that a later run tells it from the
// remains of a killed one.
class Aside {
 public:
  explicit Aside(const fs::path& target) {
    const fs::path parent = target.parent_path();
    std::random_device seed;
    std::mt19937 random(seed() ^ static_cast<unsigned>(::getpid()));
    for (int attempt = 0;; ++attempt) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
      path_ = parent / ("." + target.filename().string() + kAsideMark + suffix);
      if (::mkdir(path_.c_str(), 0777) == 0) break;
      const int error = errno;
      if (error != EEXIST || attempt > 100) {
        throw SimError("A new network cannot be built beside " + target.string() + ": the folder " +
                       parent.string() + " cannot be written (" + Why(error) +
                       "); nothing was changed.");
      }
    }
    lock_ = std::make_unique<Descriptor>(
        ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (lock_->get() < 0 || ::flock(lock_->get(), LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      Remove();
      throw SimError("A new network cannot be built beside " + target.string() + ": " + Why(error) +
                     "; nothing was changed.");
    }
  }
  ~Aside() { Remove(); }
  Aside(const Aside&) = delete;
  Aside& operator=(const Aside&) = delete;

  const fs::path& path() const { return path_; }
  // The folder went to its place.
  void Moved() { path_.clear(); }

  // Removes what the folder holds now: the new network before the swap, the old one after.
  void Remove() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
    path_.clear();
  }

 private:
  fs::path path_;
  std::unique_ptr<Descriptor> lock_;
};

// Removes the aside folders of `target` left by runs that were killed: those no living run
// holds locked.
void RemoveStaleAsides(const fs::path& target) {
  const std::string prefix = "." + target.filename().string() + kAsideMark;
  std::error_code error;
  for (fs::directory_iterator it(target.parent_path(), error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    Descriptor folder(::open(it->path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0 || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) continue;
    std::error_code ignored;
    fs::remove_all(it->path(), ignored);
  }
}

// Refuses to replace a folder that holds more than a network, or that is no plain folder
// on the file system of its parent.
void CheckReplaceable(const fs::path& target) {
  std::error_code error;
  for (fs::directory_iterator it(target, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!PartOfNetwork(name)) {
      throw SimError("The network folder " + target.string() + " holds more than a network (\"" +
                     name + "\"); move that away or name another folder. Nothing was changed.");
    }
  }
  if (error) {
    throw SimError("The network folder " + target.string() + " cannot be read (" + error.message() +
                   "); nothing was changed.");
  }
  struct stat own {
  }, parent{};
  if (::stat(target.c_str(), &own) != 0 || ::stat(target.parent_path().c_str(), &parent) != 0) {
    throw SimError("The network folder " + target.string() + " cannot be read (" + Why(errno) +
                   "); nothing was changed.");
  }
  if (own.st_dev != parent.st_dev) {
    throw SimError("The network folder " + target.string() +
                   " is a mount point, which cannot be replaced; remove the network in it "
                   "first. Nothing was changed.");
  }
}

}  // namespace

bool BuildNetwork(const fs::path& folder, bool force,
                  const std::function<void(const fs::path&)>& build) {
  std::error_code error;
  const bool replacing = NetworkExists(folder);
  if (!replacing) {
    if (fs::exists(fs::symlink_status(folder, error))) {
      // A folder of the user's own (it may be a mount point or hold other things): the
      // network is made in it as it stands, and undone there on any error.
      build(folder);
      return false;
    }
    // No folder yet: it appears only with a whole network in it.
    fs::path target = fs::absolute(folder, error).lexically_normal();
    if (!target.has_filename()) target = target.parent_path();
    fs::create_directories(target.parent_path(), error);
    Aside aside(target);
    RemoveStaleAsides(target);
    build(aside.path());
    if (::renameat2(AT_FDCWD, aside.path().c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
        0) {
      throw SimError("The network cannot be put in " + target.string() + ": " + Why(errno) +
                     "; nothing was changed.");
    }
    aside.Moved();
    return false;
  }
  if (!force) {
    throw SimError("A network already exists in " + folder.string() +
                   "; add --force to replace it.");
  }
  Store::Open(folder);  // throws for a network.db that is no network store
  // A network folder given as a link stays a link: what it leads to is replaced.
  fs::path target = fs::canonical(folder, error);
  if (error) {
    throw SimError("The network folder " + folder.string() + " cannot be read (" + error.message() +
                   "); nothing was changed.");
  }
  CheckReplaceable(target);
  Aside aside(target);
  RemoveStaleAsides(target);
  build(aside.path());
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ::chmod(aside.path().c_str(), old.st_mode & 07777);
  // One step: the folder holds either network, never none or a part of one.
  if (::renameat2(AT_FDCWD, aside.path().c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
    throw SimError("The new network cannot take the place of the one in " + target.string() + ": " +
                   Why(errno) + "; nothing was changed.");
  }
  aside.Remove();  // the old network
  return true;
}

}  // namespace sim
