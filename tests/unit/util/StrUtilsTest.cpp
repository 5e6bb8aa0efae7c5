#include "util/StrUtils.h"

#include "platform/MimeRegistry.h"
#include "util/Case.h"

#include <gtest/gtest.h>

#include <set>

using Folio::Shared::TArrayStrings;
using Folio::Shared::TOleDate;
using Folio::Shared::TOleVariant;
using Folio::Shared::TStringSearchOption;
using Folio::Shared::TStrUtils;

TEST(StringToJsonString, EscapesByCodeUnit)
{
    struct Case {
        std::u16string in, out;
    };
    const Case cases[] = {
        {u"", u"\"\""},
        {u"a/b", u"\"a\\/b\""},
        {u"say \"hi\" \\ ok", u"\"say \\\"hi\\\" \\\\ ok\""},
        {u"l1\nl2\tx\x01", u"\"l1\\nl2\\tx\\u0001\""},
        {u"\b\f\r\x1F", u"\"\\b\\f\\r\\u001F\""},
        {u"\u00E9\u00FF\u20AB", u"\"\u00E9\u00FF\u20AB\""},  // below U+20AC: as is
        {u"\u20AC", u"\"\\u20AC\""},
        {u"\uFFFF\u4E2D", u"\"\\uFFFF\\u4E2D\""},
        {u"\U0001F600", u"\"\\uD83D\\uDE00\""},              // both surrogate halves escaped
        {u"\x7F", u"\"\x7F\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TStrUtils::StringToJsonString(c.in), c.out);
    }
}

TEST(ExplodeStrings, OneElementMoreThanSeparators)
{
    struct Case {
        std::u16string sep, value;
        TArrayStrings parts;
    };
    const Case cases[] = {
        {u";", u"", {u""}},
        {u";", u"a;b", {u"a", u"b"}},
        {u";", u"a;", {u"a", u""}},
        {u";", u";;", {u"", u"", u""}},
        {u"::", u"a:::b", {u"a", u":b"}},        // found from the left, no overlap
        {u"|", u"Images|*.png;*.jpg|All|*.*", {u"Images", u"*.png;*.jpg", u"All", u"*.*"}},
        {u"", u"abc", {u"abc"}},                 // an empty separator never occurs
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TStrUtils::ExplodeStrings(c.sep, c.value), c.parts) << "value " << testing::PrintToString(c.value);
    }
}

TEST(ImplodeStrings, JoinsWithSeparator)
{
    EXPECT_EQ(TStrUtils::ImplodeStrings(u", ", {}), u"");
    EXPECT_EQ(TStrUtils::ImplodeStrings(u", ", {u"a"}), u"a");
    EXPECT_EQ(TStrUtils::ImplodeStrings(u";", {u"a", u"", u"c"}), u"a;;c");
}

namespace {

// The type the machine's registry gives an extension, else the built-in one.
std::u16string RegisteredOr(std::u16string_view extension, std::u16string_view builtin)
{
    std::u16string found(builtin);
    const auto& registry = Folio::Platform::SystemMimeRegistry();
    for (const auto& r : registry.ExtensionContentTypes()) {
        if (Folio::Shared::SameText(r.extension, extension)) {
            found = Folio::Shared::ToLower(r.contentType);
        }
    }
    return found;
}

} // namespace

TEST(GetFileMIMEType, TakesTheLastExtension)
{
    struct Case {
        std::u16string name, extension, builtin;
    };
    const Case cases[] = {
        {u"index.HTML", u".html", u"text/html"},
        {u"photo.PNG", u".png", u"image/x-png"},
        {u"C:\\site\\app.js", u".js", u"text/javascript"},
        {u"archive.tar.gz", u".gz", u"application/x-gzip"},
        {u"song.mp3", u".mp3", u"audio/x-mpg"},           // first row of a repeated extension
        {u"list.m3u", u".m3u", u"audio/mpegurl"},
        {u"clip.rm", u".rm", u"audio/x-pn-realaudio"},
        {u"page.shtml", u".shtml", u"server-parsed-html"},
        {u"a.XHT", u".xht", u"application/xhtml+xml"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TStrUtils::GetFileMIMEType(c.name), RegisteredOr(c.extension, c.builtin)) << "file "
                                                                                       << testing::PrintToString(c.name);
    }
}

