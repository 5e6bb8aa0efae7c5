// The start-up windows on a real Win32 under Xvfb. The password prompt is driven by real
// key presses (SendInput) from a helper thread while its own modal loop runs; the
// installer's wait window is checked for its window and class styles, region, cursor,
// colours read back from the screen, and a busy animation that moves while messages are
// pumped. Screenshots of both go to build/artifacts.
#include "platform/win32/SettingColor.h"
#include "runtime/MessageDialog.h"
#include "runtime/win32/EdgeInstallerForm.h"
#include "runtime/win32/RequirePasswordForm.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace Folio::Runtime;

namespace {

const std::filesystem::path kArtifacts = FOLIO_ARTIFACTS_DIR;

// Waits (a bounded while, so a fault fails instead of hanging) until `done` holds.
bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 400; ++i) {
        if (done()) {
            return true;
        }
        Sleep(25);
    }
    return done();
}

// Pumps this thread's messages until `done` holds (bounded as WaitFor).
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

INPUT Key(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Key presses for `text`. Besides printable characters: '\b' Backspace, '\r' Enter,
// '\x1b' Escape, '\x04' Alt+F4, '\x16' Ctrl+V; '\x02' holds the next key down until
// the one after it is pressed too, as a quick typist does ("\x02wx": w down, x down,
// w up, x up).
std::vector<INPUT> KeysFor(const std::wstring& text)
{
    struct Stroke {
        std::vector<INPUT> Down, Up;
    };
    auto strokeFor = [](wchar_t c) -> Stroke {
        auto chord = [](WORD modifier, WORD vk) {
            return Stroke{{Key(modifier, false), Key(vk, false)}, {Key(vk, true), Key(modifier, true)}};
        };
        switch (c) {
        case L'\b': return {{Key(VK_BACK, false)}, {Key(VK_BACK, true)}};
        case L'\r': return {{Key(VK_RETURN, false)}, {Key(VK_RETURN, true)}};
        case L'\x1b': return {{Key(VK_ESCAPE, false)}, {Key(VK_ESCAPE, true)}};
        case L'\x04': return chord(VK_MENU, VK_F4);
        case L'\x16': return chord(VK_CONTROL, 'V');
        default: break;
        }
        const SHORT scan = VkKeyScanW(c);
        const WORD vk = LOBYTE(scan);
        return (HIBYTE(scan) & 1) ? chord(VK_SHIFT, vk) : Stroke{{Key(vk, false)}, {Key(vk, true)}};
    };
    std::vector<INPUT> keys;
    bool holdNext = false;
    std::vector<INPUT> held;
    for (const wchar_t c : text) {
        if (c == L'\x02') {
            holdNext = true;
            continue;
        }
        const Stroke stroke = strokeFor(c);
        keys.insert(keys.end(), stroke.Down.begin(), stroke.Down.end());
        if (holdNext) {
            held = stroke.Up;
            holdNext = false;
            continue;
        }
        keys.insert(keys.end(), held.begin(), held.end());
        held.clear();
        keys.insert(keys.end(), stroke.Up.begin(), stroke.Up.end());
    }
    keys.insert(keys.end(), held.begin(), held.end());
    return keys;
}

// Drops key messages left in this thread's queue when a prompt closed before all the
// typed keys reached it, so that they do not land in the next one.
void DropLeftoverKeys()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

HWND FindPrompt(const std::u16string& caption)
{
    HWND form = nullptr;
    WaitFor([&] {
        form = FindWindowW(L"FolioRequirePasswordForm", reinterpret_cast<const wchar_t*>(caption.c_str()));
        return form && IsWindowVisible(form) && GetForegroundWindow() == form;
    });
    return form;
}

struct PromptRun {
    int Result = -1;
    bool Found = false;
    std::u16string TextAtEnd; // what the box held when the prompt closed
};

// Shows the prompt modally on this thread; a helper thread types `typed` into it and
// then runs `then` (screenshots, a close request) while the prompt is still up.
PromptRun RunPrompt(const std::u16string& password, const std::wstring& typed,
                    const std::function<void(HWND)>& then = {})
{
    static int run = 0;
    const std::u16string caption = u"Folio password " + std::u16string(1, static_cast<char16_t>(u'A' + run++ % 26));
    TRequirePasswordForm form;
    form.SetCaption(caption);
    form.SetPassword(password);
    PromptRun seen;
    std::thread helper([&] {
        const HWND prompt = FindPrompt(caption);
        if (!prompt) {
            return;
        }
        seen.Found = true;
        std::vector<INPUT> keys = KeysFor(typed);
        if (!keys.empty()) {
            SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
        }
        if (then) {
            then(prompt);
        }
    });
    seen.Result = form.ShowModal();
    helper.join();
    DropLeftoverKeys();
    seen.TextAtEnd = form.PasswordText();
    return seen;
}

} // namespace

