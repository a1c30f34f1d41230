#include "netware/sim/text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace sim::text {
namespace {

// Code points of the bytes 0x80-0x9F; the undefined ones stand for themselves.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
  out += static_cast<char>(((0xF0 << (3 - extra)) & 0xFF) | (c >> (6 * extra)));
  for (int k = extra - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}

// Decodes one character at `i`, advancing it; nullopt for malformed UTF-8.
std::optional<char32_t> NextChar(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  if (b < 0x80) {
    ++i;
    return b;
  }
  int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
  if (extra < 0 || b > 0xF4 || i + extra >= s.size()) return std::nullopt;
  char32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char cont = byte(i + k);
    if ((cont & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (cont & 0x3F);
  }
  i += extra + 1;
  return c;
}

std::optional<unsigned char> ToCp1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  auto found = std::find(kHigh.begin(), kHigh.end(), c);
  if (found == kHigh.end()) return std::nullopt;
  return static_cast<unsigned char>(0x80 + (found - kHigh.begin()));
}

// Latin-1 lower case letters fold by 0x20; the code page's extra letters pair by table.
char32_t FoldChar(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  constexpr std::pair<char32_t, char32_t> kPairs[] = {
      {0xFF, 0x178}, {0x161, 0x160}, {0x153, 0x152}, {0x17E, 0x17D}};
  for (auto [lower, upper] : kPairs) {
    if (c == lower) return upper;
  }
  return c;
}

}  // namespace

std::string Fold(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t start = i;
    auto c = NextChar(utf8, i);
    if (!c) {  // not UTF-8: keep the byte as it is
      out += utf8[start];
      i = start + 1;
      continue;
    }
    AppendUtf8(out, FoldChar(*c));
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252) {
    auto b = static_cast<unsigned char>(ch);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char32_t>(b));
  }
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto c = NextChar(utf8, i);
    if (!c) return std::nullopt;
    auto b = ToCp1252(*c);
    if (!b) return std::nullopt;
    out += static_cast<char>(*b);
  }
  return out;
}

bool FitsCp1252(std::string_view utf8) { return Utf8ToCp1252(utf8).has_value(); }

bool CopyOut(std::string_view bytes, char* out, std::size_t size) {
  if (out == nullptr) return true;  // the caller asked for nothing
  if (bytes.size() + 1 > size) {
    if (size > 0) out[0] = '\0';
    return false;
  }
  std::copy(bytes.begin(), bytes.end(), out);
  out[bytes.size()] = '\0';
  return true;
}

std::vector<std::string> Split(std::string_view text, std::string_view separators) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (separators.find(c) != std::string_view::npos) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::string p = Fold(pattern);
  std::string n = Fold(name);
  // Iterative match with one backtrack point: enough for '*' and '?'.
  std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace sim::text
