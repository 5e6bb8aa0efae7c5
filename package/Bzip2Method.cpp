// Method 12: bzip2 streams (one, or several one after another) decoded by libbz2 piece
// by piece. Large entries have their blocks decoded ahead on several threads by our own
// block decoder (Bzip2Fast.h), two at a time, each into a buffer of its own, and handed
// out in order; libbz2 decodes what ours refuses, and libbz2's decoding of the whole
// entry stays the reference and takes over, past the bytes already given, whenever a
// block does not decode.
#include "package/Bzip2Blocks.h"
#include "package/Bzip2Fast.h"
#include "package/Bzip2Sequential.h"
#include "package/ZipMethods.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

namespace Folio::Shared {

namespace {

// Each thread may hold two blocks' output of up to ~46 MB each (blocks of long runs): a
// 32-bit process keeps that to under 200 MB of its address space.
constexpr unsigned kMostThreads = sizeof(void*) == 4 ? 2u : 8u;
// A given block's buffer is kept for a later one up to this size (real blocks of text
// give about 1 MB); larger ones go back at once.
constexpr size_t kMostSpare = size_t(4) << 20;
// An encrypted payload is decrypted whole for the threads to look through; past this
// the entry is decoded on one thread from 64 KiB pieces instead.
constexpr uint64_t kMostDecryptedWhole = sizeof(void*) == 4 ? uint64_t(64) << 20 : uint64_t(512) << 20;
// Blocks a thread takes at once: our decoder walks two blocks' chains together, so that
// the cache misses of one overlap those of the other.
constexpr size_t kGroup = 2;


unsigned ThreadCount(const TBzip2Settings& settings)
{
    const unsigned n = settings.Threads != 0 ? settings.Threads : std::thread::hardware_concurrency();
    return std::clamp(n, 1u, kMostThreads);
}

class TBzip2Decoder final : public TMethodDecoder {
public:
    TBzip2Decoder(TMethodSource& source, uint64_t expected, const TBzip2Settings& settings)
        : TMethodDecoder(expected), FSource(source), FSettings(settings), FThreads(ThreadCount(settings))
    {
    }
    ~TBzip2Decoder() override { StopThreads(); }

    size_t Read(uint8_t* out, size_t capacity) override;
    bool KeptBlocks() const { return FBlocksKept; }

private:
    struct TSlot {
        enum EState : uint8_t { Free, Taken, Done, Failed } State = Free;
        std::vector<uint8_t> Bytes;
    };

    void Start();
    size_t ReadBlocks(uint8_t* out, size_t capacity);
    size_t ReadSequential(uint8_t* out, size_t capacity);
    // Takes the first blocks not yet taken within the window and decodes them with the
    // thread's scratch memory; false when there are none.
    bool TakeAndDecode(std::unique_lock<std::mutex>& lock, TBzip2Scratch& scratch);
    void Helper() noexcept;
    void StopThreads();
    // From the blocks to libbz2 over the whole input, past what was given already.
    void FallBack();
    void End();

    TMethodSource& FSource;
    const TBzip2Settings FSettings;
    const unsigned FThreads;
    bool FStarted = false;
    bool FEnded = false;
    uint64_t FGiven = 0;

    std::optional<TBzip2Sequential> FSequential; // held in place: libbz2 alone needs no allocation of ours
    uint64_t FSkip = 0; // bytes the sequential decoder drops: given before by the blocks

