// Mapping a file read-only on Windows: a file mapping object and a view of it whole.
#include "package/MappedFile.h"

#include "package/MappedFileParts.h"

#include <windows.h>

#include <string>

namespace Folio::Shared {

using namespace MappedFileParts;

void TMappedFile::Open(const std::u16string& path)
{
    Close();
    // Others may read the file, and the running executable may be renamed or deleted
    // (updaters do); nobody may write to it while it is mapped.
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail(path, "error " + std::to_string(GetLastError()) + " opening it");
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        Fail(path, "error " + std::to_string(error) + " reading its size");
    }
    const auto bytes = static_cast<uint64_t>(size.QuadPart);
    if (bytes == 0) {
        CloseHandle(file);
        FOpen = true;
        return;
    }
    if (!Mappable(bytes)) {
        CloseHandle(file);
        Fail(path, TooLarge(bytes));
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const DWORD mappingError = GetLastError();
    CloseHandle(file); // the mapping keeps the file open
    if (mapping == nullptr) {
        Fail(path, "error " + std::to_string(mappingError) + " mapping it");
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    const DWORD viewError = GetLastError();
    CloseHandle(mapping); // the view keeps the mapping alive
    if (view == nullptr) {
        Fail(path, viewError == ERROR_NOT_ENOUGH_MEMORY ? TooLarge(bytes)
                                                        : "error " + std::to_string(viewError) + " mapping it");
    }
    FData = static_cast<const uint8_t*>(view);
    FSize = static_cast<size_t>(bytes);
    FOpen = true;
}

void TMappedFile::Close() noexcept
{
    if (FData != nullptr) {
        UnmapViewOfFile(FData);
    }
    FData = nullptr;
    FSize = 0;
    FOpen = false;
}

namespace MappedFileParts {

size_t PageSize() noexcept
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void DropPages(uintptr_t first, size_t length) noexcept
{
    // Unlocking pages that are not locked takes them out of the working set.
    VirtualUnlock(reinterpret_cast<void*>(first), length);
}

} // namespace MappedFileParts

} // namespace Folio::Shared
