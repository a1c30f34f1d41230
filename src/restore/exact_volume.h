#pragma once
// A volume brought to hold exactly what a rights file (and its filters file) holds: every other
// trustee assignment, and every other filter, is removed. Over the client library only.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "netware/nw_client.h"

namespace restore {

// What the file holds of one volume, and so what stays.
struct ExactVolume {
  std::string tree;  // the tree its records name; empty: the tree the server stands in
  std::string server;
  std::string volume;
  // Each assignment of the file, by formats::DirectoryKey of its path: by the object found for
  // it, and by its folded object name (for a record whose object was never looked up).
  std::set<std::pair<std::string, nw::nuint32>> trusteeIDs;
  std::set<std::pair<std::string, std::string>> trusteeNames;
  // Filters, by DirectoryKey of their path; only looked at when `exactFilters`.
  std::set<std::string> filters;
  bool exactFilters = false;
};

// One trustee assignment, or filter, the volume holds that the file does not.
struct Removal {
  bool filter = false;
  std::string tree;        // the trustee's tree; empty for a filter
  std::string object;      // the trustee's name; "(no name: ID 0x00012345)" when the ID has none
  std::string path;        // as the rights file writes a directory, "DATA:\Home\alice" (UTF-8)
  std::uint16_t mask = 0;  // the trustee's rights, or the filter
  nw::NWRCODE code = 0;    // non-zero: the removal was refused with this code
};

// Walks the volume (its root first) and hands every removal to `each` in the walk's order,
// removing it first unless `dryRun`. 0 when the whole volume was walked; otherwise the code
// of the call that stopped it (the connection, the walk, a trustee list), the removals
// before it made and told.
nw::NWRCODE MakeExact(nw::NetWareClient& client, const ExactVolume& volume, bool dryRun,
                      const std::function<void(const Removal&)>& each);

}  // namespace restore
