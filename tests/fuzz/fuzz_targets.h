#pragma once
// The inputs the fuzzers drive, shared with the regression test that replays the corpus.

#include <cstddef>
#include <cstdint>

namespace fuzz {

void RightsReader(const std::uint8_t* data, std::size_t size);
void ObjectListReader(const std::uint8_t* data, std::size_t size);
// Input: tree name, a NUL byte, the full NDS name.
void DottedName(const std::uint8_t* data, std::size_t size);
// Input: server, NUL, volume, NUL, the returned path; the listing answers from the path.
void TrusteePath(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
