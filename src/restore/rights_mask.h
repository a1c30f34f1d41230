#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace restore {

// The rights mask a rights text grants. The text is empty (no rights) or right words
// joined by single "-", in any order and case: Read, Write, Create, Delete, AccessCtrl,
// FileScan, Modify, Supervisor. "Read" grants 0x0005 (read with the bit the client pairs
// with it); every other word its own bit, "Supervisor" 0x0100, so that a captured text
// comes back with the rights it was captured from. nullopt for any other text (a misspelt
// word, a blank, an empty word): granting it would silently drop the right meant.
std::optional<std::uint16_t> RightsMaskFromText(std::string_view rightsText);

}  // namespace restore
