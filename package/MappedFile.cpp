// Mapping a file read-only: a file mapping object on Windows, mmap elsewhere.
#include "package/MappedFile.h"

#include "package/ExeUtils.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <limits>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Folio::Shared {

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)), FSize(std::exchange(other.FSize, 0)),
      FOpen(std::exchange(other.FOpen, false))
{
}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept
{
    if (this != &other) {
        Close();
        FData = std::exchange(other.FData, nullptr);
        FSize = std::exchange(other.FSize, 0);
        FOpen = std::exchange(other.FOpen, false);
    }
    return *this;
}

namespace {

[[noreturn]] void Fail(const std::u16string& path, const std::string& why)
{
    throw EFileError("Cannot map " + Utf16ToUtf8(path) + ": " + why);
}

std::string TooLarge(uint64_t size)
{
    return "the file (" + std::to_string(size) + " bytes) is too large to load";
}

} // namespace

#ifdef _WIN32

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
    if (bytes > std::numeric_limits<size_t>::max() / 2) {
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

void TMappedFile::Release(size_t offset, size_t length) const noexcept
{
    if (offset >= FSize || FData == nullptr) {
        return;
    }
    length = std::min(length, FSize - offset);
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const uintptr_t page = info.dwPageSize;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(FData) + offset + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(FData) + offset + length) / page * page;
    if (end > begin) {
        // Unlocking pages that are not locked takes them out of the working set.
        VirtualUnlock(reinterpret_cast<void*>(begin), end - begin);
    }
}

#else

void TMappedFile::Open(const std::u16string& path)
{
    Close();
    const std::string name = Utf16ToUtf8(path);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(path, "cannot open it");
    }
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        Fail(path, "not a regular file");
    }
    const auto bytes = static_cast<uint64_t>(st.st_size);
    if (bytes == 0) {
        ::close(fd);
        FOpen = true;
        return;
    }
    if (bytes > std::numeric_limits<size_t>::max() / 2) {
        ::close(fd);
        Fail(path, TooLarge(bytes));
    }
    void* view = mmap(nullptr, static_cast<size_t>(bytes), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file
    if (view == MAP_FAILED) {
        Fail(path, TooLarge(bytes));
    }
    FData = static_cast<const uint8_t*>(view);
    FSize = static_cast<size_t>(bytes);
    FOpen = true;
}

void TMappedFile::Close() noexcept
{
    if (FData != nullptr) {
        munmap(const_cast<uint8_t*>(FData), FSize);
    }
    FData = nullptr;
    FSize = 0;
    FOpen = false;
}

void TMappedFile::Release(size_t offset, size_t length) const noexcept
{
    if (offset >= FSize || FData == nullptr) {
        return;
    }
    length = std::min(length, FSize - offset);
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(FData) + offset + page - 1) / page * page;
    const uintptr_t end = (reinterpret_cast<uintptr_t>(FData) + offset + length) / page * page;
    if (end > begin) {
        // The mapping is private and never written: dropped pages come back from the file.
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
    }
}

#endif

} // namespace Folio::Shared
