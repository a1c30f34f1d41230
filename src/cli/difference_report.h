#pragma once
// The differences that verify and diff find, gathered in any order without holding them all,
// and told sorted with their words and a count line.

#include <functional>
#include <string>

#include "verify/rights_difference.h"
#include "verify/sorted_spool.h"

namespace cli {

class DifferenceReport {
 public:
  void Add(verify::Difference difference);
  // Every difference in SortDifferences' order through `line`, then the count line; kDone
  // when nothing differs and nothing failed, else kFailed.
  int Tell(const std::function<void(const std::string&)>& line);

 private:
  verify::SortedSpool spool_;
  verify::DifferenceCount count_;
};

}  // namespace cli
