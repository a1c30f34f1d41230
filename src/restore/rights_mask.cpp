#include "restore/rights_mask.h"

#include <algorithm>
#include <cctype>

namespace restore {
namespace {

bool ContainsIgnoringCase(std::string_view text, std::string_view word) {
  auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
  return it != text.end();
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

std::uint16_t RightsMaskFromText(std::string_view rightsText) {
  std::uint16_t mask = 0;
  for (const auto& right : kWords) {
    if (ContainsIgnoringCase(rightsText, right.word)) mask |= right.bits;
  }
  return mask;
}

}  // namespace restore
