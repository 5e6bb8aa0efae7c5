// The themes over the files make-themes wrote for this build: the format, discovery
// (names, sorting, duplicates, broken files), lookup and the page's three functions.
#include "bridge/BrowserExternalModule.h"
#include "tools/bridge-probe/HostFakes.h"
#include "ui/themes/StyleManager.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace Folio;
using Folio::Shared::Utf16ToUtf8;
using Folio::Shared::Utf8ToUtf16;
using Ui::TPalette;
using Ui::TStyleResource;

namespace {

std::vector<TStyleResource> BuiltResources()
{
    std::vector<TStyleResource> found;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(FOLIO_GENERATED_DIR)) {
        if (entry.path().extension() == ".style") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end()); // as the resource directory lists them
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        found.push_back({file.stem().u16string(), bytes.str()});
    }
    return found;
}

const Ui::TThemeFile& Sample()
{
    static const Ui::TThemeFile theme{u"Sample", u"1.0", u"A", u"",
                                      TPalette::FromColours({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, true)};
    return theme;
}

Ui::TThemeFile Named(std::u16string name)
{
    auto theme = Sample();
    theme.Name = std::move(name);
    return theme;
}

// The module's ports for a page of the executable's folder, the only pages it answers.
Bridge::TBrowserExternalModule::TPorts PagePorts(Probe::TRecordingBrowser& browser, Platform::TThemeEngine* themes)
{
    static Probe::TFixedFileSystem files(true);
    Bridge::TBrowserExternalModule::TPorts ports;
    ports.Browser = &browser;
    ports.FileSystem = &files;
    ports.AppDirPath = u"C:\\app\\";
    ports.Themes = themes;
    return ports;
}

std::string ThrownBy(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Ui::EStyleError& e) {
        return e.what();
    }
    return "nothing";
}

} // namespace

TEST(ThemeFile, BrokenFilesAreRefused)
{
    const std::string good = Ui::WriteThemeFile(Sample());
    ASSERT_TRUE(Ui::ReadThemeFile(good));
    EXPECT_EQ(Ui::ReadThemeFile(good)->Palette, Sample().Palette);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"header only", std::string(Ui::kThemeFileHeader)},
        {"other header", "Folio style 2\r\n" + good.substr(Ui::kThemeFileHeader.size())},
        {"cut short", good.substr(0, good.size() - 3)},
        {"trailing bytes", good + "x"},
        {"no name", Ui::WriteThemeFile(Named(u""))},
        {"not compressed", std::string(Ui::kThemeFileHeader) + "plain text, no zlib stream"},
    };
    for (const auto& [what, bytes] : cases) {
        EXPECT_FALSE(Ui::ReadThemeFile(bytes)) << what;
    }
}

TEST(ThemeDiscovery, BuiltResourcesGiveFortySortedNames)
{
    const auto resources = BuiltResources();
    ASSERT_EQ(resources.size(), 39u);
    Ui::TStyleManager styles({[&] { return resources; }, {}, {}});
    const auto names = styles.GetAvailables(true);
    ASSERT_EQ(names.size(), 40u);
    EXPECT_EQ(names.front(), u"Amakrits");
    EXPECT_EQ(names.back(), u"Windows10 SlateGray");
    const auto at = [&](std::u16string_view name) {
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    EXPECT_EQ(at(u"Windows") + 1, at(u"Windows10"));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const auto& a, const auto& b) {
        return Shared::Utf16ToUtf8(a) < Shared::Utf16ToUtf8(b); // all names start upper case
    }));
    // The unsorted list: the system look, then the resources in the order found.
    const auto unsorted = styles.GetAvailables(false);
    EXPECT_EQ(unsorted.front(), u"Windows");
    EXPECT_EQ(unsorted[1], u"Amakrits");
    // The name inside counts: the resource WINDOWS is "Windows10".
    const auto windows =
        std::find_if(resources.begin(), resources.end(), [](auto& r) { return r.ResourceName == u"WINDOWS"; });
    EXPECT_EQ(Ui::ReadThemeFile(windows->Bytes)->Name, u"Windows10");
    EXPECT_TRUE(styles.Refused().empty());
}

