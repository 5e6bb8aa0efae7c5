// Text conversions used across the code base: UTF-8 <-> UTF-16, and the system's
// ANSI and OEM code pages. Text in memory is UTF-16 (std::u16string); these run at
// the edges, where bytes come in from files, archives and the system.
#pragma once

#include <string>
#include <string_view>

namespace Folio::Shared {

// Malformed UTF-8 (bad lead or continuation bytes, overlong forms, surrogates,
// values past U+10FFFF, truncated sequences) becomes U+FFFD, one per bad sequence.
std::u16string Utf8ToUtf16(std::string_view text);
// An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-16 from raw bytes in little- or big-endian order; a trailing odd byte is ignored.
std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian);

// The system's ANSI and OEM code pages. On Windows these are the system's own;
// elsewhere Windows-1252 and code page 437, so that behaviour matches a Western
// Windows. Characters the code page cannot hold become '?'.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string OemToUtf16(std::string_view text);
std::string Utf16ToOem(std::u16string_view text);

} // namespace Folio::Shared
