// TZipWriter: writes the package archive. Every entry is stored (method 0), encrypted
// with the traditional PKWARE cipher when a password is set, and followed by a data
// descriptor; names are UTF-8 and flagged so. ZIP64 records are written where sizes,
// offsets or the entry count need them. The same inputs give the same bytes: the
// encryption headers are derived from the entry, not drawn at random.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Shared {

struct TZipWriterOptions {
    std::string Password;      // bytes as they enter the keys; empty: no encryption
    bool ForceZip64 = false;   // ZIP64 records for every entry and the end record
};

class TZipWriter {
public:
    TZipWriter(std::ostream& out, TZipWriterOptions options);

    // Adds an entry whose content `read(buffer, capacity)` delivers in pieces until it
    // returns 0; `size` is its total length. `dosDateTime` is the DOS date (high half)
    // and time (low half). Throws std::runtime_error on a write failure or when the
    // content does not have the announced size.
    void Add(std::string_view utf8Name, uint64_t size, uint32_t dosDateTime,
             const std::function<size_t(uint8_t*, size_t)>& read);
    void AddBytes(std::string_view utf8Name, std::string_view bytes, uint32_t dosDateTime);

    // Writes the central directory and the end records.
    void Finish();

    uint64_t Offset() const { return FOffset; }

    // DOS date and time of a Unix time, taken in UTC, clamped to the DOS range:
    // 1980-01-01 00:00:00 for earlier times, 2107-12-31 23:59:58 for later ones.
    static uint32_t DosDateTime(int64_t unixTime);

private:
    struct Record {
        std::string Name;
        uint64_t Offset, Size, StoredSize;
        uint32_t Crc, DosDateTime;
        bool Zip64;
    };
    void Put(const void* bytes, size_t n);

    std::ostream& FOut;
    TZipWriterOptions FOptions;
    std::vector<Record> FRecords;
    std::vector<uint8_t> FBuffer; // one copy buffer for all entries
    uint64_t FOffset = 0;
};

} // namespace Folio::Shared
