// The style engine's own painting (see ThemedPainting.h). Caption buttons are drawn
// where the system's hit test places them, so clicks keep working as before.
#include "ui/themes/win32/ThemedPainting.h"

#include "platform/win32/Handles.h"
#include "platform/win32/SystemLibrary.h"
#include "ui/themes/win32/StyleEngine.h"

#include <algorithm>
#include <string>

namespace Folio::Ui {

namespace {

void Fill(HDC dc, int left, int top, int right, int bottom, uint32_t colour)
{
    const RECT r{left, top, right, bottom};
    FillRect(dc, &r, PaletteBrush(colour));
}

HFONT CaptionFont()
{
    static Win32::UniqueGdiObject font = [] {
        NONCLIENTMETRICSW metrics{sizeof(metrics)};
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        return Win32::UniqueGdiObject(CreateFontIndirectW(&metrics.lfCaptionFont));
    }();
    return static_cast<HFONT>(font.Get());
}

// One caption button's glyph, drawn with lines of the caption's text colour.
void DrawGlyph(HDC dc, const RECT& box, int kind, uint32_t colour)
{
    const int size = std::min(box.right - box.left, box.bottom - box.top) / 3;
    const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    Win32::UniqueGdiObject pen(CreatePen(PS_SOLID, 1, colour));
    const HGDIOBJ old = SelectObject(dc, pen.Get());
    switch (kind) {
    case 0: // close
        MoveToEx(dc, cx - size, cy - size, nullptr), LineTo(dc, cx + size + 1, cy + size + 1);
        MoveToEx(dc, cx + size, cy - size, nullptr), LineTo(dc, cx - size - 1, cy + size + 1);
        break;
    case 1: { // maximize
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, cx - size, cy - size, cx + size + 1, cy + size + 1);
        break;
    }
    default: // minimize
        MoveToEx(dc, cx - size, cy + size, nullptr), LineTo(dc, cx + size + 1, cy + size);
        break;
    }
    SelectObject(dc, old);
}

} // namespace

bool PaintsFrames()
{
    using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
    static const auto isEnabled = Win32::SystemFunction<IsEnabledFn>(L"dwmapi.dll", "DwmIsCompositionEnabled");
    BOOL composed = FALSE;
    return !isEnabled || FAILED(isEnabled(&composed)) || !composed;
}

void PaintFrame(HWND window, const TPalette& palette)
{
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    if ((style & WS_CAPTION) != WS_CAPTION || IsIconic(window)) {
        return;
    }
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int border = origin.x - outer.left;
    int captionBottom = origin.y - outer.top;
    MENUBARINFO bar{sizeof(bar)};
    if (GetMenu(window) && GetMenuBarInfo(window, OBJID_MENU, 0, &bar)) {
        captionBottom = bar.rcBar.top - outer.top;
    }
    HDC dc = GetWindowDC(window);
    if (!dc) {
        return;
    }
    // The frame in the caption's colour, outlined with the border colour.
    Fill(dc, 0, 0, width, captionBottom, palette.Caption);
    Fill(dc, 0, captionBottom, border, height, palette.Caption);
    Fill(dc, width - border, captionBottom, width, height, palette.Caption);
    Fill(dc, 0, origin.y - outer.top + client.bottom, width, height, palette.Caption);
    const RECT all{0, 0, width, height};
    FrameRect(dc, &all, PaletteBrush(palette.Border));

    const int buttonWidth =
        GetSystemMetrics((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) ? SM_CXSMSIZE : SM_CXSIZE);
    const RECT caption{border, border, width - border, captionBottom};
    int right = caption.right;
    if (style & WS_SYSMENU) {
        const int kinds[] = {0, (style & WS_MAXIMIZEBOX) ? 1 : -1, (style & WS_MINIMIZEBOX) ? 2 : -1};
        for (const int kind : kinds) {
            if (kind >= 0) {
                DrawGlyph(dc, {right - buttonWidth, caption.top, right, caption.bottom}, kind, palette.CaptionText);
                right -= buttonWidth;
            }
        }
    }
    int left = caption.left + 4;
    if (style & WS_SYSMENU) {
        auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL2, 0));
        if (!icon) {
            icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICONSM));
        }
        const int iconSize = GetSystemMetrics(SM_CXSMICON);
        if (icon) {
            DrawIconEx(dc, left, (caption.top + caption.bottom - iconSize) / 2, icon, iconSize, iconSize, 0, nullptr,
                       DI_NORMAL);
            left += iconSize + 4;
        }
    }
    std::wstring title(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(static_cast<size_t>(GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
    RECT text{left, caption.top, right - 4, caption.bottom};
    const HGDIOBJ oldFont = SelectObject(dc, CaptionFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, palette.CaptionText);
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
}

LRESULT DrawButton(const NMCUSTOMDRAW& draw, const TPalette& palette)
{
    wchar_t className[16] = {};
    GetClassNameW(draw.hdr.hwndFrom, className, 16);
    const LONG kind = GetWindowLongW(draw.hdr.hwndFrom, GWL_STYLE) & BS_TYPEMASK;
    if (lstrcmpiW(className, L"Button") != 0 || (kind != BS_PUSHBUTTON && kind != BS_DEFPUSHBUTTON)) {
        return CDRF_DODEFAULT;
    }
    if (draw.dwDrawStage != CDDS_PREPAINT) {
        return CDRF_DODEFAULT;
    }
    const bool pressed = (draw.uItemState & CDIS_SELECTED) != 0;
    const bool strong = kind == BS_DEFPUSHBUTTON || (draw.uItemState & CDIS_FOCUS) != 0;
    RECT box = draw.rc;
    FillRect(draw.hdc, &box, PaletteBrush(pressed ? palette.Highlight : palette.Control));
    FrameRect(draw.hdc, &box, PaletteBrush(strong ? palette.Highlight : palette.Border));
    if (strong) {
        InflateRect(&box, -1, -1);
        FrameRect(draw.hdc, &box, PaletteBrush(palette.Highlight));
    }
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(draw.hdr.hwndFrom)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(draw.hdr.hwndFrom, text.data(), static_cast<int>(text.size()))));
    SetBkMode(draw.hdc, TRANSPARENT);
    // A disabled button's text takes the muted border colour, or it would look pressable.
    const bool disabled = (draw.uItemState & CDIS_DISABLED) != 0;
    SetTextColor(draw.hdc, disabled ? palette.Border : pressed ? palette.HighlightText : palette.ControlText);
    const HGDIOBJ oldFont =
        SelectObject(draw.hdc, reinterpret_cast<HFONT>(SendMessageW(draw.hdr.hwndFrom, WM_GETFONT, 0, 0)));
    RECT inside = draw.rc;
    DrawTextW(draw.hdc, text.c_str(), static_cast<int>(text.size()), &inside, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(draw.hdc, oldFont);
    if (draw.uItemState & CDIS_FOCUS) {
        InflateRect(&inside, -4, -4);
        DrawFocusRect(draw.hdc, &inside);
    }
    return CDRF_SKIPDEFAULT;
}

} // namespace Folio::Ui
