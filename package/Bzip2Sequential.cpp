// libbz2 over an entry's payload in pieces (see Bzip2Sequential.h).
#include "package/Bzip2Sequential.h"

#include <algorithm>
#include <cstring>

namespace Folio::Shared {

namespace {

// libbz2 counts in unsigned int.
constexpr size_t kSlice = size_t(1) << 30;

bool IsStreamHeader(const uint8_t* p)
{
    return p[0] == 'B' && p[1] == 'Z' && p[2] == 'h' && p[3] >= '1' && p[3] <= '9';
}

} // namespace

std::span<const uint8_t> TBzip2Pieces::Next()
{
    if (FSource) {
        return FSource->Next();
    }
    const size_t n = std::min(FWhole.size() - FAt, kSlice);
    FAt += n;
    return FWhole.subspan(FAt - n, n);
}

TBzip2Sequential::~TBzip2Sequential()
{
    if (FLive) {
        BZ2_bzDecompressEnd(&FStream);
    }
}

size_t TBzip2Sequential::Read(uint8_t* out, size_t capacity, ZipEntryStatus& status)
{
    size_t produced = 0;
    while (produced < capacity && !FEnded) {
        if (!FLive) {
            if (!StartStream(status)) {
                return 0;
            }
            continue; // a stream started, or none follows
        }
        const TCodecStep step = DriveCodec(*this, out, capacity, produced, status);
        if (step == TCodecStep::Failed) {
            return 0;
        }
        if (step == TCodecStep::Ended) {
            BZ2_bzDecompressEnd(&FStream);
            FLive = false;
            FFirst = false;
        }
    }
    return produced;
}

TCodecStep TBzip2Sequential::Step(uint8_t* out, size_t room, size_t& written, ZipEntryStatus& failure)
{
    FStream.next_out = reinterpret_cast<char*>(out);
    FStream.avail_out = static_cast<unsigned>(std::min(room, kSlice));
    const unsigned before = FStream.avail_out, inBefore = FStream.avail_in;
    const int rc = BZ2_bzDecompress(&FStream);
    written += before - FStream.avail_out;
    if (rc == BZ_STREAM_END) {
        return TCodecStep::Ended;
    }
    if (rc != BZ_OK) {
        // Damaged data or a bad magic; or no memory for the block's tables.
        failure = rc == BZ_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged;
        return TCodecStep::Failed;
    }
    if (FStream.avail_out == before && FStream.avail_in == inBefore && inBefore == 0) {
        failure = ZipEntryStatus::Damaged; // the input ended before the stream did
        return TCodecStep::Failed;
    }
    return TCodecStep::Running;
}

void TBzip2Sequential::Feed()
{
    const auto piece = FPieces.Next();
    FStream.next_in = const_cast<char*>(reinterpret_cast<const char*>(piece.data()));
    FStream.avail_in = static_cast<unsigned>(piece.size());
}

bool TBzip2Sequential::StartStream(ZipEntryStatus& status)
{
    uint8_t header[4];
    size_t got = 0;
    const char* rest = FStream.next_in;
    unsigned restSize = FStream.avail_in;
    while (got < 4) {
        if (restSize == 0) {
            const auto piece = FPieces.Next();
            if (piece.empty()) {
                break;
            }
            rest = reinterpret_cast<const char*>(piece.data());
            restSize = static_cast<unsigned>(piece.size());
        }
        const size_t n = std::min<size_t>(4 - got, restSize);
        std::memcpy(header + got, rest, n);
        got += n, rest += n, restSize -= static_cast<unsigned>(n);
    }
    if (got < 4 || !IsStreamHeader(header)) {
        if (FFirst) {
            status = ZipEntryStatus::Damaged;
            return false;
        }
        FEnded = true; // no further stream: the entry ends with the last one
        return true;
    }
    FStream = bz_stream{};
    if (BZ2_bzDecompressInit(&FStream, 0, 0) != BZ_OK) {
        status = ZipEntryStatus::SizeMismatch; // no memory for libbz2's state
        return false;
    }
    FLive = true;
    // The header may have come from two pieces: libbz2 gets it first, whole.
    std::memcpy(FHeader, header, 4);
    FStream.next_in = FHeader;
    FStream.avail_in = 4;
    FStream.next_out = nullptr;
    FStream.avail_out = 0;
    if (const int rc = BZ2_bzDecompress(&FStream); rc != BZ_OK || FStream.avail_in != 0) {
        status = rc == BZ_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged;
        return false;
    }
    FStream.next_in = const_cast<char*>(rest);
    FStream.avail_in = restSize;
    return true;
}

} // namespace Folio::Shared
