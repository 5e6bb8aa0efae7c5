// A bzip2 block decoder of our own for the threaded path: table-driven Huffman codes, and
// the inverse transform of up to four blocks walked together so that their cache misses
// overlap. libbz2 (Bzip2Blocks.h) stays the reference: anything unusual here is refused.
#pragma once

#include "package/Bzip2Blocks.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace Folio::Shared {

struct TBzip2Tables;

// Memory one thread reuses from call to call: after the first blocks, nothing is allocated
// except the outputs. At level 9 that is 4.5 MB a block, and 3.6 MB more for each of the
// first two (a call of one or two blocks walks each from both ends).
struct TBzip2Scratch {
    TBzip2Scratch();
    ~TBzip2Scratch();
    TBzip2Scratch(TBzip2Scratch&&) noexcept;
    TBzip2Scratch& operator=(TBzip2Scratch&&) noexcept;

    static constexpr size_t kMaxBlocks = 4;
    std::vector<uint32_t> Links[kMaxBlocks]; // a byte and the index of the next, per position
    std::vector<uint32_t> Back[kMaxBlocks];  // a byte and the index of the one before
    std::vector<uint8_t> Walked[kMaxBlocks]; // the block's bytes before run-length decoding
    std::vector<uint8_t> Selectors;
    std::unique_ptr<TBzip2Tables> Tables; // the Huffman tables of the block being read
};

// Decodes 1 to 4 blocks of `in` (as found by FindBzip2Blocks) into outs[i], replacing its
// content; outs must have at least blocks.size() elements. Each block's CRC is checked
// against block.Crc. False on anything wrong in any block, on an output over `limit` bytes,
// and on anything this decoder leaves to libbz2 (randomised blocks, odd codes); then the
// outputs hold nothing useful. When true, every output is what DecodeBzip2Block gives.
// Two blocks a call go about as fast as four (both walk four chains at once); one a call is
// a little slower.
bool DecodeBzip2BlocksFast(std::span<const uint8_t> in, std::span<const TBzip2Block> blocks, size_t limit,
                           std::span<std::vector<uint8_t>> outs, TBzip2Scratch& scratch);

} // namespace Folio::Shared
