// Settings checks (see SettingsCheck.h).
#include "package/SettingsCheck.h"

#include "package/SettingsKeys.h"
#include "util/Case.h"
#include "util/Numbers.h"
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
        }
        if (key.Type != TSettingType::String && !ParseSettingsInteger(value)) {
            const char* expected = key.Type == TSettingType::Boolean
                                       ? "a boolean (1 or 0); words such as true are read as the default"
                                       : "an integer (decimal, $hex or 0xhex)";
            problems.push_back(
                {true, "[App] " + name + " = \"" + Utf16ToUtf8(value) + "\" is not " + expected});
        }
    }
    auto names = settings.Keys(u"App");
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        const bool known = std::any_of(std::begin(kSettingKeys), std::end(kSettingKeys),
                                       [&](const TSettingKey& k) { return SameText(k.Name, name); });
        if (!known) {
            problems.push_back({false, "[App] " + Utf16ToUtf8(name) + " is not a key the runtime reads"});
        }
    }
    return problems;
}

} // namespace Folio::Shared
