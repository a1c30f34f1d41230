#pragma once
// Text rules of the simulated network: names fold to one case for comparison, the client
// speaks Windows-1252 while the store keeps UTF-8, and output buffers are never overrun.
// The network keeps a converter of its own rather than the tool's (formats/windows1252.h): it
// stands for the far side of the wire, and a fault in the tool's converter must show as a
// mismatch with it, not be mirrored by the same fault on the server.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::text {

// The comparison key of a name: upper case over the characters Windows-1252 can carry
// (ASCII, Latin-1, and the few extra letters of the code page); anything else unchanged.
std::string Fold(std::string_view utf8);

// Every byte has a meaning; the five undefined codes map to U+0081 and the like.
std::string Cp1252ToUtf8(std::string_view cp1252);
// nullopt when a character has no Windows-1252 code or the text is not UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);
// True when every character of `utf8` has a Windows-1252 code.
bool FitsCp1252(std::string_view utf8);

// Copies `bytes` and a terminating zero into `out`; false (and nothing written but an empty
// string, when there is room for it) when it does not fit in `size`. A null `out` asks for
// nothing.
bool CopyOut(std::string_view bytes, char* out, std::size_t size);

// Splits at any of `separators`, keeping empty pieces.
std::vector<std::string> Split(std::string_view text, std::string_view separators);
std::string Join(const std::vector<std::string>& parts, std::string_view separator);

// '*' any run, '?' one character, compared on folded text.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The text in double quotes, control characters escaped, fit for a message.
std::string Quote(std::string_view text);

}  // namespace sim::text
