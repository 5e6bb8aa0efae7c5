// Method 12: bzip2 streams (one, or several one after another) decoded by libbz2 into the
// entry's output. Large entries have their blocks decoded on several threads, each into
// a buffer of its own, appended here in order; libbz2's own decoding of the whole entry
// stays the reference and takes over whenever a block does not decode.
#include "package/Bzip2Blocks.h"
#include "package/ZipMethods.h"

#include <bzlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace Folio::Shared {

namespace {

enum class EStreamEnd { Ended, Damaged, TooLong };

// Decodes the stream at the start of `in`; `used` is how many bytes it took.
EStreamEnd DecodeStream(std::span<const uint8_t> in, TMethodOutput& out, size_t& used)
{
    bz_stream s{};
    if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) {
        return EStreamEnd::Damaged;
    }
    // libbz2 counts in unsigned int: the input is handed over in slices.
    constexpr size_t kSlice = size_t(1) << 30;
    size_t consumed = 0;
    EStreamEnd result = EStreamEnd::Damaged;
    char probe[1];
    for (;;) {
        if (s.avail_in == 0 && consumed < in.size()) {
            const size_t n = std::min(kSlice, in.size() - consumed);
            s.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data() + consumed));
            s.avail_in = static_cast<unsigned>(n);
            consumed += n;
        }
        const bool full = out.Full();
        if (full) {
            // Output is complete: only the end of the stream may follow.
            s.next_out = probe;
            s.avail_out = 1;
        } else {
            if (!out.ReserveSome()) {
                result = EStreamEnd::TooLong;
                break;
            }
            s.next_out = reinterpret_cast<char*>(out.Cursor());
            s.avail_out = static_cast<unsigned>(std::min(out.Room(), kSlice));
        }
        const unsigned before = s.avail_out, inBefore = s.avail_in;
        const int rc = BZ2_bzDecompress(&s);
        if (full && s.avail_out == 0) {
            result = EStreamEnd::TooLong;
            break;
        }
        if (!full) {
            out.Advance(before - s.avail_out);
        }
        if (rc == BZ_STREAM_END) {
            used = consumed - s.avail_in;
            result = EStreamEnd::Ended;
            break;
        }
        if (rc != BZ_OK) {
            break; // damaged data, or a bad magic
        }
        if (s.avail_out == before && s.avail_in == inBefore && consumed == in.size()) {
            break; // the input ended before the stream did
        }
    }
    BZ2_bzDecompressEnd(&s);
    return result;
}

bool StreamFollows(std::span<const uint8_t> in)
{
    return in.size() >= 4 && in[0] == 'B' && in[1] == 'Z' && in[2] == 'h' && in[3] >= '1' && in[3] <= '9';
}

unsigned ThreadCount(const TBzip2Settings& settings)
{
    const unsigned n = settings.Threads != 0 ? settings.Threads : std::thread::hardware_concurrency();
    // Each thread may hold two blocks' output of up to ~46 MB: a 32-bit process keeps
    // that to a few hundred MB of its address space.
    constexpr unsigned most = sizeof(void*) == 4 ? 4u : 8u;
    return std::clamp(n, 1u, most);
}

// The blocks decoded on `threads` threads, this one among them. At most `threads` blocks
// are taken and not yet appended at any time, each with its compressed bits copied and
// up to one block's output. Whoever finishes the next block in order appends it and any
// finished ones after it. False when any block fails or the sizes do not add up.
bool DecodeBlocks(std::span<const uint8_t> in, const std::vector<TBzip2Block>& blocks, unsigned threads,
                  TMethodOutput& out)
{
    struct TSlot {
        bool Done = false;
        std::vector<uint8_t> Bytes;
    };
    std::vector<TSlot> slots(blocks.size());
    std::mutex mutex;
    std::condition_variable changed;
    size_t taken = 0, appended = 0;
    bool appending = false, failed = false;
    // No block can give more than the whole entry.
    const size_t limit = static_cast<size_t>(out.Expected());

    auto work = [&]() noexcept {
        std::vector<uint8_t> bytes; // kept from block to block, as is an appended block's buffer
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return failed || taken == blocks.size() || taken < appended + threads; });
            if (failed || taken == blocks.size()) {
                return;
            }
            const size_t i = taken++;
            lock.unlock();
            const bool ok = DecodeBzip2Block(in, blocks[i], limit, bytes);
            lock.lock();
            if (!ok) {
                failed = true;
                changed.notify_all();
                return;
            }
            slots[i] = {true, std::move(bytes)};
            bytes = {};
            if (appending) {
                continue; // the thread appending takes this block in its turn
            }
            appending = true;
            while (!failed && appended < blocks.size() && slots[appended].Done) {
                std::vector<uint8_t> chunk = std::move(slots[appended].Bytes);
                lock.unlock();
                const bool fits = chunk.empty() || out.Reserve(chunk.size());
                if (fits && !chunk.empty()) {
                    std::memcpy(out.Cursor(), chunk.data(), chunk.size());
                    out.Advance(chunk.size());
                }
                if (bytes.capacity() == 0) {
                    bytes = std::move(chunk);
                }
                lock.lock();
                ++appended;
                failed = failed || !fits;
                changed.notify_all();
            }
            appending = false;
        }
    };

    // Started threads are joined however the others fail to start (no memory for their
    // state, or the system's refusal): those there are do the work.
    std::vector<std::thread> helpers;
    try {
        for (unsigned k = 1; k < threads && k < blocks.size(); ++k) {
            helpers.emplace_back(work);
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    work();
    for (auto& helper : helpers) {
        helper.join();
    }
    return !failed && appended == blocks.size() && out.Full();
}

} // namespace

ZipEntryStatus DecodeBzip2Sequential(std::span<const uint8_t> in, TMethodOutput& out)
{
    size_t at = 0;
    do {
        size_t used = 0;
        switch (DecodeStream(in.subspan(at), out, used)) {
        case EStreamEnd::Ended: break;
        case EStreamEnd::Damaged: return ZipEntryStatus::Damaged;
        case EStreamEnd::TooLong: return ZipEntryStatus::SizeMismatch;
        }
        at += used;
    } while (StreamFollows(in.subspan(at)));
    return out.Full() ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
}

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out, const TBzip2Settings& settings,
                           bool* parallel)
{
    if (parallel) {
        *parallel = false;
    }
    const unsigned threads = ThreadCount(settings);
    // Small entries lose more to starting threads than they gain, a single block has
    // nothing to share, and one core gains nothing (unless asked to, as the tests do).
    if (in.size() >= settings.ParallelFrom && (threads > 1 || settings.Threads == 1)) {
        // The list of blocks can be long (a few dozen bytes a block), and the threads
        // need their own memory; when any of it runs out, sequential decoding needs none.
        try {
            if (const auto blocks = FindBzip2Blocks(in); blocks && blocks->size() >= 2) {
                if (DecodeBlocks(in, *blocks, threads, out)) {
                    if (parallel) {
                        *parallel = true;
                    }
                    return ZipEntryStatus::Ok;
                }
            }
        } catch (const std::bad_alloc&) {
        }
        out.Restart();
    }
    return DecodeBzip2Sequential(in, out);
}

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out)
{
    return DecodeBzip2(in, out, TBzip2Settings{});
}

} // namespace Folio::Shared
