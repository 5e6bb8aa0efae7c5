// Port: the running executable as the package reader sees it.
#pragma once

#include <cstdint>
#include <string>

namespace Folio::Platform {

struct ModuleImage {
    std::u16string Path;   // the executable's file
    uint64_t ImageEnd = 0; // where its PE image ends in that file
};

// The running executable. Away from Windows the image is the whole file.
ModuleImage CurrentModuleImage();

// Tells the user that the executable carries no package, and ends the process with
// exit code 0. Does not return.
[[noreturn]] void ReportNothingAttachedAndExit();

} // namespace Folio::Platform
