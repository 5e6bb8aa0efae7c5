// The page's menus: descriptions in, item trees or failure replies out; the items as
// drawn; command numbers; the menu and tray functions through the module, with the
// recording menu host standing for the system, and the event scripts of clicks.
#include "bridge/BrowserExternalModule.h"
#include "bridge/MenuModel.h"
#include "package/ZipWriter.h"
#include "tests/support/PackagePage.h"
#include "tests/support/TempDir.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Folio;
using Bridge::TMenuNode;
using Folio::Shared::Utf16ToUtf8;
using Folio::Shared::Utf8ToUtf16;
using Platform::TMenuKind;

namespace {

const std::string kPng = "\x89PNG\r\n\x1a\n-image-";

// A tree as text: id:caption, "!" disabled, "*" with an image, children in brackets.
std::string Shape(const std::vector<TMenuNode>& items)
{
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) {
            out += " ";
        }
        out += std::to_string(item.Id) + ":" + Utf16ToUtf8(item.Caption);
        out += item.Enabled ? "" : "!";
        out += item.Image ? "*" : "";
        if (item.Submenu) {
            out += "[" + Shape(item.Children) + "]";
        }
    }
    return out;
}

// Images: "a.png" decodes, "bad.png" does not, anything else is not there.
Bridge::TMenuImageLookup Images(const std::u16string& name)
{
    Probe::TRecordingMenus decoder;
    if (name == u"a.png") {
        const std::vector<uint8_t> bytes(kPng.begin(), kPng.end());
        return {true, decoder.DecodeImage(bytes)};
    }
    if (name == u"bad.png") {
        return {true, nullptr};
    }
    return {};
}

std::string Parse(const std::string& description, char16_t separator = u'.')
{
    const auto parsed = Bridge::ParseMenuDescription(Utf8ToUtf16(description), Images, separator);
    return parsed.Ok() ? Shape(parsed.Items) : "fail: " + Utf16ToUtf8(parsed.Failure);
}

} // namespace

TEST(MenuModel, DescriptionsToItems)
{
    const std::pair<std::string, std::string> cases[] = {
        {R"([])", ""},
        {R"([{"id": 1, "caption": "File", "items": [{"id": 2, "caption": "Quit"}]}])", "1:File[2:Quit]"},
        {R"([{"id": "abc", "caption": "x"}, {"id": 7.5, "caption": "y"}, {"id": 7.0, "caption": "z"}])", "0:x 0:y 7:z"},
        {R"([{"id": "0x10", "caption": 2.5}, {"id": -3, "caption": null}, {"id": true, "caption": false}])",
         "16:2,5 -3:null 0:false"},
        {R"([{"id": 1, "caption": "a", "enabled": "FALSE"}, {"id": 2, "caption": "b", "enabled": 0},
             {"id": 3, "caption": "c", "enabled": false}, {"id": 4, "caption": "d", "enabled": "1"},
             {"id": 5, "caption": "e", "enabled": {}}])",
         "1:a! 2:b! 3:c! 4:d 5:e"},
        {R"([{"id": 1, "caption": "a", "image": "a.png", "enabled": false}, {"id": 2, "caption": "b", "image": "none.png"},
             {"id": 3, "caption": "c", "image": []}])",
         "1:a!* 2:b 3:c"},
        {R"([{"id": 1, "caption": "Empty", "items": []}, {"id": 2, "caption": "-"}])", "1:Empty[] 2:-"},
        {R"([{"id": 1, "caption": "x", "extra": {"y": 1}, "checked": true}])", "1:x"},
    };
    for (const auto& [description, shape] : cases) {
        EXPECT_EQ(Parse(description, u','), shape) << description;
    }
}

