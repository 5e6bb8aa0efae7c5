// Rounded corners (see RoundedWindow.h).
#include "platform/win32/RoundedWindow.h"

#include "platform/win32/SystemLibrary.h"

namespace Folio::Win32 {

namespace {

using DwmSetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
constexpr DWORD kCornerPreferenceAttribute = 33; // DWMWA_WINDOW_CORNER_PREFERENCE

DwmSetWindowAttributeFn BindDwmSetWindowAttribute() noexcept
{
    // Bound once, at first use; the library stays loaded for the process.
    static const auto bound = SystemFunction<DwmSetWindowAttributeFn>(L"dwmapi.dll", "DwmSetWindowAttribute");
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
