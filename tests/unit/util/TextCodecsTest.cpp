#include "util/TextCodecs.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

TEST(TextCodecs, Utf8RoundTrip)
{
    const std::u16string text = u"a\u00E9\u20AC\u4E2D\U0001F600z";
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80z";
    EXPECT_EQ(Utf16ToUtf8(text), utf8);
    EXPECT_EQ(Utf8ToUtf16(utf8), text);
}

TEST(TextCodecs, MalformedUtf8BecomesReplacement)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"a\x80z", u"a\uFFFDz"},                 // stray continuation byte
        {"a\xC3", u"a\uFFFD"},                   // truncated at the end
        {"\xC0\xAF", u"\uFFFD\uFFFD"},           // overlong lead bytes are never valid
        {"\xE0\x80\xAF", u"\uFFFD"},             // overlong three-byte form
        {"\xED\xA0\x80", u"\uFFFD"},             // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD"},         // past U+10FFFF
        {"\xE4\xB8x", u"\uFFFDx"},               // cut short by an ASCII byte
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Utf8ToUtf16(bytes), text) << testing::PrintToString(bytes);
    }
    EXPECT_EQ(Utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");
}

TEST(TextCodecs, Utf16Bytes)
{
    EXPECT_EQ(Utf16FromBytes(std::string("A\0\xAC\x20", 4), false), u"A\u20AC");
    EXPECT_EQ(Utf16FromBytes(std::string("\0A\x20\xAC", 4), true), u"A\u20AC");
    EXPECT_EQ(Utf16FromBytes(std::string("A\0B", 3), false), u"A");
}

// The Western pages: Windows-1252 for ANSI and 437 for OEM, here and in the test prefix.
TEST(TextCodecs, WesternCodePages)
{
    EXPECT_EQ(AnsiToUtf16("caf\xE9 \x80 \x9F"), u"caf\u00E9 \u20AC \u0178");
    EXPECT_EQ(Utf16ToAnsi(u"caf\u00E9 \u20AC"), "caf\xE9 \x80");
    EXPECT_EQ(Utf16ToAnsi(u"\u4E2D"), "?");
    EXPECT_EQ(OemToUtf16("caf\x82 \xE1\xB0"), u"caf\u00E9 \u00DF\u2591");
    EXPECT_EQ(Utf16ToOem(u"\u00C7\u00FC\u00A0"), "\x80\x81\xFF");
    for (int b = 0x20; b < 0x100; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            continue; // undefined in 1252
        }
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(one)), one) << b;
        EXPECT_EQ(Utf16ToOem(OemToUtf16(one)), one) << b;
    }
}

// Untrusted text for a terminal: every character that could forge a line, drive the
// terminal or reorder the text is escaped in one form that reads back unambiguously.
TEST(TextCodecs, ShownTextEscapesWhatCouldDriveATerminal)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"web/index.html", "web/index.html"},
        {u"a\nb\rc\td", "a\\nb\\rc\\td"},
        {u"back\\slash\\n", "back\\\\slash\\\\n"},               // a shown "\n" is never a real one
        {std::u16string(u"nul\0end", 7), "nul\\x00end"},
        {u"\x1b]0;title\x07\x1b[2J\x7f", "\\x1b]0;title\\x07\\x1b[2J\\x7f"},
        {u"c1\u0080\u0085\u009b\u009f", "c1\\u0080\\u0085\\u009b\\u009f"},
        {u"\u2028\u2029", "\\u2028\\u2029"},
        {u"txt\u202e.exe\u202a\u202b\u202c\u202d", "txt\\u202e.exe\\u202a\\u202b\\u202c\\u202d"},
        {u"\u2066\u2067\u2068\u2069\u200e\u200f\u061c", "\\u2066\\u2067\\u2068\\u2069\\u200e\\u200f\\u061c"},
        {u"x\xD800y\xDC00", "x\\ud800y\\udc00"},                 // unpaired surrogates
        {u"\u00a0\u00e9\u20ac\U0001F600\uFFFD", "\xC2\xA0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(ShownText(text), shown) << testing::PrintToString(shown);
    }
}
