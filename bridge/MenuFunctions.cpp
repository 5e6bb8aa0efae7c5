// Menu bar, tray icon and tray menu functions (ids 12001, 12002, 14001-14004) and the
// events their clicks push to the page. A description is built whole before it
// replaces a menu: one that fails leaves the menu as it was and is answered.
#include "bridge/BrowserExternalModule.h"
#include "bridge/MenuModel.h"
#include "bridge/Protocol.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <string>
#include <unordered_map>

namespace Folio::Bridge {

using Platform::TMenuKind;

namespace {

std::u16string Json(std::u16string_view text) { return Shared::TStrUtils::StringToJsonString(text); }

// The bytes an item's "image" names: the package's entry of that exact name, else a
// file of that name beside the executable, else the file the text itself names.
std::vector<uint8_t> ImageBytes(const TBrowserExternalModule::TPorts& ports, const std::u16string& name)
{
    std::vector<uint8_t> bytes;
    if (name.empty()) {
        return bytes;
    }
    if (ports.Archive) {
        if (const int index = ports.Archive->Find(name); index >= 0) {
            ports.Archive->Read(static_cast<size_t>(index), bytes);
            return bytes;
        }
    }
    if (ports.FileSystem) {
        for (const std::u16string& path : {ports.AppDirPath + name, name}) {
            if (ports.FileSystem->FileExists(path)) {
                if (auto read = ports.FileSystem->ReadFile(path)) {
                    return std::move(*read);
                }
            }
        }
    }
    return bytes;
}

TMenuImageLookup LoadMenuImage(const TBrowserExternalModule::TPorts& ports, const std::u16string& name)
{
    const auto bytes = ImageBytes(ports, name);
    if (bytes.empty() || !ports.Menus) {
        return {}; // no bytes: the item simply has no image
    }
    return {true, ports.Menus->DecodeImage(bytes)};
}

} // namespace

std::vector<Platform::TMenuNode>& TBrowserExternalModule::MenuItems(TMenuKind kind)
{
    return kind == TMenuKind::Main ? FMainMenuItems : FTrayMenuItems;
}

void TBrowserExternalModule::MainMenuSetItems(const std::u16string& uuid, const TJsonValue& data)
{
    SetMenuItems(uuid, data, TMenuKind::Main);
}

void TBrowserExternalModule::MainMenuUpdateItem(const std::u16string& uuid, const TJsonValue& data)
{
    UpdateMenuItem(uuid, data, TMenuKind::Main);
}

void TBrowserExternalModule::TrayMenuSetItems(const std::u16string& uuid, const TJsonValue& data)
{
    SetMenuItems(uuid, data, TMenuKind::Tray);
}

void TBrowserExternalModule::TrayMenuUpdateItem(const std::u16string& uuid, const TJsonValue& data)
{
    UpdateMenuItem(uuid, data, TMenuKind::Tray);
}

void TBrowserExternalModule::TrayShowIcon(const std::u16string& uuid, const TJsonValue&)
{
    // An icon the system would not take is not shown, and the page is told so.
    const bool shown = FPorts.Menus && FPorts.Menus->ShowTrayIcon();
    if (shown) {
        FTrayIconDocument = FCallingDocument;
    }
    ReplySuccess(uuid, shown ? u"true" : u"false");
}

void TBrowserExternalModule::TrayHideIcon(const std::u16string& uuid, const TJsonValue&)
{
    ReplySuccess(uuid, !FPorts.Menus || FPorts.Menus->HideTrayIcon() ? u"true" : u"false");
}

void TBrowserExternalModule::SetMenuItems(const std::u16string& uuid, const TJsonValue& data, TMenuKind kind)
{
    std::u16string text;
    try {
        text = ReadDataText(data, u"items");
    } catch (const EBridgeError& e) {
        ReplyFailure(uuid, Json(Shared::Utf8ToUtf16(e.what()))); // "items" given as an array or object
        return;
    }
    if (text.empty()) {
        ReplyFailure(uuid, Json(u"Missing menu items"));
        return;
    }
    if (kind == TMenuKind::Main && FPorts.Menus) {
        FPorts.Menus->AttachMainMenu();
    }
    const char16_t separator = FPorts.System ? FPorts.System->DecimalSeparator() : u'.';
    // Each image once, however many items name it: a decoded image holds system handles.
    std::unordered_map<std::u16string, TMenuImageLookup> images;
    const auto loadOnce = [this, &images](const std::u16string& name) {
        const auto [it, added] = images.try_emplace(name);
        if (added) {
            it->second = LoadMenuImage(FPorts, name);
        }
        return it->second;
    };
    auto parsed = ParseMenuDescription(text, loadOnce, separator);
    if (!parsed.Ok()) {
        ReplyFailure(uuid, Json(parsed.Failure));
        return;
    }
    auto& items = MenuItems(kind);
    items = std::move(parsed.Items);
    (kind == TMenuKind::Main ? FMainMenuDocument : FTrayMenuDocument) = FCallingDocument;
    if (FPorts.Menus) {
        FPorts.Menus->SetMenu(kind, DisplayItems(items));
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::UpdateMenuItem(const std::u16string& uuid, const TJsonValue& data, TMenuKind kind)
{
    // Every field is read and checked before anything changes.
    std::u16string idText, caption, enabledText, imageText;
    try {
        idText = ReadDataText(data, u"id");
        caption = ReadDataText(data, u"caption");
        enabledText = ReadDataText(data, u"enabled");
        imageText = ReadDataText(data, u"image");
    } catch (const EBridgeError& e) {
        ReplyFailure(uuid, Json(Shared::Utf8ToUtf16(e.what())));
        return;
    }
    if (idText.empty()) {
        ReplyFailure(uuid, Json(u"Missing item ID"));
        return;
    }
    const auto id = Shared::ParseStrictInteger(idText);
    if (!id || *id == -1) {
        ReplyFailure(uuid, Json(u"Wrong item ID"));
        return;
    }
    auto& items = MenuItems(kind);
    if (items.empty()) {
        ReplyFailure(uuid, Json(u"No menu items"));
        return;
    }
    std::optional<bool> enabled;
    if (!enabledText.empty()) {
        enabled = MenuTextToBool(enabledText);
        if (!enabled) {
            ReplyFailure(uuid, Json(u"'" + enabledText + u"' is not a valid boolean value"));
            return;
        }
    }
    TMenuImageLookup image;
    if (!imageText.empty()) {
        image = LoadMenuImage(FPorts, imageText);
        if (image.Found && !image.Image) {
            ReplyFailure(uuid, Json(u"Wrong menu item image"));
            return;
        }
    }
    if (TMenuNode* item = FindMenuItem(items, *id)) {
        if (!caption.empty()) {
            item->Caption = caption;
        }
        if (enabled) {
            item->Enabled = *enabled;
        }
        if (image.Image) {
            item->Image = image.Image; // the former image goes with its last item
        }
        if (FPorts.Menus) {
            FPorts.Menus->SetMenu(kind, DisplayItems(items));
        }
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::MenuItemClick(TMenuKind kind, int32_t id)
{
    if (!StillShows(kind == TMenuKind::Main ? FMainMenuDocument : FTrayMenuDocument)) {
        return; // the page that made the menu has gone
    }
    const std::string decimal = std::to_string(id);
    const std::u16string handler = kind == TMenuKind::Main ? u"onMainMenuItemClick" : u"onTrayMenuItemClick";
    FPorts.Browser->ExecuteScript(u"kiv.events." + handler + u"(\"" + std::u16string(decimal.begin(), decimal.end()) +
                                  u"\");");
}

void TBrowserExternalModule::TrayIconClick()
{
    if (StillShows(FTrayIconDocument)) {
        FPorts.Browser->ExecuteScript(u"kiv.events.onTrayIconClick();");
    }
}

} // namespace Folio::Bridge