    // The blocks: the whole input, its blocks, their slots; the next block to give and
    // how much of it has been given.
    std::span<const uint8_t> FWhole;
    std::vector<TBzip2Block> FBlocks;
    std::vector<TSlot> FSlots;
    size_t FNext = 0, FOffset = 0, FTaken = 0;
    bool FBlocksKept = false;
    bool FStop = false;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::vector<std::thread> FHelpers;
    TBzip2Scratch FScratch; // the reading thread's, for the blocks it decodes itself
    std::vector<std::vector<uint8_t>> FSpare; // given blocks' buffers, for blocks to come
};

void TBzip2Decoder::Start()
{
    FStarted = true;
    // Small entries lose more to starting threads than they gain, a single block has
    // nothing to share, and one core gains nothing (unless asked to, as the tests do).
    const bool large = FSource.Size() >= FSettings.ParallelFrom &&
                       (!FSource.Encrypted() || FSource.Size() <= kMostDecryptedWhole);
    if (large && (FThreads > 1 || FSettings.Threads == 1)) {
        if (const auto whole = FSource.Whole()) {
            FWhole = *whole;
            // The list of blocks can be long (a few dozen bytes a block), and the threads
            // need their own memory; when any of it runs out, libbz2 alone needs none.
            try {
                if (auto blocks = FindBzip2Blocks(FWhole); blocks && blocks->size() >= 2) {
                    FBlocks = std::move(*blocks);
                    FSlots.resize(FBlocks.size());
                    FSpare.reserve(size_t(FThreads) * kGroup); // so that keeping a buffer never allocates
                    FBlocksKept = true;
                }
            } catch (const std::bad_alloc&) {
                FBlocks.clear();
                FSlots.clear();
            }
            if (FBlocksKept) {
                // Started threads are joined however the others fail to start: those
                // there are, and this one, do the work.
                try {
                    for (unsigned k = 1; k < FThreads && k < FBlocks.size(); ++k) {
                        FHelpers.emplace_back([this] { Helper(); });
                    }
                } catch (const std::system_error&) {
                } catch (const std::bad_alloc&) {
                }
                return;
            }
            FSequential.emplace(TBzip2Pieces(FWhole));
            return;
        }
    }
    FSequential.emplace(TBzip2Pieces(FSource));
}

bool TBzip2Decoder::TakeAndDecode(std::unique_lock<std::mutex>& lock, TBzip2Scratch& scratch)
{
    // At most kGroup blocks a thread are taken and not yet given, each with up to one
    // block's output.
    const size_t window = FNext + size_t(FThreads) * kGroup;
    if (FStop || FTaken == FBlocks.size() || FTaken >= window) {
        return false;
    }
    const size_t first = FTaken;
    const size_t count = std::min({kGroup, FBlocks.size() - first, window - first});
    FTaken += count;
    for (size_t k = 0; k < count; ++k) {
        FSlots[first + k].State = TSlot::Taken;
    }
    std::vector<uint8_t> bytes[kGroup];
    for (size_t k = 0; k < count && !FSpare.empty(); ++k) {
        bytes[k] = std::move(FSpare.back());
        FSpare.pop_back();
    }
    lock.unlock();
    bool ok[kGroup] = {};
    // No block can give more than the whole entry.
    const auto limit = static_cast<size_t>(std::min<uint64_t>(FExpected, SIZE_MAX));
    const std::span<const TBzip2Block> blocks(FBlocks.data() + first, count);
    try {
        if (DecodeBzip2BlocksFast(FWhole, blocks, limit, {bytes, count}, scratch)) {
            std::fill_n(ok, count, true);
        } else {
            // libbz2 has the last word on what ours refuses (randomised blocks, damage).
            for (size_t k = 0; k < count; ++k) {
                ok[k] = DecodeBzip2Block(FWhole, blocks[k], limit, bytes[k]);
            }
        }
    } catch (const std::bad_alloc&) {
        std::fill_n(ok, count, false);
    }
    lock.lock();
    for (size_t k = 0; k < count; ++k) {
        FSlots[first + k].State = ok[k] ? TSlot::Done : TSlot::Failed;
        FSlots[first + k].Bytes = std::move(bytes[k]);
    }
    FChanged.notify_all();
    return true;
}

void TBzip2Decoder::Helper() noexcept
{
    TBzip2Scratch scratch;
    std::unique_lock lock(FMutex);
    while (!FStop) {
        if (!TakeAndDecode(lock, scratch)) {
            FChanged.wait(lock);
        }
    }
}

void TBzip2Decoder::StopThreads()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    for (auto& helper : FHelpers) {
        helper.join();
    }
    FHelpers.clear();
    // No block is decoded here any more: the reading thread's memory for blocks goes too,
    // megabytes a decoder kept open after its entry would otherwise hold.
    FScratch = TBzip2Scratch();
    std::vector<std::vector<uint8_t>>().swap(FSpare);
}

void TBzip2Decoder::FallBack()
{
    StopThreads();
    FBlocksKept = false;
    FSkip = FGiven;
    std::vector<TSlot>().swap(FSlots);
    std::vector<TBzip2Block>().swap(FBlocks);
    FSequential.emplace(TBzip2Pieces(FWhole));
}

size_t TBzip2Decoder::ReadBlocks(uint8_t* out, size_t capacity)
{
    std::unique_lock lock(FMutex);
    size_t produced = 0;
    while (produced < capacity && FNext < FBlocks.size()) {
        TSlot& slot = FSlots[FNext];
        if (slot.State == TSlot::Failed) {
            break;
        }
        if (slot.State != TSlot::Done) {
            // Decode a block here meanwhile (the one needed, when no one has it yet).
            if (!TakeAndDecode(lock, FScratch)) {
                FChanged.wait(lock);
            }
            continue;
        }
        // Never past the entry's size: the capacity is cut to it.
        const size_t n = std::min(capacity - produced, slot.Bytes.size() - FOffset);
        std::memcpy(out + produced, slot.Bytes.data() + FOffset, n);
        produced += n;
        FOffset += n;
        if (FOffset == slot.Bytes.size()) {
            // Its buffer goes to a later block: memory already mapped and not cleared
            // again, the decoders overwriting it.
            if (FSpare.size() < size_t(FThreads) * kGroup && slot.Bytes.capacity() <= kMostSpare) {
                FSpare.push_back(std::move(slot.Bytes));
            }
            std::vector<uint8_t>().swap(slot.Bytes);
            ++FNext;
            FOffset = 0;
            FChanged.notify_all(); // the window moves on
        }
    }
    // Short only at a block that did not decode, or with every block given.
    const bool stuck = produced < capacity;
    lock.unlock();
    if (stuck) {
        // A block that did not decode, blocks that give more or fewer bytes than the
        // entry's size: libbz2 over the whole input has the last word.
        FGiven += produced;
        FallBack();
        FGiven -= produced;
    }
    return produced;
}

size_t TBzip2Decoder::ReadSequential(uint8_t* out, size_t capacity)
{
    ZipEntryStatus status = ZipEntryStatus::Ok;
    while (FSkip > 0) {
        uint8_t drop[4096];
        const size_t n = FSequential->Read(drop, static_cast<size_t>(std::min<uint64_t>(sizeof drop, FSkip)), status);
        if (n == 0) {
            return Fail(status == ZipEntryStatus::Ok ? ZipEntryStatus::SizeMismatch : status);
        }
        FSkip -= n;
    }
    const size_t n = FSequential->Read(out, capacity, status);
    if (status != ZipEntryStatus::Ok) {
        return Fail(status);
    }
    return n;
}

// After the entry's last byte: the streams must end there. Blocks not all given (or
// not whole) mean more bytes than the size; libbz2 says so, or why not.
void TBzip2Decoder::End()
{
    if (FBlocksKept && FNext < FBlocks.size()) {
        FallBack();
    }
    if (FSequential) {
        uint8_t probe[1];
        if (ReadSequential(probe, 1) != 0) {
            Fail(ZipEntryStatus::SizeMismatch);
        }
        if (FStatus != ZipEntryStatus::Ok) {
            return;
        }
    }
    FEnded = true;
    StopThreads();
}

size_t TBzip2Decoder::Read(uint8_t* out, size_t capacity)
{
    if (FStatus != ZipEntryStatus::Ok || FEnded) {
        return 0;
    }
    if (!FStarted) {
        try {
            Start();
        } catch (const std::bad_alloc&) {
            return Fail(ZipEntryStatus::SizeMismatch);
        }
    }
    capacity = static_cast<size_t>(std::min<uint64_t>(capacity, FExpected - FGiven));
    size_t n = 0;
    if (capacity != 0) {
        if (FBlocksKept) {
            try {
                n = ReadBlocks(out, capacity);
            } catch (const std::bad_alloc&) {
                return Fail(ZipEntryStatus::SizeMismatch);
            }
        }
        if (n == 0 && !FBlocksKept) {
            n = ReadSequential(out, capacity);
            if (FStatus != ZipEntryStatus::Ok) {
                return 0;
            }
            if (n == 0) {
                return Fail(ZipEntryStatus::SizeMismatch); // the streams ended before the size
            }
        }
    }
    FGiven += n;
    if (FGiven == FExpected) {
        try {
            End();
        } catch (const std::bad_alloc&) {
            Fail(ZipEntryStatus::SizeMismatch);
        }
        return FStatus == ZipEntryStatus::Ok ? n : 0;
    }
    return n;
}

} // namespace

std::unique_ptr<TMethodDecoder> OpenBzip2(TMethodSource& source, uint64_t expected, const TBzip2Settings& settings)
{
    try {
        return std::make_unique<TBzip2Decoder>(source, expected, settings);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<TMethodDecoder> OpenBzip2(TMethodSource& source, uint64_t expected)
{
    return OpenBzip2(source, expected, TBzip2Settings{});
}

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out, const TBzip2Settings& settings,
                           bool* parallel)
{
    TMethodSource source(in);
    TBzip2Decoder decoder(source, out.Expected(), settings);
    const auto status = DecodeAll(&decoder, out);
    if (parallel) {
        *parallel = decoder.KeptBlocks() && status == ZipEntryStatus::Ok;
    }
    return status;
}

ZipEntryStatus DecodeBzip2Sequential(std::span<const uint8_t> in, TMethodOutput& out)
{
    TBzip2Settings settings;
    settings.ParallelFrom = SIZE_MAX;
    return DecodeBzip2(in, out, settings);
}

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out)
{
    return DecodeBzip2(in, out, TBzip2Settings{});
}

} // namespace Folio::Shared
