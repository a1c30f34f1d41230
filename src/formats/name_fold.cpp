#include "formats/name_fold.h"

#include <algorithm>

#include "formats/windows1252.h"

namespace formats {
namespace {

unsigned char FoldByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:
      return 0x8A;  // š
    case 0x9C:
      return 0x8C;  // œ
    case 0x9E:
      return 0x8E;  // ž
    case 0xFF:
      return 0x9F;  // ÿ
    default:
      return c;
  }
}

}  // namespace

std::string FoldName(std::string_view utf8) {
  std::string bytes;
  try {
    bytes = Utf8ToCp1252(utf8);
  } catch (const FormatError&) {
    // Beyond the code page only ASCII letters fold, so such names still compare sensibly.
    std::string folded(utf8);
    for (char& c : folded) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    }
    return folded;
  }
  for (char& c : bytes) c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
  return Cp1252ToUtf8(bytes);
}

std::string DirectoryKey(std::string_view path) {
  const std::string folded = FoldName(path);
  const std::size_t colon = folded.find(':');
  std::string key = colon == std::string::npos ? "" : folded.substr(0, colon + 1);
  for (std::size_t i = colon == std::string::npos ? 0 : colon + 1; i < folded.size();) {
    const std::size_t end = std::min(folded.find_first_of("\\/", i), folded.size());
    if (end > i) key.append("\\").append(folded, i, end - i);
    i = end + 1;
  }
  return key;
}

}  // namespace formats
