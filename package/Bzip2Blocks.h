// The blocks of bzip2 streams found by their magics, each decoded on its own by libbz2,
// so that an entry's blocks can be decoded on several threads. Method 12 (Bzip2Method.cpp)
// uses this for large entries; the tests and the fuzz target reach it at any size.
#pragma once

#include "package/ZipMethods.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace Folio::Shared {

// One block: the bits from its magic up to the magic after it.
struct TBzip2Block {
    uint64_t Start; // bit position of the block magic
    uint64_t End;   // bit position of the next block's or the stream end's magic
    uint32_t Crc;   // the block's own CRC as stored after its magic
    uint8_t Level;  // 1..9 from its stream's header: 100 000 × level bytes a block at most
};

// Every block of the streams at the start of `in`, in order. Streams follow each other
// byte-aligned, and whatever comes after the last one is not looked at (as libbz2's
// decoding does not). Nothing when the layout is not plain: a stream that does not start
// with its header and a block, a missing end, a combined CRC that disagrees with the
// block CRCs, or a block longer than any encoder makes. A magic found inside compressed
// data splits a block in two here; decoding the halves then fails.
std::optional<std::vector<TBzip2Block>> FindBzip2Blocks(std::span<const uint8_t> in);

// Decodes one block as a stream of its own into `out` (replacing its content). False
// when libbz2 refuses it, its CRC is wrong, or it gives more than `limit` bytes.
bool DecodeBzip2Block(std::span<const uint8_t> in, const TBzip2Block& block, size_t limit, std::vector<uint8_t>& out);

struct TBzip2Settings {
    unsigned Threads = 0;              // 0: one a core, 1 to 8
    size_t ParallelFrom = size_t(1) << 20; // compressed bytes from which blocks go to threads
};

// Method 12 with its choices open. Blocks decode on threads when the entry is large
// enough and has two or more; any block that fails sends the whole entry back to
// sequential decoding from its start, so results are libbz2's in every case.
// `parallel`, when given, tells whether the threads' result was kept.
ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out, const TBzip2Settings& settings,
                           bool* parallel = nullptr);

// One stream after another, as long as the input goes on with a stream header.
ZipEntryStatus DecodeBzip2Sequential(std::span<const uint8_t> in, TMethodOutput& out);

} // namespace Folio::Shared
