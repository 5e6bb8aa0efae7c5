// The three ways the runtime reads a 32-bit integer from text. Each rule lives here
// once; callers pick the one their input follows.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Folio::Shared {

// Settings values: an optional sign, then decimal digits, or hexadecimal digits after
// "$" or "0x" ("0x" only when the text is longer than two characters). Nothing else
// may stand in the text. Hexadecimal takes up to 32 bits and keeps the bit pattern
// (0xFF00001A is a valid colour); decimal must fit a signed 32-bit integer.
std::optional<int32_t> ParseSettingsInteger(std::u16string_view text);

// Bridge function ids: optional leading spaces, an optional sign, then decimal digits,
// or hexadecimal digits after "$", "x" or "0x" (x in either case). Nothing may follow.
std::optional<int32_t> ParseStrictInteger(std::u16string_view text);

// Reads as far as the text goes by the rule of ParseStrictInteger: stops at the first
// character that does not belong to the number (or that would overflow it) and keeps
// what was read. No number at the start gives 0.
int32_t ParseLeadingInteger(std::u16string_view text);

} // namespace Folio::Shared
