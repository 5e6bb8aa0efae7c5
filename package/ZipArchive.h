// TZipArchive: a read-only ZIP reader over bytes the caller owns (a memory-mapped
// executable, a loaded file). It reads stored, deflated, Deflate64, bzip2 and LZMA
// entries (package/ZipMethods.h), traditional PKWARE encryption, data descriptors and
// ZIP64, and treats every length and offset
// in the data as untrusted: a damaged or hostile archive fails to open with a clear
// error, or leaves single entries unreadable; it never reads outside the data.
#pragma once

#include "package/MemoryStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Shared {

class TZipKeys;
class TKeyCheckpoints;

enum class ZipError {
    None,
    NoEndRecord,          // no end-of-central-directory record
    MultiDisk,            // spanned or split archives are not read
    BadZip64Record,       // ZIP64 end record missing or damaged
    DirectoryOutOfRange,  // the central directory lies outside the data
    BadDirectoryEntry,    // a central directory entry is damaged
    CountMismatch,        // the end record's entry count disagrees with the directory
    EntryOutOfRange,      // an entry's data lies outside the data
    EntriesOverlap,       // two entries, or an entry and the directory, share bytes
    TooLarge,             // the directory's index does not fit in this process's memory
};

// A short English text for an error.
const char* ZipErrorMessage(ZipError error) noexcept;

enum class ZipEntryStatus {
    Ok,
    WrongPassword,       // the encryption header's check byte does not match
    UnsupportedMethod,
    Damaged,             // headers or compressed data that do not decode
    CrcMismatch,
    SizeMismatch,
    SinkFailed,          // the receiver of streamed bytes refused them (ReadTo)
};

// A short English text for an entry status.
const char* ZipEntryStatusMessage(ZipEntryStatus status) noexcept;

// The hash of the name index under a given seed; the index draws one seed per process.
// Names equal but for the case of A-Z hash alike; other differences count.
uint32_t ZipNameHash(std::u16string_view name, uint64_t seed) noexcept;

struct TZipEntry {
    uint64_t LocalOffset = 0;
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint64_t Limit = 0;        // the entry's bytes must end here: next entry or the directory
    uint64_t NameStart = 0;    // ASCII names: into the archive's data; others: into the decoded names
    uint32_t Crc32 = 0;
    uint32_t NameHash = 0;
    uint16_t NameLength = 0;   // in code units
    uint16_t Method = 0;
    uint16_t Flags = 0;
    uint16_t DosTime = 0;
    bool NameInData = false;   // an ASCII name, read where it stands in the data

    bool Encrypted() const { return (Flags & 1) != 0; }
    bool HasDataDescriptor() const { return (Flags & 8) != 0; }
};

class TZipArchive {
public:
    // The password enters the key initialisation as its bytes in the ANSI code page.
    void SetPassword(std::u16string_view password);
    void SetPasswordBytes(std::string_view bytes);

    // Opens the archive over data, which must stay alive and unchanged while open.
    // Running out of memory is an error like any other: the archive is then closed.
    ZipError Open(std::span<const uint8_t> data);
    void Close();
    bool IsOpen() const { return FOpen; }

    size_t Count() const { return FEntries.size(); }
    const TZipEntry& Entry(size_t index) const { return FEntries[index]; }
    std::u16string Name(size_t index) const;

    // The entry's index, names compared ignoring the case of A-Z only; -1 when absent.
    // With several entries of one name the first counts.
    int Find(std::u16string_view name) const;

    // Appends the entry's decoded bytes to out. On any failure out is left as it was.
    ZipEntryStatus Read(size_t index, std::vector<uint8_t>& out) const;

    // Writes the named entry's bytes at the stream's position. A missing entry leaves
    // the stream untouched; so does an unreadable one, whose status is returned.
    // Returns Ok also for a missing entry: callers see an empty result either way.
    ZipEntryStatus Extract(std::u16string_view name, TMemoryStream& stream) const;

    // Decodes the entry through a fixed buffer, giving the bytes to sink in order as
    // they come; the sink returns false to stop (the result is then SinkFailed). The
    // CRC is only known at the end: a failure may follow bytes already given, so a
    // caller that must not keep partial output writes to a temporary place first.
    ZipEntryStatus ReadTo(size_t index, const std::function<bool(std::span<const uint8_t>)>& sink) const;

    // The most memory the index of the directory may take; an archive that needs more
    // is refused (TooLarge). By default, the largest object the process can hold.
    void SetMemoryLimit(uint64_t bytes) { FMemoryLimit = bytes; }

    // Where the archive's central directory starts, relative to the data.
    uint64_t DirectoryOffset() const { return FDirectoryOffset; }

private:
    friend class TZipEntryReader;

    ZipError ReadDirectory(uint64_t offset, uint64_t size, uint64_t count);
    ZipError CheckLayout();
    void BuildIndex();
    ZipEntryStatus LocateData(const TZipEntry& e, uint64_t& dataStart) const;
    bool NameEquals(const TZipEntry& e, std::u16string_view name) const;
    bool SameName(const TZipEntry& a, const TZipEntry& b) const;
    // Methods beyond stored and deflate (package/ZipMethods.h); payload is still encrypted.
    ZipEntryStatus ReadMethod(const TZipEntry& e, std::span<const uint8_t> payload, TZipKeys& keys,
                              std::vector<uint8_t>& out) const;

    std::span<const uint8_t> FData;
    std::string FPassword;
    std::vector<TZipEntry> FEntries;
    std::u16string FNames; // names that are not plain ASCII, decoded
    struct Slot {
        uint32_t Hash = 0;
        uint32_t Entry = 0; // entry index + 1; 0 = empty
    };
    std::vector<Slot> FIndex; // open addressing, linear probing
    uint64_t FDirectoryOffset = 0;
    uint64_t FMemoryLimit = PTRDIFF_MAX;
    bool FOpen = false;
    // Kept by the entry readers (package/ZipKeyCheckpoints.h); made anew by Open and
    // dropped by Close and a change of password: no point outlives its data or keys.
    std::shared_ptr<TKeyCheckpoints> FCheckpoints;
};

} // namespace Folio::Shared
