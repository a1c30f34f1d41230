#pragma once
// What the capture of one volume and the capture of many share: the volume chosen, the files
// it is written to, and the run itself.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/capture_scan.h"
#include "cli/commands.h"
#include "formats/filters_file.h"
#include "formats/rights_file_writer.h"
#include "netware/platform.h"

namespace cli {

struct ChosenVolume {
  std::string tree;  // the tree whose objects are scanned; a bindery's records name its own
  std::string server;
  std::string volume;
};

// A volume object of a tree, with its name as the window's list spells it; throws UsageError
// when the tree has none of that name.
ChosenVolume VolumeObject(Context& context, const std::string& tree,
                          const std::string& volumeObject);

// The objects a capture of the volume asks for, read through `platform`: the tree's, or the
// bindery's of a version 3 server. Search results that cannot be captured go to `leftOut`.
ScanObjects ObjectsToScan(nw::NetWarePlatform& platform, const ChosenVolume& chosen,
                          std::vector<std::string>* leftOut);
// Why search results were left out, for standard error.
std::string LeftOutProblem(const std::string& tree, const std::vector<std::string>& leftOut);

// Refuses (UsageError) a file that belongs to the network in use.
void RefuseNetworkFile(const std::string& file, const CaptureOptions& options, const char* kind);

// An assignment the file could not hold, and why.
struct Unwritten {
  formats::RightsRecord record;
  std::string why;
};

struct VolumeOutcome {
  bool done = false;
  std::string failure;  // why not done
  std::size_t written = 0;
  std::size_t filters = 0;
  std::size_t leftOut = 0;  // search results left out of the objects
  std::vector<Unwritten> unwritten;
  // Told on standard error whatever the outcome: search results left out, a drive that
  // could not be unmapped.
  std::vector<std::string> problems;
};

struct VolumeTarget {
  ChosenVolume chosen;
  // Where the records go: the writer, else `bytes` (standard output, written by the caller).
  formats::RightsFileWriter* writer = nullptr;
  std::string* bytes = nullptr;
  formats::FiltersFileWriter* filtersWriter = nullptr;  // none: no filters read
  bool byDirectory = false;
  const ScanObjects* objects = nullptr;  // none: searched through the platform
  std::function<void(std::size_t done, std::size_t total)> progress;
  // A drive mapped to the volume while it is scanned, as the window does. The scan needs
  // none; volumes captured side by side would take drive letters by chance.
  bool mapDrive = true;
};

// Maps a drive to the volume on `platform` (unless told not to), scans it on `workers`,
// unmaps the drive, and
// commits the files when the scan completed. Never throws for what the network does.
VolumeOutcome CaptureOneVolume(nw::NetWarePlatform& platform,
                               const std::vector<nw::NetWarePlatform*>& workers,
                               const VolumeTarget& target);

// Tells the assignments that could not be written, the first few by name.
void TellUnwritten(Context& context, const std::vector<Unwritten>& unwritten);

// Every volume of a tree or a server into a folder, one line each on standard output.
int CaptureMany(Context& context, const CaptureOptions& options);

}  // namespace cli
