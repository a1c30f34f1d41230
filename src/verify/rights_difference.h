#pragma once
// What differs between a rights file and the live assignments of the volumes it names.
// No Qt, no network: the live side comes in as records, read by the caller.

#include <cstddef>
#include <string>
#include <vector>

#include "formats/rights_file.h"

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
  bool operator==(const Difference&) const = default;
};

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

// Every kChange, then every kMissing, every kExtra, every kFailed; each group by server,
// directory, object and tree, without regard to case. Puts the differences of several
// volumes or trees in one order.
void SortDifferences(std::vector<Difference>& differences);

struct DifferenceCount {
  std::size_t changed = 0;
  std::size_t missing = 0;
  std::size_t extra = 0;
  std::size_t failed = 0;  // not compared, so not counted as differences
  std::size_t Total() const { return changed + missing + extra; }
};
DifferenceCount CountDifferences(const std::vector<Difference>& differences);

// "3 differences: 1 changed, 1 missing, 1 extra", with ", 2 failed" when records could not
// be compared; it begins with a digit, so it never reads as a record line.
std::string CountLine(const DifferenceCount& count);

}  // namespace verify
