#include "cli/engines.h"

#include <cstdint>

#include "capture/volume_scan.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"

namespace cli {
namespace {

class ProgressObserver : public capture::ScanObserver {
 public:
  ProgressObserver(const ScanProgress& progress, std::size_t total)
      : progress_(progress), total_(total) {}
  void OnObject(std::int64_t counter, const std::string&) override {
    progress_(static_cast<std::size_t>(counter), total_);
  }
  void OnRecord(const formats::RightsRecord&, const std::string&) override {}

 private:
  const ScanProgress& progress_;
  const std::size_t total_;
};

std::string FailureText(const restore::GrantOutcome& outcome, const formats::RightsRecord& record) {
  const std::string code = " (E=" + nw::CodeText(outcome.code) + ")";
  switch (outcome.failure) {
    case restore::GrantFailure::kBadRights:
      // Single quotes: the reason is a field of the result line, where double quotes delimit.
      return "rights text '" + record.rights + "' holds a word that is no right";
    case restore::GrantFailure::kConnection:
      return "server unreachable" + code;
    case restore::GrantFailure::kObjectNameTooLong:
      return "object name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kTreeNameTooLong:
      return "tree name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kObjectNotFound:
      return "object not found" + code;
    case restore::GrantFailure::kDirectoryMissing:
      return "directory missing" + code;
    case restore::GrantFailure::kDirectoryUnread:
      return "directory unreadable" + code;
    default:
      return "NWAddTrustee failed" + code;
  }
}

}  // namespace

bool ScanVolume(nw::NetWarePlatform& platform, const std::string& tree, const std::string& server,
                const std::string& volume, const std::vector<std::string>& objectNames,
                const RecordSink& sink, const ScanProgress& progress, std::string* failure) {
  ProgressObserver observer(progress, objectNames.size());
  std::size_t next = 0;
  try {
    capture::ScanVolume(platform.Client(), platform.Files(), {tree, server, volume},
                        [&]() -> std::optional<std::string> {
                          if (next == objectNames.size()) return std::nullopt;
                          return objectNames[next++];
                        },
                        sink, observer, {.setUpOnce = true});
  } catch (const std::runtime_error& e) {
    *failure = e.what();
    return false;
  }
  return true;
}

RecordGranter::RecordGranter(nw::NetWarePlatform& platform, bool dryRun)
    : granter_(platform.Client(), {.dryRun = dryRun, .reuse = true}) {}

RecordGranter::~RecordGranter() = default;

GrantResult RecordGranter::Grant(const formats::RightsRecord& record) {
  restore::GrantOutcome outcome;
  try {
    outcome = granter_.Grant(record);
  } catch (const formats::FormatError& e) {
    // Only a mapped name can hold what the client cannot carry.
    return {GrantKind::kFailed, "", e.what()};
  }
  // The same word for a dry run and a restore: what the volume held before the record.
  switch (outcome.status) {
    case restore::GrantStatus::kAdded:
    case restore::GrantStatus::kGranted:  // not met: the command line's granter reuses
      return {GrantKind::kAdd, "", ""};
    case restore::GrantStatus::kChanged:
      return {GrantKind::kChange, formats::BuildRightsText(outcome.oldMask), ""};
    case restore::GrantStatus::kSame:
      return {GrantKind::kSame, "", ""};
    case restore::GrantStatus::kFailed:
      break;
  }
  return {GrantKind::kFailed, "", FailureText(outcome, record)};
}

}  // namespace cli
