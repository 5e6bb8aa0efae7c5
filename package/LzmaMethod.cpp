// Method 14: LZMA in the ZIP form (two version bytes, the length of the properties,
// five property bytes, then a raw LZMA stream), decoded by liblzma piece by piece.
// Flag bit 1 says an end marker follows the data; the size is known either way.
#include "package/CodecDriver.h"
#include "package/ZipMethods.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace Folio::Shared {

namespace {

// The dictionary never needs to be larger than the entry, and is refused past this
// bound: on 32-bit Windows it has to fit beside the output in 2 GiB.
constexpr uint64_t kMaxDictionary = sizeof(void*) == 4 ? uint64_t(512) << 20 : uint64_t(1536) << 20;
constexpr size_t kHeader = 9;
constexpr size_t kTail = 64;

class TLzmaDecoder final : public TMethodDecoder {
public:
    TLzmaDecoder(TMethodSource& source, bool endMarker, uint64_t expected)
        : TMethodDecoder(expected), FSource(source), FEndMarker(endMarker)
    {
    }
    ~TLzmaDecoder() override { lzma_end(&FStream); }

    size_t Read(uint8_t* out, size_t capacity) override
    {
        if (FStatus != ZipEntryStatus::Ok || FEnded) {
            return 0;
        }
        if (!FStarted && !Start()) {
            return 0;
        }
        if (FProduced == FExpected) {
            Finish(); // an empty entry
            return 0;
        }
        capacity = static_cast<size_t>(std::min<uint64_t>(capacity, FExpected - FProduced));
        if (capacity == 0) {
            return 0; // a read of nothing changes nothing
        }
        // The entry's last byte is decoded on its own, from the stream's end in one
        // buffer (see StageEnd).
        const bool last = FProduced + capacity == FExpected;
        size_t n = 0;
        if (!Decode(out, capacity - (last ? 1 : 0), n)) {
            return 0;
        }
        if (last && !FStreamEnded && n == capacity - 1) {
            StageEnd();
            size_t one = 0;
            if (!Decode(out + n, 1, one)) {
                return 0;
            }
            n += one;
        }
        FProduced += n;
        if (FProduced == FExpected) {
            return Finish() ? n : 0;
        }
        if (FStreamEnded) {
            return Fail(ZipEntryStatus::SizeMismatch); // it ended before its size
        }
        return n;
    }

private:
    // Up to `capacity` bytes into `out`, fewer only where the stream ends; false when
    // decoding failed.
    bool Decode(uint8_t* out, size_t capacity, size_t& produced)
    {
        produced = 0;
        ZipEntryStatus failure = ZipEntryStatus::Ok;
        switch (DriveCodec(*this, out, capacity, produced, failure)) {
        case TCodecStep::Ended:
            // With the size set liblzma ends the stream exactly there (after the end
            // marker, when there is one), or earlier at an end marker.
            FStreamEnded = true;
            return true;
        case TCodecStep::Failed:
            Fail(failure);
            return false;
        case TCodecStep::Running:
            break;
        }
        return true;
    }

