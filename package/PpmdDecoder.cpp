// Method 98 read as a stream: a 16-bit parameter word (order, memory, what to do when
// memory runs out), then the range-coded symbols. 7-Zip's encoder ends the data with an
// escape out of the order-0 context and flushes the coder: we ask for that end mark
// after the entry's size and, as 7-Zip's own reader does, for every input byte to be
// used and none past the end.
#include "package/PpmdModel.h"
#include "package/ZipMethods.h"

#include <algorithm>
#include <new>

namespace Folio::Shared {

namespace Ppmd {

uint8_t TByteSource::Refill()
{
    if (Source) {
        const std::span<const uint8_t> piece = Source->Next();
        if (!piece.empty()) {
            Next = piece.data() + 1;
            End = piece.data() + piece.size();
            return piece[0];
        }
        Source = nullptr;
    }
    ++Overrun;
    return 0;
}

bool TByteSource::Drained()
{
    if (Next != End) {
        return false;
    }
    if (Source && !Source->Next().empty()) {
        return false;
    }
    Source = nullptr;
    return true;
}

namespace {

// The parameter word and the model's memory come with the first Read; each Read then
// decodes symbols straight into the caller's buffer, the model and the range coder
// carrying over to the next.
class TPpmdDecoder final : public TMethodDecoder {
public:
    TPpmdDecoder(TMethodSource& source, uint64_t expected, uint32_t memory) noexcept
        : TMethodDecoder(expected), FSource(source), FMemory(memory), FLeft(expected)
    {
    }

    size_t Read(uint8_t* out, size_t capacity) override
    {
        if (FStatus != ZipEntryStatus::Ok || FEnded) {
            return 0;
        }
        if (!FBegun) {
            FBegun = true;
            const ZipEntryStatus status = Begin();
            if (status != ZipEntryStatus::Ok) {
                return Stop(status);
            }
        }
        const auto n = static_cast<size_t>(std::min<uint64_t>(capacity, FLeft));
        for (size_t i = 0; i < n; ++i) {
            const int symbol = FModel.DecodeSymbol(FRc);
            if (symbol < 0 || FRc.In.Overrun != 0 || FModel.Broken()) [[unlikely]] {
                // A clean end mark here came early: the stream is shorter than the entry.
                const bool clean = symbol == -1 && FRc.In.Overrun == 0 && !FModel.Broken() && !FRc.Failed;
                return Stop(clean ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged);
            }
            out[i] = static_cast<uint8_t>(symbol);
        }
        FLeft -= n;
        if (FLeft == 0) {
            FEnded = true;
            Stop(End());
            return FStatus == ZipEntryStatus::Ok ? n : 0; // a failed end withholds the last piece
        }
        return n;
    }

private:
    // The model's memory (up to 256 MiB) goes as soon as the stream is done with, well or
    // not: a reader may keep a finished decoder for a while.
    size_t Stop(ZipEntryStatus status)
    {
        FModel.Release();
        if (status != ZipEntryStatus::Ok) {
            Fail(status);
        }
        return 0;
    }

    ZipEntryStatus Begin()
    {
        FRc.In.Source = &FSource;
        const unsigned low = FRc.In.Take();
        const unsigned word = low | FRc.In.Take() << 8;
        if (FRc.In.Overrun != 0) {
            return ZipEntryStatus::Damaged;
        }
        const unsigned order = (word & 0xF) + 1;
        const uint32_t megabytes = ((word >> 4) & 0xFF) + 1;
        const unsigned restore = word >> 12;
        if (restore > kRestoreCutOff) {
            return ZipEntryStatus::UnsupportedMethod; // 2 is "freeze", which 7-Zip does not write either
        }
        if (order < kMinOrder) {
            return ZipEntryStatus::Damaged;
        }
        if (FExpected > MethodMaxSize(kMethodPpmd, FSource.Size())) {
            return ZipEntryStatus::SizeMismatch;
        }
        // Up to 256 MiB that the stream asks for: no memory for it is the reader's limit,
        // as for LZMA's dictionary, not damaged data.
        if (!FModel.Allocate(FMemory != 0 ? std::max(FMemory, kMinMemory) : megabytes << 20)) {
            return ZipEntryStatus::SizeMismatch;
        }
        if (!FRc.Start()) {
            return ZipEntryStatus::Damaged;
        }
        FModel.Start(order, restore);
        return ZipEntryStatus::Ok;
    }

    // After the entry's last byte: the end mark, the coder flushed to zero, and no byte
    // of the payload left over or missing.
    ZipEntryStatus End()
    {
        const int symbol = FModel.DecodeSymbol(FRc);
        if (symbol >= 0) {
            return ZipEntryStatus::SizeMismatch; // more data than the entry claims
        }
        if (FRc.Failed || FModel.Broken() || FRc.In.Overrun != 0 || symbol != -1) {
            return ZipEntryStatus::Damaged;
        }
        return FRc.Code == 0 && FRc.In.Drained() ? ZipEntryStatus::Ok : ZipEntryStatus::Damaged;
    }

    TMethodSource& FSource;
    const uint32_t FMemory;
    uint64_t FLeft;
    bool FBegun = false;
    bool FEnded = false;
    TRangeDecoder FRc;
    TPpmdModel FModel;
};

} // namespace

std::unique_ptr<TMethodDecoder> Open(TMethodSource& source, uint64_t expected, uint32_t memory)
{
    return std::unique_ptr<TMethodDecoder>(new (std::nothrow) TPpmdDecoder(source, expected, memory));
}

} // namespace Ppmd

std::unique_ptr<TMethodDecoder> OpenPpmd(TMethodSource& source, uint64_t expected)
{
    return Ppmd::Open(source, expected, 0);
}

} // namespace Folio::Shared
