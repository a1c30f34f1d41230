#pragma once
// The rewriting of a rights file's records before they are granted, which moves a volume's
// trustees onto another server, volume or tree: --map-server, --map-volume, --map-tree.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/rights_file.h"

namespace restore {

// A mapping given wrongly; what() says which and why, fit for the user.
class MappingError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

enum class MappedField { kServer, kVolume, kTree };

struct NameMapping {
  std::string from;
  std::string to;
  bool operator==(const NameMapping&) const = default;
};

class RecordMapping {
 public:
  // Adds "OLD=NEW" for `field`. Throws MappingError when there is no "=", a side is empty,
  // a name holds a character no such name can hold, or OLD is already mapped (names
  // compared without regard to case) to another name.
  void Add(MappedField field, std::string_view oldEqualsNew);

  // The record as it is to be granted. Each field is mapped once, never along a chain, so
  // A=B together with B=A swaps two names. A volume mapping rewrites the volume at the head
  // of the directory ("VOL:\Dir" or "VOL:"); a directory without ":" is left as it is.
  formats::RightsRecord Apply(const formats::RightsRecord& record) const;

  bool Empty() const { return servers_.empty() && volumes_.empty() && trees_.empty(); }

 private:
  std::vector<NameMapping> servers_;
  std::vector<NameMapping> volumes_;
  std::vector<NameMapping> trees_;
};

}  // namespace restore
