// The ExitWindowsEx flags of each power action.
#pragma once

#include "platform/Power.h"

#include <windows.h>

namespace Folio::Win32 {

// Other applications may still ask the user to save their work; only those that do not
// answer are forced to close (EWX_FORCEIFHUNG, never EWX_FORCE).
UINT PowerExitFlags(Platform::TPowerAction action);

} // namespace Folio::Win32
