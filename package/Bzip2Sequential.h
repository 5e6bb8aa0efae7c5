// libbz2 over an entry's payload in pieces, one stream after another as long as the
// input goes on with a stream header: the sequential decoding of method 12, which the
// threaded one falls back on (Bzip2Method.cpp).
#pragma once

#include "package/CodecDriver.h"
#include "package/ZipMethods.h"

#include <bzlib.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace Folio::Shared {

// The payload in pieces: from the source, or from a span already in memory.
class TBzip2Pieces {
public:
    explicit TBzip2Pieces(TMethodSource& source) : FSource(&source) {}
    explicit TBzip2Pieces(std::span<const uint8_t> whole) : FWhole(whole) {}
    std::span<const uint8_t> Next();

private:
    TMethodSource* FSource = nullptr;
    std::span<const uint8_t> FWhole;
    size_t FAt = 0;
};

// Whatever follows the last stream is not looked at. Held in place (libbz2's state
// points back at the stream).
class TBzip2Sequential {
public:
    explicit TBzip2Sequential(TBzip2Pieces pieces) : FPieces(pieces) {}
    ~TBzip2Sequential();
    TBzip2Sequential(const TBzip2Sequential&) = delete;
    TBzip2Sequential& operator=(const TBzip2Sequential&) = delete;

    // Up to `capacity` bytes; 0 with Ended() at the end of the last stream, 0 otherwise
    // with the failure in `status`.
    size_t Read(uint8_t* out, size_t capacity, ZipEntryStatus& status);
    bool Ended() const { return FEnded; }

private:
    // DriveCodec's codec: libbz2's current stream.
    template <class TCodec>
    friend TCodecStep Shared::DriveCodec(TCodec&, uint8_t*, size_t, size_t&, ZipEntryStatus&);
    bool Starved() const { return FStream.avail_in == 0; }
    void Feed();
    TCodecStep Step(uint8_t* out, size_t room, size_t& written, ZipEntryStatus& failure);
    // Between streams: the first always starts, a further one only behind its header
    // (which may be cut across pieces).
    bool StartStream(ZipEntryStatus& status);

    TBzip2Pieces FPieces;
    bz_stream FStream{};
    char FHeader[4];
    bool FLive = false;
    bool FFirst = true;
    bool FEnded = false;
};

} // namespace Folio::Shared
