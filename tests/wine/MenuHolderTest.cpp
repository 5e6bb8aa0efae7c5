// The page's menus for real: the bridge module over the hidden holder window, a test
// window standing for the main window. The menu bar and tray menu read back through
// Win32, commands and tray-icon messages sent as the system sends them, the scripts
// the page would run read from the recording browser.
#include "bridge/BrowserExternalModule.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/wine/Screenshot.h"
#include "tools/bridge-probe/HostFakes.h"
#include "ui/win32/BrowserExternalForm.h"
#include "ui/win32/MenuRenderer.h"
#include "util/PngWriter.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

using namespace Folio;
using Runtime::TBrowserExternalForm;

namespace {

class TTestMainWindow final : public Win32::TWindow {
public:
    TBrowserExternalForm* Menus = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (Menus && Menus->MainWindowMessage(message, wParam, lParam)) {
            return 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
};

struct MenuBench {
    FolioTest::TempDir Dir;
    TTestMainWindow Main;
    TBrowserExternalForm Holder;
    Probe::TStandIns StandIns;
    std::unique_ptr<Bridge::TBrowserExternalModule> Module;

    MenuBench()
    {
        // An 8 x 8 red square with a transparent corner pixel.
        std::vector<uint8_t> rgba(8 * 8 * 4);
        for (size_t i = 0; i < 64; ++i) {
            rgba[i * 4] = 255, rgba[i * 4 + 3] = 255;
        }
        rgba[3] = 0;
        FolioTest::WriteFile(Dir / "red.png", Shared::EncodePng(8, 8, rgba.data()));
        FolioTest::WriteFile(Dir / "junk.png", "no image at all");
        FolioTest::WriteFile(Dir / "index.html", "<html></html>"); // the page's own: only it is answered
        EXPECT_TRUE(Main.Create(L"FolioMenuTestMain", u"Menus", WS_OVERLAPPEDWINDOW, 0, 60, 60, 420, 240));
        EXPECT_TRUE(Holder.CreateForm(Main.Handle(), u"Tip"));
        Main.Menus = &Holder;
        auto ports = StandIns.Ports(Platform::SystemFileSystem(), Dir.Path().u16string() + u"\\");
        ports.Menus = &Holder;
        Module = std::make_unique<Bridge::TBrowserExternalModule>(ports);
    }

    std::string Send(int id, const std::string& data)
    {
        const size_t before = StandIns.Browser.Posted.size();
        Module->EdgeBrowserWebMessageReceived(
            Shared::Utf8ToUtf16("{\"id\": " + std::to_string(id) + ", \"uuid\": \"u\", \"data\": " + data + "}"),
            u"file:///index.html");
        if (StandIns.Browser.Posted.size() == before) {
            return "no reply";
        }
        const std::string reply = Shared::Utf16ToUtf8(StandIns.Browser.Posted.back());
        return reply.substr(reply.find("\"success\""));
    }
    std::vector<std::string> Scripts() const
    {
        std::vector<std::string> out;
        for (const auto& s : StandIns.Browser.Scripts) {
            out.push_back(Shared::Utf16ToUtf8(s));
        }
        return out;
    }
    void Tray(UINT mouseMessage) { SendMessageW(Holder.Handle(), TBrowserExternalForm::kTrayMessage, 1, mouseMessage); }
};

const std::string kOk = "\"success\": true, \"result\": true}";

std::string MenuText(HMENU menu, UINT position)
{
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return Shared::Utf16ToUtf8(Win32::U16(text));
}

// The pixels of an item's image as 0xAARRGGBB, and its size.
std::vector<uint32_t> ItemImage(HMENU menu, UINT position, int& size)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_BITMAP;
    DIBSECTION dib{};
    if (!GetMenuItemInfoW(menu, position, TRUE, &info) || !info.hbmpItem ||
        GetObjectW(info.hbmpItem, sizeof(dib), &dib) != sizeof(dib) || !dib.dsBm.bmBits) {
        size = 0;
        return {};
    }
    size = dib.dsBm.bmWidth;
    const auto* bits = static_cast<const uint32_t*>(dib.dsBm.bmBits);
    return {bits, bits + size_t(dib.dsBm.bmWidth) * dib.dsBm.bmHeight};
}

} // namespace

