// TExeUtils: the package appended to an executable. The runtime reads it back from its
// own file; the packer appends it. Reader and writer agree byte for byte: everything
// after the PE image's end (E) is the archive, with no marker around it.
#pragma once

#include "package/ExeResources.h"
#include "package/MemoryStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <span>
#include <stdexcept>
#include <string>

namespace Folio::Shared {

class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TExeUtils;
class TMappedFile;
// Progress: the sender and a 64-bit count (total bytes, or bytes copied so far).
using TProgressEvent = std::function<void(TExeUtils* Sender, int64_t Count)>;

class TExeUtils {
public:
    static constexpr size_t ChunkSize = 10240;

    // The running executable.
    TExeUtils();
    // A given executable file whose PE image ends at imageEnd (packer, tests).
    TExeUtils(std::u16string exePath, uint64_t imageEnd);

    TProgressEvent OnProgressMax;
    TProgressEvent OnProgressPos;
    // Called when GetZipFromExe or ExtractZipFromExe finds nothing attached; by default
    // it tells the user and ends the process. A replacement that returns makes the copy
    // raise EFileError instead.
    std::function<void()> OnNothingAttached;

    bool ExeHasAttachedStub() const;
    // Copies the appended archive into MemoryStream from position 0. A package larger
    // than the memory limit raises EFileError before anything is read or allocated.
    void GetZipFromExe(TMemoryStream& MemoryStream);
    // Maps the executable into mapping and returns the appended archive's bytes inside
    // it: nothing is copied. Raises EFileError, before anything is mapped, for a package
    // larger than the memory limit, and when the file cannot be mapped.
    std::span<const uint8_t> MapZipFromExe(TMappedFile& mapping);
    // The largest package GetZipFromExe takes into memory, or MapZipFromExe into the
    // address space. By default, the largest object the process can hold (under 2 GiB
    // in a 32-bit process).
    void SetMemoryLimit(uint64_t bytes) { FMemoryLimit = bytes; }
    // Writes the appended archive to a new file at ZipPath (replacing one there).
    void ExtractZipFromExe(const std::u16string& ZipPath);
    // Appends the archive file at ZipPath to the executable at ExePath.
    void AppendZipToExe(const std::u16string& ZipPath, const std::u16string& ExePath);

    // Replaces the main icon group "MAINICON" and its images with those of an icon
    // file. Windows only (the resource-update functions); elsewhere raises EFileError.
    static void ChangeExeIcon(const std::u16string& ExePath, const std::u16string& IcoPath);
    // Replaces the version information with the given strings; Windows only.
    static void UpdateExeInfo(const std::u16string& ExePath, const TExeInfo& Info);

    // Size from the directory entry; -1 when no such file or folder exists.
    static int64_t GetFileSize64(const std::u16string& Path);

    const std::u16string& ExePath() const { return FExePath; }
    uint64_t ImageEnd() const { return FImageEnd; }

private:
    int64_t AttachedSize() const;
    // The attached size; when nothing is attached, tells so (OnNothingAttached).
    int64_t RequireAttached();
    // Raises EFileError for a package of size bytes over the memory limit.
    void CheckMemoryLimit(int64_t size) const;
    // Reads size bytes from in in chunks of ChunkSize, giving each to sink and
    // reporting progress; a source that ends early raises EFileError.
    template <typename Sink>
    void CopyChunks(std::istream& in, const std::u16string& source, int64_t size, Sink&& sink);
    template <typename Sink>
    void CopyAttached(Sink&& sink, int64_t size);
    void NothingAttached();

    std::u16string FExePath;
    uint64_t FImageEnd = 0;
    uint64_t FMemoryLimit = PTRDIFF_MAX;
};

} // namespace Folio::Shared
