// Port: string values under the current user's registry hive, as the page's registry
// functions need them. Keys are paths below HKEY_CURRENT_USER, never empty.
#pragma once

#include <string>

namespace Folio::Platform {

enum class TRegistryWrite { Written, NoKey, Failed };
enum class TRegistryRead { Text, Missing, NotText, Failed };

struct TRegistryValue {
    TRegistryRead Kind = TRegistryRead::Missing;
    std::u16string Text; // REG_SZ or REG_EXPAND_SZ (unexpanded), up to its first zero
};

class TRegistry {
public:
    virtual ~TRegistry() = default;
    // Creates the key and its missing parents; NoKey when it can be neither opened nor
    // created, Failed when the value could not be stored.
    virtual TRegistryWrite WriteString(const std::u16string& key, const std::u16string& name,
                                       const std::u16string& value) = 0;
    // Missing for a missing key or value (and an empty one).
    virtual TRegistryValue ReadString(const std::u16string& key, const std::u16string& name) = 0;
    virtual bool ValueExists(const std::u16string& key, const std::u16string& name) = 0;
    virtual bool DeleteValue(const std::u16string& key, const std::u16string& name) = 0;
    virtual bool KeyExists(const std::u16string& key) = 0;
    // The key with everything below it; a subkey that cannot go leaves the key in place.
    virtual bool DeleteKey(const std::u16string& key) = 0;
};

TRegistry& CurrentUserRegistry();

} // namespace Folio::Platform
