// The menu model (see MenuModel.h).
#include "bridge/MenuModel.h"

#include "util/Case.h"
#include "util/Numbers.h"
#include "util/TextCodecs.h"

#include "bridge/Json.h"

#include <rapidjson/document.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Folio::Bridge {

namespace {

using TValue = rapidjson::Value;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A number written by its value: integral values in decimal, others in the general
// format with the locale's separator.
std::u16string NumberText(const TValue& value, char16_t separator)
{
    if (value.IsInt64()) {
        return Ascii(std::to_string(value.GetInt64()));
    }
    if (value.IsUint64()) {
        return Ascii(std::to_string(value.GetUint64()));
    }
    const double d = value.GetDouble();
    if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 1e15) {
        return Ascii(std::to_string(static_cast<long long>(d)));
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::u16string out;
    for (const char* p = buf; *p; ++p) {
        out.push_back(*p == '.' ? separator : static_cast<char16_t>(*p));
    }
    return out;
}

// A field's text in a description; nothing for an absent field, an object or an array.
std::optional<std::u16string> Text(const TValue& object, const char* key, char16_t separator)
{
    const auto it = object.FindMember(key);
    if (it == object.MemberEnd()) {
        return std::nullopt;
    }
    const TValue& v = it->value;
    switch (v.GetType()) {
    case rapidjson::kNullType: return u"null";
    case rapidjson::kFalseType: return u"false";
    case rapidjson::kTrueType: return u"true";
    case rapidjson::kStringType: return Shared::Utf8ToUtf16(std::string_view(v.GetString(), v.GetStringLength()));
    case rapidjson::kNumberType: return NumberText(v, separator);
    default: return std::nullopt;
    }
}

struct TBuilder {
    const TMenuImageLoader& LoadImage;
    char16_t Separator;
    std::u16string Failure;
    int Count = 0; // items built, on all levels

    bool Fail(std::u16string message)
    {
        Failure = std::move(message);
        return false;
    }

    bool Build(const TValue& element, TMenuNode& item, int depth)
    {
        if (depth > kMaxMenuDepth) {
            return Fail(u"Menu items nested too deep");
        }
        if (!element.IsObject()) {
            return Fail(u"Wrong menu item JSON");
        }
        const auto caption = Text(element, "caption", Separator);
        const auto id = Text(element, "id", Separator);
        if (!caption || !id) {
            return Fail(u"Wrong menu item JSON");
        }
        item.Id = Shared::ParseStrictInteger(*id).value_or(0);
        item.Caption = *caption;
        if (const auto enabled = Text(element, "enabled", Separator)) {
            const auto flag = MenuTextToBool(*enabled);
            if (!flag) {
                return Fail(u"'" + *enabled + u"' is not a valid boolean value");
            }
            item.Enabled = *flag;
        }
        if (const auto image = Text(element, "image", Separator)) {
            const TMenuImageLookup found = LoadImage ? LoadImage(*image) : TMenuImageLookup{};
            if (found.Found && !found.Image) {
                return Fail(u"Wrong menu item image");
            }
            item.Image = found.Image;
        }
        const auto children = element.FindMember("items");
        if (children == element.MemberEnd()) {
            return true;
        }
        if (!children->value.IsArray()) {
            return Fail(u"Wrong menu item JSON");
        }
        item.Submenu = true;
        return BuildAll(children->value, item.Children, depth + 1);
    }

    bool BuildAll(const TValue& array, std::vector<TMenuNode>& into, int depth)
    {
        if (array.Size() > static_cast<unsigned>(kMaxMenuItems - Count)) {
            return Fail(u"Too many menu items");
        }
        into.reserve(array.Size());
        for (const TValue& element : array.GetArray()) {
            if (++Count > kMaxMenuItems) {
                return Fail(u"Too many menu items");
            }
            into.emplace_back();
            if (!Build(element, into.back(), depth)) {
                return false;
            }
        }
        return true;
    }
};

// A key is one UTF-16 unit: half of a surrogate pair is none, and an "&" before the
// second half would split the pair.
bool IsKeyCandidate(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x206F) && c != 0x3000 &&
            !(c >= 0xD800 && c <= 0xDFFF));
}

// The access key a caption marks ("&x"; "&&" is a plain ampersand), or 0.
char16_t MarkedKey(std::u16string_view caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (caption[i + 1] != u'&') {
                return Shared::ToLowerChar(caption[i + 1]);
            }
            ++i;
        }
    }
    return 0;
}

bool HasMarker(std::u16string_view caption)
{
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (caption[i + 1] != u'&') {
                return true;
            }
            ++i;
        }
    }
    return false;
}