TEST(MenuModel, FailuresOfDescriptions)
{
    std::string deep = R"({"id": 1, "caption": "leaf"})";
    for (int i = 1; i < Bridge::kMaxMenuDepth; ++i) {
        deep = R"({"id": 1, "caption": "x", "items": [)" + deep + "]}";
    }
    EXPECT_EQ(Parse("[" + deep + "]").substr(0, 6), "1:x[1:"); // the deepest allowed
    // As many items as allowed, counted over all levels, and one more.
    std::string many = R"({"id": 0, "caption": "x", "items": [)";
    for (int i = 1; i < Bridge::kMaxMenuItems; ++i) {
        many += std::string(i > 1 ? "," : "") + R"({"id": 1, "caption": "y"})";
    }
    many += "]}";
    EXPECT_EQ(Parse("[" + many + "]").substr(0, 8), "0:x[1:y ");
    EXPECT_EQ(Parse("[" + many + R"(, {"id": 2, "caption": "z"}])"), "fail: Too many menu items");
    const std::pair<std::string, std::string> cases[] = {
        {"not json", "Wrong menu items JSON"},
        {R"({"id": 1, "caption": "x"})", "Wrong menu items JSON"},
        {R"([] [])", "Wrong menu items JSON"},
        {R"([{"id": 1, "caption": "a"}, {"id": 2}])", "Wrong menu item JSON"},
        {R"([{"caption": "a"}])", "Wrong menu item JSON"},
        {R"([{"id": 1, "caption": {"t": 1}}])", "Wrong menu item JSON"},
        {R"([{"id": [1], "caption": "a"}])", "Wrong menu item JSON"},
        {R"([{"id": 1, "caption": "a", "items": null}])", "Wrong menu item JSON"},
        {R"([{"id": 1, "caption": "a", "items": "[]"}])", "Wrong menu item JSON"},
        {R"([{"id": 1, "caption": "a", "items": [3]}])", "Wrong menu item JSON"},
        {R"(["File"])", "Wrong menu item JSON"},
        {R"([{"id": 1, "caption": "a", "enabled": null}])", "'null' is not a valid boolean value"},
        {R"([{"id": 1, "caption": "a", "enabled": "yes"}])", "'yes' is not a valid boolean value"},
        {R"([{"id": 1, "caption": "a", "image": "bad.png"}])", "Wrong menu item image"},
        {"[{\"id\": 1, \"caption\": \"x\", \"items\": [" + deep + "]}]", "Menu items nested too deep"},
    };
    for (const auto& [description, failure] : cases) {
        EXPECT_EQ(Parse(description), "fail: " + failure) << description;
    }
}

TEST(MenuModel, ItemsAsDrawn)
{
    const std::pair<std::string, std::string> cases[] = {
        {R"([{"id": 1, "caption": "File"}, {"id": 2, "caption": "Find"}, {"id": 3, "caption": "fix"}])",
         "1:&File 2:F&ind 3:fi&x"},
        {R"([{"id": 1, "caption": "E&xit"}, {"id": 2, "caption": "Export"}, {"id": 3, "caption": "A && B"}])",
         "1:E&xit 2:&Export 3:&A && B"},
        {R"([{"id": 1, "caption": "-"}, {"id": 2, "caption": "a"}, {"id": 3, "caption": "-"}, {"id": 4, "caption": "-"},
             {"id": 5, "caption": "b"}, {"id": 6, "caption": "-"}])",
         "2:&a 3:- 5:&b"},
        {R"([{"id": 1, "caption": "-"}, {"id": 2, "caption": "-"}])", ""},
        {R"([{"id": 1, "caption": "Édition", "items": [{"id": 2, "caption": "..."}, {"id": 3, "caption": "1st"}]}])",
         "1:&Édition[2:... 3:&1st]"},
        // A key is one UTF-16 unit: never half of a pair, so no "&" splits one.
        {R"([{"id": 1, "caption": "😀"}, {"id": 2, "caption": "😀"}, {"id": 3, "caption": "😀b"}])", "1:😀 2:😀 3:😀&b"},
    };
    for (const auto& [description, shape] : cases) {
        const auto parsed = Bridge::ParseMenuDescription(Utf8ToUtf16(description), Images);
        ASSERT_TRUE(parsed.Ok()) << description;
        EXPECT_EQ(Shape(Bridge::DisplayItems(parsed.Items)), shape) << description;
    }
}

TEST(MenuModel, FindFirstDepthFirst)
{
    auto items = Bridge::ParseMenuDescription(
                     uR"([{"id": 1, "caption": "a", "items": [{"id": 5, "caption": "inner"}]}, {"id": 5, "caption": "top"}])",
                     Images)
                     .Items;
    ASSERT_NE(Bridge::FindMenuItem(items, 5), nullptr);
    EXPECT_EQ(Bridge::FindMenuItem(items, 5)->Caption, u"inner");
    EXPECT_EQ(Bridge::FindMenuItem(items, 6), nullptr);
}

