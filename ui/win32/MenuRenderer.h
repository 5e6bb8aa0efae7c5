// The page's menus drawn as Win32 menus: item trees into HMENUs, and item images
// decoded through the Windows Imaging Component with a grey copy for disabled items.
// How one item looks is settled in one place (MenuItemInfo); a theme's colours on the
// bar's captions are drawn by MenuBarPainting.h.
#pragma once

#include "bridge/MenuModel.h"
#include "platform/MenuHost.h"
#include "platform/win32/Handles.h"

#include <windows.h>

#include <memory>
#include <span>
#include <vector>

namespace Folio::Runtime {

// An item image: premultiplied 32-bit top-down bitmaps of Size x Size pixels.
class TMenuBitmap final : public Platform::TMenuImage {
public:
    Win32::UniqueBitmap Normal, Grey;
    int Size = 0;
};

// Any image WIC decodes, scaled to size x size; null when the bytes are no image.
std::shared_ptr<const Platform::TMenuImage> DecodeMenuImage(std::span<const uint8_t> bytes, int size);

// The pixel size of an item image at a DPI (16 at 96).
int MenuImageSize(UINT dpi) noexcept;

// A menu bar (bar true) or a pop-up menu holding the items, each leaf with a command
// number from commands. The items' images must live as long as the menu. Null when the
// system refused a menu.
Win32::UniqueMenu RenderMenu(const std::vector<Platform::TMenuNode>& items, bool bar, Bridge::TMenuCommands& commands);

} // namespace Folio::Runtime
