#pragma once
// The NDS controls the window hosts: the session control (trees, drive mappings) and the
// directory control (searches, browsing). Texts here are UTF-8.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nw {

struct NWTree {
  std::string ShortName;
};

struct NWDriveMapping {
  std::string Drive;     // "F:"; its first character is the letter
  std::string FullName;  // empty when a requested mapping was not made
};

class NWSession {
 public:
  virtual ~NWSession() = default;
  // The trees the workstation is connected to, in their stored order.
  virtual std::vector<NWTree> Trees() = 0;
  // Current mappings in ascending order of drive letter.
  virtual std::vector<NWDriveMapping> DriveMappings() = 0;
  // drive "H:", path "\\SRV\VOL\"; the result's FullName is empty when nothing was mapped.
  virtual NWDriveMapping MapDrive(std::string& drive, std::string& path, bool flag) = 0;
  // letter "H" alone; true when a mapping was removed.
  virtual bool UnmapDrive(const std::string& letter) = 0;
};

// One entry below a container, for browsing.
struct NWDirEntry {
  std::string Name;        // the entry's own name, as stored ("FS1_SYS")
  std::string Class;       // "Organization", "Volume", ...
  std::string FullName;    // "NDS:\\T\ACME\FS1_SYS"
  bool HasChildren = false;  // children that pass the filter
};

class NWDirectory {
 public:
  virtual ~NWDirectory() = default;

  // "NDS:\\" + tree + "\[Root]" (the root's name in any case); empty: no directory.
  std::string DirectoryPath;
  // Comma-separated class names; empty admits every class. Applies to Children().
  std::string Filter;

  // Raised inside SearchObjects, once per batch of full NDS names; a search that finds
  // nothing raises once with a single empty element.
  std::function<void(const std::vector<std::string>&)> SearchResults;

  // Every object of `objectClass` below `base` ("NDS:\\T\[Root]"), in tree pre-order with
  // siblings by name, delivered through SearchResults before the call returns.
  virtual void SearchObjects(const std::string& pattern, const std::string& objectClass,
                             std::int32_t depth, const std::string& base, std::int32_t last) = 0;

  // The entries directly below `fullName` that pass Filter, by name. `fullName` is a full
  // NDS name or the root path "NDS:\\T\[Root]".
  virtual std::vector<NWDirEntry> Children(const std::string& fullName) = 0;
};

}  // namespace nw
