// Toast content and application id (see ToastText.h).
#include "util/ToastText.h"

#include <cstdio>
#include <vector>

namespace Folio::Shared {

namespace {

constexpr uint32_t Rot(uint32_t x, int k) { return (x << k) | (x >> (32 - k)); }

void Mix(uint32_t& a, uint32_t& b, uint32_t& c)
{
    a -= c; a ^= Rot(c, 4);  c += b;
    b -= a; b ^= Rot(a, 6);  a += c;
    c -= b; c ^= Rot(b, 8);  b += a;
    a -= c; a ^= Rot(c, 16); c += b;
    b -= a; b ^= Rot(a, 19); a += c;
    c -= b; c ^= Rot(b, 4);  b += a;
}

void Final(uint32_t& a, uint32_t& b, uint32_t& c)
{
    c ^= b; c -= Rot(b, 14);
    a ^= c; a -= Rot(c, 11);
    b ^= a; b -= Rot(a, 25);
    c ^= b; c -= Rot(b, 16);
    a ^= c; a -= Rot(c, 4);
    b ^= a; b -= Rot(a, 14);
    c ^= b; c -= Rot(b, 24);
}

// Up to four bytes from p, little-endian, the missing high bytes zero.
uint32_t Word(const uint8_t* p, size_t n)
{
    uint32_t w = 0;
    for (size_t i = 0; i < n && i < 4; ++i) {
        w |= static_cast<uint32_t>(p[i]) << (8 * i);
    }
    return w;
}

bool XmlAllows(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF); }

void AppendEscaped(std::u16string& out, std::u16string_view text)
{
    for (const char16_t c : text) {
        switch (c) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        case u'\'': out += u"&apos;"; break;
        default:
            if (XmlAllows(c)) {
                out.push_back(c);
            }
        }
    }
}

} // namespace

uint32_t HashLittle(const void* key, size_t length, uint32_t initval)
{
    const auto* k = static_cast<const uint8_t*>(key);
    uint32_t a = 0xdeadbeef + static_cast<uint32_t>(length) + initval;
    uint32_t b = a, c = a;
    while (length > 12) {
        a += Word(k, 4);
        b += Word(k + 4, 4);
        c += Word(k + 8, 4);
        Mix(a, b, c);
        length -= 12;
        k += 12;
    }
    if (length == 0) {
        return c; // nothing left to add: the last block is not mixed in
    }
    a += Word(k, length);
    if (length > 4) {
        b += Word(k + 4, length - 4);
    }
    if (length > 8) {
        c += Word(k + 8, length - 8);
    }
    Final(a, b, c);
    return c;
}

std::u16string AppUserModelId(std::u16string_view exePath)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(exePath.size() * 2);
    for (const char16_t c : exePath) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(HashLittle(bytes.data(), bytes.size(), 0)));
    std::u16string id = u"Folio.Runtime.";
    id.append(hex, hex + 8);
    return id;
}

std::u16string ToastXml(std::u16string_view title, std::u16string_view body)
{
    std::u16string xml = u"<toast duration=\"short\"><visual><binding template=\"";
    if (!title.empty() && !body.empty()) {
        xml += u"ToastText02\"><text id=\"1\">";
        AppendEscaped(xml, title);
        xml += u"</text><text id=\"2\">";
        AppendEscaped(xml, body);
    } else {
        xml += u"ToastText01\"><text id=\"1\">";
        AppendEscaped(xml, title);
        AppendEscaped(xml, body);
    }
    xml += u"</text></binding></visual></toast>";
    return xml;
}

} // namespace Folio::Shared
