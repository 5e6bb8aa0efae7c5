// Notification settings key and Start-menu shortcut (see NotificationSetup.h).
#include "platform/win32/NotificationSetup.h"

#include "platform/win32/Handles.h"

#include <windows.h>
#include <knownfolders.h>
#include <propkey.h>
#include <propvarutil.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace Folio::Win32 {

using Microsoft::WRL::ComPtr;

namespace {

std::u16string LinkAppId(IShellLinkW* link)
{
    ComPtr<IPropertyStore> store;
    PROPVARIANT value;
    PropVariantInit(&value);
    std::u16string id;
    if (SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&store))) &&
        SUCCEEDED(store->GetValue(PKEY_AppUserModel_ID, &value)) && value.vt == VT_LPWSTR) {
        id = U16(value.pwszVal);
    }
    PropVariantClear(&value);
    return id;
}

bool LinkIsCurrent(const std::u16string& linkPath, const std::u16string& exePath, const std::u16string& appId)
{
    if (GetFileAttributesW(W(linkPath)) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(W(linkPath), STGM_READ))) {
        return false;
    }
    wchar_t target[MAX_PATH * 4] = {};
    if (link->GetPath(target, MAX_PATH * 4, nullptr, SLGP_RAWPATH) != S_OK) {
        return false;
    }
    // A link to the right program without the id would not let the toasts show.
    return U16(target) == exePath && LinkAppId(link.Get()) == appId;
}

} // namespace

bool EnsureNotificationSettings(const std::u16string& appId)
{
    const std::u16string path = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Notifications\\Settings\\" + appId;
    UniqueHKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, W(path), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        &disposition) != ERROR_SUCCESS) {
        key.Release();
        return false;
    }
    if (disposition != REG_CREATED_NEW_KEY) {
        return true; // the user's own choices stay
    }
    const DWORD one = 1;
    return RegSetValueExW(key.Get(), L"ShowInActionCenter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                          sizeof one) == ERROR_SUCCESS;
}

bool EnsureAppShortcut(const std::u16string& linkPath, const std::u16string& exePath, const std::u16string& appId)
{
    if (LinkIsCurrent(linkPath, exePath, appId)) {
        return true;
    }
    ComPtr<IShellLinkW> link;
    ComPtr<IPropertyStore> store;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&store)) || FAILED(link.As(&file))) {
        return false;
    }
    const std::u16string folder = exePath.substr(0, exePath.find_last_of(u"\\/"));
    PROPVARIANT value;
    if (FAILED(link->SetPath(W(exePath))) || FAILED(link->SetWorkingDirectory(W(folder))) ||
        FAILED(InitPropVariantFromString(W(appId), &value))) {
        return false;
    }
    const bool stored = SUCCEEDED(store->SetValue(PKEY_AppUserModel_ID, value)) && SUCCEEDED(store->Commit());
    PropVariantClear(&value);
    if (!stored) {
        return false;
    }
    DeleteFileW(W(linkPath)); // may well not exist
    return SUCCEEDED(file->Save(W(linkPath), TRUE));
}

std::u16string StartMenuShortcutPath(const std::u16string& exePath)
{
    UniqueCoTaskString programs;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, programs.Put())) || !programs) {
        return {};
    }
    std::u16string name = exePath.substr(exePath.find_last_of(u"\\/") + 1);
    if (const auto dot = name.find_last_of(u'.'); dot != std::u16string::npos) {
        name.erase(dot);
    }
    return U16(programs.Get()) + u"\\" + name + u".lnk";
}

} // namespace Folio::Win32
