#include "package/AppSettings.h"

#include "util/TextCodecs.h"

#include <gtest/gtest.h>

using Folio::Shared::TAppSettings;
using namespace std::string_literals;

namespace {

TAppSettings Load(std::string_view bytes)
{
    TAppSettings s;
    s.LoadFromBytes(bytes);
    return s;
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

const char* const kSample =
    "; packaged by folio-pack\r\n"
    "Stray=before any section\r\n"
    "[App]\r\n"
    "ID=com.example.hello\r\n"
    "Name = Hello \xE9t\xE9\r\n"           // ANSI text, blanks around "="
    "  Width = 1024  \n"
    "IndexHtml=\r"
    "AllowZoom=0x1\n"
    "AllowDebug=true\n"
    "AllowContextMenu=$0\n"
    "Top=-20\n"
    "Theme\n"                              // no "=": absent
    "InstallFormColor=0xFF0000FF\n"
    "Height=600\n"
    "[other]\n"
    "Height=1\n"
    "[ app ]\n"                            // same section again, other case
    "height=700\n"
    "Password=a=b\n";

} // namespace

TEST(AppSettings, ReadsTheAppSection)
{
    const auto s = Load(kSample);
    EXPECT_EQ(s.ReadString(u"App", u"ID", u""), u"com.example.hello");
    EXPECT_EQ(s.ReadString(u"app", u"NAME", u""), u"Hello \u00E9t\u00E9");
    EXPECT_EQ(s.ReadInteger(u"App", u"Width", 800), 1024);
    EXPECT_EQ(s.ReadString(u"App", u"IndexHtml", u"index.html"), u"");        // present and empty
    EXPECT_EQ(s.ReadString(u"App", u"Missing", u"index.html"), u"index.html");
    EXPECT_EQ(s.ReadString(u"App", u"Stray", u"-"), u"-");                    // before the first section
    EXPECT_EQ(s.ReadString(u"App", u"Theme", u"Windows"), u"Windows");
    EXPECT_EQ(s.ReadString(u"App", u"Password", u""), u"a=b");                // split at the first "="
    EXPECT_EQ(s.ReadInteger(u"App", u"Top", 50), -20);
    EXPECT_EQ(s.ReadInteger(u"App", u"Height", 600), 700);                    // last line wins
    EXPECT_EQ(s.ReadInteger(u"Other", u"Height", 0), 1);
    EXPECT_EQ(s.ReadInteger(u"App", u"InstallFormColor", 0), int32_t(0xFF0000FF));
    EXPECT_EQ(s.ReadInteger(u"Nowhere", u"Height", 5), 5);
}

TEST(AppSettings, BooleansGoThroughTheIntegerReading)
{
    const auto s = Load(kSample);
    EXPECT_TRUE(s.ReadBool(u"App", u"AllowZoom", false));        // 0x1
    EXPECT_FALSE(s.ReadBool(u"App", u"AllowDebug", false));      // "true" does not convert: default
    EXPECT_TRUE(s.ReadBool(u"App", u"AllowDebug", true));
    EXPECT_FALSE(s.ReadBool(u"App", u"AllowContextMenu", true)); // $0
    EXPECT_TRUE(s.ReadBool(u"App", u"EdgeInstaller", true));
    EXPECT_EQ(s.ReadInteger(u"App", u"IndexHtml", 9), 9);        // empty value: default
}

TEST(AppSettings, ByteOrderMarksSelectTheEncoding)
{
    const std::u16string text = u"[App]\r\nName=\u65E5\u672C \u20AC\r\nWidth=640\r\n";
    const std::string utf8 = "\xEF\xBB\xBF" + Folio::Shared::Utf16ToUtf8(text);
    for (const auto& bytes : {utf8, Utf16Bytes(text, false), Utf16Bytes(text, true)}) {
        const auto s = Load(bytes);
        EXPECT_EQ(s.ReadString(u"App", u"Name", u""), u"\u65E5\u672C \u20AC");
        EXPECT_EQ(s.ReadInteger(u"App", u"Width", 0), 640);
    }
    // Without a mark the bytes are ANSI: UTF-8 text reads as its 1252 characters.
    EXPECT_EQ(Load("[App]\nName=\xC3\xA9").ReadString(u"App", u"Name", u""), u"\u00C3\u00A9");
}

TEST(AppSettings, KeyWithoutValueHidesEarlierValue)
{
    const auto s = Load("[App]\nWidth=1\nWidth\n");
    EXPECT_EQ(s.ReadInteger(u"App", u"Width", 800), 800);
    EXPECT_FALSE(s.ValueExists(u"App", u"Width"));
    EXPECT_TRUE(s.SectionExists(u"APP"));
}

TEST(AppSettings, LoadingReplacesEverything)
{
    TAppSettings s;
    s.LoadFromBytes("[App]\nID=one\nName=x\n");
    s.LoadFromBytes("[App]\nID=two\n");
    EXPECT_EQ(s.ReadString(u"App", u"ID", u""), u"two");
    EXPECT_EQ(s.ReadString(u"App", u"Name", u"none"), u"none");
    s.LoadFromBytes("");
    EXPECT_FALSE(s.SectionExists(u"App"));
}

TEST(AppSettings, OddLinesDoNotBreakTheStore)
{
    const auto s = Load("[App\n[]\n=orphan\n]\n\x01\x02[App]\x01\nA=1\0B=2\n\n[App]\nC= \t3 \n"s);
    EXPECT_EQ(s.ReadString(u"App", u"A", u""), std::u16string(u"1\0B=2", 5));
    EXPECT_EQ(s.ReadInteger(u"App", u"C", 0), 3);
    EXPECT_EQ(s.ReadString(u"", u"", u"-"), u"orphan");
}
