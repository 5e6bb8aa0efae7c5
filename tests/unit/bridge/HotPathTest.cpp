// The message loop's kept buffers: a kept parser reads each text as a fresh one would,
// a message that arrives while a function runs leaves that function's message alone,
// and the page found trusted is remembered by its exact address.
#include "bridge/BrowserExternalModule.h"
#include "bridge/Protocol.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

using namespace Folio::Bridge;
using Folio::Shared::Utf16ToUtf8;

namespace {

// Runs During (once) inside the next post, as a message loop entered there would.
class RecordingBrowser final : public TBrowserPort {
public:
    std::vector<std::u16string> Posted;
    std::function<void()> During;
    void PostWebMessageAsJson(const std::u16string& json) override
    {
        if (auto during = std::exchange(During, nullptr)) {
            const std::u16string before = json;
            during();
            EXPECT_EQ(json, before) << "the reply being posted changed under the post";
        }
        Posted.push_back(json);
    }
    void ExecuteScript(const std::u16string&) override {}
    double ZoomFactor() const override { return 1.0; }
    void SetZoomFactor(double) override {}
};

// Every file exists but those listed; asking about Trigger runs During first (once), as
// a function's message loop would.
class Disk final : public Folio::Platform::TFileSystem {
public:
    std::set<std::u16string> Missing;
    std::vector<std::u16string> Asked;
    std::u16string Trigger;
    std::function<void()> During;
    bool FileExists(const std::u16string& path) override
    {
        Asked.push_back(path);
        if (path == Trigger && During) {
            const auto during = std::exchange(During, nullptr);
            const std::u16string before = path;
            during();
            EXPECT_EQ(path, before) << "the path being checked changed under the function";
        }
        return Missing.count(path) == 0;
    }
    bool DirectoryExists(const std::u16string&) override { return false; }
    bool RemoveFile(const std::u16string&) override { return false; }
    bool DeleteTree(const std::u16string&) override { return false; }
    void ForceDirectories(const std::u16string&) override {}
    void WriteFile(const std::u16string&, std::string_view) override {}
    bool MoveReplacing(const std::u16string&, const std::u16string&) override { return false; }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string&) override { return std::nullopt; }
    std::unique_ptr<Folio::Platform::THeldFile> OpenHeld(const std::u16string&) override { return nullptr; }
    std::unique_ptr<Folio::Platform::TReadableFile> OpenForReading(const std::u16string&) override { return nullptr; }
    std::unique_ptr<Folio::Platform::TFileWriter> CreateNewFile(const std::u16string&) override
    {
        return nullptr; // it writes nothing: no name is ever free
    }
};

struct Bridge {
    RecordingBrowser Browser;
    Disk Files;
    TBrowserExternalModule Module{Ports()};
    TBrowserExternalModule::TPorts Ports()
    {
        TBrowserExternalModule::TPorts ports;
        ports.Browser = &Browser;
        ports.FileSystem = &Files;
        ports.AppDirPath = u"C:\\App\\";
        return ports;
    }
    void Send(std::u16string_view message, std::u16string_view source = u"file:///index.html")
    {
        Module.EdgeBrowserWebMessageReceived(message, source);
    }
};

std::u16string FileExists(std::u16string_view uuid, std::u16string_view path)
{
    return u"{\"id\": 30001, \"uuid\": \"" + std::u16string(uuid) + u"\", \"data\": {\"filePath\": \"" +
           std::u16string(path) + u"\"}}";
}

std::u16string Reply(std::u16string_view uuid, bool result)
{
    return u"{\"uuid\": \"" + std::u16string(uuid) + u"\", \"success\": true, \"result\": " +
           (result ? u"true" : u"false") + u"}";
}

} // namespace

TEST(Protocol, AKeptParserReadsEachTextAsIfFresh)
{
    // Through texts that fail, nest too deep or hold a large string, then succeed again:
    // nothing of one text is left over for the next.
    const std::u16string large = u"{\"big\": \"" + std::u16string(100000, u'x') + u"\u00e9\"}";
    const std::u16string deep = std::u16string(20000, u'[') + std::u16string(20000, u']');
    const std::pair<std::u16string, TJsonNumbers> texts[] = {
        {FileExists(u"u1", u"a.txt"), TJsonNumbers::AsText},
        {u"{\"id\": 30001, \"uuid\": \"u2\", \"data\": {", TJsonNumbers::AsText}, // cut off
        {u"{\"id\": 10002}", TJsonNumbers::AsText},
        {deep, TJsonNumbers::AsText},
        {u"[1, 2.50, {\"k\": [true, null]}]", TJsonNumbers::AsText},
        {u"[1, 2.50, {\"k\": [true, null]}]", TJsonNumbers::AsValues},
        {large, TJsonNumbers::AsText},
        {u"{\"a\": \"x\xD800\"}", TJsonNumbers::AsText},
        {u"{} {}", TJsonNumbers::AsText},
        {FileExists(u"u3", u"b/c.txt"), TJsonNumbers::AsText},
    };
    TJsonParser parser;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& [text, numbers] : texts) {
            const TJsonValue* kept = parser.Parse(text, numbers);
            const auto fresh = ParseJson(text, numbers);
            const std::string shown = Utf16ToUtf8(text.substr(0, 60));
            ASSERT_EQ(kept != nullptr, fresh.has_value()) << shown;
            if (kept) {
                EXPECT_TRUE(*kept == *fresh) << shown;
            }
        }
    }
}

