// The registry port on Windows: string values below HKEY_CURRENT_USER, in the registry
// view Windows gives the process. Each call opens its own handle with only the rights
// it needs, so keys the user may read but not write are still read.
#include "platform/Registry.h"

#include "platform/win32/Handles.h"

#include <vector>

namespace Folio::Platform {

namespace {

using Win32::UniqueHKey;
using Win32::W;

UniqueHKey Open(const std::u16string& key, REGSAM access)
{
    UniqueHKey handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, W(key), 0, access, handle.Put()) != ERROR_SUCCESS) {
        handle.Release();
    }
    return handle;
}

// The key's subkeys first (depth first, last index down to the first), then the key.
// A subkey that cannot go is passed over; the key's own deletion then fails.
bool DeleteTree(HKEY parent, const std::u16string& name)
{
    UniqueHKey key;
    if (RegOpenKeyExW(parent, W(name), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, key.Put()) ==
        ERROR_SUCCESS) {
        DWORD count = 0, longest = 0;
        if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
            std::vector<wchar_t> buffer(longest + 1);
            for (DWORD i = count; i-- > 0;) {
                DWORD length = longest + 1;
                if (RegEnumKeyExW(key.Get(), i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS) {
                    DeleteTree(key.Get(), Win32::U16(buffer.data(), length));
                }
            }
        }
    } else {
        key.Release();
    }
    return RegDeleteKeyExW(parent, W(name), 0, 0) == ERROR_SUCCESS;
}

class Win32Registry final : public TRegistry {
public:
    TRegistryWrite WriteString(const std::u16string& key, const std::u16string& name,
                               const std::u16string& value) override
    {
        UniqueHKey handle;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, W(key), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(),
                            nullptr) != ERROR_SUCCESS) {
            handle.Release();
            return TRegistryWrite::NoKey;
        }
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(char16_t));
        const LSTATUS set = RegSetValueExW(handle.Get(), W(name), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        return set == ERROR_SUCCESS ? TRegistryWrite::Written : TRegistryWrite::Failed;
    }

    TRegistryValue ReadString(const std::u16string& key, const std::u16string& name) override
    {
        const auto handle = Open(key, KEY_QUERY_VALUE);
        if (!handle) {
            return {};
        }
        for (;;) {
            DWORD type = 0, size = 0;
            if (RegQueryValueExW(handle.Get(), W(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0) {
                return {};
            }
            if (type != REG_SZ && type != REG_EXPAND_SZ) {
                return {TRegistryRead::NotText, {}};
            }
            std::vector<char16_t> data(size / sizeof(char16_t) + 1, u'\0');
            DWORD got = size;
            const LSTATUS read = RegQueryValueExW(handle.Get(), W(name), nullptr, &type,
                                                  reinterpret_cast<BYTE*>(data.data()), &got);
            if (read == ERROR_MORE_DATA) {
                continue; // it grew in between
            }
            if (read != ERROR_SUCCESS) {
                return {TRegistryRead::Failed, {}};
            }
            if (type != REG_SZ && type != REG_EXPAND_SZ) {
                return {TRegistryRead::NotText, {}};
            }
            const std::u16string text(data.data()); // up to the first zero
            return {text.empty() ? TRegistryRead::Missing : TRegistryRead::Text, text};
        }
    }

    bool ValueExists(const std::u16string& key, const std::u16string& name) override
    {
        const auto handle = Open(key, KEY_QUERY_VALUE);
        return handle && RegQueryValueExW(handle.Get(), W(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    bool DeleteValue(const std::u16string& key, const std::u16string& name) override
    {
        const auto handle = Open(key, KEY_SET_VALUE);
        return handle && RegDeleteValueW(handle.Get(), W(name)) == ERROR_SUCCESS;
    }

    bool KeyExists(const std::u16string& key) override
    {
        return static_cast<bool>(Open(key, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS));
    }

    bool DeleteKey(const std::u16string& key) override { return DeleteTree(HKEY_CURRENT_USER, key); }
};

} // namespace

TRegistry& CurrentUserRegistry()
{
    static Win32Registry registry;
    return registry;
}

} // namespace Folio::Platform
