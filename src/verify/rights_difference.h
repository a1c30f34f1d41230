#pragma once
// What differs between a rights file and the live assignments of the volumes it names.
// No Qt, no network: the live side comes in as records, read by the caller.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "formats/filters_file.h"
#include "formats/rights_file.h"
#include "verify/sorted_spool.h"

namespace verify {

// The order in which a verify prints them.
enum class DifferenceKind { kChange, kMissing, kExtra, kFailed };

struct Difference {
  DifferenceKind kind;
  // kChange, kMissing and kFailed: the file's record; kExtra: the live one.
  formats::RightsRecord record;
  // kChange: the rights text the volume holds now; kFailed: why the live side could not be
  // read; empty otherwise.
  std::string detail;
  // A filter's difference: `record` holds its server, its path as the directory and its
  // rights; tree and object are empty.
  bool filter = false;
  bool operator==(const Difference&) const = default;
};

// The key an assignment is matched by: its server, directory and object without regard to
// case (and with "/" and "\" alike, as the network takes them), and with `tree` its tree too.
std::string CompareKey(const formats::RightsRecord& record, bool tree = false);

// Two sides whose entries hold records, each in the order of CompareKey: every difference
// handed to `each` in key order. Of entries with one key, the last counts on each side.
void CompareSorted(SortedSource& file, SortedSource& live,
                   const std::function<void(Difference)>& each);

// Every record of `file` as kFailed with `why`, one for each key, as CompareSorted counts them.
void FailSorted(SortedSource& file, const std::string& why,
                const std::function<void(Difference)>& each);

// The key that puts differences in SortDifferences' order, and the entry that carries one
// (and back).
std::string OrderKey(const Difference& difference);
SortedEntry AsEntry(Difference difference);
Difference FromEntry(const SortedEntry& entry);

// A filter as a record of its server and path (tree and object empty), or nothing for a
// filter that lets every right through, which is no filter at all.
bool FilterAsRecord(const formats::FilterRecord& filter, formats::RightsRecord* record);

// An assignment is the same on both sides when server, volume, directory and object match
// without regard to case (and with "/" and "\" alike, as the network takes them); the tree
// is not part of it, as the caller compares one tree's records with that tree's live side.
// Rights are the same when they grant the same mask. When the file holds one assignment
// twice, the later record is the one a restore leaves, so it alone counts. The result is
// in SortDifferences' order.
std::vector<Difference> CompareRecords(const std::vector<formats::RightsRecord>& file,
                                       const std::vector<formats::RightsRecord>& live);

// The file's records as kFailed with `why`, for a volume whose live side could not be read;
// one for each assignment, as CompareRecords counts them.
std::vector<Difference> FailedRecords(const std::vector<formats::RightsRecord>& file,
                                      const std::string& why);

// The file's filters against the live ones, each filter one of its server and path, compared
// as records are. A filter whose rights are all eight words lets every right through, which
// is no filter at all.
std::vector<Difference> CompareFilters(const std::vector<formats::FilterRecord>& file,
                                       const std::vector<formats::FilterRecord>& live);

// The file's filters as kFailed with `why`.
std::vector<Difference> FailedFilters(const std::vector<formats::FilterRecord>& file,
                                      const std::string& why);

// The filter a filter's difference is about.
formats::FilterRecord FilterOf(const Difference& difference);

// The differences of records first, then those of filters; each of them every kChange, then
// every kMissing, every kExtra, every kFailed; each group by server, directory, object and
// tree, without regard to case. Puts the differences of several volumes or trees in one order.
void SortDifferences(std::vector<Difference>& differences);

struct DifferenceCount {
  std::size_t changed = 0;
  std::size_t missing = 0;
  std::size_t extra = 0;
  std::size_t failed = 0;  // not compared, so not counted as differences
  std::size_t Total() const { return changed + missing + extra; }
  void Add(DifferenceKind kind);
};
DifferenceCount CountDifferences(const std::vector<Difference>& differences);

// "3 differences: 1 changed, 1 missing, 1 extra", with ", 2 failed" when records could not
// be compared; it begins with a digit, so it never reads as a record line.
std::string CountLine(const DifferenceCount& count);

}  // namespace verify
