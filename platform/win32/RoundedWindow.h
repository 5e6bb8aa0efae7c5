// TRoundedWindow: a top-level window that asks for rounded corners (Windows 11) each
// time its handle is created. Where the system does not know the attribute the request
// fails quietly and the system's corners stay.
#pragma once

#include "platform/RoundedCorners.h"
#include "platform/win32/Window.h"

namespace Folio::Win32 {

class TRoundedWindow : public TWindow {
public:
    Platform::TRoundedCornerType RoundedCorners() const noexcept { return FRoundedCorners; }
    // Stores the value; applies it at once when the handle exists, else at creation.
    void SetRoundedCorners(Platform::TRoundedCornerType value);
    // The preference last sent for this window's handle, -1 before any.
    int LastCornerPreference() const noexcept { return FLastPreference; }

protected:
    void HandleCreated() override;

private:
    void ApplyCorners() noexcept;
    Platform::TRoundedCornerType FRoundedCorners = Platform::TRoundedCornerType::rcDefault;
    int FLastPreference = -1;
};

// DwmSetWindowAttribute(window, 33, value), bound from dwmapi.dll at first use.
// E_NOTIMPL when the function is not there.
HRESULT SetCornerPreference(HWND window, int value) noexcept;

} // namespace Folio::Win32
