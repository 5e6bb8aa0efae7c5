// The bridge's dispatcher and field rules: request texts in, exact reply texts out.
#include "bridge/BrowserExternalModule.h"
#include "bridge/Protocol.h"
#include "package/ZipWriter.h"
#include "tests/support/MemoryFileSystem.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

using namespace Folio::Bridge;
using Folio::Shared::Utf8ToUtf16;

namespace {

class RecordingBrowser final : public TBrowserPort {
public:
    std::vector<std::u16string> Posted;
    void PostWebMessageAsJson(const std::u16string& json) override { Posted.push_back(json); }
    void ExecuteScript(const std::u16string&) override {}
    double ZoomFactor() const override { return 1.0; }
    void SetZoomFactor(double) override {}
};

// The package holds web/index.html; the executable's folder C:\App\ holds beside.html,
// and the disk a downloaded page elsewhere.
std::string Package()
{
    std::ostringstream out;
    Folio::Shared::TZipWriter writer(out, {"pw", false});
    writer.AddBytes("web/index.html", "<p>page</p>", 0);
    writer.AddBytes("other/foreign.html", "<p>not ours</p>", 0);
    writer.Finish();
    return out.str();
}

struct Probe {
    RecordingBrowser Browser;
    std::string PackageBytes = Package();
    Folio::Shared::TZipArchive Archive;
    Folio::Shared::TAppSettings Settings;
    FolioTest::MemoryFileSystem Disk;
    std::unique_ptr<TBrowserExternalModule> ModulePtr;
    TBrowserExternalModule& Module;
    std::vector<std::string> Errors;
    Probe() : ModulePtr(Make()), Module(*ModulePtr)
    {
        Module.OnDispatchError = [this](const std::string& e) { Errors.push_back(e); };
    }
    std::unique_ptr<TBrowserExternalModule> Make()
    {
        Archive.SetPasswordBytes("pw");
        Archive.Open({reinterpret_cast<const uint8_t*>(PackageBytes.data()), PackageBytes.size()});
        Settings.LoadFromBytes("[App]\nID=a\nName=b\nDirName=web\n");
        for (const std::u16string path : {u"C:\\App\\beside.html", u"C:\\App\\sub\\page.html",
                                          u"C:\\Users\\u\\Downloads\\x.html", u"C:\\secret.html"}) {
            Disk.Files[path] = "<p>disk</p>";
        }
        TBrowserExternalModule::TPorts ports;
        ports.Browser = &Browser;
        ports.FileSystem = &Disk;
        ports.Archive = &Archive;
        ports.Settings = &Settings;
        ports.AppDirPath = u"C:\\App\\";
        return std::make_unique<TBrowserExternalModule>(ports);
    }
    // The reply to one request, or nothing.
    std::optional<std::u16string> Send(const std::string& request, std::u16string_view source = u"file:///index.html")
    {
        const size_t before = Browser.Posted.size();
        Module.EdgeBrowserWebMessageReceived(Utf8ToUtf16(request), source);
        if (Browser.Posted.size() == before) {
            return std::nullopt;
        }
        EXPECT_EQ(Browser.Posted.size(), before + 1) << request;
        return Browser.Posted.back();
    }
};

} // namespace

TEST(Dispatcher, RequestsAndTheirReplies)
{
    const std::pair<std::string, std::optional<std::u16string>> cases[] = {
        {R"({"id": 10001, "uuid": "u1", "data": {}})", u"{\"uuid\": \"u1\", \"success\": true, \"result\": \"2023.19\"}"},
        {R"({"id": "10001", "uuid": "u1", "data": {}})", u"{\"uuid\": \"u1\", \"success\": true, \"result\": \"2023.19\"}"},
        {R"({"id": " $2712", "uuid": "h", "data": {}})", u"{\"uuid\": \"h\", \"success\": true, \"result\": true}"},
        {R"({"data": {}, "extra": [1], "uuid": "u2", "id": 10002})", u"{\"uuid\": \"u2\", \"success\": true, \"result\": true}"},
        // A uuid is written as a JSON string: a quote in it cannot break the reply.
        {R"({"id": 10002, "uuid": "a\"b\\c", "data": {}})", u"{\"uuid\": \"a\\\"b\\\\c\", \"success\": true, \"result\": true}"},
        {R"({"id": 10002, "uuid": 7, "data": {}})", u"{\"uuid\": \"7\", \"success\": true, \"result\": true}"},
        {R"({"id": 99999, "uuid": "u3", "data": {}})", std::nullopt},      // not a function id
        {R"({"id": "abc", "uuid": "u3", "data": {}})", std::nullopt},      // not an integer
        {R"({"id": 10001.5, "uuid": "u3", "data": {}})", std::nullopt},
        {R"({"id": "10001 ", "uuid": "u3", "data": {}})", std::nullopt},
        {R"({"id": 10001, "uuid": "u4"})", std::nullopt},                 // no data
        {R"({"id": 10001, "uuid": "u4", "data": null})", std::nullopt},
        {R"({"id": 10001, "uuid": "u4", "data": []})", std::nullopt},
        {R"({"id": 10001, "data": {}})", std::nullopt},                   // no uuid
        {R"({"id": {}, "uuid": "u5", "data": {}})", std::nullopt},
        {R"("just a string")", std::nullopt},
        {R"({"id": 10001, "uuid": "u6", "data": {}} trailing)", std::nullopt},
        {R"({"id": 10001, "uuid": "u6", "data": {})", std::nullopt},
        {"", std::nullopt},
    };
    Probe probe;
    for (const auto& [request, reply] : cases) {
        EXPECT_EQ(probe.Send(request), reply) << request;
    }
    // Failures that escaped were reported and did not stop later messages.
    EXPECT_GE(probe.Errors.size(), 7u);
    EXPECT_EQ(probe.Send(R"({"id": 10001, "uuid": "after", "data": {}})"),
              u"{\"uuid\": \"after\", \"success\": true, \"result\": \"2023.19\"}");
}

