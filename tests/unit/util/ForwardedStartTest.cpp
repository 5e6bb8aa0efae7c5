// A second start's message: what one start writes reads back whole, and nothing else
// that another process could send is taken.
#include "util/ForwardedStart.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

namespace {

std::string Number(uint32_t value)
{
    std::string out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string Units(std::u16string_view text)
{
    std::string out = Number(uint32_t(text.size()));
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

const std::string kMagic("FS1\0", 4);

} // namespace

TEST(ForwardedStart, WhatAStartWritesReadsBackWhole)
{
    const TForwardedStart cases[] = {
        {{}, u"C:\\Users\\me"},
        {{u"a", u"b c", u""}, u"D:\\"},
        {{u"\"quoted\"", u"\U0001F600 \u00e9", std::u16string(32767, u'x')}, u""},
    };
    for (const auto& start : cases) {
        const std::string bytes = EncodeForwardedStart(start);
        ASSERT_FALSE(bytes.empty());
        const auto back = DecodeForwardedStart(bytes);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Args, start.Args);
        EXPECT_EQ(back->Folder, start.Folder);
        // Every shorter piece of it, and anything more, is refused.
        for (size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 16) {
            EXPECT_FALSE(DecodeForwardedStart(bytes.substr(0, cut))) << cut;
        }
        EXPECT_FALSE(DecodeForwardedStart(bytes + '\0'));
    }
}

TEST(ForwardedStart, HostileMessagesAreRefused)
{
    const std::string valid = kMagic + Number(1) + Units(u"a") + Units(u"C:\\");
    ASSERT_TRUE(DecodeForwardedStart(valid));
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty", ""},
        {"another magic", "FS2" + valid.substr(3)},
        {"more arguments than allowed", kMagic + Number(uint32_t(kMostForwardedArgs + 1))},
        {"a count past the bytes", kMagic + Number(0xFFFFFFFF) + Units(u"a")},
        {"a length past the bytes", kMagic + Number(1) + Number(0x7FFFFFFF) + "ab" + Units(u"C:\\")},
        {"a length that wraps", kMagic + Number(1) + Number(0x80000001) + "ab" + Units(u"C:\\")},
        {"no folder", kMagic + Number(1) + Units(u"a")},
        {"a NUL in an argument", kMagic + Number(1) + Units(std::u16string(u"a\0b", 3)) + Units(u"C:\\")},
        {"a lone high surrogate", kMagic + Number(1) + Units(u"\xD800") + Units(u"C:\\")},
        {"a lone low surrogate", kMagic + Number(0) + Units(u"\xDC00x")},
        {"over the size bound", kMagic + Number(1) + Units(std::u16string(kMostForwardedBytes / 2, u'x')) +
                                    Units(u"C:\\")},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(DecodeForwardedStart(c.Bytes)) << c.Name;
    }
}

TEST(ForwardedStart, AStartTooBigIsNotWritten)
{
    EXPECT_TRUE(EncodeForwardedStart({std::vector<std::u16string>(kMostForwardedArgs + 1, u"a"), u""}).empty());
    EXPECT_TRUE(EncodeForwardedStart({{std::u16string(kMostForwardedBytes / 2, u'x')}, u""}).empty());
    EXPECT_FALSE(EncodeForwardedStart({std::vector<std::u16string>(kMostForwardedArgs, u"a"), u""}).empty());
}
