#pragma once
// Text into and out of the fixed byte buffers the NetWare client reads and fills.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace formats {

// Stores the Windows-1252 code of each character of `text` (UTF-8) from byte 0 on; the bytes
// after it stay as they were, and no terminator is added (the caller appends "\0" to the
// text). Throws FormatError, before writing anything, when the text does not fit or holds a
// character with no code.
void CopyTextToBytes(std::span<std::uint8_t> buffer, std::string_view text);

// The text up to the first zero byte, as UTF-8. Throws FormatError when the buffer holds no
// zero byte.
std::string CopyBytesToText(std::span<const std::uint8_t> buffer);

}  // namespace formats
