// Building and querying the MIME table (see MimeTable.h).
#include "util/MimeTable.h"

#include "util/Case.h"

namespace Folio::Shared {

TMimeTable::TMimeTable(const Platform::MimeRegistry& registry)
{
    const auto rows = BuiltinMimeRows();
    FTypes.reserve(rows.size() * 2);
    for (const auto row : rows) {
        const size_t eq = row.find(u'=');
        FTypes.try_emplace(ToLower(row.substr(0, eq)), ToLower(row.substr(eq + 1)));
    }
    for (const auto& r : registry.ExtensionContentTypes()) {
        if (!r.extension.empty() && !r.contentType.empty()) {
            FTypes.insert_or_assign(ToLower(r.extension), ToLower(r.contentType));
        }
    }
    for (const auto& r : registry.DatabaseExtensions()) {
        if (r.extension.empty() || r.contentType.empty()) {
            continue;
        }
        std::u16string extension = ToLower(r.extension);
        if (extension.front() != u'.') {
            extension.insert(extension.begin(), u'.');
        }
        FTypes.insert_or_assign(std::move(extension), ToLower(r.contentType));
    }
}

std::u16string TMimeTable::Find(std::u16string_view extension) const
{
    const auto it = FTypes.find(ToLower(extension));
    return it == FTypes.end() ? std::u16string() : it->second;
}

const TMimeTable& TMimeTable::System()
{
    static const TMimeTable table(Platform::SystemMimeRegistry());
    return table;
}

} // namespace Folio::Shared
