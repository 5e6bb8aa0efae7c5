// TZipWriter: writes the package archive. Entries are stored (method 0) or deflated
// (method 8, zlib at its best level), encrypted with the traditional PKWARE cipher when
// a password is set, and followed by a data descriptor; names are UTF-8 and flagged so. ZIP64 records are written where sizes,
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
    // and time (low half). With `deflate` the entry is deflated where that pays: an entry
    // of up to kTrialLimit bytes is deflated in memory first and stays stored when that
    // does not make it smaller; a larger one is deflated as it streams through. Throws
    // std::runtime_error on a write failure or when the content does not have the
    // announced size.
    void Add(std::string_view utf8Name, uint64_t size, uint32_t dosDateTime,
             const std::function<size_t(uint8_t*, size_t)>& read, bool deflate = false);
    void AddBytes(std::string_view utf8Name, std::string_view bytes, uint32_t dosDateTime, bool deflate = false);

    static constexpr uint64_t kTrialLimit = 4u << 20;

    // Writes the central directory and the end records.
    void Finish();

    uint64_t Offset() const { return FOffset; }
    // The content bytes of every entry so far, and the bytes their data took in the
    // archive (without encryption headers): the difference is what deflate saved.
    uint64_t ContentBytes() const { return FContentBytes; }
    uint64_t DataBytes() const { return FDataBytes; }

    // DOS date and time of a Unix time, taken in UTC, clamped to the DOS range:
    // 1980-01-01 00:00:00 for earlier times, 2107-12-31 23:59:58 for later ones.
    static uint32_t DosDateTime(int64_t unixTime);

private:
    struct Record {
        std::string Name;
        uint64_t Offset, Size, StoredSize;
        uint32_t Crc, DosDateTime;
        bool Zip64;
        uint16_t Method;
    };
    void Put(const void* bytes, size_t n);
    void PutHeader(Record& r, uint16_t flags);

    std::ostream& FOut;
    TZipWriterOptions FOptions;
    std::vector<Record> FRecords;
    std::vector<uint8_t> FBuffer; // one copy buffer for all entries
    uint64_t FOffset = 0;
    uint64_t FContentBytes = 0, FDataBytes = 0;
};

} // namespace Folio::Shared
