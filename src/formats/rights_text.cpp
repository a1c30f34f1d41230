#include "formats/rights_text.h"

#include <array>
#include <string_view>

namespace formats {
namespace {

struct RightWord {
  std::uint16_t bit;
  std::string_view word;
};

// The order of the rights text; the restore looks for these very words.
constexpr std::array<RightWord, 8> kRightWords = {{
    {TR_READ, "Read"},
    {TR_WRITE, "Write"},
    {TR_CREATE, "Create"},
    {TR_ERASE, "Delete"},
    {TR_ACCESS, "AccessCtrl"},
    {TR_FILESCAN, "FileScan"},
    {TR_MODIFY, "Modify"},
    {TR_SUPERVISOR, "Supervisor"},
}};

}  // namespace

std::string BuildRightsText(std::uint16_t mask) {
  std::string text;
  text.reserve(64);
  for (const RightWord& right : kRightWords) {
    if ((mask & right.bit) == 0) continue;
    if (!text.empty()) text += '-';
    text += right.word;
  }
  return text;
}

}  // namespace formats
