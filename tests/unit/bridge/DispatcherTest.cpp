// The bridge's dispatcher and field rules: request texts in, exact reply texts out.
#include "bridge/BrowserExternalModule.h"
#include "bridge/Protocol.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <optional>

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

struct Probe {
    RecordingBrowser Browser;
    TBrowserExternalModule Module{{&Browser}};
    std::vector<std::string> Errors;
    Probe()
    {
        Module.OnDispatchError = [this](const std::string& e) { Errors.push_back(e); };
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
    EXPECT_TRUE(probe.Send(hello, u"file:///index.html"));
    EXPECT_TRUE(probe.Send(hello, u"FILE:///C:/app/page.html"));
    for (const std::u16string source : {u"https://example.org/", u"http://localhost/", u"about:blank", u"",
                                        u"data:text/html,<p>", u"file://server/share/page.html", u"file:page.html",
                                        u"filesystem:file:///x"}) {
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

TEST(Dispatcher, DeeplyNestedDataIsParsedWithoutExhaustingTheStack)
{
    // A page can post any object; nesting it a million deep must not end the process.
    const std::string depth(1000000, '[');
    const std::string request =
        R"({"id": 10002, "uuid": "deep", "data": {"x": )" + depth + std::string(depth.size(), ']') + "}}";
    Probe probe;
    EXPECT_EQ(probe.Send(request), u"{\"uuid\": \"deep\", \"success\": true, \"result\": true}");
}
