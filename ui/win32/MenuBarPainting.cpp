// Owner-drawn captions of the menu bar (see MenuBarPainting.h). Everything an item
// shows is read back from the menu itself, so a re-flagged bar needs nothing else.
#include "ui/win32/MenuBarPainting.h"

#include "platform/win32/Handles.h"
#include "ui/themes/win32/StyleEngine.h"

#include <algorithm>
#include <optional>
#include <string>

namespace Folio::Runtime {

namespace {

constexpr int kImageGap = 4; // between an item's image and its caption

struct TBarItem {
    std::wstring Caption;
    HBITMAP Image = nullptr;
    SIZE ImageSize{};
};

// The bar's owner-drawn item carrying this item data (the page's id).
std::optional<UINT> FindItem(HMENU bar, ULONG_PTR data)
{
    const int count = GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_DATA;
        if (GetMenuItemInfoW(bar, static_cast<UINT>(i), TRUE, &info) && (info.fType & MFT_OWNERDRAW) &&
            info.dwItemData == data) {
            return static_cast<UINT>(i);
        }
    }
    return std::nullopt;
}

TBarItem ReadItem(HMENU bar, UINT position)
{
    TBarItem item;
    const int length = GetMenuStringW(bar, position, nullptr, 0, MF_BYPOSITION);
    if (length > 0) {
        item.Caption.resize(static_cast<size_t>(length) + 1);
        GetMenuStringW(bar, position, item.Caption.data(), length + 1, MF_BYPOSITION);
        item.Caption.resize(static_cast<size_t>(length));
    }
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_BITMAP;
    BITMAP bitmap{};
    if (GetMenuItemInfoW(bar, position, TRUE, &info) && info.hbmpItem &&
        GetObjectW(info.hbmpItem, sizeof(bitmap), &bitmap) == sizeof(bitmap)) {
        item.Image = info.hbmpItem;
        item.ImageSize = {bitmap.bmWidth, bitmap.bmHeight};
    }
    return item;
}

Win32::UniqueGdiObject MenuFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return Win32::UniqueGdiObject(nullptr);
    }
    return Win32::UniqueGdiObject(CreateFontIndirectW(&metrics.lfMenuFont));
}

// The caption's extent in the menu font, the access-key mark left out.
SIZE CaptionSize(HDC dc, const std::wstring& caption)
{
    RECT r{};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE ContentSize(HDC dc, const TBarItem& item)
{
    SIZE size = CaptionSize(dc, item.Caption);
    if (item.Image) {
        size.cx += item.ImageSize.cx + (item.Caption.empty() ? 0 : kImageGap);
        size.cy = std::max(size.cy, item.ImageSize.cy);
    }
    return size;
}

uint32_t Blend(uint32_t a, uint32_t b)
{
    return (((a & 0xFF) + (b & 0xFF)) / 2) | ((((a >> 8) & 0xFF) + ((b >> 8) & 0xFF)) / 2) << 8 |
           ((((a >> 16) & 0xFF) + ((b >> 16) & 0xFF)) / 2) << 16;
}

bool KeyboardCuesOn()
{
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &on, 0) && on;
}

} // namespace

void SetBarOwnerDrawn(HMENU bar, bool ownerDrawn)
{
    const int count = GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE;
        if (!GetMenuItemInfoW(bar, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) {
            continue;
        }
        info.fType = ownerDrawn ? info.fType | MFT_OWNERDRAW : info.fType & ~MFT_OWNERDRAW;
        SetMenuItemInfoW(bar, static_cast<UINT>(i), TRUE, &info);
    }
}

bool MeasureBarItem(HMENU bar, MEASUREITEMSTRUCT& measure)
{
    const auto position = measure.CtlType == ODT_MENU ? FindItem(bar, measure.itemData) : std::nullopt;
    if (!position) {
        return false;
    }
    const TBarItem item = ReadItem(bar, *position);
    const Win32::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    const Win32::UniqueGdiObject font = MenuFont();
    if (!dc) {
        return false;
    }
    const HGDIOBJ old = font ? SelectObject(dc.Get(), font.Get()) : nullptr;
    const SIZE size = ContentSize(dc.Get(), item);
    if (old) {
        SelectObject(dc.Get(), old);
    }
    measure.itemWidth = static_cast<UINT>(size.cx);
    measure.itemHeight = static_cast<UINT>(std::max<LONG>(size.cy, GetSystemMetrics(SM_CYMENU)));
    return true;
}

bool DrawBarItem(HMENU bar, const DRAWITEMSTRUCT& draw, const Ui::TPalette& palette)
{
    if (draw.CtlType != ODT_MENU || reinterpret_cast<HMENU>(draw.hwndItem) != bar) {
        return false;
    }
    const auto position = FindItem(bar, draw.itemData);
    if (!position) {
        return false;
    }
    const TBarItem item = ReadItem(bar, *position);
    const bool hot = draw.itemState & (ODS_SELECTED | ODS_HOTLIGHT);
    const bool disabled = draw.itemState & (ODS_DISABLED | ODS_GRAYED);
    const HDC dc = draw.hDC;
    FillRect(dc, &draw.rcItem, Ui::PaletteBrush(hot ? palette.Highlight : palette.MenuBar));

    const Win32::UniqueGdiObject font = MenuFont();
    const HGDIOBJ old = font ? SelectObject(dc, font.Get()) : nullptr;
    const SIZE content = ContentSize(dc, item);
    RECT r = draw.rcItem;
    r.left += std::max<LONG>(0, (r.right - r.left - content.cx) / 2);
    if (item.Image) {
        const Win32::UniqueMemoryDc source(CreateCompatibleDC(dc));
        const HGDIOBJ before = SelectObject(source.Get(), item.Image);
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA}; // the images are premultiplied
        const int top = r.top + (r.bottom - r.top - item.ImageSize.cy) / 2;
        GdiAlphaBlend(dc, r.left, top, item.ImageSize.cx, item.ImageSize.cy, source.Get(), 0, 0, item.ImageSize.cx,
                      item.ImageSize.cy, blend);
        SelectObject(source.Get(), before);
        r.left += item.ImageSize.cx + kImageGap;
    }
    const uint32_t text = disabled ? Blend(palette.MenuText, palette.MenuBar)
                          : hot    ? palette.HighlightText
                                   : palette.MenuText;
    SetTextColor(dc, text);
    SetBkMode(dc, TRANSPARENT);
    // Without keyboard cues the access keys show only once the keyboard is used.
    const UINT prefix = !KeyboardCuesOn() && (draw.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
    DrawTextW(dc, item.Caption.c_str(), static_cast<int>(item.Caption.size()), &r,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | prefix);
    if (old) {
        SelectObject(dc, old);
    }
    return true;
}

} // namespace Folio::Runtime
