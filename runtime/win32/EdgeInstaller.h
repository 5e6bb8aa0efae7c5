// What start-up does when the browser runtime is missing: report it, or offer to install
// it from the installer the package carries, run that installer elevated while a small
// wait window animates, and start the application anew when the runtime is there.
#pragma once

#include "platform/FileSystem.h"
#include "runtime/ExeZipLoader.h"

namespace Folio::Runtime {

// Every way through ends with the process to end (after a restart when the
// installation succeeded).
void RunInstallerBranch(TApplication& app, Platform::TFileSystem& files);

} // namespace Folio::Runtime
