// TActivityIndicator: a busy animation in a child window. It plays the frames of one of
// the program's PNG strips (BUSY_<style>_<colour>_<size>) over a plain background,
// stepping on a timer from the moment it is created, so it moves whenever the thread
// pumps messages.
#pragma once

#include "platform/win32/Handles.h"
#include "platform/win32/Window.h"

#include <string>

namespace Folio::Runtime {

enum class TActivityIndicatorType { aitMomentumDots = 0, aitRotatingSector = 1, aitSectorRing = 2 };
enum class TActivityIndicatorColor { aicBlack = 0, aicWhite = 1 };
enum class TActivityIndicatorSize { aisSmall = 24, aisMedium = 32, aisLarge = 48, aisXLarge = 64 };

// The settings' numbers; a value outside the known ones gives 0 (momentum dots, black),
// which shows on every background but black.
TActivityIndicatorType ActivityIndicatorTypeFrom(int value) noexcept;
TActivityIndicatorColor ActivityIndicatorColorFrom(int value) noexcept;

// The resource name of a strip, e.g. L"BUSY_RING_BLACK_64".
std::wstring BusyStripName(TActivityIndicatorType type, TActivityIndicatorColor color, TActivityIndicatorSize size);

class TActivityIndicator : public Win32::TWindow {
public:
    // Creates the child at (x, y) of parent and starts the animation.
    bool Create(HWND parent, int x, int y, TActivityIndicatorSize size, TActivityIndicatorColor color,
                TActivityIndicatorType type, COLORREF background);
    void SetBackground(COLORREF background);

    TActivityIndicatorType IndicatorType() const noexcept { return FType; }
    TActivityIndicatorColor IndicatorColor() const noexcept { return FColor; }
    const std::wstring& StripName() const noexcept { return FStripName; }
    // The frame on show and the strip's frame count (0 when the strip could not be had:
    // then only the background shows and nothing moves).
    int Frame() const noexcept { return FFrame; }
    int FrameCount() const noexcept { return FFrameCount; }
    // Milliseconds between frames for a style: a full cycle takes about a second or two.
    static UINT FrameDelay(TActivityIndicatorType type) noexcept;

protected:
    UINT ClassStyle() const override { return 0; }
    HBRUSH BackgroundBrush() const override { return nullptr; }
    HCURSOR ClassCursor() const override { return LoadCursorW(nullptr, IDC_APPSTARTING); }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    // Loads the strip of a colour: the configured one, or the one a theme's ground needs.
    void LoadStrip(TActivityIndicatorColor color);

    TActivityIndicatorType FType = TActivityIndicatorType::aitMomentumDots;
    TActivityIndicatorColor FColor = TActivityIndicatorColor::aicBlack;
    int FSize = 64;
    std::wstring FStripName;
    TActivityIndicatorColor FStripColor = TActivityIndicatorColor::aicBlack;
    Win32::UniqueBitmap FStrip;
    int FFrameCount = 0;
    int FFrame = 0;
    Win32::UniqueGdiObject FBackground;
};

} // namespace Folio::Runtime
