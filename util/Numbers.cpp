// Integer reading rules (see Numbers.h).
#include "util/Numbers.h"

namespace Folio::Shared {

namespace {

int DigitValue(char16_t c, bool hex)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (hex && c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (hex && c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

struct Scan {
    int64_t value = 0; // magnitude read so far, before the sign
    size_t digits = 0;
    size_t end = 0;    // index after the last character taken
    bool overflow = false;
};

// Reads digits from position i. A hexadecimal number may fill 32 bits; a decimal one
// may reach 2^31 (the magnitude of INT32_MIN). Stops before a digit that would overflow.
Scan ReadDigits(std::u16string_view text, size_t i, bool hex)
{
    const int64_t limit = hex ? 0xFFFFFFFFLL : 0x80000000LL;
    const int base = hex ? 16 : 10;
    Scan s;
    s.end = i;
    for (; i < text.size(); ++i) {
        const int d = DigitValue(text[i], hex);
        if (d < 0) {
            break;
        }
        const int64_t next = s.value * base + d;
        if (next > limit) {
            s.overflow = true;
            break;
        }
        s.value = next;
        ++s.digits;
        s.end = i + 1;
    }
    return s;
}

std::optional<int32_t> Finish(int64_t magnitude, bool negative, bool hex)
{
    if (hex) {
        // Keeps the bit pattern, so $FFFFFFFF is -1 and -$1 is -1.
        const auto bits = static_cast<uint32_t>(magnitude);
        const auto value = static_cast<int32_t>(bits);
        return negative ? static_cast<int32_t>(0u - bits) : value;
    }
    if (!negative && magnitude > 0x7FFFFFFFLL) {
        return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool IsX(char16_t c) { return c == u'x' || c == u'X'; }

// Position after a hexadecimal prefix at i, or i when there is none.
size_t HexPrefix(std::u16string_view text, size_t i, bool allowBareX)
{
    if (i < text.size() && text[i] == u'$') {
        return i + 1;
    }
    if (allowBareX && i < text.size() && IsX(text[i])) {
        return i + 1;
    }
    if (i + 1 < text.size() && text[i] == u'0' && IsX(text[i + 1])) {
        return i + 2;
    }
    return i;
}

// Leading spaces, a sign and a hexadecimal prefix by the rule of bridge ids, then the digits.
Scan ScanIdRule(std::u16string_view text, bool& negative, bool& hex)
{
    size_t i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    const size_t start = HexPrefix(text, i, true);
    hex = start != i;
    return ReadDigits(text, start, hex);
}

} // namespace

std::optional<int32_t> ParseSettingsInteger(std::u16string_view text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    size_t start = HexPrefix(text, i, false);
    if (start == i + 2 && text.size() <= 2) {
        start = i; // "0x" alone is not a prefix
    }
    const bool hex = start != i;
    const Scan s = ReadDigits(text, start, hex);
    if (s.digits == 0 || s.overflow || s.end != text.size()) {
        return std::nullopt;
    }
    return Finish(s.value, negative, hex);
}

std::optional<int32_t> ParseStrictInteger(std::u16string_view text)
{
    bool negative, hex;
    const Scan s = ScanIdRule(text, negative, hex);
    if (s.digits == 0 || s.overflow || s.end != text.size()) {
        return std::nullopt;
    }
    return Finish(s.value, negative, hex);
}

int32_t ParseLeadingInteger(std::u16string_view text)
{
    bool negative, hex;
    Scan s = ScanIdRule(text, negative, hex);
    if (s.digits == 0) {
        return 0;
    }
    if (!hex && !negative && s.value > 0x7FFFFFFFLL) {
        s.value /= 10; // the last digit would overflow: it does not belong to the number
    }
    return *Finish(s.value, negative, hex);
}

} // namespace Folio::Shared