TEST(MenuModel, CommandNumbersForPageIds)
{
    Bridge::TMenuCommands commands;
    const uint16_t a = commands.Assign(-2147483647 - 1), b = commands.Assign(2147483647);
    EXPECT_NE(a, b);
    EXPECT_EQ(commands.Find(a), -2147483647 - 1);
    EXPECT_EQ(commands.Find(b), 2147483647);
    commands.Clear(); // a new menu: the old numbers mean nothing now
    const uint16_t c = commands.Assign(7);
    EXPECT_FALSE(commands.Find(a));
    EXPECT_FALSE(commands.Find(b));
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_FALSE(commands.Find(0));
    // Every number below the system commands, then none; counting goes round.
    while (commands.Size() < size_t(Bridge::TMenuCommands::kLast)) {
        ASSERT_NE(commands.Assign(1), 0);
    }
    EXPECT_EQ(commands.Assign(1), 0);
    commands.Clear();
    const uint16_t again = commands.Assign(9);
    EXPECT_GE(again, Bridge::TMenuCommands::kFirst);
    EXPECT_LE(again, Bridge::TMenuCommands::kLast);
}

TEST(MenuModel, TrayTooltip)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Apps\\MyAPP.Setup.exe", u"Myapp"},
        {u"C:\\Apps\\ÉTÉ.exe", u"Été"},
        {u"/x/noext", u"noext"},
        {u"C:\\" + std::u16string(200, u'A') + u".exe", u"A" + std::u16string(126, u'a')},
        {u"C:\\" + std::u16string(126, u'A') + u"😀.exe", u"A" + std::u16string(125, u'a')}, // no half pair
    };
    for (const auto& [path, tip] : cases) {
        EXPECT_EQ(Bridge::TrayTooltip(path), tip) << Utf16ToUtf8(path);
    }
}

namespace {

struct MenuBench {
    FolioTest::TempDir Dir;
    Probe::TStandIns StandIns;
    Probe::TRecordingMenus& Menus = StandIns.Menus;
    FolioTest::TPackagePage Package{{{"web/i.png", kPng + "archive"}, {"both.png", kPng + "archive"}}};
    std::unique_ptr<Bridge::TBrowserExternalModule> Module;

    MenuBench()
    {
        FolioTest::WriteFile(Dir / "beside.png", kPng + "file");
        FolioTest::WriteFile(Dir / "both.png", kPng + "the file beside, longer");
        FolioTest::WriteFile(Dir / "junk.png", "not an image");
        auto exeDir = Dir.Path().u16string();
        exeDir.push_back(std::filesystem::path::preferred_separator);
        auto ports = StandIns.Ports(Platform::SystemFileSystem(), exeDir);
        ports.Archive = &Package.Archive;
        ports.Settings = &Package.Settings;
        Module = std::make_unique<Bridge::TBrowserExternalModule>(ports);
    }

    std::string Send(int id, const std::string& data)
    {
        const size_t before = StandIns.Browser.Posted.size();
        Module->EdgeBrowserWebMessageReceived(
            Utf8ToUtf16("{\"id\": " + std::to_string(id) + ", \"uuid\": \"u\", \"data\": " + data + "}"),
            u"file:///index.html");
        if (StandIns.Browser.Posted.size() == before) {
            return "no reply";
        }
        const std::string reply = Utf16ToUtf8(StandIns.Browser.Posted.back());
        const std::string success = "{\"uuid\": \"u\", \"success\": true, \"result\": ";
        const std::string failure = "{\"uuid\": \"u\", \"success\": false, \"result\": ";
        if (reply.rfind(success, 0) == 0) {
            return reply.substr(success.size(), reply.size() - success.size() - 1);
        }
        return "fail " + reply.substr(failure.size(), reply.size() - failure.size() - 1);
    }
    // setItems with a description written as JSON text inside the string.
    std::string SetItems(int id, const std::string& description)
    {
        std::string quoted;
        for (char c : description) {
            if (c == '\n') {
                c = ' ';
            }
            if (c == '"' || c == '\\') {
                quoted += '\\';
            }
            quoted += c;
        }
        return Send(id, "{\"items\": \"" + quoted + "\"}");
    }
    std::string Scripts() const
    {
        std::string out;
        for (const auto& s : StandIns.Browser.Scripts) {
            out += Utf16ToUtf8(s);
        }
        return out;
    }
};

} // namespace

