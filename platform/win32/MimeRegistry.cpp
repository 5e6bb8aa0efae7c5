// The machine's content types from the classes registry: ".ext" keys with "Content
// Type", and the MIME database with "Extension". The classes of the machine
// (HKLM\Software\Classes) are read first and the user's (HKCU\Software\Classes) after
// them, so that a user's registration wins as it does in HKEY_CLASSES_ROOT; reading
// the two hives directly gives that view also where HKEY_CLASSES_ROOT does not merge
// them (Wine). Keys are opened read-only; what cannot be read is skipped.
#include "platform/MimeRegistry.h"
#include "platform/win32/Handles.h"

namespace Folio::Platform {

using Win32::UniqueHKey;

namespace {

const HKEY kHives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// A REG_SZ value of a subkey, or the empty text.
std::u16string ReadString(HKEY parent, const wchar_t* subkey, const wchar_t* value)
{
    DWORD bytes = 0;
    if (RegGetValueW(parent, subkey, value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes < 2) {
        return {};
    }
    std::u16string text(bytes / 2, u'\0');
    if (RegGetValueW(parent, subkey, value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
        return {};
    }
    text.resize(bytes / 2);
    while (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return text;
}

// Calls f(key, name, length) for every subkey of hive\path.
template <typename F>
void ForEachSubkey(HKEY hive, const wchar_t* path, F&& f)
{
    UniqueHKey key;
    if (RegOpenKeyExW(hive, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS) {
            f(key.Get(), name, length);
        }
    }
}

class RegistryMimeSource final : public MimeRegistry {
public:
    std::vector<MimeRegistration> ExtensionContentTypes() const override
    {
        std::vector<MimeRegistration> out;
        for (const HKEY hive : kHives) {
            ForEachSubkey(hive, L"Software\\Classes", [&](HKEY classes, const wchar_t* name, DWORD length) {
                if (length == 0 || name[0] != L'.') {
                    return;
                }
                auto type = ReadString(classes, name, L"Content Type");
                if (!type.empty()) {
                    out.push_back({Win32::U16(name), std::move(type)});
                }
            });
        }
        return out;
    }

    std::vector<MimeRegistration> DatabaseExtensions() const override
    {
        std::vector<MimeRegistration> out;
        for (const HKEY hive : kHives) {
            ForEachSubkey(hive, L"Software\\Classes\\MIME\\Database\\Content Type",
                          [&](HKEY database, const wchar_t* name, DWORD) {
                              auto extension = ReadString(database, name, L"Extension");
                              if (!extension.empty()) {
                                  out.push_back({std::move(extension), Win32::U16(name)});
                              }
                          });
        }
        return out;
    }
};

} // namespace

const MimeRegistry& SystemMimeRegistry()
{
    static const RegistryMimeSource registry;
    return registry;
}

} // namespace Folio::Platform
