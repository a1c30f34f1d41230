#pragma once
// What differs between a rights file and the live assignments of the volumes it names.
// No Qt, no network: the live side comes in as records, read by the caller.

#include <cstddef>
#include <string>
#include <vector>

#include "formats/rights_file.h"

namespace verify {

enum class DifferenceKind { kChange, kMissing, kExtra };

struct Difference {
  DifferenceKind kind;
  // kChange and kMissing: the file's record; kExtra: the live one.
  formats::RightsRecord record;
  // kChange: the rights text the volume holds now; empty otherwise.
  std::string liveRights;
  bool operator==(const Difference&) const = default;
};

// An assignment is the same on both sides when server, volume, directory and object match
// without regard to case (and with "/" and "\" alike, as the network takes them); the tree
// is not part of it. Rights are the same when they grant the same mask. When the file holds
// one assignment twice, the later record is the one a restore leaves, so it alone counts.
// The result: every kChange, then every kMissing, then every kExtra, each group sorted by
// server, directory and object (without regard to case).
std::vector<Difference> CompareRecords(const std::vector<formats::RightsRecord>& file,
                                       const std::vector<formats::RightsRecord>& live);

struct DifferenceCount {
  std::size_t changed = 0;
  std::size_t missing = 0;
  std::size_t extra = 0;
  std::size_t Total() const { return changed + missing + extra; }
};
DifferenceCount CountDifferences(const std::vector<Difference>& differences);

// "3 differences: 1 changed, 1 missing, 1 extra"; it begins with a digit, so it never reads
// as a record line.
std::string CountLine(const DifferenceCount& count);

}  // namespace verify
