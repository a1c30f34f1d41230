#include "verify/rights_difference.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "formats/name_fold.h"
#include "restore/rights_mask.h"

namespace verify {
namespace {

using formats::RightsRecord;

// The directory as the network compares it: folded, "/" as "\", no "\" at the end, so that
// "SYS:\" and "SYS:" are the volume root alike.
std::string DirectoryKey(const std::string& directory) {
  std::string key = formats::FoldName(directory);
  std::replace(key.begin(), key.end(), '/', '\\');
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

using Key = std::tuple<std::string, std::string, std::string>;  // server, directory, object

Key KeyOf(const RightsRecord& record) {
  return {formats::FoldName(record.server), DirectoryKey(record.directory),
          formats::FoldName(record.object)};
}

// The last record of each assignment, keyed and so sorted.
std::map<Key, const RightsRecord*> ByKey(const std::vector<RightsRecord>& records) {
  std::map<Key, const RightsRecord*> keyed;
  for (const RightsRecord& record : records) keyed[KeyOf(record)] = &record;
  return keyed;
}

}  // namespace

std::vector<Difference> CompareRecords(const std::vector<RightsRecord>& file,
                                       const std::vector<RightsRecord>& live) {
  const auto fileByKey = ByKey(file);
  const auto liveByKey = ByKey(live);
  std::vector<Difference> changed, missing, extra;
  for (const auto& [key, record] : fileByKey) {
    const auto found = liveByKey.find(key);
    if (found == liveByKey.end()) {
      missing.push_back({DifferenceKind::kMissing, *record, ""});
    } else if (restore::RightsMaskFromText(record->rights) !=
               restore::RightsMaskFromText(found->second->rights)) {
      changed.push_back({DifferenceKind::kChange, *record, found->second->rights});
    }
  }
  for (const auto& [key, record] : liveByKey) {
    if (!fileByKey.contains(key)) extra.push_back({DifferenceKind::kExtra, *record, ""});
  }
  std::vector<Difference> all = std::move(changed);
  all.insert(all.end(), missing.begin(), missing.end());
  all.insert(all.end(), extra.begin(), extra.end());
  return all;
}

DifferenceCount CountDifferences(const std::vector<Difference>& differences) {
  DifferenceCount count;
  for (const Difference& difference : differences) {
    switch (difference.kind) {
      case DifferenceKind::kChange:
        ++count.changed;
        break;
      case DifferenceKind::kMissing:
        ++count.missing;
        break;
      case DifferenceKind::kExtra:
        ++count.extra;
        break;
    }
  }
  return count;
}

std::string CountLine(const DifferenceCount& count) {
  const std::size_t total = count.Total();
  return std::to_string(total) + (total == 1 ? " difference: " : " differences: ") +
         std::to_string(count.changed) + " changed, " + std::to_string(count.missing) +
         " missing, " + std::to_string(count.extra) + " extra";
}

}  // namespace verify