TEST(GetFileMIMEType, NoExtensionGivesOctetStream)
{
    for (const std::u16string name : {u"README", u"dir.d\\README", u"C:.x:y", u"", u"noext.", u"a.dir/file",
                                      u"data.unknownext"}) {
        EXPECT_EQ(TStrUtils::GetFileMIMEType(name), u"application/octet-stream") << testing::PrintToString(name);
    }
    // Web types without a row; only a registry could give them one.
    EXPECT_EQ(TStrUtils::GetFileMIMEType(u"font.woff"), RegisteredOr(u".woff", u"application/octet-stream"));
    EXPECT_EQ(TStrUtils::GetFileMIMEType(u"app.js.map"), RegisteredOr(u".map", u"application/octet-stream"));
    // Those with a row since; a registry still overrides them.
    EXPECT_EQ(TStrUtils::GetFileMIMEType(u"data.json"), RegisteredOr(u".json", u"application/json"));
    EXPECT_EQ(TStrUtils::GetFileMIMEType(u"font.WOFF2"), RegisteredOr(u".woff2", u"font/woff2"));
}

TEST(JavascriptQuoting, RoundTrips)
{
    EXPECT_EQ(TStrUtils::QuoteJavascript(u"it's \"x\""), u"it\\x27s \\x22x\\x22");
    EXPECT_EQ(TStrUtils::QuoteArguments(u"a:b|'c'"), u"a\\x3ab\\x7c\\x27c\\x27");
    for (const std::u16string s : {u"", u"plain", u"it's \"quoted\" a:b|c", u"''::||\"\""}) {
        EXPECT_EQ(TStrUtils::UnquoteJavascript(TStrUtils::QuoteJavascript(s)), s);
        EXPECT_EQ(TStrUtils::UnquoteArguments(TStrUtils::QuoteArguments(s)), s);
    }
}

TEST(GetJavascriptArrayFromMultilineString, NonEmptyTrimmedQuotedLines)
{
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString(u"  one \r\n\n two's\n\t\n"),
              u"\"one\", \"two\\x27s\"");
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString(u"\n \n"), u"");
}

TEST(RandomStrings, DrawFromTheGivenCharacters)
{
    const std::u16string alphabet = u"abcdefghijklmnopqrstuvwxyz1234567890";
    const auto suffixed = TStrUtils::GetControlRandomSuffix(u"button");
    ASSERT_EQ(suffixed.size(), 6u + 1u + 10u);
    EXPECT_EQ(suffixed.substr(0, 7), u"button-");
    EXPECT_EQ(suffixed.substr(7).find_first_not_of(alphabet), std::u16string::npos);

    std::set<char16_t> seen;
    const auto s = TStrUtils::GetRandomString(400, u"AB");
    ASSERT_EQ(s.size(), 400u);
    seen.insert(s.begin(), s.end());
    EXPECT_EQ(seen, (std::set<char16_t>{u'A', u'B'}));
    EXPECT_EQ(TStrUtils::GetRandomString(5, u""), u"");
    EXPECT_EQ(TStrUtils::GetRandomString(-1, u"ab"), u"");
    EXPECT_NE(TStrUtils::GetRandomString(32, alphabet), TStrUtils::GetRandomString(32, alphabet));
}

TEST(GetCacheFolder, BesideTheAppWhenItsFolderExists)
{
    auto exists = [](const std::u16string& folder) { return folder == u"C:\\Apps\\"; };
    EXPECT_EQ(TStrUtils::GetCacheFolder(u"C:\\Apps\\tool.exe", u"_cache", u"temp", u"D:\\Cache", exists),
              u"C:\\Apps\\tool_cache\\");
    EXPECT_EQ(TStrUtils::GetCacheFolder(u"E:\\Gone\\tool.v2.exe", u"_cache", u"temp", u"D:\\Cache\\", exists),
              u"D:\\Cache\\tool.v2_cache\\");
    EXPECT_EQ(TStrUtils::GetCacheFolder(u"", u"_cache", u"temp", u"D:\\Cache", exists), u"D:\\Cache\\temp\\");
}

TEST(GetUrlArguments, SplitsAndDecodesTheQuery)
{
    TArrayStrings args{u"stale"};
    TStrUtils::GetUrlArguments(u"file:///index.html?name=J%C3%BCrgen+M&x=1%262&&empty=#frag", args);
    EXPECT_EQ(args, (TArrayStrings{u"name=J\u00FCrgen M", u"x=1&2", u"empty="}));
    TStrUtils::GetUrlArguments(u"file:///index.html", args);
    EXPECT_TRUE(args.empty());
    TStrUtils::GetUrlArguments(u"?bad=%zz%4", args);
    EXPECT_EQ(args, (TArrayStrings{u"bad=%zz%4"}));
    // Characters beyond the BMP, unescaped or escaped, come through whole; a lone half is U+FFFD.
    TStrUtils::GetUrlArguments(u"?e=\U0001F600&m=%F0%9F%98%80\U0001F600+a&l=\xD83D!", args);
    EXPECT_EQ(args, (TArrayStrings{u"e=\U0001F600", u"m=\U0001F600\U0001F600 a", u"l=\uFFFD!"}));
}

