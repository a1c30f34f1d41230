#pragma once
// The scans of one volume that tolvane-cli's captures run, on one or more platforms side by
// side, records reaching the sink in the same order whatever their number.

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "capture/volume_scan.h"
#include "formats/filters_file.h"
#include "netware/platform.h"

namespace cli {

// The objects a capture asks for: a tree's NDS objects, or a version 3 server's bindery users
// and groups, whose records carry the tree the server stands in.
struct ScanObjects {
  std::string tree;
  std::vector<std::string> names;
  std::vector<nw::nuint32> binderyIDs;  // beside `names` for a bindery
};

struct VolumeScan {
  std::string server;
  std::string volume;
  const ScanObjects* objects = nullptr;
  // Every entry of the volume walked once and its trustee list read in batches, rather than
  // each object asked for its trustee paths (the window's way): far fewer round trips, but
  // an assignment on a path the volume no longer shows (a folder removed behind the server's
  // back) is not found.
  bool byDirectory = false;
  // Set: the volume's inherited rights filters are read into it too.
  std::vector<formats::FilterRecord>* filters = nullptr;
  // Called on the calling thread with the number of objects done.
  std::function<void(std::size_t done)> progress;
  // With byDirectory: entries (client code page, "DATA:\\Dir") whose lists are read too when
  // the walk does not meet them, as a verify does for the paths its file names, so that an
  // assignment on a path the volume no longer shows is found there as the window finds it.
  const std::set<std::string>* alsoRead = nullptr;
};

// Runs the scan on `workers` (the first of them does what only one may), handing every
// record to `sink` on the calling thread in the objects' order, then each object's paths in
// the server's order. Throws std::runtime_error when the volume cannot be read whole.
void ScanVolumeOn(const std::vector<nw::NetWarePlatform*>& workers, const VolumeScan& scan,
                  const capture::RecordSink& sink);

}  // namespace cli
