// Theme functions (ids 80001-80003): the active look, the looks there are, switching.
#include "bridge/BrowserExternalModule.h"
#include "bridge/Protocol.h"
#include "util/StrUtils.h"

namespace Folio::Bridge {

namespace {

constexpr std::u16string_view kSystemLook = u"Windows";

} // namespace

void TBrowserExternalModule::GetTheme(const std::u16string& uuid, const TJsonValue&)
{
    const std::u16string name = FPorts.Themes ? FPorts.Themes->GetActiveTheme() : std::u16string(kSystemLook);
    // Theme files come from every module of the process: the name is escaped like any text.
    ReplySuccess(uuid, Shared::TStrUtils::StringToJsonString(name));
}

void TBrowserExternalModule::GetThemes(const std::u16string& uuid, const TJsonValue&)
{
    const auto names =
        FPorts.Themes ? FPorts.Themes->GetAvailables(true) : std::vector<std::u16string>{std::u16string(kSystemLook)};
    std::u16string result = u"[";
    for (const auto& name : names) {
        result += (result.size() > 1 ? u"," : u"") + Shared::TStrUtils::StringToJsonString(name);
    }
    ReplySuccess(uuid, result + u"]");
}

void TBrowserExternalModule::SetTheme(const std::u16string& uuid, const TJsonValue& data)
{
    const auto name = ReadDataText(data, u"name");
    if (FPorts.Themes) {
        FPorts.Themes->TrySetStyle(name, false);
    }
    // A name differing from the theme's only in case switches, yet is not the theme's name.
    const std::u16string active = FPorts.Themes ? FPorts.Themes->GetActiveTheme() : std::u16string(kSystemLook);
    ReplySuccess(uuid, active == name ? u"true" : u"false");
}

} // namespace Folio::Bridge