TEST(Protocol, PageTextReadsTheSameWhereverARunOfAsciiEnds)
{
    // Plain ASCII is converted several units at a time; what ends such a run reads the
    // same at every offset.
    const std::pair<std::u16string, std::u16string> marks[] = {
        {uR"(\ud83d)", u"\uFFFD"},
        {uR"(\ud83d\ude00)", u"\U0001F600"},
        {uR"(\\ud83d)", u"\\ud83d"},
        {uR"(\n\")", u"\n\""},
        {u"\xD83D", u"\uFFFD"},
        {u"\U0001F600", u"\U0001F600"},
        {u"\u00e9\u20AC", u"\u00e9\u20AC"},
    };
    TJsonParser parser;
    for (size_t offset = 0; offset < 9; ++offset) {
        for (const auto& [written, read] : marks) {
            const std::u16string before(offset, u'a');
            const std::u16string json = u"{\"a\": \"" + before + written + u"bcdefghij\"}";
            const TJsonValue* kept = parser.Parse(json);
            const auto fresh = ParseJson(json);
            ASSERT_TRUE(kept && fresh) << Utf16ToUtf8(json);
            EXPECT_EQ(ReadDataText(*kept, u"a"), before + read + u"bcdefghij") << Utf16ToUtf8(json);
            EXPECT_EQ(ReadDataText(*fresh, u"a"), before + read + u"bcdefghij") << Utf16ToUtf8(json);
        }
    }
}

TEST(Dispatcher, AMessageDuringAFunctionLeavesThatFunctionsMessageAlone)
{
    // A message arrives while fileExists is still asking the disk (a dialog's message loop
    // would let it in): each reply keeps its own uuid and answer.
    Bridge bridge;
    bridge.Files.Missing = {u"C:\\App\\gone\\inner.txt"};
    bridge.Files.Trigger = u"C:\\App\\outer.txt";
    bridge.Files.During = [&] { bridge.Send(FileExists(u"inner-0000-1111-2222-333344445555", u"gone/inner.txt")); };
    bridge.Send(FileExists(u"outer", u"outer.txt"));
    EXPECT_EQ(bridge.Browser.Posted,
              (std::vector<std::u16string>{Reply(u"inner-0000-1111-2222-333344445555", false), Reply(u"outer", true)}));

    // And while its reply is being posted.
    bridge.Browser.Posted.clear();
    bridge.Browser.During = [&] { bridge.Send(FileExists(u"second-inner", u"gone/inner.txt")); };
    bridge.Send(FileExists(u"second", u"outer.txt"));
    EXPECT_EQ(bridge.Browser.Posted,
              (std::vector<std::u16string>{Reply(u"second-inner", false), Reply(u"second", true)}));

    // Later messages use the module's own buffers again.
    bridge.Browser.Posted.clear();
    bridge.Send(FileExists(u"after", u"gone/inner.txt"));
    EXPECT_EQ(bridge.Browser.Posted, (std::vector<std::u16string>{Reply(u"after", false)}));
}

TEST(Dispatcher, TheLastTrustedPageIsRememberedByItsExactAddress)
{
    // The package and the executable's folder stay the same while the module lives: a
    // page found to be ours is not looked up again; any other address is.
    Bridge bridge;
    const std::u16string message = FileExists(u"t", u"x.txt");
    bridge.Send(message, u"file:///beside.html");
    ASSERT_EQ(bridge.Browser.Posted.size(), 1u);
    EXPECT_EQ(bridge.Files.Asked, (std::vector<std::u16string>{u"C:\\App\\beside.html", u"C:\\App\\x.txt"}));

    bridge.Files.Missing = {u"C:\\App\\beside.html", u"C:\\App\\beside.htm"};
    bridge.Files.Asked.clear();
    bridge.Send(message, u"file:///beside.html");
    EXPECT_EQ(bridge.Browser.Posted.size(), 2u);
    EXPECT_EQ(bridge.Files.Asked, (std::vector<std::u16string>{u"C:\\App\\x.txt"}));

    for (const std::u16string other : {u"file:///./beside.html", u"FILE:///beside.html", u"file:///beside.htm"}) {
        bridge.Send(message, other);
        EXPECT_EQ(bridge.Browser.Posted.size(), 2u) << Utf16ToUtf8(other);
    }
    EXPECT_EQ(bridge.Files.Asked.size(), 4u); // each of them looked up
}
