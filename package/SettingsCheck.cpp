// Settings checks (see SettingsCheck.h).
#include "package/SettingsCheck.h"

#include "package/SettingsKeys.h"
#include "util/Case.h"
#include "util/Numbers.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <algorithm>

namespace Folio::Shared {

std::vector<TSettingsProblem> CheckSettings(const TAppSettings& settings)
{
    std::vector<TSettingsProblem> problems;
    if (!settings.SectionExists(u"App")) {
        problems.push_back({true, "kiv.ini has no [App] section"});
        return problems;
    }
    for (const auto& key : kSettingKeys) {
        const std::string name = Utf16ToUtf8(key.Name);
        if (!settings.ValueExists(u"App", key.Name)) {
            if (key.Required) {
                problems.push_back({true, "[App] " + name + " is missing"});
            }
            continue;
        }
        const auto value = settings.ReadString(u"App", key.Name, u"");
        if (key.Required && value.empty()) {
            problems.push_back({true, "[App] " + name + " is empty"});
        } else if (key.Name == std::u16string_view(u"ID") && !IsPlainAppId(value)) {
            problems.push_back({true, "[App] ID = \"" + ShownText(value) +
                                          "\" must be usable as a folder name: no \\ / : * ? \" < > |, control "
                                          "characters, trailing dot or blank, device name, nor . or .."});
        }
        if (key.Type != TSettingType::String && !ParseSettingsInteger(value)) {
            const char* expected = key.Type == TSettingType::Boolean
                                       ? "a boolean (1 or 0); words such as true are read as the default"
                                       : "an integer (decimal, $hex or 0xhex)";
            problems.push_back(
                {true, "[App] " + name + " = \"" + ShownText(value) + "\" is not " + expected});
        }
    }
    auto names = settings.Keys(u"App");
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        const bool known = std::any_of(std::begin(kSettingKeys), std::end(kSettingKeys),
                                       [&](const TSettingKey& k) { return SameText(k.Name, name); });
        if (!known) {
            problems.push_back({false, "[App] " + ShownText(name) + " is not a key the runtime reads"});
        }
    }
    return problems;
}

bool IsPlainAppId(std::u16string_view id)
{
    constexpr size_t kLongest = 128;
    if (id.empty() || id.size() > kLongest || id.back() == u'.' || id.back() == u' ' ||
        Trim(id).empty()) {
        return false;
    }
    for (size_t i = 0; i < id.size(); ++i) {
        const char16_t c = id[i];
        if (c < 0x20 || c == 0x7F || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
            return false;
        }
        // Half of a surrogate pair has no UTF-8 form: the runtime's path conversions
        // refuse it once the folder exists.
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c >= 0xDC00 || i + 1 == id.size() || id[i + 1] < 0xDC00 || id[i + 1] > 0xDFFF) {
                return false;
            }
            ++i;
        }
    }
    // Device names stay devices with any extension: "NUL.app" is NUL.
    const std::u16string_view stem = id.substr(0, id.find(u'.'));
    static constexpr std::u16string_view kDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
    for (const auto device : kDevices) {
        if (SameTextAscii(TrimRight(stem), device)) {
            return false;
        }
    }
    if (stem.size() == 4 && (SameTextAscii(stem.substr(0, 3), u"COM") || SameTextAscii(stem.substr(0, 3), u"LPT")) &&
        ((stem[3] >= u'0' && stem[3] <= u'9') || stem[3] == u'\u00B9' || stem[3] == u'\u00B2' || stem[3] == u'\u00B3')) {
        return false;
    }
    return true;
}

} // namespace Folio::Shared
