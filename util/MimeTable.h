// The table behind TStrUtils::GetFileMIMEType: extension (lower case, with its ".")
// to MIME type (lower case). Built from the built-in list, then the registry's
// ".ext" content types, then the registry's MIME database; each later source
// overrides the earlier ones. Lookups are one hash probe.
#pragma once

#include "platform/MimeRegistry.h"

#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Folio::Shared {

// The built-in rows, "ext=type", in their order; the first row of an extension wins.
std::span<const std::u16string_view> BuiltinMimeRows();

class TMimeTable {
public:
    explicit TMimeTable(const Platform::MimeRegistry& registry);

    // The type registered for an extension (compared ignoring case), or empty.
    std::u16string Find(std::u16string_view extension) const;
    size_t Size() const { return FTypes.size(); }

    // The process-wide table over the system's registry, built at first use.
    static const TMimeTable& System();

private:
    std::unordered_map<std::u16string, std::u16string> FTypes;
};

} // namespace Folio::Shared
