// The notifications shown and not yet gone, by the page's name for them, behind a lock:
// the system reports clicks, dismissals and failures on threads of its own. An entry
// is known by its identity (the toast object), so that news of a replaced toast can
// never touch the newer one of the same name.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace Folio::Platform {

// TEntry: movable, default-constructible, with `const void* Identity() const`.
template <typename TEntry>
class TNotificationTable {
public:
    // Keeps the entry under the name; gives back the one it replaces (a default entry
    // when there was none), for the caller to release outside the lock.
    TEntry Put(const std::u16string& name, TEntry entry)
    {
        std::lock_guard lock(FMutex);
        auto& slot = FEntries[name];
        TEntry replaced = std::move(slot);
        slot = std::move(entry);
        return replaced;
    }
    bool IsCurrent(const std::u16string& name, const void* identity) const
    {
        std::lock_guard lock(FMutex);
        const auto it = FEntries.find(name);
        return it != FEntries.end() && it->second.Identity() == identity;
    }
    // The entry under the name, taken out, if it is still the one with this identity.
    std::optional<TEntry> TakeIfCurrent(const std::u16string& name, const void* identity)
    {
        std::lock_guard lock(FMutex);
        const auto it = FEntries.find(name);
        if (it == FEntries.end() || it->second.Identity() != identity) {
            return std::nullopt;
        }
        TEntry taken = std::move(it->second);
        FEntries.erase(it);
        return taken;
    }
    size_t Size() const
    {
        std::lock_guard lock(FMutex);
        return FEntries.size();
    }

private:
    mutable std::mutex FMutex;
    std::map<std::u16string, TEntry> FEntries;
};

} // namespace Folio::Platform
