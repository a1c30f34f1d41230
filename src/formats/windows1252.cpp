#include "formats/windows1252.h"

#include <array>
#include <cstdint>

namespace formats {
namespace {

// Code points of the bytes 0x80 to 0x9F; the five bytes Windows-1252 leaves undefined stand
// for the C1 control of the same value, so that every byte reads back as it was.
constexpr std::array<char32_t, 32> kHighTable = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

// The Windows-1252 byte of a code point, or -1.
int Cp1252Code(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t i = 0; i < kHighTable.size(); ++i) {
    if (kHighTable[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the sequence at `pos`; returns its length, or 0 when it is not well-formed UTF-8
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length;
  char32_t min;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() - pos < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

std::string CodePointName(char32_t cp) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string digits;
  for (int shift = cp > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
    digits += kHex[(cp >> shift) & 0xF];
  }
  return "U+" + digits;
}

}  // namespace

std::string Utf8ToCp1252(std::string_view utf8) { return Utf8ToCp1252(utf8, "value"); }

std::string Utf8ToCp1252(std::string_view utf8, std::string_view label) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++pos;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(utf8, pos, cp);
    if (length == 0) {
      throw UnwritableValue("The " + std::string(label) + " " + QuoteForMessage(utf8) +
                            " is not valid UTF-8 text (at byte " + std::to_string(pos + 1) + ").");
    }
    const int code = Cp1252Code(cp);
    if (code < 0) {
      throw UnwritableValue("The " + std::string(label) + " " + QuoteForMessage(utf8) +
                            " holds the character " + CodePointName(cp) +
                            ", which has no Windows-1252 code.");
    }
    out += static_cast<char>(code);
    pos += length;
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size() + cp1252.size() / 8);
  for (const char c : cp1252) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else if (byte < 0xA0) {
      AppendUtf8(out, kHighTable[byte - 0x80]);
    } else {
      AppendUtf8(out, byte);
    }
  }
  return out;
}

std::string QuoteForMessage(std::string_view utf8) {
  // Enough to recognise a value; a message box does not need a whole megabyte.
  constexpr std::size_t kShown = 200;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  std::size_t pos = 0;
  while (pos < utf8.size() && pos < kShown) {
    const auto byte = static_cast<unsigned char>(utf8[pos]);
    char32_t cp = 0;
    const std::size_t length = DecodeUtf8(utf8, pos, cp);
    if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (length == 0 || cp < 0x20 || cp == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out.append(utf8.substr(pos, length));
      pos += length;
      continue;
    }
    ++pos;
  }
  out += pos < utf8.size() ? "...\"" : "\"";
  return out;
}

}  // namespace formats
