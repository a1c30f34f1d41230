#pragma once
// What the tests of the file formats share: a file of records written and read back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "formats/rights_file.h"
#include "support/temp_dir.h"

// In the formats' own namespace, as the tests are, so that TempDir here is not gtest's.
namespace formats {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Writes the record of each pair of `lines` through `writer`, once `format` has made it the
// pair's line; the bytes the file must then hold and the records it must read back as.
template <typename Writer, typename Lines, typename Format>
auto WriteEach(Writer& writer, const Lines& lines, Format format) {
  std::pair<std::string, std::vector<std::remove_cvref_t<decltype(std::begin(lines)->first)>>>
      written;
  for (const auto& [record, line] : lines) {
    EXPECT_EQ(format(record), line);
    writer.Write(record);
    written.first += line;
    written.second.push_back(record);
  }
  return written;
}

// Every record `reader` holds, read by `read` (a member of the reader) up to its end, and
// each line that is none as "line N: message".
template <typename Reader, typename Read>
auto ReadAll(Reader&& reader, Read read) {
  std::pair<std::vector<std::remove_cvref_t<decltype((reader.*read)())>>, std::vector<std::string>>
      all;
  while (!reader.AtEnd()) {
    try {
      all.first.push_back((reader.*read)());
    } catch (const BadRecord& e) {
      EXPECT_EQ(e.Line(), reader.Line());
      all.second.push_back("line " + std::to_string(e.Line()) + ": " + e.what());
    }
  }
  return all;
}

// Each of `problems` holds its part of `expected` and reads as a message of a bad line.
inline void ExpectProblems(const std::vector<std::string>& problems,
                           const std::vector<std::string>& expected) {
  ASSERT_EQ(problems.size(), expected.size()) << ::testing::PrintToString(problems);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_THAT(problems[i], ::testing::AllOf(::testing::HasSubstr(expected[i]),
                                              ::testing::HasSubstr("The text, line "),
                                              ::testing::EndsWith(".")));
  }
}

}  // namespace formats
