// Mapping a file read-only: what does not depend on the system (moves, the failures, the
// pages a release gives back); the mapping itself is in MappedFileWin32.cpp (a file
// mapping object) and MappedFilePosix.cpp (mmap).
#include "package/MappedFile.h"

#include "package/ExeUtils.h"
#include "package/MappedFileParts.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <limits>
#include <utility>

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

void TMappedFile::Release(size_t offset, size_t length) const noexcept
{
    if (FData == nullptr) {
        return;
    }
    const TPageRun run = WholePagesInside(reinterpret_cast<uintptr_t>(FData), FSize, offset, length,
                                          MappedFileParts::PageSize());
    if (run.Length > 0) {
        MappedFileParts::DropPages(run.First, run.Length);
    }
}

TPageRun WholePagesInside(uintptr_t base, size_t size, size_t offset, size_t length, size_t pageSize) noexcept
{
    if (offset >= size || pageSize == 0) {
        return {};
    }
    length = std::min(length, size - offset);
    const uintptr_t begin = (base + offset + pageSize - 1) / pageSize * pageSize;
    const uintptr_t end = (base + offset + length) / pageSize * pageSize;
    return end > begin ? TPageRun{begin, static_cast<size_t>(end - begin)} : TPageRun{};
}

namespace MappedFileParts {

void Fail(const std::u16string& path, const std::string& why)
{
    throw EFileError("Cannot map " + Utf16ToUtf8(path) + ": " + why);
}

std::string TooLarge(uint64_t size)
{
    return "the file (" + std::to_string(size) + " bytes) is too large to load";
}

bool Mappable(uint64_t size) noexcept { return size <= std::numeric_limits<size_t>::max() / 2; }

} // namespace MappedFileParts

} // namespace Folio::Shared
