#include "cli/engines.h"

namespace cli {

// ENGINE: the capture's trustee scan (src/capture) goes here.
bool ScanVolume(nw::NetWarePlatform& /*platform*/, const std::string& /*tree*/,
                const std::string& /*server*/, const std::string& /*volume*/,
                const std::vector<std::string>& /*objectNames*/, const RecordSink& /*sink*/,
                const ScanProgress& /*progress*/, std::string* /*failure*/) {
  throw EngineUnavailable("The trustee scan is not yet available in tolvane-cli.");
}

RecordGranter::RecordGranter(nw::NetWarePlatform& platform, bool dryRun)
    : platform_(platform), dryRun_(dryRun) {}

RecordGranter::~RecordGranter() = default;

// ENGINE: the restore's grant of one record (src/restore) goes here.
GrantResult RecordGranter::Grant(const formats::RightsRecord& /*record*/) {
  static_cast<void>(platform_);
  static_cast<void>(dryRun_);
  throw EngineUnavailable("The grant of records is not yet available in tolvane-cli.");
}

}  // namespace cli
