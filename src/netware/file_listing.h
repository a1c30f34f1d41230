#pragma once
// The file system's directory listing, as the trustee paths are rebuilt from it.

#include <string>

namespace nw {

class FileListing {
 public:
  virtual ~FileListing() = default;
  // The stored name of the entry at `path` (directories and files, hidden ones not
  // found), matched without regard to case, or "" when nothing matches. Network paths
  // look like "\\SRV\VOL\Dir\Sub"; the bare volume path "\\SRV\VOL" answers "".
  virtual std::string Dir(const std::string& path) = 0;
};

}  // namespace nw
