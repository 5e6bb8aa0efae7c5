// The style engine on a real Win32 under Xvfb: the themes found among this program's
// own resources, and a switch of theme repainting the windows the runtime shows (a
// plain window with an edit field, the password prompt, the installer's wait window,
// the message dialog, the page's menu bar) with the palette, read back from the screen. Screenshots of the
// themed dialog go to build/artifacts.
#include "runtime/LocalizedMessages.h"
#include "runtime/win32/EdgeInstallerForm.h"
#include "runtime/win32/RequirePasswordForm.h"
#include "tests/wine/Screenshot.h"
#include "ui/themes/win32/StyleEngine.h"
#include "ui/win32/BrowserExternalForm.h"
#include "ui/win32/MenuRenderer.h"
#include "util/PngWriter.h"
#include "ui/themes/win32/ThemedPainting.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <thread>

using namespace Folio;

namespace {

const std::filesystem::path kArtifacts = FOLIO_ARTIFACTS_DIR;

// Handles what arrives for a while: the posted notices of a switch, the repaints.
void Pump(int rounds = 30)
{
    for (int i = 0; i < rounds; ++i) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

// The screen's colour at a point of a window's client area, as GDI writes colours.
uint32_t ClientPixel(HWND window, int x, int y)
{
    POINT at{x, y};
    ClientToScreen(window, &at);
    const uint32_t rgb = Folio::Test::CaptureScreen({at.x, at.y, at.x + 1, at.y + 1}).at(0);
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
}

std::vector<std::u16string>& Errors()
{
    static std::vector<std::u16string> errors;
    return errors;
}

struct ThemeEngine : ::testing::Test {
    static void SetUpTestSuite()
    {
        Ui::InstallStyleEngine([](const std::u16string& message) { Errors().push_back(message); });
    }
    void TearDown() override { Ui::StyleManager().TrySetStyle(u"Windows", false); }

    // The palette's colours, or the system's for the system look.
    static uint32_t Ground(const char16_t* theme)
    {
        const auto* p = Ui::ActivePalette();
        EXPECT_EQ(Ui::StyleManager().GetActiveTheme(), theme);
        return p ? p->Window : GetSysColor(COLOR_WINDOW);
    }
};

} // namespace

TEST_F(ThemeEngine, FindsTheThemesAmongTheProgramsResources)
{
    const auto names = Ui::StyleManager().GetAvailables(true);
    ASSERT_EQ(names.size(), 40u);
    EXPECT_EQ(names.front(), u"Amakrits");
    EXPECT_EQ(names[names.size() - 7], u"Windows");
    EXPECT_EQ(names.back(), u"Windows10 SlateGray");
    EXPECT_FALSE(Ui::StyleManager().TrySetStyle(u"Nope", true));
    EXPECT_EQ(Errors(), std::vector<std::u16string>{u"Style 'Nope' not found"});
}

TEST_F(ThemeEngine, SwitchRepaintsWindowsAndTheirFields)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"FolioThemeProbe";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"FolioThemeProbe", L"Probe", WS_POPUP | WS_VISIBLE, 40, 40, 200, 120, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 100, 10, 90, 40, window, nullptr, wc.hInstance,
                                nullptr);
    // The password prompt, created hidden: a switch reaches hidden windows at once.
    Runtime::TRequirePasswordForm prompt;
    ASSERT_TRUE(prompt.CreateForm());
    Runtime::TEdgeInstallerForm wait;
    ASSERT_TRUE(wait.Create(0x00FFFFFF, 0, 0));
    SetWindowPos(wait.Handle(), nullptr, 300, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    wait.Show();
    Pump();

    const char16_t* themes[] = {u"Windows", u"Carbon", u"Light", u"Cyan Dusk", u"Auric", u"Windows"};
    for (const char16_t* theme : themes) {
        SCOPED_TRACE(Shared::Utf16ToUtf8(theme));
        ASSERT_TRUE(Ui::StyleManager().TrySetStyle(theme, false));
        ShowWindow(prompt.Handle(), SW_SHOWNOACTIVATE);
        Pump();
        const auto* p = Ui::ActivePalette();
        EXPECT_EQ(ClientPixel(window, 20, 100), Ground(theme));
        EXPECT_EQ(ClientPixel(edit, 60, 30), p ? p->Control : GetSysColor(COLOR_WINDOW));
        EXPECT_EQ(ClientPixel(prompt.Handle(), 2, 2), p ? p->Window : GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(ClientPixel(wait.Handle(), 3, 3), p ? p->Window : 0x00FFFFFF);
        if (std::u16string_view(theme) == u"Carbon") {
            Folio::Test::SaveScreenshot(prompt.Handle(), kArtifacts / "themed-password-prompt-Carbon.png");
            Folio::Test::SaveScreenshot(wait.Handle(), kArtifacts / "themed-wait-window-Carbon.png");
        }
        ShowWindow(prompt.Handle(), SW_HIDE);
    }
    DestroyWindow(window);
}

TEST_F(ThemeEngine, MessageDialogWearsThePalette)
{
    for (const char16_t* theme : {u"Windows10 Dark", u"Sky"}) {
        ASSERT_TRUE(Ui::StyleManager().TrySetStyle(theme, false));
        const uint32_t ground = Ui::ActivePalette()->Window;
        const std::u16string caption = u"Themed " + std::u16string(theme);
        uint32_t seen = 0;
        std::thread helper([&] {
            HWND dialog = nullptr;
            for (int i = 0; i < 400 && !dialog; ++i) {
                Sleep(25);
                dialog = FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(caption.c_str()));
            }
            if (!dialog) {
                return;
            }
            Sleep(400); // let it paint
            RECT client;
            GetClientRect(dialog, &client);
            seen = ClientPixel(dialog, 2, client.bottom - 3);
            std::string file = "themed-dialog-" + Shared::Utf16ToUtf8(theme) + ".png";
            std::replace(file.begin(), file.end(), ' ', '-');
            Folio::Test::SaveScreenshot(dialog, kArtifacts / file);
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
        Runtime::ShowLocalizedDialog(u"The page asked for a look of its own.", Runtime::TMsgDlgType::mtInformation,
                                     {Runtime::TMsgDlgBtn::mbOK}, caption, {});
        helper.join();
        EXPECT_EQ(seen, ground) << Shared::Utf16ToUtf8(theme);
    }
}

TEST_F(ThemeEngine, PopupMenusKeepTheSystemLook)
{
    ASSERT_TRUE(Ui::StyleManager().TrySetStyle(u"Obsidian", false));
    HWND owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP | WS_VISIBLE, 40, 200, 100, 40, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"First");
    AppendMenuW(menu, MF_STRING, 2, L"Second");
    bool menuSeen = false, menuThemed = true;
    std::thread helper([&] {
        HWND popup = nullptr;
        for (int i = 0; i < 400 && !popup; ++i) {
            Sleep(25);
            popup = FindWindowW(L"#32768", nullptr);
        }
        if (popup) {
            menuSeen = true;
            menuThemed = GetPropW(popup, L"Folio.Themed") != nullptr;
            PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        }
        Sleep(200);
        PostMessageW(owner, WM_CANCELMODE, 0, 0);
    });
    SetForegroundWindow(owner);
    TrackPopupMenu(menu, TPM_LEFTALIGN, 60, 220, 0, owner, nullptr);
    helper.join();
    DestroyMenu(menu);
    EXPECT_TRUE(menuSeen);
    EXPECT_FALSE(menuThemed);
    // The owner, a top-level window created after the engine, is themed.
    EXPECT_NE(GetPropW(owner, L"Folio.Themed"), nullptr);
    DestroyWindow(owner);
}

namespace {

int gNotices[2] = {}; // hidden window, visible window

LRESULT CALLBACK CountNotices(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == Ui::PaletteChangedMessage()) {
        ++gNotices[GetWindowLongPtrW(window, GWLP_ID) == 0 ? 0 : 1];
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST_F(ThemeEngine, HiddenWindowsAreToldAtOnceVisibleOnesThroughTheirQueue)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = CountNotices;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FolioThemeNotices";
    RegisterClassW(&wc);
    HWND hidden = CreateWindowExW(0, wc.lpszClassName, L"Hidden", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    HWND visible = CreateWindowExW(0, wc.lpszClassName, L"Visible", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                   nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(visible, GWLP_ID, 1);
    Pump(5);
    ASSERT_TRUE(Ui::StyleManager().TrySetStyle(u"Glossy", false));
    EXPECT_EQ(gNotices[0], 1);
    EXPECT_EQ(gNotices[1], 0);
    Pump(5);
    EXPECT_EQ(gNotices[1], 1);
    ASSERT_TRUE(Ui::StyleManager().TrySetStyle(u"glossy", false)); // active already: nobody is told
    Pump(5);
    EXPECT_EQ(gNotices[0] + gNotices[1], 2);
    DestroyWindow(hidden);
    DestroyWindow(visible);
}

namespace {

class TMenuBarWindow final : public Win32::TWindow {
public:
    Runtime::TBrowserExternalForm* Menus = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (Menus && Menus->MainWindowMessage(message, wParam, lParam)) {
            return 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
};

bool OwnerDrawn(HMENU menu, UINT position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(menu, position, TRUE, &info) && (info.fType & MFT_OWNERDRAW);
}

std::string Caption(HMENU menu, UINT position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
    return Shared::Utf16ToUtf8(Win32::U16(text));
}

// How many pixels of an item on the bar show a colour (0x00BBGGRR).
size_t PixelsOf(HWND window, HMENU bar, UINT position, uint32_t colour)
{
    RECT item{};
    if (!GetMenuItemRect(window, bar, position, &item)) {
        return 0;
    }
    const uint32_t rgb = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    const auto pixels = Folio::Test::CaptureScreen(item);
    return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), rgb));
}

// Asks for every item of a custom-drawn control, as list views with coloured rows do.
LRESULT CALLBACK AsksForItemDraw(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
        return CDRF_NOTIFYITEMDRAW;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST_F(ThemeEngine, MenuBarCaptionsWearThePaletteAndDropDownsDoNot)
{
    TMenuBarWindow main;
    Runtime::TBrowserExternalForm holder;
    ASSERT_TRUE(main.Create(L"FolioMenuBarProbe", u"Menu bar", WS_OVERLAPPEDWINDOW, 0, 40, 40, 360, 160));
    ASSERT_TRUE(holder.CreateForm(main.Handle(), u"Tip"));
    main.Menus = &holder;
    ShowWindow(main.Handle(), SW_SHOWNORMAL);
    holder.AttachMainMenu();
    std::vector<uint8_t> red(12 * 12 * 4);
    for (size_t i = 0; i < 144; ++i) {
        red[i * 4] = 255, red[i * 4 + 3] = 255;
    }
    const std::string png = Shared::EncodePng(12, 12, red.data());
    const auto image = holder.DecodeImage({reinterpret_cast<const uint8_t*>(png.data()), png.size()});
    ASSERT_NE(image, nullptr);
    using Platform::TMenuNode;
    const std::vector<TMenuNode> items{{1, u"&File", true, true, image, {{2, u"&Open"}}},
                                       {3, u"&Help"},
                                       {4, u"&Gone", false}};
    holder.SetMenu(Platform::TMenuKind::Main, items);

    // Set under the system look, themed by the switch; set again under the theme; back.
    struct TStep {
        const char16_t* Theme;
        bool Rebuild;
    };
    for (const TStep step : {TStep{u"Windows", false}, TStep{u"Carbon", false}, TStep{u"Carbon", true},
                             TStep{u"Windows", false}}) {
        SCOPED_TRACE(Shared::Utf16ToUtf8(step.Theme) + (step.Rebuild ? " rebuilt" : ""));
        ASSERT_TRUE(Ui::StyleManager().TrySetStyle(step.Theme, false));
        if (step.Rebuild) {
            holder.SetMenu(Platform::TMenuKind::Main, items);
        }
        Pump();
        const HMENU bar = GetMenu(main.Handle());
        ASSERT_EQ(bar, holder.MainMenuHandle());
        const Ui::TPalette* p = Ui::ActivePalette();
        for (UINT i = 0; i < 3; ++i) {
            EXPECT_EQ(OwnerDrawn(bar, i), p != nullptr) << i;
            EXPECT_FALSE(OwnerDrawn(GetSubMenu(bar, 0), 0)); // the drop-down keeps the system look
        }
        EXPECT_EQ(Caption(bar, 0), "&File");
        EXPECT_EQ(Caption(bar, 2), "&Gone");
        if (!p) {
            continue;
        }
        ASSERT_TRUE(p->Dark);
        EXPECT_GT(PixelsOf(main.Handle(), bar, 1, p->MenuText), 0u);
        EXPECT_GT(PixelsOf(main.Handle(), bar, 1, p->MenuBar), 0u);
        EXPECT_GT(PixelsOf(main.Handle(), bar, 0, 0x000000FF), 0u); // the item's image
        EXPECT_EQ(PixelsOf(main.Handle(), bar, 2, p->MenuText), 0u); // disabled: greyed
        EXPECT_GT(PixelsOf(main.Handle(), bar, 2, p->MenuBar), 0u);
        if (step.Rebuild) {
            Folio::Test::SaveScreenshot(main.Handle(), kArtifacts / "themed-menu-bar-Carbon.png");
            HiliteMenuItem(main.Handle(), bar, 1, MF_BYPOSITION | MF_HILITE); // as when it is opened
            Pump(5);
            EXPECT_GT(PixelsOf(main.Handle(), bar, 1, p->Highlight), 0u);
            EXPECT_GT(PixelsOf(main.Handle(), bar, 1, p->HighlightText), 0u);
            EXPECT_EQ(PixelsOf(main.Handle(), bar, 1, p->MenuBar), 0u);
            HiliteMenuItem(main.Handle(), bar, 1, MF_BYPOSITION | MF_UNHILITE);
        }
    }
}

TEST_F(ThemeEngine, CustomDrawOfOtherControlsReachesTheWindow)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = AsksForItemDraw;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FolioThemeCustomDraw";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Custom draw", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window, nullptr, wc.hInstance, nullptr);
    for (const char16_t* theme : {u"Windows", u"Carbon"}) {
        ASSERT_TRUE(Ui::StyleManager().TrySetStyle(theme, false));
        NMCUSTOMDRAW draw{};
        draw.hdr = {control, 0, static_cast<UINT>(NM_CUSTOMDRAW)};
        draw.dwDrawStage = CDDS_PREPAINT;
        EXPECT_EQ(SendMessageW(window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)), CDRF_NOTIFYITEMDRAW)
            << Shared::Utf16ToUtf8(theme);
    }
    DestroyWindow(window);
}

namespace {

// Switches back to the system look while its title changes, as a page may while the
// user drags the window (the system's move loop dispatches the page's messages).
LRESULT CALLBACK SwitchesOnSetText(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT) {
        const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
        Ui::StyleManager().TrySetStyle(u"Windows", false);
        Pump(3); // the notice of the switch arrives while the system's loop still runs
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

uint32_t WindowPixel(HWND window, int x, int y)
{
    RECT outer;
    GetWindowRect(window, &outer);
    return Folio::Test::CaptureScreen({outer.left + x, outer.top + y, outer.left + x + 1, outer.top + y + 1}).at(0);
}

} // namespace

TEST_F(ThemeEngine, FramePaintedDuringASwitchWearsTheNewLook)
{
    if (!Ui::PaintsFrames()) {
        GTEST_SKIP() << "the desktop window manager paints the frames here";
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = SwitchesOnSetText;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FolioThemeSwitchInFrame";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Before", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 240, 120,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    // A window with a region of its own is framed by Wine itself, not by an X window
    // manager, so its frame can be read back from the screen.
    SetWindowRgn(window, CreateRectRgn(0, 0, 240, 120), TRUE);
    Pump();
    const int x = 120, y = GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    const uint32_t system = WindowPixel(window, x, y); // the caption as the system paints it
    ASSERT_TRUE(Ui::StyleManager().TrySetStyle(u"Carbon", false));
    Pump();
    ASSERT_NE(WindowPixel(window, x, y), system);
    SetWindowTextW(window, L"After"); // the window's procedure switches back to "Windows"
    EXPECT_EQ(Ui::StyleManager().GetActiveTheme(), u"Windows");
    Pump();
    EXPECT_EQ(WindowPixel(window, x, y), system);
    DestroyWindow(window);
}

namespace {

// The colours a push button's custom-draw notice leaves on a bitmap of the button's size.
std::vector<uint32_t> DrawnButton(HWND button, UINT itemState, const Ui::TPalette& palette)
{
    RECT box;
    GetClientRect(button, &box);
    std::vector<uint32_t> seen;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, box.right, box.bottom);
    const HGDIOBJ old = SelectObject(dc, bitmap);
    NMCUSTOMDRAW draw{};
    draw.hdr = {button, 0, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.dwDrawStage = CDDS_PREPAINT;
    draw.hdc = dc;
    draw.rc = box;
    draw.uItemState = itemState;
    EXPECT_EQ(Ui::DrawButton(draw, palette), CDRF_SKIPDEFAULT);
    for (int y = 0; y < box.bottom; ++y) {
        for (int x = 0; x < box.right; ++x) {
            seen.push_back(GetPixel(dc, x, y));
        }
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return seen;
}

} // namespace

TEST_F(ThemeEngine, DisabledPushButtonsLookDisabled)
{
    ASSERT_TRUE(Ui::StyleManager().TrySetStyle(u"Carbon", false));
    const Ui::TPalette palette = *Ui::ActivePalette();
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"MMMM", WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_PUSHBUTTON, 0, 0, 80,
                                  24, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    const auto enabled = DrawnButton(button, 0, palette);
    const auto disabled = DrawnButton(button, CDIS_DISABLED, palette);
    EXPECT_NE(std::count(enabled.begin(), enabled.end(), palette.ControlText), 0); // the text is there
    EXPECT_EQ(std::count(disabled.begin(), disabled.end(), palette.ControlText), 0);
    EXPECT_NE(disabled, enabled);
    DestroyWindow(owner);
}
