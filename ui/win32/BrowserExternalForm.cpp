// The hidden holder of the menu bar, the tray icon and the tray menu (see
// BrowserExternalForm.h). A menu in its modal loop is never destroyed under it: the
// new one waits until the loop ends, and commands of a replaced menu find nothing.
#include "ui/win32/BrowserExternalForm.h"

#include "ui/themes/win32/StyleEngine.h"
#include "ui/win32/MenuBarPainting.h"
#include "ui/win32/MenuRenderer.h"

#include <shellapi.h>

#include <algorithm>

namespace Folio::Runtime {

using Platform::TMenuKind;

namespace {

constexpr UINT kIconId = 1;
constexpr UINT kApplyPendingMessage = WM_APP + 1;

HICON ApplicationIcon()
{
    // Shared icons from LoadIconW are not destroyed.
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

} // namespace

TBrowserExternalForm::~TBrowserExternalForm()
{
    if (FTrayLoop) {
        // Freed from inside the tray menu's loop: the menu and its images stay with the
        // loop until it has ended.
        FTrayLoop->HolderAlive = false;
        FTrayLoop->Menu = std::move(FTray.Menu);
        FTrayLoop->Items = std::move(FTray.Items);
        EndMenu();
    }
    RemoveIcon();
    if (FPaletteListener) {
        Ui::RemovePaletteListener(FPaletteListener);
    }
    if (FAttached && FMainWindow && IsWindow(FMainWindow)) {
        ::SetMenu(FMainWindow, nullptr); // the bar is ours to destroy, not the window's
    }
    Destroy();
}

bool TBrowserExternalForm::CreateForm(HWND mainWindow, std::u16string tooltip)
{
    FMainWindow = mainWindow;
    FTooltip = std::move(tooltip);
    FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    if (!FPaletteListener) {
        FPaletteListener = Ui::AddPaletteListener([this](const Ui::TPalette* palette) { PaletteChanged(palette); });
    }
    return Create(L"FolioBrowserExternalForm", u"[Not visible form: intended to be used to place DPI aware controls]",
                  WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0);
}

std::shared_ptr<const Platform::TMenuImage> TBrowserExternalForm::DecodeImage(std::span<const uint8_t> bytes)
{
    return DecodeMenuImage(bytes, MenuImageSize(Win32::WindowDpi(FMainWindow ? FMainWindow : Handle())));
}

void TBrowserExternalForm::AttachMainMenu()
{
    if (FAttached || !FMainWindow) {
        return;
    }
    if (!FMain.Menu) {
        FMain.Menu.Reset(CreateMenu());
    }
    FAttached = ::SetMenu(FMainWindow, FMain.Menu.Get()) != FALSE;
    Ui::ThemeMenuBar(FMainWindow);
}

void TBrowserExternalForm::SetMenu(TMenuKind kind, const std::vector<Platform::TMenuNode>& items)
{
    TShownMenu& shown = kind == TMenuKind::Main ? FMain : FTray;
    if (shown.Open) {
        shown.Pending = items;
        return;
    }
    Swap(kind, items);
}

void TBrowserExternalForm::Swap(TMenuKind kind, const std::vector<Platform::TMenuNode>& items)
{
    TShownMenu& shown = kind == TMenuKind::Main ? FMain : FTray;
    Bridge::TMenuCommands commands = shown.Commands; // keeps counting; the old numbers go
    commands.Clear();
    Win32::UniqueMenu menu = RenderMenu(items, kind == TMenuKind::Main, commands);
    if (!menu) {
        return; // the system refused: the menu shown stays
    }
    if (kind == TMenuKind::Main) {
        SetBarOwnerDrawn(menu.Get(), Ui::ActivePalette() != nullptr);
    }
    if (kind == TMenuKind::Main && FAttached) {
        ::SetMenu(FMainWindow, menu.Get());
    }
    shown.Menu = std::move(menu); // the old menu goes first, then the images it showed
    shown.Items = items;
    shown.Commands = std::move(commands);
    if (kind == TMenuKind::Main && FAttached) {
        Ui::ThemeMenuBar(FMainWindow);
    }
}

void TBrowserExternalForm::ApplyPending()
{
    for (const TMenuKind kind : {TMenuKind::Main, TMenuKind::Tray}) {
        TShownMenu& shown = kind == TMenuKind::Main ? FMain : FTray;
        if (!shown.Open && shown.Pending) {
            const auto items = std::move(*shown.Pending);
            shown.Pending.reset();
            Swap(kind, items);
        }
    }
}

void TBrowserExternalForm::PaletteChanged(const Ui::TPalette* palette)
{
    // The system draws its captions in its own text colour, unreadable on a dark bar:
    // under a palette the bar's captions are ours to draw.
    if (FMain.Menu) {
        SetBarOwnerDrawn(FMain.Menu.Get(), palette != nullptr);
        if (FAttached) {
            Ui::ThemeMenuBar(FMainWindow); // the new background, and the bar measured again
        }
    }
}

bool TBrowserExternalForm::MainWindowMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ENTERMENULOOP:
        if (!wParam) { // the menu bar's loop, not a pop-up's
            FMain.Open = true;
        }
        return false;
    case WM_EXITMENULOOP:
        if (!wParam) {
            FMain.Open = false;
            // After the loop has quite ended, not from inside its last message.
            PostMessageW(Handle(), kApplyPendingMessage, 0, 0);
        }
        return false;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && lParam == 0) { // from a menu
            if (const auto id = FMain.Commands.Find(LOWORD(wParam))) {
                if (OnItemClick) {
                    OnItemClick(TMenuKind::Main, *id);
                }
            }
            return true; // a command of a replaced menu: nobody's
        }
        return false;
    // The window's bar rather than FMain's: a new bar is measured as it is set, before
    // FMain holds it.
    case WM_MEASUREITEM: {
        const HMENU bar = FAttached ? GetMenu(FMainWindow) : nullptr;
        return wParam == 0 && bar && MeasureBarItem(bar, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    }
    case WM_DRAWITEM: {
        const HMENU bar = FAttached ? GetMenu(FMainWindow) : nullptr;
        const Ui::TPalette* palette = Ui::ActivePalette();
        return wParam == 0 && bar && palette &&
               DrawBarItem(bar, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), *palette);
    }
    case WM_DESTROY:
        if (FAttached) {
            ::SetMenu(FMainWindow, nullptr);
            FAttached = false;
        }
        return false;
    default: return false;
    }
}

