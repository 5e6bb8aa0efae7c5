// The decisions of start-up that do not touch the system: what the command line asks
// for, which browser arguments the environment carries, and whether a loader file on
// disk is the one the package carries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Runtime {

// The browser arguments used when the settings give none.
inline constexpr std::u16string_view kDefaultBrowserArguments =
    u"--disable-logging --disable-web-security --disable-features=RendererCodeIntegrity "
    u"--enable-features=msSpeechRecognition --autoplay-policy=no-user-gesture-required";

// WebviewArguments as read when it holds anything but white space, else the default.
std::u16string BrowserArguments(const std::u16string& webviewArguments);

// What the arguments (without the program's own name) say, compared with the
// application's ID exactly, case and all.
struct TStartArguments {
    bool SkipPassword = false; // first argument is the ID
    bool OpensUrl = false;     // exactly the ID and a URL: a window the page asked for
    std::u16string Url;        // the URL of that form
};
TStartArguments ClassifyArguments(const std::vector<std::u16string>& args, const std::u16string& appId);

// The page the main window opens first: the URL of a window a page asked for, else the
// package's start page (indexHtml, a path inside the package).
std::u16string StartPageUrl(const std::vector<std::u16string>& args, const std::u16string& appId,
                            const std::u16string& indexHtml);

// The environment variables start-up sets for the browser, in the order it sets them;
// an empty value removes the variable.
struct TEnvironmentSetting {
    std::u16string_view Name;
    std::u16string Value;
};
std::vector<TEnvironmentSetting> BrowserEnvironment(const std::u16string& loaderFolder,
                                                    const std::u16string& webviewArguments);

} // namespace Folio::Runtime