TEST(SubStringExists, HonoursCaseAndWholeWord)
{
    using enum TStringSearchOption;
    struct Case {
        std::u16string text, sub;
        TStringSearchOption options;
        bool found;
    };
    const Case cases[] = {
        {u"Hello World", u"world", None, true},
        {u"Hello World", u"world", MatchCase, false},
        {u"Hello World", u"World", MatchCase, true},
        {u"Hello Worlds", u"world", WholeWord, false},
        {u"Worlds, world!", u"world", WholeWord, true},
        {u"a_world", u"world", WholeWord, false},
        {u"\u00C9COLE", u"\u00E9cole", None, true},
        {u"abc", u"", None, false},
        {u"ab", u"abc", None, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TStrUtils::SubStringExists(c.text, c.sub, c.options), c.found)
            << testing::PrintToString(c.text) << " / " << testing::PrintToString(c.sub);
    }
}

TEST(OleVarToStr, StringsNumbersAndDates)
{
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{}), u"");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{std::u16string(u"t\u00E9xt")}), u"t\u00E9xt");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{int64_t{-42}}), u"-42");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{2.5}), u"2.5");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{TOleDate{0.0}}), u"1899-12-30");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{TOleDate{45000.75}}), u"2023-03-15 18:00:00");
    EXPECT_EQ(TStrUtils::OleVarToStr(TOleVariant{TOleDate{36526.0}}), u"2000-01-01");
}

TEST(AddLeadingZeroes, PadsToLength)
{
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(7, 3), u"007");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(12345, 3), u"12345");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(-5, 3), u"-005");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(0, 0), u"");
}

TEST(StrToResolution, FirstMatchOrMinusOne)
{
    struct Case {
        std::u16string text;
        int w, h;
    };
    const Case cases[] = {
        {u"1920x1080", 1920, 1080},
        {u"screen 800x600 or 1024x768", 800, 600},
        {u"12ax5 7x9", 7, 9},
        {u"1920X1080", -1, -1},
        {u"x100", -1, -1},
        {u"", -1, -1},
    };
    for (const auto& c : cases) {
        int w = 0, h = 0;
        TStrUtils::StrToResolution(c.text, w, h);
        EXPECT_EQ(w, c.w) << testing::PrintToString(c.text);
        EXPECT_EQ(h, c.h) << testing::PrintToString(c.text);
    }
}

TEST(SmallOperations, RepeatCapitalizeAndPathKinds)
{
    EXPECT_EQ(TStrUtils::RepeatString(u"ab", 3), u"ababab");
    EXPECT_EQ(TStrUtils::RepeatString(u"ab", 0), u"");
    EXPECT_EQ(TStrUtils::RepeatString(u"ab", -2), u"");
    EXPECT_EQ(TStrUtils::Capitalize(u"hello"), u"Hello");
    EXPECT_EQ(TStrUtils::Capitalize(u"\u00E9t\u00E9"), u"\u00E9t\u00E9");
    EXPECT_EQ(TStrUtils::Capitalize(u""), u"");

    EXPECT_TRUE(TStrUtils::FilePathIsHttpUrl(u"HTTPS://example.org"));
    EXPECT_TRUE(TStrUtils::FilePathIsHttpUrl(u"http://x"));
    EXPECT_FALSE(TStrUtils::FilePathIsHttpUrl(u"http:/x"));
    EXPECT_FALSE(TStrUtils::FilePathIsHttpUrl(u"ftp://x"));
    EXPECT_TRUE(TStrUtils::FilePathIsAppRelative(u"App/Files/a.txt"));
    EXPECT_FALSE(TStrUtils::FilePathIsAppRelative(u"app/file/a.txt"));
    EXPECT_TRUE(TStrUtils::FilePathIsPluginRelative(u"APP/PLUGINS/x.dll"));
    EXPECT_FALSE(TStrUtils::FilePathIsPluginRelative(u"/app/plugins/x.dll"));
}

TEST(FormatByteSize, UnitsAndDecimals)
{
    const std::pair<int64_t, std::u16string> cases[] = {
        {0, u"0 bytes"}, {1, u"1 bytes"}, {1024, u"1024 bytes"}, {1025, u"1 KB"}, {1536, u"1.5 KB"},
        {1048576, u"1024 KB"}, {1048577, u"1 MB"}, {5 * 1048576 + 5000, u"5 MB"}, {int64_t(3) << 30, u"3 GB"},
        {(int64_t(1) << 30) + 1, u"1 GB"}, {int64_t(1234567890123), u"1149.78 GB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(Folio::Shared::FormatByteSize(bytes), text) << bytes;
    }
}
