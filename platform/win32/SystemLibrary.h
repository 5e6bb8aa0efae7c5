// Loading Windows' own libraries. Every one is taken from the system folder by its full
// path: a bare name would let the executable's folder (a Downloads folder, say) answer
// first, and a library planted there would run inside the program.
#pragma once

#include <windows.h>

namespace Folio::Win32 {

// The system library `name` (a file name such as L"dwmapi.dll") from the system folder,
// its own dependencies looked for there first too; null when it cannot be loaded. The
// reference is the caller's (most keep it for the life of the process).
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// The function `procedure` of the system library `name`, loaded as above and kept for
// the life of the process; null when either is missing.
template <typename F>
F SystemFunction(const wchar_t* name, const char* procedure) noexcept
{
    const HMODULE module = LoadSystemLibrary(name);
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, procedure))) : nullptr;
}

} // namespace Folio::Win32