TEST(ThemeDiscovery, PalettesLookLikeTheirNames)
{
    const auto resources = BuiltResources();
    Ui::TStyleManager styles({[&] { return resources; }, {}, {}});
    const auto red = [](uint32_t c) { return int(c & 0xFF); };
    const auto green = [](uint32_t c) { return int((c >> 8) & 0xFF); };
    const auto blue = [](uint32_t c) { return int((c >> 16) & 0xFF); };
    const std::pair<std::u16string, bool> darkness[] = {
        {u"Carbon", true},
        {u"Cyan Night", true},
        {u"Obsidian", true},
        {u"Tablet Dark", true},
        {u"Windows10 Dark", true},
        {u"Metropolis UI Black", true},
        {u"Light", false},
        {u"Tablet Light", false},
        {u"Sky", false},
        {u"Silver", false},
        {u"Luna", false},
        {u"Windows10", false},
        {u"Iceberg Classico", false},
    };
    for (const auto& [name, dark] : darkness) {
        ASSERT_TRUE(styles.TrySetStyle(name, false)) << Utf16ToUtf8(name);
        const TPalette& p = *styles.ActivePalette();
        EXPECT_EQ(p.Dark, dark) << Utf16ToUtf8(name);
        const auto light = [&](uint32_t c) { return red(c) + green(c) + blue(c); };
        EXPECT_EQ(light(p.Window) < light(p.Text), dark) << Utf16ToUtf8(name);
    }
    styles.TrySetStyle(u"Cyan Dusk", false);
    const uint32_t cyan = styles.ActivePalette()->Caption;
    EXPECT_GT(green(cyan), red(cyan) + 60);
    EXPECT_GT(blue(cyan), red(cyan) + 60);
    styles.TrySetStyle(u"Auric", false);
    const uint32_t gold = styles.ActivePalette()->Highlight;
    EXPECT_GT(red(gold), green(gold));
    EXPECT_GT(green(gold), blue(gold) + 80);
}

TEST(ThemeDiscovery, DuplicatesAreRefusedAndTheFirstStays)
{
    std::vector<TStyleResource> resources{{u"A", Ui::WriteThemeFile(Named(u"Carbon"))},
                                          {u"B", Ui::WriteThemeFile(Named(u"CARBON"))},
                                          {u"C", Ui::WriteThemeFile(Named(u"windows"))}};
    resources[1].Bytes = Ui::WriteThemeFile([] {
        auto t = Named(u"CARBON");
        t.Palette.Window = 0x123456;
        return t;
    }());
    Ui::TStyleManager styles({[&] { return resources; }, {}, {}});
    EXPECT_EQ(styles.GetAvailables(true), (std::vector<std::u16string>{u"Carbon", u"Windows"}));
    EXPECT_EQ(styles.Refused(), (std::vector<std::u16string>{u"Style 'CARBON' already registered",
                                                             u"Style 'windows' already registered"}));
    styles.TrySetStyle(u"carbon", false);
    EXPECT_EQ(styles.ActivePalette()->Window, Sample().Palette.Window);
    EXPECT_EQ(ThrownBy([&] { styles.RegisterStyle(u"D", resources[0].Bytes); }), "Style 'Carbon' already registered");
}

TEST(ThemeDiscovery, BrokenResourcesStopDiscovery)
{
    const std::string good = Ui::WriteThemeFile(Sample());
    const std::pair<std::vector<TStyleResource>, std::string> cases[] = {
        {{{u"GOOD", good}, {u"BROKEN", "Folio style 1\r\nxx"}}, "Unable to load style 'BROKEN'"},
        {{{u"ONE", ""}, {u"GOOD", good}, {u"TWO", good.substr(0, 20)}}, "Unable to load styles: ONE, TWO"},
    };
    for (const auto& [resources, message] : cases) {
        Ui::TStyleManager styles({[&] { return resources; }, {}, {}});
        EXPECT_EQ(ThrownBy([&] { styles.GetAvailables(true); }), message);
        EXPECT_EQ(ThrownBy([&] {
                      Ui::TStyleManager({[&] { return resources; }, {}, {}}).TrySetStyle(u"x", false);
                  }),
                  message);
    }
}

TEST(ThemeLookup, SwitchesTellListenersOnlyOnChange)
{
    const auto resources = BuiltResources();
    std::vector<std::u16string> errors;
    Ui::TStyleManager styles({[&] { return resources; }, [&](const std::u16string& m) { errors.push_back(m); }, {}});
    std::vector<const TPalette*> told;
    const int id = styles.AddListener([&](const TPalette* p) { told.push_back(p); });
    EXPECT_EQ(styles.ActivePalette(), nullptr);
    EXPECT_TRUE(styles.TrySetStyle(u"glow", false));
    EXPECT_TRUE(styles.TrySetStyle(u"Glow", false)); // active already: nobody is told
    EXPECT_FALSE(styles.TrySetStyle(u"Nope", true));
    EXPECT_FALSE(styles.TrySetStyle(u"Nope", false));
    EXPECT_TRUE(styles.TrySetStyle(u"WINDOWS", false));
    styles.RemoveListener(id);
    EXPECT_TRUE(styles.TrySetStyle(u"Carbon", false));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0], nullptr);
    EXPECT_EQ(told[1], nullptr); // the system look
    EXPECT_EQ(errors, std::vector<std::u16string>{u"Style 'Nope' not found"});
}

