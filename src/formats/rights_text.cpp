#include "formats/rights_text.h"

#include <algorithm>

namespace formats {
namespace {

struct RightWord {
  std::string_view word;
  std::uint16_t captured;  // the bit whose presence writes the word
  std::uint16_t granted;   // what the word grants back
};

// The order of the rights text.
constexpr RightWord kRightWords[] = {
    {"Read", TR_READ, TR_READ | 0x0004},  {"Write", TR_WRITE, TR_WRITE},
    {"Create", TR_CREATE, TR_CREATE},     {"Delete", TR_ERASE, TR_ERASE},
    {"AccessCtrl", TR_ACCESS, TR_ACCESS}, {"FileScan", TR_FILESCAN, TR_FILESCAN},
    {"Modify", TR_MODIFY, TR_MODIFY},     {"Supervisor", TR_SUPERVISOR, TR_SUPERVISOR},
};

// ASCII only: a locale's case rules (a Turkish dotless i) must not make a word a right.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::ranges::equal(a, b, {}, lower, lower);
}

// The mask of the words' bits in `column`; nullopt, with the word in `badWord` when asked,
// at the first word that is no right.
std::optional<std::uint16_t> MaskOf(std::string_view text, std::uint16_t RightWord::*column,
                                    std::string* badWord) {
  std::uint16_t mask = 0;
  if (text.empty()) return mask;
  for (std::size_t start = 0;;) {
    const std::size_t dash = std::min(text.find('-', start), text.size());
    const std::string_view word = text.substr(start, dash - start);
    const auto* right = std::ranges::find_if(
        kRightWords, [&](const RightWord& known) { return EqualIgnoringCase(word, known.word); });
    if (right == std::end(kRightWords)) {
      if (badWord != nullptr) *badWord = word;
      return std::nullopt;
    }
    mask |= (*right).*column;
    if (dash == text.size()) return mask;
    start = dash + 1;
  }
}

}  // namespace

std::string BuildRightsText(std::uint16_t mask) {
  std::string text;
  for (const RightWord& right : kRightWords) {
    if ((mask & right.captured) == 0) continue;
    if (!text.empty()) text += '-';
    text += right.word;
  }
  return text;
}

std::optional<std::uint16_t> RightsMaskFromText(std::string_view rightsText) {
  return MaskOf(rightsText, &RightWord::granted, nullptr);
}

std::optional<std::uint16_t> RightsBitsFromText(std::string_view rightsText, std::string* badWord) {
  return MaskOf(rightsText, &RightWord::captured, badWord);
}

}  // namespace formats
