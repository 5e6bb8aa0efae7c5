// The style engine on Windows (see StyleEngine.h). A thread hook sees each top-level
// window being created and subclasses it; the subclass paints grounds and control
// colours from the palette, and the frame is asked of the desktop window manager (dark
// title bar, caption colour), loaded at run time since dwmapi is not linked.
#include "ui/themes/win32/StyleEngine.h"

#include "platform/win32/Handles.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Window.h"
#include "ui/themes/win32/ThemedPainting.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <map>

namespace Folio::Ui {

namespace {

constexpr UINT_PTR kSubclassId = 0x466F6C54; // "FolT"
// Marks the windows the engine subclassed (mingw's comctl32 has no GetWindowSubclass).
constexpr wchar_t kThemedMark[] = L"Folio.Themed";
constexpr DWORD kUseImmersiveDarkMode = 20, kUseImmersiveDarkModeOld = 19;
constexpr DWORD kBorderColour = 34, kCaptionColour = 35, kTextColour = 36;
constexpr DWORD kDefaultColour = 0xFFFFFFFF;

std::function<void(const std::u16string&)>& ErrorDisplay()
{
    static std::function<void(const std::u16string&)> display;
    return display;
}

BOOL CALLBACK AddStyleName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) noexcept
{
    try {
        auto& found = *reinterpret_cast<std::vector<TStyleResource>*>(param);
        std::u16string resourceName;
        if (IS_INTRESOURCE(name)) {
            const auto id = std::to_string(reinterpret_cast<uintptr_t>(name));
            resourceName = u"#" + std::u16string(id.begin(), id.end());
        } else {
            resourceName.assign(reinterpret_cast<const char16_t*>(name));
        }
        std::string bytes;
        if (HRSRC info = FindResourceW(module, name, type)) {
            if (HGLOBAL data = LoadResource(module, info)) {
                const auto* start = static_cast<const char*>(LockResource(data));
                bytes.assign(start ? start : "", start ? SizeofResource(module, info) : 0);
            }
        }
        found.push_back({std::move(resourceName), std::move(bytes)});
    } catch (...) {
        Win32::ReportCaughtException("the theme resource search");
    }
    return TRUE;
}

std::vector<TStyleResource> FindStyleResources()
{
    std::vector<TStyleResource> found;
    std::vector<HMODULE> modules{GetModuleHandleW(nullptr)};
    const HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    Win32::UniqueKernelHandle snapshot(list == INVALID_HANDLE_VALUE ? nullptr : list);
    MODULEENTRY32W entry{sizeof(entry)};
    if (snapshot && Module32FirstW(snapshot.Get(), &entry)) {
        do {
            if (entry.hModule != modules.front()) {
                modules.push_back(entry.hModule);
            }
        } while (Module32NextW(snapshot.Get(), &entry));
    }
    for (const HMODULE module : modules) {
        EnumResourceNamesW(module, L"STYLEFILE", &AddStyleName, reinterpret_cast<LONG_PTR>(&found));
    }
    return found;
}

int CompareInUserOrder(std::u16string_view a, std::u16string_view b)
{
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(a.data()),
                                      static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                                      static_cast<int>(b.size()));
    return result == CSTR_LESS_THAN ? -1 : result == CSTR_EQUAL ? 0 : 1;
}

void SetFrameAttribute(HWND window, DWORD attribute, const void* value, DWORD size)
{
    using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    static const auto setAttribute = Win32::SystemFunction<SetAttributeFn>(L"dwmapi.dll", "DwmSetWindowAttribute");
    if (!setAttribute || FAILED(setAttribute(window, attribute, value, size))) {
        if (setAttribute && attribute == kUseImmersiveDarkMode) {
            setAttribute(window, kUseImmersiveDarkModeOld, value, size); // builds before 20H1
        }
    }
}

// The frame and the menu bar, which the window's own painting does not reach.
void ApplyFrame(HWND window)
{
    const TPalette* p = ActivePalette();
    const BOOL dark = p && p->Dark;
    SetFrameAttribute(window, kUseImmersiveDarkMode, &dark, sizeof dark);
    const DWORD caption = p ? p->Caption : kDefaultColour, text = p ? p->CaptionText : kDefaultColour,
                border = p ? p->Border : kDefaultColour;
    SetFrameAttribute(window, kCaptionColour, &caption, sizeof caption);
    SetFrameAttribute(window, kTextColour, &text, sizeof text);
    SetFrameAttribute(window, kBorderColour, &border, sizeof border);
    ThemeMenuBar(window);
}

LRESULT ControlColours(HDC dc, uint32_t text, uint32_t ground)
{
    SetTextColor(dc, text);
    SetBkColor(dc, ground);
    return reinterpret_cast<LRESULT>(PaletteBrush(ground));
}

