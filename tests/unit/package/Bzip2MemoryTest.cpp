// Method 12 when memory is short or streams are odd in size: tiny blocks, data after the
// streams full of magics. This program replaces the global operator new so that a test
// can refuse large allocations, as a crowded 32-bit address space does.
#include "package/Bzip2Blocks.h"

#include <bzlib.h>
#include "tests/support/ReplacedNew.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
extern "C" size_t __sanitizer_get_current_allocated_bytes(); // the sanitizers' own count
#endif

namespace {

// Allocations larger than this fail while it is not 0.
std::atomic<size_t> gAllocationCap{0};
// The allocation, counted from gAllocations' reset to 0, that fails; -1: none.
std::atomic<long> gAllocations{0}, gFailingAllocation{-1};

void* TestAllocate(std::size_t size) noexcept
{
    const size_t cap = gAllocationCap.load(std::memory_order_relaxed);
    if (gAllocations.fetch_add(1) == gFailingAllocation.load() || (cap != 0 && size > cap)) {
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}

} // namespace

void* FolioTest::Allocate(std::size_t size) noexcept { return TestAllocate(size); }

namespace {

using namespace Folio::Shared;

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// "abc..." of `count` letters, a block of one letter each (libbz2 ends a block when
// flushed), at level 9.
std::string OneLetterBlocks(size_t count)
{
    bz_stream s{};
    EXPECT_EQ(BZ2_bzCompressInit(&s, 9, 0, 0), BZ_OK);
    std::string out(count * 64 + 256, '\0');
    s.next_out = out.data();
    s.avail_out = unsigned(out.size());
    for (size_t i = 0; i < count; ++i) {
        char letter = char('a' + i % 26);
        s.next_in = &letter;
        s.avail_in = 1;
        while (BZ2_bzCompress(&s, BZ_FLUSH) == BZ_FLUSH_OK) {
        }
    }
    while (BZ2_bzCompress(&s, BZ_FINISH) == BZ_FINISH_OK) {
    }
    out.resize(out.size() - s.avail_out);
    BZ2_bzCompressEnd(&s);
    return out;
}

// Bytes allocated and not freed (of the main arena, where the reading thread allocates).
size_t LiveBytes()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

std::string Letters(size_t count)
{
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        s += char('a' + i % 26);
    }
    return s;
}

} // namespace

// With nothing over 256 kB to be had: magics after the streams are not held, and a list
// of blocks too long to hold sends the entry to sequential decoding, not out as an
// exception.
TEST(Bzip2Memory, LargeAllocationsRefused)
{
    std::string magics;
    for (int k = 0; k < 100000; ++k) {
        magics += "\x31\x41\x59\x26\x53\x59";
    }
    struct TCase {
        const char* Name;
        std::string In;
        size_t Letters;
        bool Parallel;
    };
    const TCase cases[] = {
        {"magics after the stream", OneLetterBlocks(3) + magics, 3, true},
        {"many blocks", OneLetterBlocks(20000), 20000, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out;
        TMethodOutput output(out, c.Letters);
        bool parallel = false;
        ZipEntryStatus status = ZipEntryStatus::Damaged;
        gAllocationCap = 256 << 10;
        EXPECT_NO_THROW(status = DecodeBzip2(Span(c.In), output, TBzip2Settings{2, 0}, &parallel)) << c.Name;
        gAllocationCap = 0;
        output.Finish(status == ZipEntryStatus::Ok);
        EXPECT_EQ(status, ZipEntryStatus::Ok) << c.Name;
        EXPECT_EQ(parallel, c.Parallel) << c.Name;
        EXPECT_TRUE(std::string(out.begin(), out.end()) == Letters(c.Letters)) << c.Name;
    }
}

// Each allocation in turn refused, on whichever thread makes it: the entry decodes all
// the same, on threads or not, and nothing is thrown (a thread started when the next
// one's state could not be had is joined, not left to end the program).
TEST(Bzip2Memory, EachAllocationRefused)
{
    const std::string in = OneLetterBlocks(6);
    for (long k = 0;; ++k) {
        std::vector<uint8_t> out;
        out.reserve(64);
        TMethodOutput output(out, 6);
        ZipEntryStatus status = ZipEntryStatus::Damaged;
        gAllocations = 0;
        gFailingAllocation = k;
        EXPECT_NO_THROW(status = DecodeBzip2(Span(in), output, TBzip2Settings{8, 0})) << k;
        gFailingAllocation = -1;
        const bool refused = gAllocations > k;
        output.Finish(status == ZipEntryStatus::Ok);
        EXPECT_EQ(status, ZipEntryStatus::Ok) << k;
        EXPECT_EQ(std::string(out.begin(), out.end()), "abcdef") << k;
        if (!refused) {
            break;
        }
    }
}

// A block of one byte, with room allowed for a whole block: its buffer, cleared for
// every block, stays near the block's own size.
TEST(Bzip2Memory, TinyBlockSmallBuffer)
{
    const std::string in = OneLetterBlocks(2);
    const auto blocks = FindBzip2Blocks(Span(in));
    ASSERT_TRUE(blocks.has_value());
    ASSERT_EQ(blocks->size(), 2u);
    std::vector<uint8_t> out;
    ASSERT_TRUE(DecodeBzip2Block(Span(in), (*blocks)[1], size_t(1) << 30, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "b");
    EXPECT_LT(out.capacity(), size_t(64) << 10);
}

// An entry given whole, its decoder not yet closed (as a reader kept open by whoever reads
// it): the memory of the blocks' decoding is not held any longer, here a level 9 block's
// working arrays of several megabytes.
TEST(Bzip2Memory, NothingHeldOnceGiven)
{
    const std::string in = OneLetterBlocks(6);
    TMethodSource source(Span(in));
    TBzip2Settings one;
    one.Threads = 1; // blocks decoded by the reading thread alone
    one.ParallelFrom = 0;
    uint8_t out[16] = {};
    const size_t before = LiveBytes();
    const auto decoder = OpenBzip2(source, 6, one);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->Read(out, sizeof out), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), 6), "abcdef");
    EXPECT_EQ(decoder->Status(), ZipEntryStatus::Ok);
    EXPECT_LT(LiveBytes() - before, size_t(256) << 10);
}
