// The running module away from Windows: the file behind /proc/self/exe, no PE image.
#include "platform/RunningModule.h"

#include "util/TextCodecs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace Folio::Platform {

ModuleImage CurrentModuleImage()
{
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    ModuleImage image;
    image.Path = Shared::Utf8ToUtf16(path.string());
    const auto size = std::filesystem::file_size(path, ec);
    image.ImageEnd = ec ? 0 : size;
    return image;
}

void ReportNothingAttachedAndExit()
{
    std::fputs("This is not a valid Windows application\n", stderr);
    std::exit(0);
}

} // namespace Folio::Platform
