// Port: the content types the machine registers for file-name extensions.
// The Win32 adapter reads HKEY_CLASSES_ROOT; other builds have none.
#pragma once

#include <string>
#include <vector>

namespace Folio::Platform {

struct MimeRegistration {
    std::u16string extension;   // as registered; may lack the leading "."
    std::u16string contentType;
};

class MimeRegistry {
public:
    virtual ~MimeRegistry() = default;
    // Every key ".ext" with a non-empty "Content Type" value.
    virtual std::vector<MimeRegistration> ExtensionContentTypes() const = 0;
    // Every MIME database entry (a content type) with a non-empty "Extension" value.
    virtual std::vector<MimeRegistration> DatabaseExtensions() const = 0;
};

// The machine's registry: real on Windows, empty elsewhere.
const MimeRegistry& SystemMimeRegistry();

} // namespace Folio::Platform
