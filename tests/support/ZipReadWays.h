// Test helper: an entry read each of the reader's three ways (whole with Read, streamed
// with ReadTo, piece by piece with TZipEntryReader), so that one table of archives
// checks all three against the same statuses and bytes.
#pragma once

#include "package/ZipArchive.h"
#include "package/ZipEntryReader.h"

#include <string>
#include <vector>

namespace FolioTest {

enum class ReadWay { Read, ReadTo, Reader };

inline constexpr ReadWay kReadWays[] = {ReadWay::Read, ReadWay::ReadTo, ReadWay::Reader};

inline std::string WayName(ReadWay way)
{
    return way == ReadWay::Read ? "Read" : way == ReadWay::ReadTo ? "ReadTo" : "TZipEntryReader";
}

// Appends the entry's bytes to out the given way. Streamed bytes given before a failure
// are dropped here, so that out is left as it was on failure whatever the way.
inline Folio::Shared::ZipEntryStatus ReadEntry(const Folio::Shared::TZipArchive& zip, size_t index,
                                               std::vector<uint8_t>& out, ReadWay way)
{
    using Folio::Shared::ZipEntryStatus;
    if (way == ReadWay::Read) {
        return zip.Read(index, out);
    }
    std::vector<uint8_t> got;
    ZipEntryStatus status;
    if (way == ReadWay::ReadTo) {
        status = zip.ReadTo(index, [&](std::span<const uint8_t> bytes) {
            got.insert(got.end(), bytes.begin(), bytes.end());
            return true;
        });
    } else {
        Folio::Shared::TZipEntryReader reader(zip, index);
        // An odd piece size, so that pieces straddle the 64 KB boundaries.
        uint8_t piece[7001];
        while (const size_t n = reader.Read(piece, sizeof piece)) {
            got.insert(got.end(), piece, piece + n);
        }
        status = reader.Status();
    }
    if (status == ZipEntryStatus::Ok) {
        out.insert(out.end(), got.begin(), got.end());
    }
    return status;
}

} // namespace FolioTest
