// The installed WebView2 runtime as its installer records it, for the built-in loader's
// tests under Wine: each channel's ClientState key, its value "EBWebView" (the version
// folder) written in HKLM's 32-bit view or HKCU, and the clean-up of all of them.
#pragma once

#include <windows.h>

#include <string>

namespace FolioTest {

enum class TChannel { Stable, Beta, Dev, Canary };
inline constexpr TChannel kAllChannels[] = {TChannel::Stable, TChannel::Beta, TChannel::Dev, TChannel::Canary};

inline std::wstring ClientStateKey(TChannel channel)
{
    const wchar_t* const guids[] = {L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
                                    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}"};
    return std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\") + guids[int(channel)];
}

// A registry and its view.
struct TRegistryPlace {
    HKEY Root;
    REGSAM View;
};
inline const TRegistryPlace kHklm32{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY};
inline const TRegistryPlace kHklm64{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY};
inline const TRegistryPlace kHkcu{HKEY_CURRENT_USER, 0};

inline void UnregisterRuntime(TRegistryPlace place, TChannel channel)
{
    RegDeleteKeyExW(place.Root, ClientStateKey(channel).c_str(), place.View, 0);
}

// Every channel's key in HKLM's two views and HKCU: also what a killed run left behind.
inline void UnregisterAllRuntimes()
{
    for (const TRegistryPlace place : {kHklm32, kHklm64, kHkcu}) {
        for (const TChannel channel : kAllChannels) {
            UnregisterRuntime(place, channel);
        }
    }
}

// Records `folder` as the channel's version folder: "EBWebView", REG_SZ, all of `folder`
// (NULs inside it too) and one NUL after it. False when the registry refused.
inline bool RegisterRuntime(TRegistryPlace place, TChannel channel, const std::wstring& folder)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(place.Root, ClientStateKey(channel).c_str(), 0, nullptr, 0, KEY_SET_VALUE | place.View, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS set = RegSetValueExW(key, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                       DWORD((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

} // namespace FolioTest
