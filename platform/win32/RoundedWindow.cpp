// Rounded corners (see RoundedWindow.h).
#include "platform/win32/RoundedWindow.h"

#include <cwchar>

namespace Folio::Win32 {

namespace {

using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
constexpr DWORD kCornerPreferenceAttribute = 33; // DWMWA_WINDOW_CORNER_PREFERENCE

DwmSetWindowAttributeFn BindDwmSetWindowAttribute() noexcept
{
    // Bound once, at first use; the library stays loaded for the process.
    static const DwmSetWindowAttributeFn bound = []() noexcept -> DwmSetWindowAttributeFn {
        // From the system folder by its full path: a bare name would search the
        // executable's folder first, where anyone may have put a dwmapi.dll.
        wchar_t path[MAX_PATH + 16];
        const UINT n = GetSystemDirectoryW(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) {
            return nullptr;
        }
        wcscpy(path + n, L"\\dwmapi.dll");
        HMODULE dwm = LoadLibraryW(path);
        return dwm ? reinterpret_cast<DwmSetWindowAttributeFn>(
                         reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")))
                   : nullptr;
    }();
    return bound;
}

} // namespace

HRESULT SetCornerPreference(HWND window, int value) noexcept
{
    const auto fn = BindDwmSetWindowAttribute();
    if (!fn) {
        return E_NOTIMPL;
    }
    const INT32 preference = value;
    return fn(window, kCornerPreferenceAttribute, &preference, sizeof preference);
}

void TRoundedWindow::SetRoundedCorners(Platform::TRoundedCornerType value)
{
    FRoundedCorners = value;
    ApplyCorners();
}

void TRoundedWindow::HandleCreated() { ApplyCorners(); }

void TRoundedWindow::ApplyCorners() noexcept
{
    if (!Handle()) {
        return;
    }
    FLastPreference = Platform::CornerPreference(FRoundedCorners, Platform::DefaultRoundedCorners);
    SetCornerPreference(Handle(), FLastPreference); // the result is not used: failure keeps the default look
}

} // namespace Folio::Win32
