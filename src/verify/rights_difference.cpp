#include "verify/rights_difference.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string_view>

#include "formats/name_fold.h"
#include "formats/rights_text.h"

namespace verify {

using formats::RightsRecord;

namespace {

std::vector<RightsRecord> AsRecords(const std::vector<formats::FilterRecord>& filters) {
  std::vector<RightsRecord> records;
  for (const formats::FilterRecord& filter : filters) {
    RightsRecord record;
    if (FilterAsRecord(filter, &record)) records.push_back(std::move(record));
  }
  return records;
}

std::vector<Difference> Filters(std::vector<Difference> differences) {
  for (Difference& difference : differences) difference.filter = true;
  return differences;
}

// The records of a vector as a sorted side, in memory.
void Spool(const std::vector<RightsRecord>& records, SortedSpool& spool) {
  for (const RightsRecord& record : records) spool.Add({CompareKey(record), record, "", 0});
  spool.Finish();
}

std::string_view KeyOf(const SortedSource& side) {
  return std::string_view(side.Front()->key).substr(side.Skip());
}

// The record of the least key left on `side`, the last of those with that key; moves past
// them all.
RightsRecord TakeLast(SortedSource& side) {
  const std::string key(KeyOf(side));
  RightsRecord record = side.Front()->record;
  side.Pop();
  while (side.Front() != nullptr && KeyOf(side) == key) {
    record = side.Front()->record;
    side.Pop();
  }
  return record;
}

}  // namespace

std::string CompareKey(const RightsRecord& record, bool tree) {
  std::string key;
  AppendKeyPart(key, formats::FoldName(record.server));
  AppendKeyPart(key, formats::DirectoryKey(record.directory));
  AppendKeyPart(key, formats::FoldName(record.object));
  if (tree) AppendKeyPart(key, formats::FoldName(record.tree));
  return key;
}

void CompareSorted(SortedSource& file, SortedSource& live,
                   const std::function<void(Difference)>& each) {
  while (file.Front() != nullptr || live.Front() != nullptr) {
    const int order = file.Front() == nullptr   ? 1
                      : live.Front() == nullptr ? -1
                                                : KeyOf(file).compare(KeyOf(live));
    if (order < 0) {
      each({DifferenceKind::kMissing, TakeLast(file), ""});
    } else if (order > 0) {
      each({DifferenceKind::kExtra, TakeLast(live), ""});
    } else {
      RightsRecord record = TakeLast(file);
      const RightsRecord now = TakeLast(live);
      if (formats::RightsMaskFromText(record.rights) != formats::RightsMaskFromText(now.rights)) {
        each({DifferenceKind::kChange, std::move(record), now.rights});
      }
    }
  }
}

void FailSorted(SortedSource& file, const std::string& why,
                const std::function<void(Difference)>& each) {
  while (file.Front() != nullptr) each({DifferenceKind::kFailed, TakeLast(file), why});
}

std::string OrderKey(const Difference& difference) {
  std::string key(1, difference.filter ? '1' : '0');
  key += static_cast<char>('0' + static_cast<int>(difference.kind));
  key += CompareKey(difference.record);
  AppendKeyPart(key, formats::FoldName(difference.record.tree));
  return key;
}

SortedEntry AsEntry(Difference difference) {
  std::string key = OrderKey(difference);
  return {std::move(key), std::move(difference.record), std::move(difference.detail),
          static_cast<std::uint8_t>(static_cast<int>(difference.kind) |
                                    (difference.filter ? 0x10 : 0))};
}

Difference FromEntry(const SortedEntry& entry) {
  return {static_cast<DifferenceKind>(entry.tag & 0x0F), entry.record, entry.detail,
          (entry.tag & 0x10) != 0};
}

bool FilterAsRecord(const formats::FilterRecord& filter, RightsRecord* record) {
  // All eight words: the rights every filter lets through when there is none.
  static const auto kNone = formats::RightsMaskFromText(formats::BuildRightsText(0xFFFF));
  if (formats::RightsMaskFromText(filter.rights) == kNone) return false;
  *record = {"", "", filter.server, filter.path, filter.rights};
  return true;
}

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
  const std::size_t inMemory = SIZE_MAX;
  SortedSpool fileSide(inMemory), liveSide(inMemory);
  Spool(file, fileSide);
  Spool(live, liveSide);
  std::vector<Difference> byKind[3];
  CompareSorted(fileSide, liveSide, [&](Difference difference) {
    byKind[static_cast<int>(difference.kind)].push_back(std::move(difference));
  });
  std::vector<Difference> all = std::move(byKind[0]);
  for (int kind : {1, 2}) {
    all.insert(all.end(), std::make_move_iterator(byKind[kind].begin()),
               std::make_move_iterator(byKind[kind].end()));
  }
  return all;
}

std::vector<Difference> FailedRecords(const std::vector<RightsRecord>& file,
                                      const std::string& why) {
  SortedSpool side(SIZE_MAX);
  Spool(file, side);
  std::vector<Difference> failed;
  FailSorted(side, why, [&](Difference difference) { failed.push_back(std::move(difference)); });
  return failed;
}

void SortDifferences(std::vector<Difference>& differences) {
  std::vector<std::string> orders;
  orders.reserve(differences.size());
  for (const Difference& difference : differences) orders.push_back(OrderKey(difference));
  std::vector<std::size_t> index(differences.size());
  std::iota(index.begin(), index.end(), 0);
  std::stable_sort(index.begin(), index.end(),
                   [&](std::size_t a, std::size_t b) { return orders[a] < orders[b]; });
  std::vector<Difference> sorted;
  sorted.reserve(differences.size());
  for (const std::size_t i : index) sorted.push_back(std::move(differences[i]));
  differences = std::move(sorted);
}

void DifferenceCount::Add(DifferenceKind kind) {
  switch (kind) {
    case DifferenceKind::kChange:
      ++changed;
      break;
    case DifferenceKind::kMissing:
      ++missing;
      break;
    case DifferenceKind::kExtra:
      ++extra;
      break;
    case DifferenceKind::kFailed:
      ++failed;
      break;
  }
}

DifferenceCount CountDifferences(const std::vector<Difference>& differences) {
  DifferenceCount count;
  for (const Difference& difference : differences) count.Add(difference.kind);
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
