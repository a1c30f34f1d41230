#pragma once

#include <cstdint>
#include <string>

namespace formats {

// Bit values of a rights mask, in the order the rights text lists them.
inline constexpr std::uint16_t TR_READ = 0x0001;
inline constexpr std::uint16_t TR_WRITE = 0x0002;
inline constexpr std::uint16_t TR_CREATE = 0x0008;
inline constexpr std::uint16_t TR_ERASE = 0x0010;
inline constexpr std::uint16_t TR_ACCESS = 0x0020;
inline constexpr std::uint16_t TR_FILESCAN = 0x0040;
inline constexpr std::uint16_t TR_MODIFY = 0x0080;
inline constexpr std::uint16_t TR_SUPERVISOR = 0x0100;

// "Read-Write-...": the words of the set bits joined by "-"; "" when none carries a word.
std::string BuildRightsText(std::uint16_t mask);

}  // namespace formats
