#include "restore/rights_mask.h"

#include <algorithm>
#include <cctype>

namespace restore {
namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct RightWord {
  std::string_view word;
  std::uint16_t bits;
};

constexpr RightWord kWords[] = {
    {"Read", 0x0005},       {"Write", 0x0002},    {"Create", 0x0008}, {"Delete", 0x0010},
    {"AccessCtrl", 0x0020}, {"FileScan", 0x0040}, {"Modify", 0x0080}, {"Supervisor", 0x0100},
};

}  // namespace

std::optional<std::uint16_t> RightsMaskFromText(std::string_view rightsText) {
  std::uint16_t mask = 0;
  if (rightsText.empty()) return mask;
  for (std::size_t start = 0;;) {
    const std::size_t dash = std::min(rightsText.find('-', start), rightsText.size());
    const std::string_view word = rightsText.substr(start, dash - start);
    const auto* right = std::ranges::find_if(
        kWords, [&](const RightWord& known) { return EqualIgnoringCase(word, known.word); });
    if (right == std::end(kWords)) return std::nullopt;
    mask |= right->bits;
    if (dash == rightsText.size()) return mask;
    start = dash + 1;
  }
}

}  // namespace restore
