#include "formats/byte_buffer.h"

#include <algorithm>
#include <cstring>

#include "formats/windows1252.h"

namespace formats {

void CopyTextToBytes(std::span<std::uint8_t> buffer, std::string_view text) {
  const std::string bytes = Utf8ToCp1252(text);
  if (bytes.size() > buffer.size()) {
    throw FormatError("The text " + QuoteForMessage(text) + " needs " +
                      std::to_string(bytes.size()) + " bytes, but the buffer holds only " +
                      std::to_string(buffer.size()) + ".");
  }
  std::copy(bytes.begin(), bytes.end(), buffer.begin());
}

std::string CopyBytesToText(std::span<const std::uint8_t> buffer) {
  const void* zero = buffer.empty() ? nullptr : std::memchr(buffer.data(), 0, buffer.size());
  if (zero == nullptr) {
    throw FormatError("The buffer of " + std::to_string(buffer.size()) +
                      " bytes holds no zero byte to end its text.");
  }
  const auto length =
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer.data());
  return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(buffer.data()), length));
}

}  // namespace formats