TEST(MenuFunctions, SetItemsReplacesWholeOrNotAtAll)
{
    for (const int setItems : {12001, 14003}) {
        MenuBench b;
        auto& drawn = setItems == 12001 ? b.Menus.Main : b.Menus.Tray;
        EXPECT_EQ(b.Send(setItems, "{}"), "fail \"Missing menu items\"");
        EXPECT_EQ(b.Send(setItems, R"({"items": null})"), "fail \"Missing menu items\"");
        EXPECT_FALSE(b.Menus.Attached);
        EXPECT_EQ(b.Send(setItems, R"({"items": []})"), "fail \"Conversion from array to string is not supported\"");
        EXPECT_EQ(b.SetItems(setItems, "[]"), "true");
        EXPECT_EQ(b.Menus.Attached, setItems == 12001); // the bar is there, empty
        EXPECT_EQ(b.SetItems(setItems, R"([{"id": 1, "caption": "File", "items": [{"id": 2, "caption": "Quit"}]}])"),
                  "true");
        EXPECT_EQ(Shape(drawn), "1:&File[2:&Quit]");
        const int calls = b.Menus.SetMenuCalls;
        const std::pair<std::string, std::string> failing[] = {
            {R"([{"id": 3, "caption": "a"}, {"id": 4}])", "Wrong menu item JSON"},
            {"[", "Wrong menu items JSON"},
            {R"([{"id": 3, "caption": "a", "enabled": null}])", "'null' is not a valid boolean value"},
            {R"([{"id": 3, "caption": "a", "image": "junk.png"}])", "Wrong menu item image"},
            {R"([7])", "Wrong menu item JSON"},
        };
        for (const auto& [description, failure] : failing) {
            EXPECT_EQ(b.SetItems(setItems, description), "fail \"" + failure + "\"") << description;
        }
        EXPECT_EQ(b.Menus.SetMenuCalls, calls); // the menu shown stays as it was...
        EXPECT_EQ(b.Send(setItems + 1, R"({"id": 2, "caption": "Exit"})"), "true"); // ...and so does the model
        EXPECT_EQ(Shape(drawn), "1:&File[2:&Exit]");
    }
}

TEST(MenuFunctions, ImagesFromPackageBesideExecutableOrPath)
{
    MenuBench b;
    const auto path = (b.Dir / "beside.png").u16string();
    EXPECT_EQ(b.SetItems(12001, R"([{"id": 1, "caption": "a", "image": "web/i.png"}, {"id": 2, "caption": "b", "image": "i.png"},
        {"id": 3, "caption": "c", "image": "beside.png"}, {"id": 4, "caption": "d", "image": "both.png"},
        {"id": 5, "caption": "e", "image": )" + Utf16ToUtf8(Shared::TStrUtils::StringToJsonString(path)) + R"(}])"),
              "true");
    ASSERT_EQ(Shape(b.Menus.Main), "1:&a* 2:&b 3:&c* 4:&d* 5:&e*");
    const auto size = [&](int i) {
        return static_cast<const Probe::TRecordingMenus::TImage&>(*b.Menus.Main[i].Image).Size;
    };
    EXPECT_EQ(size(3), kPng.size() + 7); // the package's entry wins over the file beside
    EXPECT_EQ(size(2), kPng.size() + 4);
}

TEST(MenuFunctions, OneImageForItemsNamingTheSameFile)
{
    // Each decoded image holds system handles (two bitmaps on Windows): decoded per item,
    // a menu of some thousand items with one icon runs the process out of them.
    MenuBench b;
    ASSERT_EQ(b.SetItems(14003, R"([{"id": 1, "caption": "a", "image": "beside.png"}, {"id": 2, "caption": "b", "image": "web/i.png"},
        {"id": 3, "caption": "c", "items": [{"id": 4, "caption": "d", "image": "beside.png"}]}])"),
              "true");
    ASSERT_EQ(Shape(b.Menus.Tray), "1:&a* 2:&b* 3:&c[4:&d*]");
    EXPECT_EQ(b.Menus.Tray[0].Image, b.Menus.Tray[2].Children[0].Image);
    EXPECT_NE(b.Menus.Tray[0].Image, b.Menus.Tray[1].Image);
}