TEST(Dispatcher, OnlyPagesOfThePackageReachNativeFunctions)
{
    Probe probe;
    const std::string hello = R"({"id": 10001, "uuid": "u", "data": {}})";
    for (const std::u16string source : {u"file:///index.html", u"FILE:///index.html?x=1#top", u"file:///./a/../index.html",
                                        u"file:///beside.html", u"file:///sub/page.html", u"file:///sub%2Fpage.html",
                                        u"file:///C:/App/beside.html", u"file:///C:/App/sub/../beside.html"}) {
        EXPECT_TRUE(probe.Send(hello, source)) << testing::PrintToString(source);
    }
    for (const std::u16string source :
         {u"https://example.org/", u"http://localhost/", u"about:blank", u"", u"data:text/html,<p>",
          u"file://server/share/page.html", u"file:page.html", u"filesystem:file:///x", u"file:///",
          u"file:///missing.html",                      // found nowhere
          u"file:///C:/Users/u/Downloads/x.html",       // a local file dropped on the window, or linked
          u"file:///C:/App/../secret.html", u"file:///C:/secret.html", u"file:///C:/App", u"file:///C:/App/",
          u"file:///C:/Apple/beside.html", u"file:///web/index.html", u"file:///../other/foreign.html",
          u"file:///index.html%00", u"file:///a:b.html"}) {
        EXPECT_FALSE(probe.Send(hello, source)) << testing::PrintToString(source);
    }
}

TEST(Protocol, FieldReading)
{
    const auto doc = ParseJson(
        uR"({"s": "text", "n": 640.70, "big": 12345678901234567890, "t": true, "f": false, "z": null,
             "o": {"a": 1}, "a": [1], "zero": "0", "one": 1, "yes": "TRUE", "word": "maybe", "e": "",
             "neg": -0.0, "hex": "0x10", "inf": "inf"})");
    ASSERT_TRUE(doc.has_value());
    const TJsonValue& d = *doc;
    EXPECT_EQ(ReadDataText(d, u"s"), u"text");
    EXPECT_EQ(ReadDataText(d, u"n"), u"640.70");               // as written
    EXPECT_EQ(ReadDataText(d, u"big"), u"12345678901234567890");
    EXPECT_EQ(ReadDataText(d, u"t"), u"true");
    EXPECT_EQ(ReadDataText(d, u"z", u"default"), u"default");
    EXPECT_EQ(ReadDataText(d, u"missing", u"default"), u"default");
    EXPECT_EQ(ReadDataText(d, u"S", u"case"), u"case");         // keys match exactly
    EXPECT_EQ(ReadDataText(d, u"e", u"default"), u"");
    try {
        ReadDataText(d, u"o");
        ADD_FAILURE();
    } catch (const EBridgeError& e) {
        EXPECT_STREQ(e.what(), "Conversion from object to string is not supported");
    }
    EXPECT_THROW(ReadDataText(d, u"a"), EBridgeError);

    EXPECT_TRUE(ReadDataBool(d, u"t", false));
    EXPECT_FALSE(ReadDataBool(d, u"f", true));
    EXPECT_FALSE(ReadDataBool(d, u"zero", true));
    EXPECT_TRUE(ReadDataBool(d, u"one", false));
    EXPECT_TRUE(ReadDataBool(d, u"n", false));
    EXPECT_FALSE(ReadDataBool(d, u"neg", true));
    EXPECT_TRUE(ReadDataBool(d, u"yes", false));
    EXPECT_TRUE(ReadDataBool(d, u"hex", false));
    EXPECT_TRUE(ReadDataBool(d, u"z", true));
    EXPECT_FALSE(ReadDataBool(d, u"missing", false));
    for (const char16_t* bad : {u"word", u"e", u"inf"}) {
        try {
            ReadDataBool(d, bad, false);
            ADD_FAILURE() << testing::PrintToString(std::u16string(bad));
        } catch (const EBridgeError& e) {
            EXPECT_NE(std::string(e.what()).find("is not a valid boolean value"), std::string::npos);
        }
    }
    EXPECT_THROW(ReadDataBool(d, u"o", false), EBridgeError);

    EXPECT_EQ(TryReadDataText(d, u"s"), u"text");
    EXPECT_EQ(TryReadDataText(d, u"z"), u"");
    EXPECT_EQ(TryReadDataText(d, u"missing"), std::nullopt);
    EXPECT_EQ(TryReadDataText(d, u"o"), std::nullopt);
    EXPECT_EQ(TryReadDataText(d, u"a"), std::nullopt);
}

