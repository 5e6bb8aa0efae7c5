// Windows' own libraries by their full path in the system folder (see SystemLibrary.h).
#include "platform/win32/SystemLibrary.h"

#include <cwchar>

namespace Folio::Win32 {

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept
{
    if (!name || !*name || std::wcschr(name, L'\\') || std::wcschr(name, L'/')) {
        return nullptr; // a file name of the system folder, nothing else
    }
    wchar_t path[MAX_PATH];
    const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    const size_t length = std::wcslen(name);
    if (folder == 0 || folder + 1 + length >= MAX_PATH) {
        return nullptr;
    }
    path[folder] = L'\\';
    std::wmemcpy(path + folder + 1, name, length + 1);
    // With a full path, the altered search order looks for the library's own
    // dependencies in its folder first, not in the executable's.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace Folio::Win32