    // DriveCodec's codec: liblzma's stream, finished once the input has run out.
    template <class TCodec>
    friend TCodecStep Shared::DriveCodec(TCodec&, uint8_t*, size_t, size_t&, ZipEntryStatus&);
    bool Starved() const { return FStream.avail_in == 0; }
    TCodecStep Step(uint8_t* out, size_t room, size_t& written, ZipEntryStatus& failure)
    {
        FStream.next_out = out;
        FStream.avail_out = room;
        const lzma_ret rc = lzma_code(&FStream, FStream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        written += room - FStream.avail_out;
        if (rc == LZMA_STREAM_END) {
            return TCodecStep::Ended;
        }
        if (rc != LZMA_OK) {
            // LZMA_BUF_ERROR: the input ended early; LZMA_MEM_ERROR: no room for the
            // dictionary; anything else: damaged data.
            failure = rc == LZMA_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged;
            return TCodecStep::Failed;
        }
        return TCodecStep::Running;
    }

    // The next input into liblzma's stream. The payload's last kTail bytes always come
    // in one buffer: liblzma 5.4.1 reports damaged data when the input is cut inside the
    // end marker's bits after the size has been reached.
    void Feed()
    {
        if (FPending.empty()) {
            FPending = FSource.Next();
        }
        const uint64_t size = FSource.Size();
        const uint64_t tailStart = size > kTail ? size - kTail : 0;
        if (FFed >= tailStart) {
            size_t n = 0;
            while (!FPending.empty() && n < kTail) {
                const size_t take = std::min(FPending.size(), kTail - n);
                std::copy_n(FPending.data(), take, FTail + n);
                n += take;
                FPending = FPending.subspan(take);
                if (FPending.empty()) {
                    FPending = FSource.Next();
                }
            }
            FStream.next_in = FTail;
            FStream.avail_in = n;
            FFed += n;
            return;
        }
        const auto n = static_cast<size_t>(std::min<uint64_t>(FPending.size(), tailStart - FFed));
        FStream.next_in = FPending.data();
        FStream.avail_in = n;
        FPending = FPending.subspan(n);
        FFed += n;
    }

    // The same fault strikes where the payload goes on after the stream (bytes a whole
    // decode never looks at): before the last byte and the end check, what liblzma has
    // left of its input and the bytes after it are copied into one buffer, long enough
    // for the last symbol and the stream's end, and running to the payload's end once
    // inside its last kTail bytes.
    void StageEnd()
    {
        const uint64_t size = FSource.Size();
        const uint64_t tailStart = size > kTail ? size - kTail : 0;
        if (FStream.avail_in >= kTail || FFed == size) {
            return; // enough at hand, or all of the rest
        }
        size_t n = FStream.avail_in;
        if (n != 0) {
            std::memmove(FStage, FStream.next_in, n); // it may lie in FStage already
        }
        while (FFed < size && (n < 2 * kTail || FFed > tailStart)) {
            if (FPending.empty()) {
                FPending = FSource.Next();
                if (FPending.empty()) {
                    break;
                }
            }
            const auto take = static_cast<size_t>(
                std::min<uint64_t>(FPending.size(), n < 2 * kTail ? 2 * kTail - n : size - FFed));
            std::copy_n(FPending.data(), take, FStage + n);
            FPending = FPending.subspan(take);
            n += take;
            FFed += take;
        }
        FStream.next_in = FStage;
        FStream.avail_in = n;
    }

    bool Start()
    {
        FStarted = true;
        uint8_t header[kHeader];
        for (size_t got = 0; got < kHeader;) {
            if (FStream.avail_in == 0) {
                Feed();
                if (FStream.avail_in == 0) {
                    Fail(ZipEntryStatus::Damaged);
                    return false;
                }
            }
            const size_t n = std::min(kHeader - got, FStream.avail_in);
            std::copy_n(FStream.next_in, n, header + got);
            FStream.next_in += n;
            FStream.avail_in -= n;
            got += n;
        }
        if ((header[2] | (header[3] << 8)) != 5) {
            Fail(ZipEntryStatus::Damaged);
            return false;
        }
        const uint8_t* props = header + 4;
        if (props[0] >= 9 * 5 * 5) {
            Fail(ZipEntryStatus::Damaged);
            return false;
        }
        lzma_options_lzma options{};
        options.lc = props[0] % 9;
        options.lp = props[0] / 9 % 5;
        options.pb = props[0] / 45;
        if (options.lc + options.lp > LZMA_LCLP_MAX) {
            // Valid LZMA (7-Zip writes lc up to 8 on request), but liblzma decodes only
            // lc + lp <= 4: the entry is not damaged, we cannot read it.
            Fail(ZipEntryStatus::UnsupportedMethod);
            return false;
        }
        const uint64_t claimed = props[1] | (props[2] << 8) | (props[3] << 16) | (uint64_t(props[4]) << 24);
        const uint64_t dictionary = std::max<uint64_t>(LZMA_DICT_SIZE_MIN, std::min<uint64_t>(claimed, FExpected));
        if (dictionary > kMaxDictionary) {
            Fail(ZipEntryStatus::UnsupportedMethod);
            return false;
        }
        options.dict_size = static_cast<uint32_t>(dictionary);
        options.ext_flags = FEndMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
        options.ext_size_low = static_cast<uint32_t>(FExpected);
        options.ext_size_high = static_cast<uint32_t>(FExpected >> 32);
        const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
        // The dictionary is allocated here already: no memory for it is the reader's
        // limit, not damaged data.
        const uint8_t* pending = FStream.next_in;
        const size_t pendingSize = FStream.avail_in;
        if (const lzma_ret rc = lzma_raw_decoder(&FStream, filters); rc != LZMA_OK) {
            Fail(rc == LZMA_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged);
            return false;
        }
        FStream.next_in = pending;
        FStream.avail_in = pendingSize;
        return true;
    }

    // With every byte given: the stream must end here. liblzma, told the size, ends it
    // on its own (reading the end marker first when there is one) and would write
    // the probe byte only for data past the size.
    bool Finish()
    {
        if (FStreamEnded) {
            FEnded = true;
            return true;
        }
        StageEnd();
        uint8_t probe[1];
        size_t written = 0;
        ZipEntryStatus failure = ZipEntryStatus::Ok;
        const TCodecStep step = DriveCodec(*this, probe, 1, written, failure);
        if (written != 0) {
            Fail(ZipEntryStatus::SizeMismatch);
            return false;
        }
        if (step == TCodecStep::Failed) {
            Fail(failure);
            return false;
        }
        FEnded = true; // the stream ended: a full probe would have been written
        return true;
    }

    TMethodSource& FSource;
    const bool FEndMarker;
    lzma_stream FStream = LZMA_STREAM_INIT;
    std::span<const uint8_t> FPending; // what liblzma has not been given of the source's piece
    uint64_t FFed = 0;                 // payload bytes given to liblzma (or to the header)
    uint8_t FTail[kTail];
    uint8_t FStage[3 * kTail]; // left of the input, then up to 2 * kTail bytes, or to the end
    bool FStarted = false;
    bool FStreamEnded = false; // liblzma said so
    bool FEnded = false;       // and every byte has been given
    uint64_t FProduced = 0;
};

} // namespace

std::unique_ptr<TMethodDecoder> OpenLzma(TMethodSource& source, bool endMarker, uint64_t expected)
{
    try {
        return std::make_unique<TLzmaDecoder>(source, endMarker, expected);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace Folio::Shared
