// Reading and replacing the resources of an executable file (icons, version
// information). Every build does it the same way, on the file's bytes (PeResources.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Folio::Platform {

struct ResourceName {
    uint16_t Id = 0;          // used when Name is empty
    std::u16string Name;
};

inline bool operator==(const ResourceName& a, const ResourceName& b)
{
    return a.Name.empty() ? b.Name.empty() && a.Id == b.Id : a.Name == b.Name;
}

struct Resource {
    ResourceName Type;        // RT_ICON 3, RT_GROUP_ICON 14, RT_VERSION 16, or a named type
    ResourceName Name;
    uint16_t Language = 0;
    uint32_t CodePage = 0;    // the data entry's code page, kept as it was
    std::string Bytes;        // empty with Delete
    bool Delete = false;
};

// The resources of one type in an executable file, with their bytes.
// Throws std::runtime_error when the file cannot be read as an executable.
std::vector<Resource> ListResources(const std::u16string& exePath, uint16_t type);

// Deletes, replaces and adds resources in one update of the file; the file's other
// resources are kept. Throws std::runtime_error.
void UpdateResources(const std::u16string& exePath, const std::vector<Resource>& changes);

} // namespace Folio::Platform
