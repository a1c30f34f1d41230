// One libFuzzer entry point; FUZZ_TARGET names the function of fuzz_targets.h it drives.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    fuzz::FUZZ_TARGET(data, size);
  } catch (const fuzz::PropertyFailure& failure) {
    std::fprintf(stderr, "property failed: %s\n", failure.what());
    std::abort();  // libFuzzer keeps the input as a crash
  }
  return 0;
}
