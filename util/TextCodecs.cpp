// UTF-8 and UTF-16 conversions (portable part of TextCodecs.h).
#include "util/TextCodecs.h"

#include <cstdint>

namespace Folio::Shared {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

} // namespace

std::u16string Utf8ToUtf16(std::string_view text)
{
    // Every byte gives at most one code unit (four-byte sequences give two), so the
    // output is sized once and written through a pointer.
    std::u16string out(text.size(), u'\0');
    char16_t* w = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            *w++ = b;
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        char32_t min;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        } else {
            *w++ = kReplacement;
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (p[j] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (p[j] & 0x3F);
        }
        // A bad sequence gives one U+FFFD for its lead byte and the continuation bytes seen.
        i = j;
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            *w++ = kReplacement;
        } else if (cp < 0x10000) {
            *w++ = static_cast<char16_t>(cp);
        } else {
            cp -= 0x10000;
            *w++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *w++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    // At most three bytes a code unit (a surrogate pair gives four for two units).
    std::string out(text.size() * 3, '\0');
    char* w = out.data();
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            *w++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x800) {
            *w++ = static_cast<char>(0xC0 | (cp >> 6));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *w++ = static_cast<char>(0xE0 | (cp >> 12));
            *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *w++ = static_cast<char>(0xF0 | (cp >> 18));
            *w++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

std::u16string Utf16FromBytes(std::string_view bytes, bool bigEndian)
{
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return out;
}

namespace {

// The marks and embeddings that change the direction of the text after them.
bool IsBidiControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string ShownText(std::u16string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    size_t plainFrom = 0; // the run of units shown as they are, converted at once
    auto flush = [&](size_t to) {
        out += Utf16ToUtf8(text.substr(plainFrom, to - plainFrom));
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i; // a pair: a character past U+FFFF, shown as it is
            continue;
        }
        const char* named = c == u'\\' ? "\\\\" : c == u'\n' ? "\\n" : c == u'\r' ? "\\r" : c == u'\t' ? "\\t" : nullptr;
        const bool narrow = c < 0x20 || c == 0x7F;
        const bool wide = (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || IsBidiControl(c) || high || low;
        if (!named && !narrow && !wide) {
            continue;
        }
        flush(i);
        plainFrom = i + 1;
        if (named) {
            out += named;
        } else if (narrow) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(c >> shift) & 0xF];
            }
        }
    }
    flush(text.size());
    return out;
}

} // namespace Folio::Shared
