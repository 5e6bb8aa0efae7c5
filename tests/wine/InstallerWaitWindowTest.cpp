// The browser-runtime installer's wait window on a real Win32 under Xvfb: window and
// class styles, region, cursor, refused closing, placement, colours read back from the
// screen, and a busy animation that moves while messages are pumped; screenshots are
// kept in build/artifacts.
#include "platform/win32/SettingColor.h"
#include "runtime/win32/EdgeInstallerForm.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <functional>
#include <vector>

using namespace Folio::Runtime;

namespace {

const std::filesystem::path kArtifacts = FOLIO_ARTIFACTS_DIR;

// Pumps this thread's messages until `done` holds, for a bounded while so that a fault
// fails instead of hanging.
bool PumpUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 400 && !done(); ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done()) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 25, QS_ALLINPUT);
        }
    }
    return done();
}

// Paints the window now and gives the display a moment to show it before a capture.
void Settle(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    GdiFlush();
    for (int i = 0; i < 12; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 25, QS_ALLINPUT);
    }
}

} // namespace

TEST(SettingColor, SystemIndexOrRgb)
{
    struct Case {
        uint32_t Setting;
        COLORREF Expected;
    };
    const Case cases[] = {
        {0xFF00001A, GetSysColor(COLOR_HOTLIGHT)},
        {0xFF000005, GetSysColor(COLOR_WINDOW)},
        {0x000000FF, RGB(255, 0, 0)},
        {0x00336699, 0x00336699},
        {0x0100FF00, RGB(0, 255, 0)}, // a palette index's top byte is not kept
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Folio::Win32::ColorRefFromSetting(c.Setting), c.Expected) << std::hex << c.Setting;
    }
}

TEST(EdgeInstallerForm, WindowClassRegionCursorAndCloseRefused)
{
    TEdgeInstallerForm form;
    ASSERT_TRUE(form.Create(0xFF00001A, 1, 0));
    form.Show();
    const HWND window = form.Handle();

    // Exactly WS_POPUP as created; the system adds only WS_CLIPSIBLINGS (every top-level
    // window has it) and WS_VISIBLE once shown.
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS), WS_POPUP);
    EXPECT_TRUE(GetClassLongPtrW(window, GCL_STYLE) & CS_DROPSHADOW);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 80);
    EXPECT_EQ(client.bottom, 80);

    Folio::Win32::UniqueGdiObject region(CreateRectRgn(0, 0, 0, 0));
    const int kind = GetWindowRgn(window, static_cast<HRGN>(region.Get()));
    EXPECT_TRUE(kind == SIMPLEREGION || kind == COMPLEXREGION) << kind;
    EXPECT_FALSE(PtInRegion(static_cast<HRGN>(region.Get()), 0, 0)); // a rounded corner
    EXPECT_TRUE(PtInRegion(static_cast<HRGN>(region.Get()), 1, 1));
    EXPECT_TRUE(PtInRegion(static_cast<HRGN>(region.Get()), 40, 40));

    const HCURSOR appStarting = LoadCursorW(nullptr, IDC_APPSTARTING);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR)), appStarting);
    const HWND indicator = form.ActivityIndicator().Handle();
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(indicator, GCLP_HCURSOR)), appStarting);
    RECT at;
    GetWindowRect(indicator, &at);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
    EXPECT_EQ(at.left, 9);
    EXPECT_EQ(at.top, 8);
    EXPECT_EQ(at.right - at.left, 64);
    EXPECT_EQ(at.bottom - at.top, 64);

    SendMessageW(window, WM_CLOSE, 0, 0);
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); // what Alt+F4 becomes
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST(EdgeInstallerForm, CentredOnTheGivenWindowOrTheScreen)
{
    Folio::Win32::TWindow main;
    ASSERT_TRUE(main.Create(L"FolioTestMainWindow", u"main", WS_OVERLAPPEDWINDOW, 0, 100, 120, 500, 300));
    TEdgeInstallerForm onMain;
    ASSERT_TRUE(onMain.Create(0xFF00001A, 1, 0, main.Handle()));
    RECT r;
    GetWindowRect(onMain.Handle(), &r);
    EXPECT_EQ(r.left, 100 + (500 - 80) / 2);
    EXPECT_EQ(r.top, 120 + (300 - 80) / 2);

    TEdgeInstallerForm onScreen;
    ASSERT_TRUE(onScreen.Create(0xFF00001A, 1, 0, nullptr));
    GetWindowRect(onScreen.Handle(), &r);
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR((r.left + r.right) / 2, (monitor.rcWork.left + monitor.rcWork.right) / 2, 1);
    EXPECT_NEAR((r.top + r.bottom) / 2, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 1);
}