TEST(ThemeFunctions, RepliesToThePage)
{
    const auto resources = BuiltResources();
    Ui::TStyleManager styles({[&] { return resources; }, {}, {}});
    int switches = 0;
    styles.AddListener([&](const TPalette*) { ++switches; });
    Probe::TRecordingBrowser browser;
    Bridge::TBrowserExternalModule module(PagePorts(browser, &styles));
    const auto send = [&](int id, const std::string& data) {
        module.EdgeBrowserWebMessageReceived(
            Utf8ToUtf16("{\"id\": " + std::to_string(id) + ", \"uuid\": \"u\", \"data\": " + data + "}"),
            u"file:///index.html");
        const std::string reply = browser.Posted.empty() ? "no reply" : Utf16ToUtf8(browser.Posted.back());
        const std::string prefix = R"({"uuid": "u", "success": true, "result": )";
        return reply.rfind(prefix, 0) == 0 ? reply.substr(prefix.size(), reply.size() - prefix.size() - 1) : reply;
    };
    const std::string list = send(80002, "{}");
    EXPECT_TRUE(list.starts_with(R"(["Amakrits","Amethyst Kamri",)")) << list;
    EXPECT_NE(list.find(R"("Turquoise Gray","Windows","Windows10","Windows10 Blue")"), std::string::npos);
    EXPECT_TRUE(list.ends_with(R"(,"Windows10 SlateGray"])")) << list;
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 39);

    // (request data, reply, active theme after, switches so far)
    const std::tuple<std::string, std::string, std::string, int> steps[] = {
        {R"({"name": "carbon"})", "false", "Carbon", 1},
        {R"({"name": "Carbon"})", "true", "Carbon", 1},
        {R"({"name": "Glow"})", "true", "Glow", 2},
        {R"({"name": "No such"})", "false", "Glow", 2},
        {R"({})", "false", "Glow", 2},
        {R"({"name": null})", "false", "Glow", 2},
        {R"({"name": "Windows"})", "true", "Windows", 3},
        {R"({"name": "Windows10"})", "true", "Windows10", 4},
        {R"({"name": "windows"})", "false", "Windows", 5},
    };
    for (const auto& [data, reply, active, count] : steps) {
        EXPECT_EQ(send(80003, data), reply) << data;
        EXPECT_EQ(send(80001, "{}"), "\"" + active + "\"") << data;
        EXPECT_EQ(switches, count) << data;
    }
}

TEST(ThemeFunctions, WithoutThemesOnlyTheSystemLook)
{
    Probe::TRecordingBrowser browser;
    Bridge::TBrowserExternalModule module(PagePorts(browser, nullptr));
    const std::pair<std::string, std::string> cases[] = {
        {R"({"id": 80001, "uuid": "a", "data": {}})", R"({"uuid": "a", "success": true, "result": "Windows"})"},
        {R"({"id": 80002, "uuid": "b", "data": {}})", R"({"uuid": "b", "success": true, "result": ["Windows"]})"},
        {R"({"id": 80003, "uuid": "c", "data": {"name": "Glow"}})",
         R"({"uuid": "c", "success": true, "result": false})"},
        {R"({"id": 80003, "uuid": "d", "data": {"name": "Windows"}})",
         R"({"uuid": "d", "success": true, "result": true})"},
    };
    for (const auto& [request, reply] : cases) {
        module.EdgeBrowserWebMessageReceived(Utf8ToUtf16(request), u"file:///index.html");
        ASSERT_FALSE(browser.Posted.empty()) << request;
        EXPECT_EQ(Utf16ToUtf8(browser.Posted.back()), reply);
    }
}

TEST(ThemeFunctions, ActiveThemeIsAJsonString)
{
    // Theme files come from every module of the process, so a name may hold anything.
    const std::u16string name = u"Say \"hi\" \\ now";
    Ui::TStyleManager styles(
        {[&] { return std::vector<TStyleResource>{{u"ODD", Ui::WriteThemeFile(Named(name))}}; }, {}, {}});
    Probe::TRecordingBrowser browser;
    Bridge::TBrowserExternalModule module(PagePorts(browser, &styles));
    const std::pair<std::string, std::string> cases[] = {
        {R"({"id": 80003, "uuid": "a", "data": {"name": "Say \"hi\" \\ now"}})",
         R"({"uuid": "a", "success": true, "result": true})"},
        {R"({"id": 80001, "uuid": "b", "data": {}})", R"({"uuid": "b", "success": true, "result": "Say \"hi\" \\ now"})"},
    };
    for (const auto& [request, reply] : cases) {
        module.EdgeBrowserWebMessageReceived(Utf8ToUtf16(request), u"file:///index.html");
        ASSERT_FALSE(browser.Posted.empty()) << request;
        EXPECT_EQ(Utf16ToUtf8(browser.Posted.back()), reply);
    }
}
