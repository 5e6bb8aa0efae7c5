// The application id's hash against lookup3's published values, the id's form, and the
// toast XML with its two layouts and escaping.
#include "util/ToastText.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

TEST(HashLittle, PublishedVectors)
{
    const struct {
        const char* Key;
        size_t Length;
        uint32_t Init, Hash;
    } cases[] = {
        {"", 0, 0, 0xdeadbeef},
        {"", 0, 0xdeadbeef, 0xbd5b7dde},
        {"Four score and seven years ago", 30, 0, 0x17770551},
        {"Four score and seven years ago", 30, 1, 0xcd628161},
        {"hello world", 12, 0, 0x14973b58}, // the terminating zero too: one whole last block
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HashLittle(c.Key, c.Length, c.Init), c.Hash) << c.Key << " " << c.Init;
    }
}

TEST(AppUserModelId, PrefixAndHashOfTheUtf16Path)
{
    const std::u16string path = u"C:\\Apps\\Demo.exe";
    std::string bytes;
    for (const char16_t c : path) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(HashLittle(bytes.data(), bytes.size(), 0)));
    const std::u16string id = AppUserModelId(path);
    EXPECT_EQ(id, u"Folio.Runtime." + std::u16string(hex, hex + 8));
    EXPECT_NE(AppUserModelId(u"C:\\Apps\\demo.exe"), id); // the path as written, letter case included
}

TEST(ToastXml, LayoutsAndEscaping)
{
    const struct {
        std::u16string Title, Body, Xml;
    } cases[] = {
        {u"Hi", u"There",
         u"<toast duration=\"short\"><visual><binding template=\"ToastText02\"><text id=\"1\">Hi</text>"
         u"<text id=\"2\">There</text></binding></visual></toast>"},
        {u"Hi", u"",
         u"<toast duration=\"short\"><visual><binding template=\"ToastText01\"><text id=\"1\">Hi</text>"
         u"</binding></visual></toast>"},
        {u"", u"Body",
         u"<toast duration=\"short\"><visual><binding template=\"ToastText01\"><text id=\"1\">Body</text>"
         u"</binding></visual></toast>"},
        {u"a<b & \"c\"", u"d'\u0001e\n",
         u"<toast duration=\"short\"><visual><binding template=\"ToastText02\"><text id=\"1\">a&lt;b &amp; "
         u"&quot;c&quot;</text><text id=\"2\">d&apos;e\n</text></binding></visual></toast>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToastXml(c.Title, c.Body), c.Xml);
    }
}