TEST(MenuHolder, MenuBarReadBackAndClicks)
{
    MenuBench b;
    ShowWindow(b.Main.Handle(), SW_SHOWNORMAL);
    EXPECT_EQ(GetMenu(b.Main.Handle()), nullptr);
    ASSERT_EQ(b.Send(12001, R"({"items": "[{\"id\": 1, \"caption\": \"File\", \"items\": [{\"id\": 2, \"caption\": \"Open\", \"image\": \"red.png\"}, {\"id\": 3, \"caption\": \"-\"}, {\"id\": 4, \"caption\": \"-\"}, {\"id\": 70000, \"caption\": \"Quit\", \"image\": \"red.png\", \"enabled\": false}]}, {\"id\": 5, \"caption\": \"Help\"}]"})"),
              kOk);
    const HMENU bar = GetMenu(b.Main.Handle());
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar, b.Holder.MainMenuHandle());
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(MenuText(bar, 0), "&File");
    EXPECT_EQ(MenuText(bar, 1), "&Help");
    const HMENU file = GetSubMenu(bar, 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(GetMenuItemCount(file), 3); // the doubled separator left out
    EXPECT_EQ(MenuText(file, 0), "&Open");
    EXPECT_NE(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(MenuText(file, 2), "&Quit");
    EXPECT_EQ(GetMenuState(file, 0, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_NE(GetMenuState(file, 2, MF_BYPOSITION) & MF_GRAYED, 0u);

    const int expected = Runtime::MenuImageSize(Win32::WindowDpi(b.Main.Handle()));
    int size = 0;
    const auto open = ItemImage(file, 0, size);
    ASSERT_EQ(size, expected);
    EXPECT_EQ(open[size_t(size) * size / 2 + size / 2], 0xFFFF0000u); // red, opaque, premultiplied
    EXPECT_EQ(open[0] >> 24, 0u);                                    // the transparent corner
    const auto quit = ItemImage(file, 2, size);
    ASSERT_EQ(size, expected);
    EXPECT_EQ(quit[size_t(size) * size / 2 + size / 2], 0xFF4C4C4Cu); // the grey copy of a disabled item
    UpdateWindow(b.Main.Handle());
    Folio::Test::SaveScreenshot(b.Main.Handle(), std::filesystem::path(FOLIO_ARTIFACTS_DIR) / "main-window-menu-bar.png");

    // A command carries 16 bits; the page's id is 70000.
    const UINT quitCommand = GetMenuItemID(file, 2), openCommand = GetMenuItemID(file, 0);
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(quitCommand, 0), 0);
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(openCommand, 0), 0);
    EXPECT_EQ(b.Scripts(), (std::vector<std::string>{"kiv.events.onMainMenuItemClick(\"70000\");",
                                                     "kiv.events.onMainMenuItemClick(\"2\");"}));

    // Updated: caption, state and the image's grey copy; a failing description changes nothing.
    ASSERT_EQ(b.Send(12002, R"({"id": 2, "caption": "Open file", "enabled": false})"), kOk);
    const HMENU file2 = GetSubMenu(GetMenu(b.Main.Handle()), 0);
    EXPECT_EQ(MenuText(file2, 0), "&Open file");
    EXPECT_NE(GetMenuState(file2, 0, MF_BYPOSITION) & MF_GRAYED, 0u);
    EXPECT_EQ(ItemImage(file2, 0, size)[size_t(size) * size / 2 + size / 2], 0xFF4C4C4Cu);
    const HMENU shown = GetMenu(b.Main.Handle());
    EXPECT_EQ(b.Send(12001, R"({"items": "[{\"id\": 9, \"caption\": \"X\", \"image\": \"junk.png\"}]"})"),
              "\"success\": false, \"result\": \"Wrong menu item image\"}");
    EXPECT_EQ(GetMenu(b.Main.Handle()), shown);

    // Commands of the replaced menus find nothing.
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(quitCommand, 0), 0);
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(openCommand, 0), 0);
    EXPECT_EQ(b.Scripts().size(), 2u);
    const UINT newOpen = GetMenuItemID(GetSubMenu(GetMenu(b.Main.Handle()), 0), 0);
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(newOpen, 0), 0);
    ASSERT_EQ(b.Scripts().size(), 3u);
    EXPECT_EQ(b.Scripts().back(), "kiv.events.onMainMenuItemClick(\"2\");");
}

