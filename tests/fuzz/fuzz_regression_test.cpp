// Replays every input kept in the fuzz corpus through the property-checking targets, so an
// input that once broke a reader or a writer stays a test (under the sanitizer build it also
// checks memory).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "support/temp_dir.h"

namespace {

using Target = void (*)(const std::uint8_t*, std::size_t);

struct Corpus {
  const char* folder;
  Target target;
};

class FuzzCorpusTest : public ::testing::TestWithParam<Corpus> {};

TEST_P(FuzzCorpusTest, EveryKeptInputKeepsTheTargetsProperties) {
  const auto folder = std::filesystem::path(TOLVANE_FUZZ_CORPUS) / GetParam().folder;
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string bytes = testing_support::ReadFileBytes(entry.path());
    try {
      GetParam().target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const fuzz::PropertyFailure& failure) {
      ADD_FAILURE() << entry.path().filename() << ": " << failure.what();
    }
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "no inputs in " << folder;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpusTest,
                         ::testing::Values(Corpus{"rights_reader", fuzz::RightsReader},
                                           Corpus{"object_list_reader", fuzz::ObjectListReader},
                                           Corpus{"dotted_name", fuzz::DottedName},
                                           Corpus{"trustee_path", fuzz::TrusteePath}),
                         [](const auto& info) { return std::string(info.param.folder); });

}  // namespace
