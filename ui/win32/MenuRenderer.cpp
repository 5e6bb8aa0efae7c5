// Menus and their images (see MenuRenderer.h).
#include "ui/win32/MenuRenderer.h"

#include "platform/win32/PngImage.h"

#include <cstring>

namespace Folio::Runtime {

namespace {

// A copy of a premultiplied bitmap in grey: luminance keeps premultiplication valid,
// since it never exceeds the largest channel.
Win32::UniqueBitmap GreyCopy(HGDIOBJ source, int size)
{
    DIBSECTION from{};
    if (GetObjectW(source, sizeof(from), &from) != sizeof(from) || !from.dsBm.bmBits) {
        return {};
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB};
    void* bits = nullptr;
    Win32::UniqueBitmap grey(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!grey || !bits) {
        return {};
    }
    const auto* in = static_cast<const uint8_t*>(from.dsBm.bmBits);
    auto* out = static_cast<uint8_t*>(bits);
    const size_t count = size_t(size) * size;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = in[i * 4], g = in[i * 4 + 1], r = in[i * 4 + 2], a = in[i * 4 + 3];
        const auto y = static_cast<uint8_t>((r * 77 + g * 150 + b * 29) >> 8);
        out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = y;
        out[i * 4 + 3] = a;
    }
    return grey;
}

// How one item is drawn: text, state, image and what it opens. The item data (the
// page's id) also finds the item again when the bar's captions are owner-drawn.
MENUITEMINFOW MenuItemInfo(const Platform::TMenuNode& item, UINT command, HMENU submenu)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    if (item.IsSeparator()) {
        info.fMask = MIIM_FTYPE;
        info.fType = MFT_SEPARATOR;
        return info;
    }
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_DATA;
    info.fType = MFT_STRING;
    info.fState = item.Enabled ? MFS_ENABLED : MFS_DISABLED;
    info.wID = command;
    info.dwItemData = static_cast<ULONG_PTR>(static_cast<uint32_t>(item.Id));
    info.dwTypeData = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(item.Caption.c_str()));
    if (submenu) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = submenu;
    }
    if (const auto* image = dynamic_cast<const TMenuBitmap*>(item.Image.get())) {
        info.fMask |= MIIM_BITMAP;
        info.hbmpItem = static_cast<HBITMAP>(item.Enabled || !image->Grey ? image->Normal.Get() : image->Grey.Get());
    }
    return info;
}

bool Fill(HMENU menu, const std::vector<Platform::TMenuNode>& items, Bridge::TMenuCommands& commands)
{
    UINT position = 0;
    for (const auto& item : items) {
        Win32::UniqueMenu submenu;
        UINT command = 0;
        if (item.Submenu && !item.IsSeparator()) {
            submenu.Reset(CreatePopupMenu());
            if (!submenu || !Fill(submenu.Get(), item.Children, commands)) {
                return false;
            }
        } else if (!item.IsSeparator()) {
            command = commands.Assign(item.Id);
        }
        const MENUITEMINFOW info = MenuItemInfo(item, command, submenu.Get());
        if (!InsertMenuItemW(menu, position, TRUE, &info)) {
            return false;
        }
        submenu.Release(); // the menu owns it now
        ++position;
    }
    return true;
}

} // namespace

int MenuImageSize(UINT dpi) noexcept { return MulDiv(16, static_cast<int>(dpi ? dpi : 96), 96); }

std::shared_ptr<const Platform::TMenuImage> DecodeMenuImage(std::span<const uint8_t> bytes, int size)
{
    auto image = std::make_shared<TMenuBitmap>();
    image->Normal = Win32::DecodePng(bytes.data(), bytes.size(), size);
    if (!image->Normal) {
        return nullptr;
    }
    image->Grey = GreyCopy(image->Normal.Get(), size);
    image->Size = size;
    return image;
}

Win32::UniqueMenu RenderMenu(const std::vector<Platform::TMenuNode>& items, bool bar, Bridge::TMenuCommands& commands)
{
    Win32::UniqueMenu menu(bar ? CreateMenu() : CreatePopupMenu());
    if (!menu || !Fill(menu.Get(), items, commands)) {
        return {};
    }
    return menu;
}

} // namespace Folio::Runtime
