#pragma once
// The inputs the fuzzers drive, shared with the regression test that replays the corpus.
// Each target checks properties of what it read and throws PropertyFailure, naming the
// property, when one does not hold; the fuzzer aborts on it, the regression test fails.

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace fuzz {

class PropertyFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// One record a line at most, none over a line end, and a bad line never stops the reader;
// what the writer takes of the records read, the reader reads back the same.
void RightsReader(const std::uint8_t* data, std::size_t size);
// The same for the names of the object list file.
void ObjectListReader(const std::uint8_t* data, std::size_t size);
// Input: tree name, a NUL byte, the full NDS name.
void DottedName(const std::uint8_t* data, std::size_t size);
// Input: server, NUL, volume, NUL, the returned path; the listing answers from the path.
void TrusteePath(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
