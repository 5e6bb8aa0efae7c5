// Port: the main window's menu bar, the tray icon and the tray's pop-up menu, as the
// bridge's menu functions need them. The bridge keeps the page's menus as trees of
// TMenuNode and hands the host whole trees; the host draws them and reports clicks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace Folio::Platform {

enum class TMenuKind { Main, Tray };

// A decoded item image, owned by the items that show it (the host's own kind).
class TMenuImage {
public:
    virtual ~TMenuImage() = default;
};

struct TMenuNode {
    int32_t Id = 0;          // the page's id
    std::u16string Caption;  // "&" marks the access key; "-" is a separator
    bool Enabled = true;
    bool Submenu = false;    // true: opens Children and reports no click; false: a leaf
    std::shared_ptr<const TMenuImage> Image;
    std::vector<TMenuNode> Children;

    bool IsSeparator() const { return Caption == u"-"; }
};

class TMenuHost {
public:
    virtual ~TMenuHost() = default;
    // Image bytes (PNG, BMP, JPEG, GIF, TIFF, ICO) decoded for an item; null when they
    // are not an image.
    virtual std::shared_ptr<const TMenuImage> DecodeImage(std::span<const uint8_t> bytes) = 0;
    // Gives the main window its menu bar (an empty one at first); later calls change nothing.
    virtual void AttachMainMenu() = 0;
    // Replaces the whole menu by these items, which are drawn as they are (access keys
    // and separators already settled). While a menu is open the swap waits until it closes.
    virtual void SetMenu(TMenuKind kind, const std::vector<TMenuNode>& items) = 0;
    // False when the system refused (the icon then counts as hidden).
    virtual bool ShowTrayIcon() = 0;
    virtual bool HideTrayIcon() = 0;
    virtual bool TrayIconVisible() const = 0;

    // Set by the bridge: a leaf item chosen (by its page id), the tray icon clicked.
    std::function<void(TMenuKind kind, int32_t id)> OnItemClick;
    std::function<void()> OnTrayIconClick;
};

} // namespace Folio::Platform
