#pragma once
// What restore and verify read: the rights file, once, into a private copy, and the filters
// file that goes with it; both checked whole, and mapped, before anything is done with them.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "formats/filters_file.h"
#include "formats/rights_file.h"
#include "restore/record_mapping.h"

namespace cli {

// A private copy of the input, which is read exactly once: a pipe can be read only once,
// and a file that grows or changes during the run must not hand the grant records the
// check never saw. The copy has no name (or loses it at once), so nothing else can reach
// it and nothing is left behind. Throws UsageError when the input cannot be read or copied.
class Spool {
 public:
  explicit Spool(const std::string& input);  // "-": standard input
  ~Spool();
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  // Messages about the copy name the input the user gave.
  formats::RightsFileReader Reader() const;

 private:
  void Copy(const std::string& folder);

  std::string name_;  // the input as the user named it; "-" standard input
  int fd_ = -1;
  std::string path_;  // where the copy can be opened again
};

// The filters file that goes with the rights file `input`: `named` when given; none with
// `none`, or for standard input; else the one beside the rights file when there is one.
// "": none.
std::string FiltersFileFor(const std::string& input, const std::string& named, bool none);

struct CheckedInput {
  std::size_t records = 0;
  bool filtersRead = false;                    // a filters file was read
  std::vector<formats::FilterRecord> filters;  // mapped, in the file's order
};

// Reads every record of the copy, and every filter of `filtersFile` (unless ""), before
// anything is done with them, hands each record, mapped, to `each`, and checks the mapping
// against them all. Throws UsageError, ending with `afterwards`, for a file or a mapping that
// does not hold.
CheckedInput CheckInput(const Spool& spool, const std::string& filtersFile,
                        const restore::RecordMapping& mapping,
                        const std::function<void(const formats::RightsRecord&)>& each,
                        const std::string& afterwards);

// The volume at the head of a path ("DATA:\Home" -> "DATA"); "" when it names none.
std::string VolumeOf(const std::string& path);

}  // namespace cli
