// TExeUtils: the package appended to an executable. The runtime reads it back from its
// own file; the packer appends it. Reader and writer agree byte for byte: the archive
// starts at the PE image's end (E), with no marker around it, and runs to the end of
// the file, or, in a signed file, to the certificate table the signature added after it.
#pragma once

#include "package/ExeResources.h"
#include "package/MemoryStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace Folio::Shared {

class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The certificate table of a signed file: its file offset and length.
struct TCertificateTable {
    uint64_t Offset = 0, Size = 0;
};

// The certificate table of a file of fileSize bytes whose PE image ends at imageEnd,
// when its security directory names one; nullopt when the file is unsigned (or not a
// PE image). `headers` are the file's first bytes, enough to hold its PE headers;
// readAt(offset, n) gives n bytes of the file at offset. The one table taken is a single
// Authenticode entry at or after the image end that ends where the file ends; any other
// raises EFileError, saying what is wrong with it: inside the image, inside the
// appended data (bytes follow it), past the end of the file, of an absurd size, not a
// signature, or several entries. `name` names the file in the message.
std::optional<TCertificateTable> LocateCertificateTable(std::span<const uint8_t> headers, uint64_t fileSize,
                                                        uint64_t imageEnd,
                                                        const std::function<std::string(uint64_t, size_t)>& readAt,
                                                        const std::string& name);
// The same over a whole file's bytes.
std::optional<TCertificateTable> LocateCertificateTable(std::span<const uint8_t> file, uint64_t imageEnd,
                                                        const std::string& name);
// Where the package of a file ends: at its certificate table when signed, else at the
// file's end. Raises EFileError as LocateCertificateTable does.
uint64_t PackageEnd(std::span<const uint8_t> file, uint64_t imageEnd, const std::string& name);

// The largest certificate table taken: a signature with its certificate chain, a
// timestamp and nested signatures fits many times over.
constexpr uint64_t kMaxCertificateTable = 4u << 20;

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
    // Bytes of the package: from the image end to the certificate table or the file's
    // end. A certificate table that is refused raises EFileError when refuseBadTable,
    // else counts as nothing cut off, so that the copy (and not the check for a
    // package) raises its message.
    int64_t AttachedSize(bool refuseBadTable) const;
    // The package's size in the file's bytes (EFileError for a refused table).
    int64_t PackageSize(std::span<const uint8_t> file) const;
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
