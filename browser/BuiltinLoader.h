// The built-in WebView2 loader's decisions: where the installed runtime is, which of
// its builds serves, and what its version text says. The runtime's installer records
// each channel's version folder in the registry value "EBWebView" of
// SOFTWARE\Microsoft\EdgeUpdate\ClientState\{channel}; the folder's last component is the
// version, and the browser's client library lies below it. The registry and the file
// system are read through the callbacks, so that the search runs the same on every
// platform (browser/win32/BuiltinLoader.cpp gives it the real ones).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace Folio::Browser {

struct TRuntimeChannel {
    std::u16string_view Name;   // "stable", "beta", "dev", "canary"
    std::u16string_view Guid;   // the ClientState key's name, braces included
    std::u16string_view Suffix; // appended to the version text: "", " beta", " dev", " canary"
};

// The channels in the order they are searched by default, most stable first.
extern const std::array<TRuntimeChannel, 4> kRuntimeChannels;

// The two registries read for each channel, in this order.
enum class TRuntimeRegistry {
    LocalMachine32, // HKEY_LOCAL_MACHINE, the 32-bit view (WOW6432Node on 64-bit Windows)
    CurrentUser,    // HKEY_CURRENT_USER
};

// "SOFTWARE\Microsoft\EdgeUpdate\ClientState\{guid}".
std::u16string ClientStateKey(const TRuntimeChannel& channel);

// The architecture of the process that loads the client library.
enum class TClientArchitecture { X86, X64, Arm64 };

// "<versionFolder>\EBWebView\x86\EmbeddedBrowserWebView.dll" (x64 and arm64 likewise).
std::u16string ClientLibraryPath(std::u16string_view versionFolder, TClientArchitecture architecture);

// The version a version folder names: its last path component when that is four dotted
// numbers, else nothing. Trailing separators are ignored.
std::optional<std::u16string> VersionOfFolder(std::u16string_view folder);

// Whether `version` (four dotted numbers) is at least `minimum`; false for text that is
// no such version.
bool VersionAtLeast(std::u16string_view version, std::u16string_view minimum);

// The oldest runtime that implements every interface this program declares (SDK
// 1.0.1343.22 needs runtime 105.0.1343.22). An older runtime is passed over as if it were
// not installed, so that start-up offers the installer, which updates it.
inline constexpr std::u16string_view kMinimumRuntimeVersion = u"105.0.1343.22";

struct TInstalledRuntime {
    std::u16string VersionFolder;
    std::u16string Version;      // "120.0.2210.91"
    std::u16string VersionText;  // Version plus the channel's suffix
    std::u16string ClientLibrary; // full path of EmbeddedBrowserWebView.dll
    const TRuntimeChannel* Channel = nullptr;
};

struct TRuntimeSearch {
    // The string value "EBWebView" of `key` in `registry`, up to its first NUL; nothing
    // when the key or the value is missing or not a string.
    std::function<std::optional<std::u16string>(TRuntimeRegistry registry, const std::u16string& key)> ReadVersionFolder;
    // Whether a file (not a folder) exists at the full path.
    std::function<bool(const std::u16string& path)> FileExists;
    TClientArchitecture Architecture = TClientArchitecture::X86;
    // WEBVIEW2_RELEASE_CHANNEL_PREFERENCE=1: the channels are searched the other way round.
    bool PreferPreviewChannels = false;
};

// The first runtime, channel by channel (HKLM's 32-bit view, then HKCU, in each), whose
// version folder is a full path naming a version at least kMinimumRuntimeVersion and
// holding the client library for the architecture. Nothing when there is none.
std::optional<TInstalledRuntime> FindInstalledRuntime(const TRuntimeSearch& search);

// Whether the environment variable's value asks for the reversed channel order.
bool PrefersPreviewChannels(std::u16string_view releaseChannelPreference);

// Windows only: the search over this system's registry and files, for this process's
// architecture, in the order WEBVIEW2_RELEASE_CHANNEL_PREFERENCE asks. Searched afresh at
// every call: an installer may have put a runtime there meanwhile.
std::optional<TInstalledRuntime> FindSystemRuntime();

} // namespace Folio::Browser
