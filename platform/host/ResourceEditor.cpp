// Away from Windows there are no resource-update functions: the operations say so.
#include "platform/ResourceEditor.h"

#include <stdexcept>

namespace Folio::Platform {

std::vector<Resource> ListResources(const std::u16string&, uint16_t)
{
    throw std::runtime_error("changing an executable's resources needs Windows (use folio-pack.exe)");
}

void UpdateResources(const std::u16string&, const std::vector<Resource>&)
{
    throw std::runtime_error("changing an executable's resources needs Windows (use folio-pack.exe)");
}

} // namespace Folio::Platform
