#pragma once
// Where tolvane-cli calls the window-free engines: the trustee scan of the capture and the
// grant of one record. Everything around them (arguments, the drive mapping, the object
// searches, files, output) is the command line's own; these are the only calls into them.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "formats/rights_file.h"
#include "netware/platform.h"
#include "restore/grant.h"

namespace cli {

using RecordSink = std::function<void(const formats::RightsRecord&)>;
// Objects scanned so far, of all.
using ScanProgress = std::function<void(std::size_t done, std::size_t total)>;

// The capture engine: every assignment on `server`'s `volume` of each of `objectNames`
// (dotted, read from the root of `tree`), handed to `sink` in the order the window writes
// them to the rights file. The volume is mapped as "\\SERVER\VOLUME\" while it runs. True
// when the scan completed; false with `failure` set when it did not (what reached `sink`
// is then to be thrown away).
bool ScanVolume(nw::NetWarePlatform& platform, const std::string& tree, const std::string& server,
                const std::string& volume, const std::vector<std::string>& objectNames,
                const RecordSink& sink, const ScanProgress& progress, std::string* failure);

enum class GrantKind { kAdd, kChange, kSame, kFailed };

struct GrantResult {
  GrantKind kind = GrantKind::kFailed;
  std::string oldRights;  // kChange: the rights the volume held before (or holds, dry run)
  std::string failure;    // kFailed: why (server unreachable, object not found, ...)
};

// The restore engine over one run: each record granted (or, in a dry run, only looked at)
// on its own; one connection per server serves all its records.
class RecordGranter {
 public:
  RecordGranter(nw::NetWarePlatform& platform, bool dryRun);
  ~RecordGranter();
  RecordGranter(const RecordGranter&) = delete;
  RecordGranter& operator=(const RecordGranter&) = delete;

  GrantResult Grant(const formats::RightsRecord& record);

 private:
  restore::Granter granter_;
};

}  // namespace cli
