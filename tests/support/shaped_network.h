#pragma once
// A generated network shaped as an administrator's volume, by its number of objects: about
// five assignments an object, one directory crowded with trustees, paths up to 20 levels
// deep, a trustee on a file for every fourth object and a filter for every tenth.

#include <algorithm>

#include "netware/sim/sim_network.h"

namespace testing_support {

inline sim::GenerateOptions ShapedNetwork(long objects) {
  sim::GenerateOptions options;
  options.units = static_cast<int>(objects / 100);
  options.groups = static_cast<int>(objects / 20);
  options.roles = static_cast<int>(objects / 50);
  options.users = static_cast<int>(objects - options.units - options.groups - options.roles);
  options.directories = static_cast<int>(std::max<long>(100, objects / 4));
  options.assignments = static_cast<int>(objects * 5);
  options.depth = 20;
  options.crowdedTrustees = static_cast<int>(std::min<long>(5000, objects));
  options.fileTrustees = static_cast<int>(objects / 4);
  options.filters = static_cast<int>(objects / 10);
  options.seed = 7;
  return options;
}

}  // namespace testing_support