TEST(MenuFunctions, UpdateItem)
{
    MenuBench b;
    EXPECT_EQ(b.Send(12002, R"({"id": 1})"), "fail \"No menu items\"");
    ASSERT_EQ(b.SetItems(12001, R"([{"id": 1, "caption": "a", "items": [{"id": 5, "caption": "inner"}]},
        {"id": 5, "caption": "top"}, {"id": -1, "caption": "minus", "image": "beside.png"}])"),
              "true");
    const std::pair<std::string, std::string> cases[] = {
        {R"({})", "fail \"Missing item ID\""},
        {R"({"id": null})", "fail \"Missing item ID\""},
        {R"({"id": "x"})", "fail \"Wrong item ID\""},
        {R"({"id": 7.0})", "fail \"Wrong item ID\""},
        {R"({"id": -1, "caption": "z"})", "fail \"Wrong item ID\""},
        {R"({"id": {}})", "fail \"Conversion from object to string is not supported\""},
        {R"({"id": 5, "caption": ["z"]})", "fail \"Conversion from array to string is not supported\""},
        {R"({"id": 5, "caption": "z", "enabled": "maybe"})", "fail \"'maybe' is not a valid boolean value\""},
        {R"({"id": 5, "caption": "z", "image": "junk.png"})", "fail \"Wrong menu item image\""},
        {R"({"id": 99, "caption": "z"})", "true"},
        {R"({"id": 5, "caption": ""})", "true"},
    };
    for (const auto& [data, reply] : cases) {
        EXPECT_EQ(b.Send(12002, data), reply) << data;
    }
    EXPECT_EQ(Shape(b.Menus.Main), "1:&a[5:&inner] 5:&top -1:&minus*"); // nothing changed so far
    EXPECT_EQ(b.Send(12002, R"({"id": "5", "caption": "First", "enabled": "FALSE", "image": "beside.png"})"), "true");
    EXPECT_EQ(Shape(b.Menus.Main), "1:&a[5:&First!*] 5:&top -1:&minus*");
    EXPECT_EQ(b.Send(12002, R"({"id": 5, "enabled": 1})"), "true");
    EXPECT_EQ(Shape(b.Menus.Main), "1:&a[5:&First*] 5:&top -1:&minus*");
}

TEST(MenuFunctions, ReplacedImagesAreFreed)
{
    MenuBench b;
    ASSERT_EQ(b.SetItems(14003, R"([{"id": 1, "caption": "a", "image": "beside.png"}])"), "true");
    const std::weak_ptr<const Platform::TMenuImage> first = b.Menus.Tray[0].Image;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(b.Send(14004, R"({"id": 1, "image": "web/i.png"})"), "true");
    }
    const std::weak_ptr<const Platform::TMenuImage> last = b.Menus.Tray[0].Image;
    b.Menus.Tray.clear(); // what the host drew lets go too
    EXPECT_TRUE(first.expired());
    EXPECT_FALSE(last.expired()); // held by the item
    ASSERT_EQ(b.SetItems(14003, "[]"), "true");
    EXPECT_TRUE(last.expired());
}

TEST(MenuFunctions, TrayIconAndClickEvents)
{
    MenuBench b;
    EXPECT_EQ(b.Send(14002, "{}"), "true"); // hidden already
    EXPECT_EQ(b.Send(14001, "{}"), "true");
    EXPECT_EQ(b.Send(14001, "{}"), "true");
    EXPECT_TRUE(b.Menus.TrayShown);
    EXPECT_EQ(b.Send(14002, "{}"), "true");
    b.Menus.RefuseIcon = true;
    EXPECT_EQ(b.Send(14001, "{}"), "false");
    EXPECT_FALSE(b.Menus.TrayShown);

    b.Menus.OnItemClick(TMenuKind::Main, 7);
    b.Menus.OnItemClick(TMenuKind::Tray, -2147483647 - 1);
    b.Menus.OnTrayIconClick();
    EXPECT_EQ(b.Scripts(), "kiv.events.onMainMenuItemClick(\"7\");"
                           "kiv.events.onTrayMenuItemClick(\"-2147483648\");"
                           "kiv.events.onTrayIconClick();");
    b.Module.reset(); // clicks after the module is gone reach nobody
    EXPECT_FALSE(b.Menus.OnItemClick);
    EXPECT_FALSE(b.Menus.OnTrayIconClick);
}
