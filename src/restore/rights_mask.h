#pragma once

#include <cstdint>
#include <string_view>

namespace restore {

// The rights mask a rights text grants: each right's word is looked for anywhere in the
// text, ignoring case. "Read" grants 0x0005 (read with the bit the client pairs with it);
// every other word adds its own bit, "Supervisor" 0x0100, so that a captured text comes
// back with the rights it was captured from.
std::uint16_t RightsMaskFromText(std::string_view rightsText);

}  // namespace restore
