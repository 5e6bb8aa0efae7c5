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

// Text from an untrusted source (an archive's entry names, a settings file), as UTF-8
// safe to print on a terminal: nothing in it can start a line, move the cursor, set the
// title or reorder the text around it. A backslash is doubled; CR, LF and tab become
// \r, \n and \t; other C0 controls and DEL become \x and two hex digits; C1 controls,
// the line and paragraph separators, the bidirectional controls and unpaired surrogates
// become \u and four hex digits (lowercase). Everything else stays as it is.
std::string ShownText(std::u16string_view text);

// The system's ANSI and OEM code pages. On Windows these are the system's own;
// elsewhere Windows-1252 and code page 437, so that behaviour matches a Western
// Windows. Characters the code page cannot hold become '?'.
std::u16string AnsiToUtf16(std::string_view text);
std::string Utf16ToAnsi(std::u16string_view text);
std::u16string OemToUtf16(std::string_view text);
std::string Utf16ToOem(std::u16string_view text);

} // namespace Folio::Shared
