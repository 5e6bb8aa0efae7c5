// Letter case for identifiers, extensions and settings names. The mapping covers
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic capitals: enough for names
// people type, with no dependence on the process locale.
#pragma once

#include <string>
#include <string_view>

namespace Folio::Shared {

char16_t ToLowerChar(char16_t c) noexcept;
std::u16string ToLower(std::u16string_view text);
bool SameText(std::u16string_view a, std::u16string_view b) noexcept;

// Only A-Z folded: the rule for archive entry names.
inline char16_t AsciiLower(char16_t c) noexcept { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }
bool SameTextAscii(std::u16string_view a, std::u16string_view b) noexcept;
bool StartsTextAscii(std::u16string_view text, std::u16string_view prefix) noexcept;

} // namespace Folio::Shared
