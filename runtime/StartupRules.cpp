// Start-up decisions (see StartupRules.h).
#include "runtime/StartupRules.h"

#include "util/StrUtils.h"

namespace Folio::Runtime {

std::u16string BrowserArguments(const std::u16string& webviewArguments)
{
    return Shared::Trim(webviewArguments).empty() ? std::u16string(kDefaultBrowserArguments) : webviewArguments;
}

TStartArguments ClassifyArguments(const std::vector<std::u16string>& args, const std::u16string& appId)
{
    TStartArguments result;
    result.SkipPassword = !args.empty() && args[0] == appId;
    result.OpensUrl = args.size() == 2 && result.SkipPassword;
    if (result.OpensUrl) {
        result.Url = args[1];
    }
    return result;
}

std::u16string StartPageUrl(const std::vector<std::u16string>& args, const std::u16string& appId,
                            const std::u16string& indexHtml)
{
    const TStartArguments start = ClassifyArguments(args, appId);
    return start.OpensUrl ? start.Url : u"file:///" + indexHtml;
}

std::vector<TEnvironmentSetting> BrowserEnvironment(const std::u16string& loaderFolder,
                                                    const std::u16string& webviewArguments)
{
    return {
        {u"WEBVIEW2_USER_DATA_FOLDER", loaderFolder},
        {u"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS", BrowserArguments(webviewArguments)},
        {u"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", u""},
        {u"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", u""},
    };
}

} // namespace Folio::Runtime
