// The window base class (see Window.h).
#include "platform/win32/Window.h"

#include <exception>
#include <string>

namespace Folio::Win32 {

void ReportCaughtException(const char* where) noexcept
{
    try {
        std::string text = std::string("Folio: exception caught in ") + where;
        try {
            throw;
        } catch (const std::exception& e) {
            text += ": ";
            text += e.what();
        } catch (...) {
        }
        text += "\n";
        OutputDebugStringA(text.c_str());
    } catch (...) {
        OutputDebugStringA("Folio: exception caught\n");
    }
}

UINT WindowDpi(HWND window) noexcept
{
    // GetDpiForWindow exists from Windows 10 1607 on; before that the screen's DPI is the one.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi) {
        if (const UINT dpi = getDpi(window); dpi > 0) {
            return dpi;
        }
    }
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) {
        ReleaseDC(window, dc);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

TWindow::~TWindow() { Destroy(); }

void TWindow::Destroy() noexcept
{
    if (FHandle) {
        SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
        FHandle = nullptr;
    }
}

bool TWindow::Create(const wchar_t* className, const std::u16string& caption, DWORD style, DWORD exStyle, int x,
                     int y, int width, int height, HWND parent)
{
    // One object, one window: a window made before goes first, so that none is left
    // behind pointing at an object that no longer knows it.
    Destroy();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{sizeof(existing)};
    if (!GetClassInfoExW(instance, className, &existing)) {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.style = ClassStyle();
        wc.lpfnWndProc = &TWindow::WindowProc;
        wc.hInstance = instance;
        wc.hCursor = ClassCursor();
        wc.hbrBackground = BackgroundBrush();
        wc.lpszClassName = className;
        wc.hIcon = LoadIconW(instance, L"MAINICON");
        if (!RegisterClassExW(&wc)) {
            return false;
        }
    }
    const HWND window = CreateWindowExW(exStyle, className, reinterpret_cast<const wchar_t*>(caption.c_str()), style,
                                        x, y, width, height, parent, nullptr, instance, this);
    return window != nullptr;
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->FHandle = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        if (message == WM_CREATE) {
            self->HandleCreated();
        }
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ReportCaughtException("a window procedure");
        result = DefWindowProcW(window, message, wParam, lParam);
    }
    // The window's last message: the object lets go of it however its handler ended.
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->FHandle == window) {
            self->FHandle = nullptr;
        }
    }
    return result;
}

} // namespace Folio::Win32