TEST(MenuHolder, TrayIconClicksAndVisibility)
{
    MenuBench b;
    ShowWindow(b.Main.Handle(), SW_SHOWNORMAL);
    ASSERT_EQ(b.Send(14001, "{}"), kOk);
    EXPECT_TRUE(b.Holder.TrayIconVisible());
    b.Tray(WM_LBUTTONDOWN);
    b.Tray(WM_LBUTTONUP); // a click
    b.Tray(WM_LBUTTONDOWN);
    b.Tray(WM_LBUTTONUP);
    b.Tray(WM_LBUTTONDBLCLK);
    b.Tray(WM_LBUTTONUP); // a double click: one event, from its first half
    b.Tray(WM_LBUTTONUP); // a release without a press on the icon
    b.Tray(WM_RBUTTONUP); // no tray menu yet: nothing opens
    EXPECT_EQ(b.Scripts(), (std::vector<std::string>{"kiv.events.onTrayIconClick();", "kiv.events.onTrayIconClick();"}));

    // A new taskbar: the icon is added again.
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = b.Holder.Handle();
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
    SendMessageW(b.Holder.Handle(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_TRUE(b.Holder.TrayIconVisible());

    // Hiding the icon of a hidden window brings the window back.
    ShowWindow(b.Main.Handle(), SW_HIDE);
    ASSERT_EQ(b.Send(14002, "{}"), kOk);
    EXPECT_FALSE(b.Holder.TrayIconVisible());
    EXPECT_TRUE(IsWindowVisible(b.Main.Handle()));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_EQ(b.Send(14002, "{}"), kOk);
}

namespace {

struct TShownMenuProbe {
    MenuBench* Bench = nullptr;
    HMENU Shown = nullptr;
    bool Ran = false, KeptWhileShown = false;
    std::string Reply;
} g_probe;

// Runs inside the tray menu's modal loop: a rebuild arrives while the menu is shown.
void CALLBACK RebuildWhileShown(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    KillTimer(nullptr, timer);
    g_probe.Ran = true;
    g_probe.Shown = g_probe.Bench->Holder.TrayMenuHandle();
    if (HWND popup = FindWindowW(L"#32768", nullptr)) { // the menu as it shows, images and all
        Folio::Test::SaveScreenshot(popup, std::filesystem::path(FOLIO_ARTIFACTS_DIR) / "tray-menu.png", 4);
    }
    g_probe.Reply = g_probe.Bench->Send(
        14003, R"({"items": "[{\"id\": 20, \"caption\": \"A\"}, {\"id\": 21, \"caption\": \"B\"}, {\"id\": 22, \"caption\": \"C\"}]"})");
    g_probe.KeptWhileShown = g_probe.Bench->Holder.TrayMenuHandle() == g_probe.Shown && IsMenu(g_probe.Shown) &&
                             GetMenuItemCount(g_probe.Shown) == 2;
    EndMenu();
}

} // namespace

TEST(MenuHolder, TrayMenuBuiltUpdatedAndSwappedAfterItCloses)
{
    MenuBench b;
    ShowWindow(b.Main.Handle(), SW_SHOWNORMAL);
    ASSERT_EQ(b.Send(14003, R"({"items": "[{\"id\": 10, \"caption\": \"Show\", \"image\": \"red.png\"}, {\"id\": 11, \"caption\": \"Exit\", \"image\": \"red.png\", \"enabled\": false}]"})"),
              kOk);
    EXPECT_EQ(GetMenu(b.Main.Handle()), nullptr); // the tray menu is no menu bar
    HMENU tray = b.Holder.TrayMenuHandle();
    ASSERT_EQ(GetMenuItemCount(tray), 2);
    EXPECT_EQ(MenuText(tray, 0), "&Show");
    EXPECT_EQ(MenuText(tray, 1), "&Exit");
    ASSERT_EQ(b.Send(14004, R"({"id": 11, "caption": "Quit"})"), kOk);
    tray = b.Holder.TrayMenuHandle();
    EXPECT_EQ(MenuText(tray, 1), "&Quit");

    ASSERT_EQ(b.Send(14001, "{}"), kOk);
    g_probe = {};
    g_probe.Bench = &b;
    ASSERT_NE(SetTimer(nullptr, 0, 200, &RebuildWhileShown), 0u);
    b.Tray(WM_RBUTTONUP); // the menu opens; the timer runs in its loop and closes it
    ASSERT_TRUE(g_probe.Ran);
    EXPECT_EQ(g_probe.Reply, kOk);
    EXPECT_TRUE(g_probe.KeptWhileShown);
    tray = b.Holder.TrayMenuHandle();
    ASSERT_EQ(GetMenuItemCount(tray), 3);
    EXPECT_EQ(MenuText(tray, 2), "&C");
    EXPECT_TRUE(b.Scripts().empty());
}

TEST(MenuHolder, MenuBarRebuiltWhileOpenWaitsForItsLoopToEnd)
{
    MenuBench b;
    ShowWindow(b.Main.Handle(), SW_SHOWNORMAL);
    ASSERT_EQ(b.Send(12001, R"({"items": "[{\"id\": 1, \"caption\": \"Go\"}]"})"), kOk);
    const HMENU open = GetMenu(b.Main.Handle());
    const UINT oldCommand = GetMenuItemID(open, 0);
    SendMessageW(b.Main.Handle(), WM_ENTERMENULOOP, FALSE, 0); // as the menu bar's loop begins
    ASSERT_EQ(b.Send(12001, R"({"items": "[{\"id\": 2, \"caption\": \"A\"}, {\"id\": 3, \"caption\": \"B\"}]"})"), kOk);
    EXPECT_EQ(GetMenu(b.Main.Handle()), open);
    EXPECT_TRUE(IsMenu(open));
    EXPECT_EQ(GetMenuItemCount(open), 1);
    // The item chosen in the open menu still reports; the swap waits for the loop's end.
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(oldCommand, 0), 0);
    SendMessageW(b.Main.Handle(), WM_EXITMENULOOP, FALSE, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    const HMENU now = GetMenu(b.Main.Handle());
    EXPECT_NE(now, open);
    ASSERT_EQ(GetMenuItemCount(now), 2);
    EXPECT_EQ(MenuText(now, 1), "&B");
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(oldCommand, 0), 0); // stale now
    SendMessageW(b.Main.Handle(), WM_COMMAND, MAKEWPARAM(GetMenuItemID(now, 1), 0), 0);
    EXPECT_EQ(b.Scripts(), (std::vector<std::string>{"kiv.events.onMainMenuItemClick(\"1\");",
                                                     "kiv.events.onMainMenuItemClick(\"3\");"}));
}

namespace {

// A holder freed from inside its own tray menu's loop, as the main window's close frees
// it when the page asks to close while the menu is open. Its storage is ours to watch.
struct TFreedHolderProbe {
    alignas(TBrowserExternalForm) unsigned char Storage[sizeof(TBrowserExternalForm)];
    TBrowserExternalForm* Holder = nullptr;
    std::unique_ptr<Bridge::TBrowserExternalModule> Module;
    bool Ran = false;
} g_freed;

void CALLBACK CloseWhileShown(HWND, UINT, UINT_PTR timer, DWORD) noexcept
{
    KillTimer(nullptr, timer);
    g_freed.Ran = true;
    g_freed.Module.reset(); // the bridge first, then the holder, as the window's close does
    g_freed.Holder->~TBrowserExternalForm();
    std::memset(g_freed.Storage, 0xCC, sizeof g_freed.Storage);
    EndMenu();
}

} // namespace

TEST(MenuHolder, FreedWhileItsTrayMenuIsOpen)
{
    FolioTest::TempDir dir;
    TTestMainWindow main;
    ASSERT_TRUE(main.Create(L"FolioMenuTestMain", u"Menus", WS_OVERLAPPEDWINDOW, 0, 60, 60, 420, 240));
    Probe::TStandIns standIns;
    g_freed = {};
    g_freed.Holder = new (g_freed.Storage) TBrowserExternalForm();
    ASSERT_TRUE(g_freed.Holder->CreateForm(main.Handle(), u"Tip"));
    FolioTest::WriteFile(dir / "index.html", "<p>page</p>");
    auto ports = standIns.Ports(Platform::SystemFileSystem(), dir.Path().u16string() + u"\\");
    ports.Menus = g_freed.Holder;
    g_freed.Module = std::make_unique<Bridge::TBrowserExternalModule>(ports);
    g_freed.Module->EdgeBrowserWebMessageReceived(
        uR"({"id": 14003, "uuid": "u", "data": {"items": "[{\"id\": 1, \"caption\": \"Show\"}]"}})", u"file:///index.html");
    ASSERT_EQ(GetMenuItemCount(g_freed.Holder->TrayMenuHandle()), 1);
    const HWND holder = g_freed.Holder->Handle();

    ASSERT_NE(SetTimer(nullptr, 0, 200, &CloseWhileShown), 0u);
    SendMessageW(holder, TBrowserExternalForm::kTrayMessage, 1, WM_RBUTTONUP); // the menu opens; the timer frees its holder
    ASSERT_TRUE(g_freed.Ran);
    EXPECT_FALSE(IsWindow(holder));
    EXPECT_EQ(std::count(std::begin(g_freed.Storage), std::end(g_freed.Storage), 0xCC), std::ptrdiff_t(sizeof g_freed.Storage))
        << "the freed holder was written to when its menu's loop ended";
    EXPECT_TRUE(standIns.Browser.Scripts.empty());
}

namespace {

// A grey PNG of width x height, its rows deflated as they are made: a few kilobytes
// that declare as many pixels as one likes.
std::vector<uint8_t> GreyPng(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> idat;
    z_stream z{};
    deflateInit(&z, 9);
    std::vector<uint8_t> row(width + 1, 0x80), out(1 << 16);
    row[0] = 0; // filter: none
    for (uint32_t y = 0; y <= height; ++y) {
        z.next_in = y < height ? row.data() : nullptr;
        z.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        int status = Z_OK;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            status = deflate(&z, y < height ? Z_NO_FLUSH : Z_FINISH);
            idat.insert(idat.end(), out.data(), out.data() + (out.size() - z.avail_out));
        } while (z.avail_out == 0 || (y == height && status != Z_STREAM_END));
    }
    deflateEnd(&z);
    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&png](const char* type, const std::vector<uint8_t>& data) {
        const auto be32 = [&png](uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8) {
                png.push_back(static_cast<uint8_t>(v >> shift));
            }
        };
        be32(static_cast<uint32_t>(data.size()));
        const size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        be32(static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
    };
    std::vector<uint8_t> header;
    for (const uint32_t v : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            header.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    header.insert(header.end(), {8, 0, 0, 0, 0}); // 8-bit grey, deflate, filter 0, no interlace
    chunk("IHDR", header);
    chunk("IDAT", idat);
    chunk("IEND", {});
    return png;
}

} // namespace

TEST(MenuHolder, ImagesTooLargeForAMenuAreNone)
{
    // Decoding is paid by the declared size: a 30000 pixel square held the window for
    // half a minute under Wine. An item image is a handful of pixels; a photo is none.
    EXPECT_NE(Runtime::DecodeMenuImage(GreyPng(256, 256), 16), nullptr);
    EXPECT_EQ(Runtime::DecodeMenuImage(GreyPng(8192, 8192), 16), nullptr);
    EXPECT_EQ(Runtime::DecodeMenuImage(GreyPng(60000, 1), 16), nullptr);
}
