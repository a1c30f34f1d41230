#pragma once
// The rights words: one table, read both ways. A capture writes the words of a mask's bits;
// a restore grants the bits of a text's words, which for "Read" are more than the word's own
// bit (the client pairs read with 0x0004), so the two are not each other's inverse.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// The mask a rights text grants: empty (no rights), or right words joined by single "-", in
// any order and case. nullopt for any other text (a misspelt word, a blank, an empty word):
// granting it would silently drop the right meant.
std::optional<std::uint16_t> RightsMaskFromText(std::string_view rightsText);

// The words' own bits, as a capture finds them ("Read" 0x0001): how a description of a
// network names stored rights. nullopt as above, with the first word that is no right in
// `badWord` when given.
std::optional<std::uint16_t> RightsBitsFromText(std::string_view rightsText,
                                                std::string* badWord = nullptr);

}  // namespace formats
