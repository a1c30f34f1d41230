#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "netware/file_listing.h"

namespace capture {

// Rebuilds a trustee path as the client returns it ("VOL1:USERS/JSMITH"; ":" and "/" are
// both separators) into the TrusteePath form "\\FS1\VOL1:\Users\JSmith": the head
// "\\" + server + "\" + volume + ":" and then each directory component as the listing names
// it under "\\" + server + "\" + the components up to it. A component the listing does not
// find keeps its returned name; the volume component never adds itself after the head.
// Any number of components; "\" separates them too; empty components (two separators in a
// row, one at the end) are passed over, so "VOL1:" gives the head alone.
std::string BuildTrusteePath(std::string_view returnedPath, std::string_view serverName,
                             std::string_view volumeName, nw::FileListing& listing);

// The volume's folders do not change while a scan runs, and the paths of many assignments
// share their upper directories: each prefix is listed once.
class CachedListing : public nw::FileListing {
 public:
  explicit CachedListing(nw::FileListing& inner) : inner_(inner) {}
  std::string Dir(const std::string& path) override {
    auto [entry, isNew] = names_.try_emplace(path);
    if (isNew) entry->second = inner_.Dir(path);
    return entry->second;
  }

 private:
  nw::FileListing& inner_;
  std::unordered_map<std::string, std::string> names_;
};

// The names a listing gave, shared by scanners that work side by side on one volume, so that
// each prefix is listed once, whoever asks first.
class SharedListing : public nw::FileListing {
 public:
  class Names {
   private:
    friend class SharedListing;
    std::mutex mutex_;
    std::unordered_map<std::string, std::string> names_;
  };

  SharedListing(nw::FileListing& inner, Names& names) : inner_(inner), names_(names) {}
  std::string Dir(const std::string& path) override {
    {
      const std::lock_guard lock(names_.mutex_);
      const auto found = names_.names_.find(path);
      if (found != names_.names_.end()) return found->second;
    }
    std::string name = inner_.Dir(path);
    const std::lock_guard lock(names_.mutex_);
    return names_.names_.try_emplace(path, std::move(name)).first->second;
  }

 private:
  nw::FileListing& inner_;
  Names& names_;
};

}  // namespace capture
