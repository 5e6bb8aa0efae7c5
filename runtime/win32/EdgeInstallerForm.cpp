// The installer's wait window (see EdgeInstallerForm.h).
#include "runtime/win32/EdgeInstallerForm.h"

#include "platform/win32/SettingColor.h"

namespace Folio::Runtime {

namespace {

constexpr int kIndicatorLeft = 9, kIndicatorTop = 8;

// The top-left corner that centres a size x size window on `on`, or on the primary
// screen's work area when there is no such window.
POINT CentredOn(HWND on, int size)
{
    RECT area{};
    if (!on || !IsWindow(on) || !GetWindowRect(on, &area)) {
        MONITORINFO monitor{sizeof(monitor)};
        GetMonitorInfoW(MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY), &monitor);
        area = monitor.rcWork;
    }
    return {area.left + (area.right - area.left - size) / 2, area.top + (area.bottom - area.top - size) / 2};
}

} // namespace

TEdgeInstallerForm::~TEdgeInstallerForm()
{
    Destroy(); // before the brush goes
}

bool TEdgeInstallerForm::Create(uint32_t formColor, int indicatorColor, int indicatorType, HWND centreOn)
{
    FColor = Win32::ColorRefFromSetting(formColor);
    FBrush.Reset(CreateSolidBrush(FColor));
    FIndicatorColor = ActivityIndicatorColorFrom(indicatorColor);
    FIndicatorType = ActivityIndicatorTypeFrom(indicatorType);
    const POINT at = CentredOn(centreOn, kClientSize);
    // With no border or caption the window is all client area.
    return TRoundedWindow::Create(L"FolioEdgeInstallerForm", u"", kStyle, 0, at.x, at.y, kClientSize, kClientSize) &&
           FActivityIndicator.Handle() != nullptr;
}

void TEdgeInstallerForm::Show()
{
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
}

void TEdgeInstallerForm::SetColor(uint32_t formColor)
{
    FColor = Win32::ColorRefFromSetting(formColor);
    FBrush.Reset(CreateSolidBrush(FColor));
    FActivityIndicator.SetBackground(FColor);
    if (Handle()) {
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TEdgeInstallerForm::HandleCreated()
{
    TRoundedWindow::HandleCreated();
    FormCreate();
}

void TEdgeInstallerForm::FormCreate()
{
    ApplyRoundRegion();
    FActivityIndicator.Create(Handle(), kIndicatorLeft, kIndicatorTop, TActivityIndicatorSize::aisXLarge,
                              FIndicatorColor, FIndicatorType, FColor);
}

void TEdgeInstallerForm::ApplyRoundRegion() noexcept
{
    RECT bounds;
    if (!Handle() || !GetWindowRect(Handle(), &bounds)) {
        return;
    }
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    Win32::UniqueGdiObject region(CreateRoundRectRgn(0, 0, width + 1, height + 1, 4, 4));
    if (region && SetWindowRgn(Handle(), static_cast<HRGN>(region.Get()), TRUE)) {
        region.Release(); // the system owns it now
    }
}

LRESULT TEdgeInstallerForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE: // the close query: Alt+F4 and the like end here
        if (!FormCloseQuery()) {
            return 0;
        }
        break;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(FBrush.Get()));
        return 1;
    }
    default: break;
    }
    return TRoundedWindow::HandleMessage(message, wParam, lParam);
}

} // namespace Folio::Runtime