TEST(RequirePasswordForm, KeyReleasesAgainstThePassword)
{
    // '\x04' (Alt+F4) at the end closes a prompt that is still open, after every key
    // before it: a result of 2 shows that none of those key releases accepted the text.
    struct Case {
        const char* Name;
        std::u16string Password;
        std::wstring Typed;
        int Result;
        std::u16string TextAtEnd;
    };
    const Case cases[] = {
        {"typed exactly", u"Open Sesame 7", L"Open Sesame 7", mrOk, u"Open Sesame 7"},
        // The x pressed before the w is released: at no key release is the text "pw".
        {"one character more", u"pw", L"p\x02wx\x04", mrCancel, u"pwx"},
        {"the extra one deleted", u"pw", L"p\x02wx\b", mrOk, u"pw"},
        {"one letter in another case", u"Secret", L"secret\x04", mrCancel, u"secret"},
        {"trailing blank missing", u"pass ", L"pass\x04", mrCancel, u"pass"},
        {"trailing blank typed", u"pass ", L"pass ", mrOk, u"pass "},
        {"Enter with wrong text does nothing", u"abcd", L"abc\rd", mrOk, u"abcd"},
        {"Escape does nothing", u"abcd", L"abc\x1b" L"d", mrOk, u"abcd"},
        {"Alt+F4", u"abcd", L"ab\x04", mrCancel, u"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const PromptRun run = RunPrompt(c.Password, c.Typed);
        ASSERT_TRUE(run.Found);
        EXPECT_EQ(run.Result, c.Result);
        EXPECT_EQ(run.TextAtEnd, c.TextAtEnd);
    }
}

TEST(RequirePasswordForm, PastingWithCtrlVClosesAtTheKeyRelease)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const wchar_t text[] = L"from the clipboard";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    memcpy(GlobalLock(memory), text, sizeof text);
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();

    const PromptRun run = RunPrompt(u"from the clipboard", L"\x16");
    ASSERT_TRUE(run.Found);
    EXPECT_EQ(run.Result, mrOk);
}

TEST(RequirePasswordForm, CloseBoxGivesAnotherResult)
{
    for (const auto& [message, wParam] : {std::pair<UINT, WPARAM>{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}}) {
        const PromptRun run = RunPrompt(u"secret", L"", [message = message, wParam = wParam](HWND prompt) {
            PostMessageW(prompt, message, wParam, 0);
        });
        ASSERT_TRUE(run.Found);
        EXPECT_EQ(run.Result, mrCancel) << "message " << message;
    }
}

TEST(RequirePasswordForm, AskApplicationPasswordIsTrueOnlyForThePassword)
{
    for (const auto& [typed, expected] : {std::pair<std::wstring, bool>{L"letmein", true}, {L"letmeout\x04", false}}) {
        bool found = false;
        std::thread helper([&, typed = typed] {
            if (FindPrompt(u"Folio app")) {
                found = true;
                std::vector<INPUT> keys = KeysFor(typed);
                SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
            }
        });
        EXPECT_EQ(AskApplicationPassword(u"Folio app", u"letmein"), expected);
        helper.join();
        DropLeftoverKeys();
        EXPECT_TRUE(found);
    }
}

TEST(RequirePasswordForm, LayoutMaskAndFrame)
{
    TRequirePasswordForm form;
    form.SetCaption(u"Folio layout");
    ASSERT_TRUE(form.CreateForm());
    const HWND window = form.Handle();
    const UINT dpi = Folio::Win32::WindowDpi(window);
    auto scale = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, scale(308));
    EXPECT_EQ(client.bottom, scale(71));
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    wchar_t caption[32] = {};
    GetWindowTextW(window, caption, 32);
    EXPECT_STREQ(caption, L"Folio layout");

    // Centred on the screen's work area.
    RECT frame;
    GetWindowRect(window, &frame);
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_NEAR((frame.left + frame.right) / 2, (monitor.rcWork.left + monitor.rcWork.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 1);

    const HWND edit = form.PasswordEdit();
    ASSERT_NE(edit, nullptr);
    RECT box;
    GetWindowRect(edit, &box);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    EXPECT_EQ(box.left, scale(24));
    EXPECT_EQ(box.top, scale(24));
    EXPECT_EQ(box.right - box.left, scale(257));
    EXPECT_EQ(box.bottom - box.top, scale(21));
    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_PASSWORD);
    EXPECT_FALSE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_MULTILINE);
    EXPECT_EQ(SendMessageW(edit, EM_GETPASSWORDCHAR, 0, 0), L'*');

    // The key sits inside the box's left edge and the text starts after it.
    const HWND key = form.KeyButton();
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(GetParent(key), edit);
    RECT keyBox;
    GetWindowRect(key, &keyBox);
    MapWindowPoints(nullptr, edit, reinterpret_cast<POINT*>(&keyBox), 2);
    EXPECT_EQ(keyBox.left, 0);
    EXPECT_GE(LOWORD(SendMessageW(edit, EM_GETMARGINS, 0, 0)), keyBox.right);
}

TEST(RequirePasswordForm, Screenshot)
{
    const std::filesystem::path file = kArtifacts / "password-prompt.png";
    std::filesystem::remove(file);
    const PromptRun run = RunPrompt(u"secret", L"secr", [&](HWND prompt) {
        HWND edit = FindWindowExW(prompt, nullptr, L"Edit", nullptr);
        WaitFor([&] { return GetWindowTextLengthW(edit) == 4; });
        Sleep(300); // let it paint
        Folio::Test::SaveScreenshot(prompt, file);
        PostMessageW(prompt, WM_CLOSE, 0, 0);
    });
    ASSERT_TRUE(run.Found);
    EXPECT_EQ(run.Result, mrCancel);
    EXPECT_TRUE(std::filesystem::exists(file));
}

// --- the installer's wait window ---

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
