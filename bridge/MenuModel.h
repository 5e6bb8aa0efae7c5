// The page's menus apart from any system: the JSON description parsed into a tree of
// items (whole, or not at all), search by id, the access keys and separators as drawn,
// the 16-bit command numbers that stand for 32-bit page ids, and the tray's tooltip.
#pragma once

#include "platform/MenuHost.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Folio::Bridge {

using Platform::TMenuNode;

// Deeper descriptions are refused: building and drawing recurse once per level.
inline constexpr int kMaxMenuDepth = 16;
// Longer descriptions are refused: the system inserts menu items one by one at a cost
// that grows with the menu (8,000 items took seconds under Wine).
inline constexpr int kMaxMenuItems = 4096;

// What an item's "image" text names: nothing at all, or bytes that decoded (Image set)
// or did not (Image null).
struct TMenuImageLookup {
    bool Found = false;
    std::shared_ptr<const Platform::TMenuImage> Image;
};
using TMenuImageLoader = std::function<TMenuImageLookup(const std::u16string& name)>;

// A description parsed, or the failure message the page is answered with.
struct TMenuParse {
    std::vector<TMenuNode> Items;
    std::u16string Failure; // empty: success

    bool Ok() const { return Failure.empty(); }
};

// The page's menu description: a JSON array of {"id", "caption", "enabled"?, "image"?,
// "items"?}. Fields are read as their text (numbers by value, 7.0 as "7", fractions
// with decimalSeparator; null as "null"). Failures: "Wrong menu items JSON" (not JSON,
// not an array), "Wrong menu item JSON" (an element that is not an object, a missing
// or non-text "id"/"caption", "items" not an array), "'x' is not a valid boolean value",
// "Wrong menu item image" (bytes that are no image), "Menu items nested too deep",
// "Too many menu items".
TMenuParse ParseMenuDescription(std::u16string_view text, const TMenuImageLoader& loadImage,
                                char16_t decimalSeparator = u'.');

// Depth first, parent before children, top-level items in order: the first with the id.
TMenuNode* FindMenuItem(std::vector<TMenuNode>& items, int32_t id);

// Text as a boolean: a number is false when 0; "true"/"false" in any letter case;
// anything else is nothing.
std::optional<bool> MenuTextToBool(std::u16string_view text);

// The items as they are drawn: separators that would stand first, last or next to
// another left out, and an access key given to each caption that has none (the first
// letter or digit not yet taken on its level).
std::vector<TMenuNode> DisplayItems(const std::vector<TMenuNode>& items);

// The tray icon's tooltip from the executable's path: the file name cut at its first
// ".", every letter after the first in lower case, at most 127 characters.
std::u16string TrayTooltip(std::u16string_view exePath);

// Menu commands carry 16 bits. Each drawn leaf gets a number that stands for its page
// id; a new menu forgets the old numbers but keeps counting, so a command that was
// posted by a menu already replaced finds nothing instead of another item.
class TMenuCommands {
public:
    static constexpr uint16_t kFirst = 1;
    static constexpr uint16_t kLast = 0xEFFF; // above: the system menu's commands

    void Clear() { FIds.clear(); }
    // 0 when every number is in use.
    uint16_t Assign(int32_t pageId);
    std::optional<int32_t> Find(uint16_t command) const;
    size_t Size() const { return FIds.size(); }

private:
    uint16_t FNext = kFirst;
    std::unordered_map<uint16_t, int32_t> FIds;
};

} // namespace Folio::Bridge
