// Mapping a file read-only with mmap (the host, and any POSIX system).
#include "package/MappedFile.h"

#include "package/MappedFileParts.h"
#include "util/TextCodecs.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace Folio::Shared {

using namespace MappedFileParts;

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
    if (!Mappable(bytes)) {
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

namespace MappedFileParts {

size_t PageSize() noexcept { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }

void DropPages(uintptr_t first, size_t length) noexcept
{
    // The mapping is private and never written: dropped pages come back from the file.
    madvise(reinterpret_cast<void*>(first), length, MADV_DONTNEED);
}

} // namespace MappedFileParts

} // namespace Folio::Shared
