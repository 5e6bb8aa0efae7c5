// The busy animation (see ActivityIndicator.h).
#include "runtime/win32/ActivityIndicator.h"

#include "platform/win32/PngImage.h"
#include "ui/themes/win32/StyleEngine.h"

namespace Folio::Runtime {

namespace {

constexpr UINT_PTR kTimerId = 1;

const wchar_t* StyleName(TActivityIndicatorType type)
{
    switch (type) {
    case TActivityIndicatorType::aitMomentumDots: return L"DOTS";
    case TActivityIndicatorType::aitRotatingSector: return L"SECTOR";
    case TActivityIndicatorType::aitSectorRing: return L"RING";
    }
    return L"DOTS";
}

} // namespace

TActivityIndicatorType ActivityIndicatorTypeFrom(int value) noexcept
{
    return value >= 0 && value <= 2 ? static_cast<TActivityIndicatorType>(value) : TActivityIndicatorType::aitMomentumDots;
}

TActivityIndicatorColor ActivityIndicatorColorFrom(int value) noexcept
{
    return value == 1 ? TActivityIndicatorColor::aicWhite : TActivityIndicatorColor::aicBlack;
}

std::wstring BusyStripName(TActivityIndicatorType type, TActivityIndicatorColor color, TActivityIndicatorSize size)
{
    return std::wstring(L"BUSY_") + StyleName(type) +
           (color == TActivityIndicatorColor::aicWhite ? L"_WHITE_" : L"_BLACK_") +
           std::to_wstring(static_cast<int>(size));
}

UINT TActivityIndicator::FrameDelay(TActivityIndicatorType type) noexcept
{
    switch (type) {
    case TActivityIndicatorType::aitMomentumDots: return 30;   // 75 frames: 2.25 s a cycle
    case TActivityIndicatorType::aitRotatingSector: return 100; // 8 frames: 0.8 s a turn
    case TActivityIndicatorType::aitSectorRing: return 60;      // 16 frames: about 1 s a turn
    }
    return 50;
}

bool TActivityIndicator::Create(HWND parent, int x, int y, TActivityIndicatorSize size, TActivityIndicatorColor color,
                                TActivityIndicatorType type, COLORREF background)
{
    FType = type;
    FColor = color;
    FSize = static_cast<int>(size);
    LoadStrip(color);
    FFrame = 0;
    FBackground.Reset(CreateSolidBrush(background));
    if (!TWindow::Create(L"FolioActivityIndicator", u"", WS_CHILD | WS_VISIBLE, 0, x, y, FSize, FSize, parent)) {
        return false;
    }
    if (FFrameCount > 1) {
        SetTimer(Handle(), kTimerId, FrameDelay(type), nullptr);
    }
    return true;
}

void TActivityIndicator::LoadStrip(TActivityIndicatorColor color)
{
    FStripColor = color;
    FStripName = BusyStripName(FType, color, static_cast<TActivityIndicatorSize>(FSize));
    SIZE stripSize{};
    FStrip = Win32::LoadPngResourceUnscaled(FStripName.c_str(), stripSize);
    // Frames are square and laid left to right: a strip that is not so many squares is
    // not one of ours and is not played.
    FFrameCount = FStrip && stripSize.cy == FSize && stripSize.cx % FSize == 0 ? stripSize.cx / FSize : 0;
    FFrame = FFrameCount > 0 ? FFrame % FFrameCount : 0;
}

void TActivityIndicator::SetBackground(COLORREF background)
{
    FBackground.Reset(CreateSolidBrush(background));
    if (Handle()) {
        InvalidateRect(Handle(), nullptr, FALSE);
    }
}

void TActivityIndicator::Paint()
{
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Handle(), &paint);
    if (!dc) {
        return;
    }
    // Under a theme the window's ground is the palette's, and the dots must show on it.
    const Ui::TPalette* palette = Ui::ActivePalette();
    const auto color = !palette ? FColor : palette->Dark ? TActivityIndicatorColor::aicWhite : TActivityIndicatorColor::aicBlack;
    if (color != FStripColor) {
        LoadStrip(color);
    }
    RECT client;
    GetClientRect(Handle(), &client);
    FillRect(dc, &client, palette ? Ui::PaletteBrush(palette->Window) : static_cast<HBRUSH>(FBackground.Get()));
    if (FFrameCount > 0) {
        const RECT frame{FFrame * FSize, 0, (FFrame + 1) * FSize, FSize};
        Win32::DrawPremultiplied(dc, client, FStrip.Get(), frame);
    }
    EndPaint(Handle(), &paint);
}

LRESULT TActivityIndicator::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimerId && FFrameCount > 0) {
            FFrame = (FFrame + 1) % FFrameCount;
            InvalidateRect(Handle(), nullptr, FALSE);
            return 0;
        }
        break;
    case WM_ERASEBKGND: return 1; // WM_PAINT covers every pixel
    case WM_PAINT: Paint(); return 0;
    case WM_DESTROY: KillTimer(Handle(), kTimerId); break;
    default: break;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

} // namespace Folio::Runtime
