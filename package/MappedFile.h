// TMappedFile: a whole file mapped read-only into memory, so that an archive can be
// read in place: nothing is copied, and pages are read from disk only when touched.
// The package reader keeps a span of it while open; the file must outlive that span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace Folio::Shared {

class TMappedFile {
public:
    TMappedFile() = default;
    ~TMappedFile() { Close(); }
    TMappedFile(TMappedFile&& other) noexcept;
    TMappedFile& operator=(TMappedFile&& other) noexcept;
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // Maps the file at path, closing any file mapped before. Raises EFileError
    // (package/ExeUtils.h) when the file cannot be opened, or cannot be mapped whole
    // (a file larger than the process's free address space). An empty file maps to an
    // empty span.
    void Open(const std::u16string& path);
    void Close() noexcept;

    bool IsOpen() const { return FOpen; }
    std::span<const uint8_t> Bytes() const { return {FData, FSize}; }

    // Gives back the memory of the pages wholly inside [offset, offset + length): they
    // stay mapped and are read from the file again when touched. For a long read through
    // the file, whose pages behind it would otherwise all stay counted to the process.
    void Release(size_t offset, size_t length) const noexcept;

private:
    const uint8_t* FData = nullptr;
    size_t FSize = 0;
    bool FOpen = false;
};

// The whole pages of pageSize bytes inside [offset, offset + length) of a view of size
// bytes at address base: what TMappedFile::Release gives back. The range is cut at the
// view's end; nothing when no whole page lies inside it.
struct TPageRun {
    uintptr_t First = 0;
    size_t Length = 0;
};
TPageRun WholePagesInside(uintptr_t base, size_t size, size_t offset, size_t length, size_t pageSize) noexcept;

} // namespace Folio::Shared
