// TEdgeInstallerForm: the small wait window shown while the browser runtime's installer
// runs. A borderless 80 x 80 pop-up with rounded corners and a drop shadow, a busy
// animation in the middle, the application-starting cursor, and no way to close it:
// it goes away with the process.
#pragma once

#include "platform/win32/RoundedWindow.h"
#include "runtime/win32/ActivityIndicator.h"

#include <cstdint>

namespace Folio::Runtime {

class TEdgeInstallerForm : public Win32::TRoundedWindow {
public:
    static constexpr DWORD kStyle = WS_POPUP; // no caption, no border, nothing else
    static constexpr int kClientSize = 80;

    ~TEdgeInstallerForm() override;

    // formColor as the settings hold it (InstallFormColor, see SettingColor.h);
    // indicatorColor and indicatorType are InstallIndicatorColor and InstallIndicatorType,
    // where an unknown value counts as 0. Centred on centreOn, or on the screen when that
    // is null. The window stays hidden until Show.
    bool Create(uint32_t formColor, int indicatorColor, int indicatorType, HWND centreOn = nullptr);
    // Shows it without waiting: the caller goes on and pumps messages meanwhile.
    void Show();

    COLORREF Color() const noexcept { return FColor; }
    void SetColor(uint32_t formColor);
    const TActivityIndicator& ActivityIndicator() const noexcept { return FActivityIndicator; }

    // Rounds the corners with a window region over the window's bounds.
    void ApplyRoundRegion() noexcept;
    // Asked before every close: the answer is always no.
    bool FormCloseQuery() const noexcept { return false; }

protected:
    UINT ClassStyle() const override { return TRoundedWindow::ClassStyle() | CS_DROPSHADOW; }
    HBRUSH BackgroundBrush() const override { return nullptr; }
    HCURSOR ClassCursor() const override { return LoadCursorW(nullptr, IDC_APPSTARTING); }
    void HandleCreated() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormCreate();

    COLORREF FColor = 0;
    TActivityIndicatorColor FIndicatorColor = TActivityIndicatorColor::aicBlack;
    TActivityIndicatorType FIndicatorType = TActivityIndicatorType::aitMomentumDots;
    Win32::UniqueGdiObject FBrush;
    TActivityIndicator FActivityIndicator;
};

} // namespace Folio::Runtime
