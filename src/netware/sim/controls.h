#pragma once
// The NDS controls and the directory listing over the simulated network.

#include <memory>
#include <string>
#include <vector>

#include "netware/file_listing.h"
#include "netware/nds_controls.h"
#include "netware/sim/network.h"

namespace sim {

// "H", "H:" or "h:" -> "H"; "" when it is no drive letter.
std::string DriveLetter(const std::string& drive);
// Records a drive mapping; "" when made (with `fullName` set), else why not.
std::string MapDriveIn(Network& network, const std::string& drive, const std::string& path,
                       std::string* fullName);
// True when a mapping of `letter` ("H" or "H:") was removed.
bool UnmapDriveIn(Network& network, const std::string& letter);

class SimSession : public nw::NWSession {
 public:
  explicit SimSession(Network& network) : network_(network) {}
  std::vector<nw::NWTree> Trees() override;
  std::vector<nw::NWDriveMapping> DriveMappings() override;
  nw::NWDriveMapping MapDrive(std::string& drive, std::string& path, bool flag) override;
  bool UnmapDrive(const std::string& letter) override;

 private:
  Network& network_;
};

class SimDirectory : public nw::NWDirectory {
 public:
  static constexpr std::size_t kBatch = 500;

  explicit SimDirectory(Network& network) : network_(network) {}
  void SearchObjects(const std::string& pattern, const std::string& objectClass, std::int32_t depth,
                     const std::string& base, std::int32_t last) override;
  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override;

 private:
  Network& network_;
};

class SimFiles : public nw::FileListing {
 public:
  explicit SimFiles(Network& network) : network_(network) {}
  std::string Dir(const std::string& path) override;

 private:
  Network& network_;
};

// "NDS:\\TREE\A\B" -> tree and components root first ("[Root]" alone: none); false when it
// is no full NDS name.
bool ParseNdsName(const std::string& fullName, std::string* tree,
                  std::vector<std::string>* rootFirst);

}  // namespace sim
