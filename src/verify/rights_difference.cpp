#include "verify/rights_difference.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <tuple>

#include "formats/name_fold.h"
#include "formats/rights_text.h"

namespace verify {
namespace {

using formats::RightsRecord;

using Key = std::tuple<std::string, std::string, std::string>;  // server, directory, object

Key KeyOf(const RightsRecord& record) {
  return {formats::FoldName(record.server), formats::DirectoryKey(record.directory),
          formats::FoldName(record.object)};
}

// The last record of each assignment, keyed and so sorted.
std::map<Key, const RightsRecord*> ByKey(const std::vector<RightsRecord>& records) {
  std::map<Key, const RightsRecord*> keyed;
  for (const RightsRecord& record : records) keyed[KeyOf(record)] = &record;
  return keyed;
}

std::vector<RightsRecord> AsRecords(const std::vector<formats::FilterRecord>& filters) {
  // All eight words: the rights every filter lets through when there is none.
  static const auto kNone = formats::RightsMaskFromText(formats::BuildRightsText(0xFFFF));
  std::vector<RightsRecord> records;
  for (const formats::FilterRecord& filter : filters) {
    if (formats::RightsMaskFromText(filter.rights) == kNone) continue;
    records.push_back({"", "", filter.server, filter.path, filter.rights});
  }
  return records;
}

std::vector<Difference> Filters(std::vector<Difference> differences) {
  for (Difference& difference : differences) difference.filter = true;
  return differences;
}

}  // namespace

std::vector<Difference> CompareFilters(const std::vector<formats::FilterRecord>& file,
                                       const std::vector<formats::FilterRecord>& live) {
  return Filters(CompareRecords(AsRecords(file), AsRecords(live)));
}

std::vector<Difference> FailedFilters(const std::vector<formats::FilterRecord>& file,
                                      const std::string& why) {
  std::vector<RightsRecord> records;
  for (const formats::FilterRecord& filter : file) {
    records.push_back({"", "", filter.server, filter.path, filter.rights});
  }
  return Filters(FailedRecords(records, why));
}

formats::FilterRecord FilterOf(const Difference& difference) {
  return {difference.record.server, difference.record.directory, difference.record.rights};
}

std::vector<Difference> CompareRecords(const std::vector<RightsRecord>& file,
                                       const std::vector<RightsRecord>& live) {
  const auto fileByKey = ByKey(file);
  const auto liveByKey = ByKey(live);
  std::vector<Difference> changed, missing, extra;
  for (const auto& [key, record] : fileByKey) {
    const auto found = liveByKey.find(key);
    if (found == liveByKey.end()) {
      missing.push_back({DifferenceKind::kMissing, *record, ""});
    } else if (formats::RightsMaskFromText(record->rights) !=
               formats::RightsMaskFromText(found->second->rights)) {
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

std::vector<Difference> FailedRecords(const std::vector<RightsRecord>& file,
                                      const std::string& why) {
  std::vector<Difference> failed;
  for (const auto& [key, record] : ByKey(file)) {
    failed.push_back({DifferenceKind::kFailed, *record, why});
  }
  return failed;
}

void SortDifferences(std::vector<Difference>& differences) {
  using Order = std::tuple<bool, DifferenceKind, Key, std::string>;
  std::vector<Order> orders;
  orders.reserve(differences.size());
  for (const Difference& difference : differences) {
    orders.emplace_back(difference.filter, difference.kind, KeyOf(difference.record),
                        formats::FoldName(difference.record.tree));
  }
  std::vector<std::size_t> index(differences.size());
  std::iota(index.begin(), index.end(), 0);
  std::stable_sort(index.begin(), index.end(),
                   [&](std::size_t a, std::size_t b) { return orders[a] < orders[b]; });
  std::vector<Difference> sorted;
  sorted.reserve(differences.size());
  for (const std::size_t i : index) sorted.push_back(std::move(differences[i]));
  differences = std::move(sorted);
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
      case DifferenceKind::kFailed:
        ++count.failed;
        break;
    }
  }
  return count;
}

std::string CountLine(const DifferenceCount& count) {
  const std::size_t total = count.Total();
  return std::to_string(total) + (total == 1 ? " difference: " : " differences: ") +
         std::to_string(count.changed) + " changed, " + std::to_string(count.missing) +
         " missing, " + std::to_string(count.extra) + " extra" +
         (count.failed > 0 ? ", " + std::to_string(count.failed) + " failed" : "");
}

}  // namespace verify
