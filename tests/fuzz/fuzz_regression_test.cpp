// Replays every input kept in the fuzz corpus, so an input that once broke a reader stays
// a test (under the sanitizer build it also checks memory).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_targets.h"

namespace {

using Target = void (*)(const std::uint8_t*, std::size_t);

struct Corpus {
  const char* folder;
  Target target;
};

class FuzzCorpusTest : public ::testing::TestWithParam<Corpus> {};

TEST_P(FuzzCorpusTest, EveryKeptInputIsHandled) {
  const auto folder = std::filesystem::path(TOLVANE_FUZZ_CORPUS) / GetParam().folder;
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SCOPED_TRACE(entry.path().string());
    GetParam().target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no inputs in " << folder;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest,
                         ::testing::Values(Corpus{"rights_reader", fuzz::RightsReader},
                                           Corpus{"object_list_reader", fuzz::ObjectListReader},
                                           Corpus{"dotted_name", fuzz::DottedName},
                                           Corpus{"trustee_path", fuzz::TrusteePath}));

}  // namespace