LRESULT CALLBACK ThemedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) noexcept
{
    try {
        if (message == PaletteChangedMessage()) {
            ApplyFrame(window);
            RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
            return DefSubclassProc(window, message, wParam, lParam); // the window may follow up (owner-drawn parts)
        }
        if (message == WM_CREATE) {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            ApplyFrame(window);
            return result;
        }
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(window, &ThemedWindowProc, kSubclassId);
            RemovePropW(window, kThemedMark);
            return DefSubclassProc(window, message, wParam, lParam);
        }
        if (const TPalette* p = ActivePalette()) {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            switch (message) {
            case WM_ERASEBKGND: {
                RECT client;
                GetClientRect(window, &client);
                FillRect(dc, &client, PaletteBrush(p->Window));
                return 1;
            }
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLORBTN:
                return ControlColours(dc, p->Text, p->Window);
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
                return ControlColours(dc, p->ControlText, p->Control);
            case WM_NOTIFY:
                if (reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
                    // Push buttons are ours; every other control's notice is the window's to answer.
                    if (const LRESULT drawn = DrawButton(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam), *p);
                        drawn != CDRF_DODEFAULT) {
                        return drawn;
                    }
                }
                break;
            case WM_NCPAINT:
            case WM_NCACTIVATE:
            case WM_SETTEXT:
            case WM_NCLBUTTONDOWN:
                if (PaintsFrames()) {
                    // The system draws first (the menu bar among it); the frame goes over.
                    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
                    // The system's move loop runs the page, which may have switched the look meanwhile.
                    if (const TPalette* now = ActivePalette()) {
                        PaintFrame(window, *now);
                    }
                    return result;
                }
                break;
            default:
                break;
            }
        }
        return DefSubclassProc(window, message, wParam, lParam);
    } catch (...) {
        Win32::ReportCaughtException("the style engine");
        return DefSubclassProc(window, message, wParam, lParam);
    }
}

bool IsThemed(HWND window)
{
    return GetPropW(window, kThemedMark) != nullptr;
}

BOOL CALLBACK TellWindow(HWND window, LPARAM) noexcept
{
    if (IsThemed(window)) {
        if (IsWindowVisible(window)) {
            PostMessageW(window, PaletteChangedMessage(), 0, 0);
        } else {
            SendMessageW(window, PaletteChangedMessage(), 0, 0);
        }
    }
    return TRUE;
}

LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        if (!(create->lpcs->style & WS_CHILD)) {
            ThemeWindow(reinterpret_cast<HWND>(wParam));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TStyleManager& StyleManager()
{
    static TStyleManager manager({&FindStyleResources,
                                  [](const std::u16string& message) {
                                      if (ErrorDisplay()) {
                                          ErrorDisplay()(message);
                                      }
                                  },
                                  &CompareInUserOrder});
    static const int repaint =
        manager.AddListener([](const TPalette*) { EnumThreadWindows(GetCurrentThreadId(), &TellWindow, 0); });
    (void)repaint;
    return manager;
}

const TPalette* ActivePalette()
{
    return StyleManager().ActivePalette();
}

int AddPaletteListener(std::function<void(const TPalette*)> listener)
{
    return StyleManager().AddListener(std::move(listener));
}

void RemovePaletteListener(int id)
{
    StyleManager().RemoveListener(id);
}

UINT PaletteChangedMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Folio.PaletteChanged");
    return message;
}

HBRUSH PaletteBrush(uint32_t colour)
{
    static std::map<uint32_t, Win32::UniqueGdiObject> brushes;
    auto& brush = brushes[colour];
    if (!brush) {
        brush = Win32::UniqueGdiObject(CreateSolidBrush(colour));
    }
    return static_cast<HBRUSH>(brush.Get());
}

void InstallStyleEngine(std::function<void(const std::u16string&)> showError)
{
    ErrorDisplay() = std::move(showError);
    static thread_local HHOOK hook = nullptr; // lives as long as the thread
    if (!hook) {
        hook = SetWindowsHookExW(WH_CBT, &WatchCreation, nullptr, GetCurrentThreadId());
    }
}

void ThemeMenuBar(HWND window)
{
    if (const HMENU menu = GetMenu(window); menu && IsMenu(menu)) {
        const TPalette* p = ActivePalette();
        MENUINFO info{sizeof(info)};
        info.fMask = MIM_BACKGROUND; // the bar only: drop-downs keep the system look
        info.hbrBack = p ? PaletteBrush(p->MenuBar) : nullptr;
        SetMenuInfo(menu, &info);
        DrawMenuBar(window);
    }
}

void ThemeWindow(HWND window)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32768") == 0 || IsThemed(window)) {
        return; // pop-up menus keep the system look
    }
    if (!SetWindowSubclass(window, &ThemedWindowProc, kSubclassId, 0)) {
        return;
    }
    SetPropW(window, kThemedMark, reinterpret_cast<HANDLE>(1));
    if (IsWindow(window) && GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) {
        ApplyFrame(window);
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

} // namespace Folio::Ui