TEST(Protocol, ReplyFormat)
{
    EXPECT_EQ(FormatReply(u"u1", true, u"true"), u"{\"uuid\": \"u1\", \"success\": true, \"result\": true}");
    EXPECT_EQ(FormatReply(u"u2", false, u"\"Missing filePath\""),
              u"{\"uuid\": \"u2\", \"success\": false, \"result\": \"Missing filePath\"}");
    EXPECT_FALSE(ParseJson(u"{} {}").has_value());
    const auto lone = ParseJson(u"{\"a\": \"x\xD800\"}"); // a lone surrogate arrives as U+FFFD
    ASSERT_TRUE(lone.has_value());
    EXPECT_EQ(ReadDataText(*lone, u"a"), u"x\uFFFD");
    EXPECT_TRUE(ParseJson(u"  {\"a\": [1, 2.50, \"x\"]}  ").has_value());
}

TEST(Dispatcher, NestingBeyondTheCapIsRefusedWithoutExhaustingTheStack)
{
    // A page can post any object; nesting it 20,000 (a 40 KB message) or a million deep
    // must neither end the process nor be served.
    auto nested = [](size_t depth) {
        return R"({"id": 10002, "uuid": "deep", "data": {"x": )" + std::string(depth, '[') + std::string(depth, ']') +
               "}}";
    };
    const std::u16string served = u"{\"uuid\": \"deep\", \"success\": true, \"result\": true}";
    Probe probe;
    for (const size_t depth : {size_t{20000}, size_t{1000000}, kMaxJsonDepth - 1}) {
        // The message object and "data" are two levels of their own.
        EXPECT_EQ(probe.Send(nested(depth)), std::nullopt) << depth;
    }
    EXPECT_EQ(probe.Send(nested(kMaxJsonDepth - 2)), served);

    // Read with numbers as values, the same cap holds.
    const std::u16string deep = std::u16string(20000, u'[') + u"7.0" + std::u16string(20000, u']');
    EXPECT_FALSE(ParseJson(deep, TJsonNumbers::AsValues).has_value());
    const auto values = ParseJson(u"[[7.0, \"a\\ud83d\"]]", TJsonNumbers::AsValues);
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ((*values)[0][0].GetDouble(), 7.0);
    EXPECT_STREQ((*values)[0][1].GetString(), "a\xEF\xBF\xBD");
}

TEST(Protocol, LoneSurrogatesReadAsReplacementCharacters)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {uR"("a\ud83d")", u"a\uFFFD"},              // cut after the high half
        {uR"("\ude00b")", u"\uFFFDb"},              // a low half alone
        {uR"("\ud83d\ud83d\ude00")", u"\uFFFD\U0001F600"}, // two highs, then a pair
        {uR"("\uD83D\uDE00")", u"\U0001F600"},     // a pair stays a pair, in either case
        {uR"("\\ud83d")", u"\\ud83d"},             // an escaped backslash, then text
        {uR"("\ud83d\n")", u"\uFFFD\n"},
        {u"\"x\xD83D\"", u"x\uFFFD"},               // raw, not escaped
    };
    for (const auto& [json, text] : cases) {
        const auto doc = ParseJson(u"{\"a\": " + json + u"}");
        ASSERT_TRUE(doc.has_value()) << Folio::Shared::Utf16ToUtf8(json);
        EXPECT_EQ(ReadDataText(*doc, u"a"), text) << Folio::Shared::Utf16ToUtf8(json);
    }
    // A message holding one is served.
    Probe probe;
    EXPECT_EQ(probe.Send(R"({"id": 10002, "uuid": "s", "data": {"t": "a\ud83d"}})"),
              u"{\"uuid\": \"s\", \"success\": true, \"result\": true}");
}