TEST(EdgeInstallerForm, BackgroundFromTheSetting)
{
    struct Case {
        uint32_t Setting;
        COLORREF Expected;
    };
    const Case cases[] = {{255, RGB(255, 0, 0)}, {0xFF00001A, GetSysColor(COLOR_HOTLIGHT)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Setting);
        TEdgeInstallerForm form;
        ASSERT_TRUE(form.Create(c.Setting, 1, 0));
        EXPECT_EQ(form.Color(), c.Expected);
        form.Show();
        Settle(form.Handle());
        RECT r;
        GetWindowRect(form.Handle(), &r);
        const std::vector<uint32_t> pixels = Folio::Test::CaptureScreen(r);
        ASSERT_EQ(pixels.size(), 80u * 80u);
        // Left of the indicator, and below it: only the background.
        const uint32_t expected = GetRValue(c.Expected) << 16 | GetGValue(c.Expected) << 8 | GetBValue(c.Expected);
        EXPECT_EQ(pixels[40 * 80 + 4], expected);
        EXPECT_EQ(pixels[76 * 80 + 40], expected);
    }
}

TEST(EdgeInstallerForm, IndicatorStylesAndColours)
{
    struct Case {
        int Color, Type;
        const wchar_t* Strip;
        int Frames;
    };
    const Case cases[] = {
        {1, 0, L"BUSY_DOTS_WHITE_64", 75},  {0, 1, L"BUSY_SECTOR_BLACK_64", 8}, {0, 2, L"BUSY_RING_BLACK_64", 16},
        {1, 2, L"BUSY_RING_WHITE_64", 16},  {7, 2, L"BUSY_RING_BLACK_64", 16},  // unknown colour: black
        {1, -1, L"BUSY_DOTS_WHITE_64", 75}, {1, 3, L"BUSY_DOTS_WHITE_64", 75},  // unknown style: dots
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "colour " << c.Color << " type " << c.Type);
        TEdgeInstallerForm form;
        ASSERT_TRUE(form.Create(255, c.Color, c.Type));
        EXPECT_EQ(form.ActivityIndicator().StripName(), c.Strip);
        EXPECT_EQ(form.ActivityIndicator().FrameCount(), c.Frames);
    }
}

TEST(EdgeInstallerForm, AnimatesWhileMessagesArePumped)
{
    TEdgeInstallerForm form;
    ASSERT_TRUE(form.Create(0xFF00001A, 1, 0));
    form.Show();
    const TActivityIndicator& indicator = form.ActivityIndicator();
    ASSERT_EQ(indicator.FrameCount(), 75);
    const int first = indicator.Frame();
    EXPECT_TRUE(PumpUntil([&] { return indicator.Frame() != first; }));
    const int second = indicator.Frame();
    EXPECT_TRUE(PumpUntil([&] { return indicator.Frame() != second; }));
}

TEST(EdgeInstallerForm, BlackSectorRingOnRedAndScreenshots)
{
    TEdgeInstallerForm form;
    ASSERT_TRUE(form.Create(255, 0, 2));
    form.Show();
    const int start = form.ActivityIndicator().Frame();
    PumpUntil([&] { return form.ActivityIndicator().Frame() != start; });
    Settle(form.Handle());
    RECT r;
    GetWindowRect(form.Handle(), &r);
    const std::vector<uint32_t> pixels = Folio::Test::CaptureScreen(r);
    ASSERT_EQ(pixels.size(), 80u * 80u);
    // The ring is drawn in black over red: no pixel is lighter or greener than the red,
    // and the solid head of the ring is there, black.
    int black = 0, foreign = 0;
    for (const uint32_t p : pixels) {
        const int red = (p >> 16) & 0xFF, green = (p >> 8) & 0xFF, blue = p & 0xFF;
        black += red < 40 && green < 40 && blue < 40;
        foreign += green > 8 || blue > 8;
    }
    EXPECT_GT(black, 30);
    // A ring, not dots: the middle of every other segment, all the way round, is darkened.
    for (int k = 0; k < 16; k += 2) {
        const double turn = (k + 0.39) / 16 * 2 * 3.14159265358979;
        const int x = 9 + 32 + static_cast<int>(std::lround(23.5 * std::sin(turn)));
        const int y = 8 + 32 - static_cast<int>(std::lround(23.5 * std::cos(turn)));
        EXPECT_LT((pixels[static_cast<size_t>(y) * 80 + x] >> 16) & 0xFF, 235u) << "segment " << k;
    }
    // Only the four rounded corners show what lies behind the window.
    EXPECT_LE(foreign, 8);
    Folio::Test::SaveScreenshot(form.Handle(), kArtifacts / "installer-wait-ring-black.png", 12);

    TEdgeInstallerForm standard;
    ASSERT_TRUE(standard.Create(0xFF00001A, 1, 0));
    standard.Show();
    Settle(standard.Handle());
    const std::filesystem::path file = kArtifacts / "installer-wait-dots-white.png";
    Folio::Test::SaveScreenshot(standard.Handle(), file, 12);
    EXPECT_TRUE(std::filesystem::exists(file));
}
