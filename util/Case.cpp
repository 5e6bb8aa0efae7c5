// Letter case (see Case.h).
#include "util/Case.h"

namespace Folio::Shared {

char16_t ToLowerChar(char16_t c) noexcept
{
    if (c < 0x80) {
        return AsciiLower(c);
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F)) {
        return char16_t(c + 32);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return char16_t(c + 80);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    // Latin Extended-A pairs: even capitals in 0100-0137 and 014A-0177, odd ones in
    // 0139-0148 and 0179-017E. U+0130 and U+0131 (dotted and dotless I) stay as they are.
    if ((c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177)) {
        return (c % 2 == 0) ? char16_t(c + 1) : c;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c % 2 == 1) ? char16_t(c + 1) : c;
    }
    return c;
}

std::u16string ToLower(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out) {
        c = ToLowerChar(c);
    }
    return out;
}

bool SameText(std::u16string_view a, std::u16string_view b) noexcept
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (ToLowerChar(a[i]) != ToLowerChar(b[i])) {
            return false;
        }
    }
    return true;
}

bool SameTextAscii(std::u16string_view a, std::u16string_view b) noexcept
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool StartsTextAscii(std::u16string_view text, std::u16string_view prefix) noexcept
{
    return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

} // namespace Folio::Shared