bool TBrowserExternalForm::AddIcon()
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = Handle();
    data.uID = kIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = ApplicationIcon();
    const size_t length = std::min<size_t>(FTooltip.size(), std::size(data.szTip) - 1);
    std::copy_n(FTooltip.begin(), length, data.szTip);
    return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TBrowserExternalForm::RemoveIcon() noexcept
{
    if (FIconShown) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof(data);
        data.hWnd = Handle();
        data.uID = kIconId;
        Shell_NotifyIconW(NIM_DELETE, &data);
        FIconShown = false;
    }
}

bool TBrowserExternalForm::ShowTrayIcon()
{
    if (!FIconShown) {
        FIconShown = Handle() && AddIcon();
    }
    return FIconShown;
}

bool TBrowserExternalForm::HideTrayIcon()
{
    if (!FIconShown) {
        return true;
    }
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = Handle();
    data.uID = kIconId;
    const bool removed = Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
    FIconShown = false;
    // A window hidden behind its tray icon has no other way back.
    if (FMainWindow && !IsWindowVisible(FMainWindow)) {
        ShowWindow(FMainWindow, IsIconic(FMainWindow) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(FMainWindow);
    }
    return removed;
}

void TBrowserExternalForm::TrayNotify(UINT event)
{
    switch (event) {
    case WM_LBUTTONDOWN: FLeftDown = true; break;
    case WM_LBUTTONDBLCLK: FLeftDown = false; break; // the double click's first half was the click
    case WM_LBUTTONUP:
        if (std::exchange(FLeftDown, false) && OnTrayIconClick) {
            OnTrayIconClick();
        }
        break;
    case WM_RBUTTONUP: ShowTrayMenu(); break;
    default: break;
    }
}

void TBrowserExternalForm::ShowTrayMenu()
{
    if (FTray.Open || !FTray.Menu) {
        return;
    }
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its window is in front.
    SetForegroundWindow(Handle());
    FTray.Open = true;
    const auto loop = std::make_shared<TTrayLoop>();
    FTrayLoop = loop;
    const auto command = static_cast<UINT>(TrackPopupMenuEx(
        FTray.Menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, Handle(), nullptr));
    if (!loop->HolderAlive) {
        return; // this object is gone; the menu goes with the last reference to the loop
    }
    FTrayLoop.reset();
    FTray.Open = false;
    PostMessageW(Handle(), WM_NULL, 0, 0);
    // The command is the shown menu's, read before a waiting menu replaces it.
    const auto id = command ? FTray.Commands.Find(static_cast<uint16_t>(command)) : std::nullopt;
    ApplyPending();
    if (id && OnItemClick) {
        OnItemClick(TMenuKind::Tray, *id);
    }
}

LRESULT TBrowserExternalForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kTrayMessage && wParam == kIconId) {
        TrayNotify(LOWORD(lParam));
        return 0;
    }
    if (message == kApplyPendingMessage) {
        ApplyPending();
        return 0;
    }
    if (FTaskbarCreated && message == FTaskbarCreated) {
        // A new taskbar knows no icons: ours goes back if it was shown.
        if (FIconShown) {
            FIconShown = AddIcon();
        }
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

} // namespace Folio::Runtime
