// Records sorted through runs spilled to a temporary file and merged back.

#include "verify/sorted_spool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/temp_dir.h"

namespace {

using verify::SortedEntry;
using verify::SortedSpool;

std::vector<SortedEntry> Drain(SortedSpool& spool) {
  spool.Finish();
  std::vector<SortedEntry> out;
  for (; spool.Front() != nullptr; spool.Pop()) out.push_back(*spool.Front());
  return out;
}

// Sets TMPDIR for a test, as a spool finds its folder there.
class TempFolder {
 public:
  explicit TempFolder(const std::filesystem::path& folder) {
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TempFolder() { ::unsetenv("TMPDIR"); }
};

TEST(SortedSpool, MergesManyRunsIntoOneOrderKeepingEqualKeysInTheOrderAdded) {
  testing_support::TempDir temp;
  const TempFolder folder(temp.path());
  std::mt19937 random(21);
  std::vector<SortedEntry> added;
  // Few distinct keys, so that many entries share one across runs; fields of every length,
  // bytes 0 and 1 included, survive the file.
  for (std::uint32_t i = 0; i < 30000; ++i) {
    const std::string key = "k" + std::to_string(random() % 997);
    std::string detail(random() % 40, static_cast<char>(i % 3));
    added.push_back({key,
                     {"T", "O" + std::to_string(i), std::string(i % 300, 'x'), "SYS:\\D", "Read"},
                     detail,
                     static_cast<std::uint8_t>(i % 256)});
  }
  for (const auto& [runBytes, manyRuns] :
       {std::tuple{std::size_t{4096}, true}, {std::size_t{64} << 20, false}}) {
    SCOPED_TRACE(runBytes);
    SortedSpool spool(runBytes);
    for (const SortedEntry& entry : added) spool.Add(entry);
    const std::vector<SortedEntry> sorted = Drain(spool);
    std::vector<SortedEntry> expected = added;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const SortedEntry& a, const SortedEntry& b) { return a.key < b.key; });
    EXPECT_TRUE(sorted == expected);
    if (manyRuns) {
      EXPECT_GT(spool.Runs(), 1000u);
    } else {
      EXPECT_EQ(spool.Runs(), 0u);
    }
  }
  // The runs' file has no name: nothing is left in the folder, during the run or after.
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

TEST(SortedSpool, KeysOfPartsCompareAsTheTuplesOfTheirParts) {
  const std::vector<std::vector<std::string>> ordered = {
      {"", "z"},
      {std::string("\0", 1), ""},
      {std::string("\1", 1), ""},
      {std::string("\1\0", 2), ""},
      {"\2", ""},
      {"a", ""},
      {"a", "b"},
      {"a\2", ""},
      {"ab", ""},
  };
  std::vector<std::string> keys;
  for (const auto& parts : ordered) {
    std::string key;
    for (const std::string& part : parts) verify::AppendKeyPart(key, part);
    keys.push_back(key);
  }
  for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_LT(keys[i], keys[i + 1]);
  }
}

TEST(SortedSpool, AFolderWhereNoFileCanBeMadeIsSaid) {
  testing_support::TempDir temp;
  const TempFolder folder(temp / "missing");
  SortedSpool spool(1);
  EXPECT_THAT(
      [&] {
        spool.Add({"a", {}, "", 0});
      },
      ThrowsMessage<verify::SpoolError>(testing::HasSubstr(
          "Cannot make a temporary file for sorting in " + (temp / "missing").string())));
}

}  // namespace
