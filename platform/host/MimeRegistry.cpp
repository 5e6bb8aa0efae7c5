// Away from Windows there is no registry of content types: the built-in list stands alone.
#include "platform/MimeRegistry.h"

namespace Folio::Platform {

namespace {

class NoMimeRegistry final : public MimeRegistry {
public:
    std::vector<MimeRegistration> ExtensionContentTypes() const override { return {}; }
    std::vector<MimeRegistration> DatabaseExtensions() const override { return {}; }
};

} // namespace

const MimeRegistry& SystemMimeRegistry()
{
    static const NoMimeRegistry registry;
    return registry;
}

} // namespace Folio::Platform