void GiveAccessKeys(std::vector<TMenuNode>& level)
{
    // One bit per UTF-16 unit: a long level with many marked keys costs no more per
    // lookup than a short one.
    std::vector<bool> taken(0x10000);
    for (const auto& item : level) {
        if (const char16_t key = MarkedKey(item.Caption)) {
            taken[key] = true;
        }
    }
    for (auto& item : level) {
        if (item.IsSeparator() || HasMarker(item.Caption)) {
            continue;
        }
        for (size_t i = 0; i < item.Caption.size(); ++i) {
            const char16_t c = item.Caption[i];
            if (c == u'&') {
                ++i; // "&&": a plain ampersand
                continue;
            }
            if (IsKeyCandidate(c) && !taken[Shared::ToLowerChar(c)]) {
                taken[Shared::ToLowerChar(c)] = true;
                item.Caption.insert(i, 1, u'&');
                break;
            }
        }
    }
}

} // namespace

TMenuParse ParseMenuDescription(std::u16string_view text, const TMenuImageLoader& loadImage, char16_t decimalSeparator)
{
    // Numbers by value here ("id": 7.0 is item 7); parsed like every page text: without
    // recursion, nesting capped, lone surrogates read as U+FFFD.
    const auto document = ParseJson(text, TJsonNumbers::AsValues);
    TMenuParse result;
    if (!document || !document->IsArray()) {
        result.Failure = u"Wrong menu items JSON";
        return result;
    }
    TBuilder builder{loadImage, decimalSeparator, {}, 0};
    if (!builder.BuildAll(*document, result.Items, 1)) {
        result.Items.clear();
        result.Failure = builder.Failure;
    }
    return result;
}

TMenuNode* FindMenuItem(std::vector<TMenuNode>& items, int32_t id)
{
    for (auto& item : items) {
        if (item.Id == id) {
            return &item;
        }
        if (TMenuNode* found = FindMenuItem(item.Children, id)) {
            return found;
        }
    }
    return nullptr;
}

std::optional<bool> MenuTextToBool(std::u16string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    if (const auto integer = Shared::ParseStrictInteger(text)) {
        return *integer != 0;
    }
    const std::string ascii = Shared::Utf16ToUtf8(text);
    if (!std::isspace(static_cast<unsigned char>(ascii[0]))) {
        char* end = nullptr;
        const double value = std::strtod(ascii.c_str(), &end);
        if (end == ascii.c_str() + ascii.size() && std::isfinite(value)) {
            return value != 0;
        }
    }
    if (Shared::SameTextAscii(text, u"true")) {
        return true;
    }
    if (Shared::SameTextAscii(text, u"false")) {
        return false;
    }
    return std::nullopt;
}

std::vector<TMenuNode> DisplayItems(const std::vector<TMenuNode>& items)
{
    std::vector<TMenuNode> shown;
    shown.reserve(items.size());
    for (const auto& item : items) {
        if (item.IsSeparator() && (shown.empty() || shown.back().IsSeparator())) {
            continue; // first, or after another
        }
        TMenuNode copy;
        copy.Id = item.Id;
        copy.Caption = item.Caption;
        copy.Enabled = item.Enabled;
        copy.Submenu = item.Submenu;
        copy.Image = item.Image;
        copy.Children = DisplayItems(item.Children);
        shown.push_back(std::move(copy));
    }
    if (!shown.empty() && shown.back().IsSeparator()) {
        shown.pop_back();
    }
    GiveAccessKeys(shown);
    return shown;
}

std::u16string TrayTooltip(std::u16string_view exePath)
{
    const size_t slash = exePath.find_last_of(u"\\/");
    std::u16string_view name = slash == std::u16string_view::npos ? exePath : exePath.substr(slash + 1);
    name = name.substr(0, name.find(u'.'));
    std::u16string tip(name.substr(0, 127));
    if (tip.size() == 127 && tip.back() >= 0xD800 && tip.back() <= 0xDBFF) {
        tip.pop_back(); // the cut fell inside a surrogate pair
    }
    for (size_t i = 1; i < tip.size(); ++i) {
        tip[i] = Shared::ToLowerChar(tip[i]);
    }
    return tip;
}

uint16_t TMenuCommands::Assign(int32_t pageId)
{
    constexpr size_t range = size_t(kLast) - kFirst + 1;
    if (FIds.size() >= range) {
        return 0;
    }
    for (;;) {
        const uint16_t command = FNext;
        FNext = FNext == kLast ? kFirst : uint16_t(FNext + 1);
        if (FIds.emplace(command, pageId).second) {
            return command;
        }
    }
}

std::optional<int32_t> TMenuCommands::Find(uint16_t command) const
{
    const auto it = FIds.find(command);
    if (it == FIds.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace Folio::Bridge
