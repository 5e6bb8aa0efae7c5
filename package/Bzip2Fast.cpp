// bzip2 blocks decoded without libbz2 (see Bzip2Fast.h). Each block's symbols are read
// into a link array (Bzip2FastSymbols.cpp); the inverse transform is a walk through that
// array, one dependent load per byte, with the chains of several blocks (or both ends of
// one) walked in the same loop; then run-length decoding and the CRC in a linear pass.
#include "package/Bzip2Fast.h"
#include "package/Bzip2FastSymbols.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace Folio::Shared {

namespace {

// Run-length coding turns every five bytes of a block into at most 259.
uint64_t MaxBlockOutput(uint8_t level)
{
    return uint64_t(level) * 100000 / 5 * 259 + 259;
}

// bzip2's CRC-32: most significant bit first, polynomial 0x04C11DB7. Eight tables so that
// eight bytes go through in one step without a chain of dependent look-ups.
using TCrcTables = std::array<std::array<uint32_t, 256>, 8>;
constexpr TCrcTables MakeCrcTables()
{
    TCrcTables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b << 24;
        for (int k = 0; k < 8; ++k) {
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        }
        t[0][b] = c;
    }
    for (size_t k = 1; k < 8; ++k) {
        for (uint32_t b = 0; b < 256; ++b) {
            t[k][b] = (t[k - 1][b] << 8) ^ t[0][t[k - 1][b] >> 24];
        }
    }
    return t;
}
constexpr TCrcTables kCrc = MakeCrcTables();

uint32_t BlockCrc(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (; n >= 8; p += 8, n -= 8) {
        c ^= uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        c = kCrc[7][c >> 24] ^ kCrc[6][(c >> 16) & 0xFF] ^ kCrc[5][(c >> 8) & 0xFF] ^ kCrc[4][c & 0xFF] ^
            kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
    }
    for (; n > 0; ++p, --n) {
        c = (c << 8) ^ kCrc[0][(c >> 24) ^ *p];
    }
    return ~c;
}

// Each position's next index in the high 24 bits: the k-th occurrence of a byte links to
// that byte's k-th place in sorted order. `back` gets the way back: the position that
// links to each, beside that position's own byte (when not null).
void Link(uint32_t* links, uint32_t* back, uint32_t size, const uint32_t (&counts)[256])
{
    uint32_t start[256];
    uint32_t sum = 0;
    for (unsigned b = 0; b < 256; ++b) {
        start[b] = sum;
        sum += counts[b];
    }
    if (!back) {
        for (uint32_t i = 0; i < size; ++i) {
            links[start[links[i] & 0xFF]++] |= i << 8;
        }
        return;
    }
    for (uint32_t i = 0; i < size; ++i) {
        const uint32_t b = links[i] & 0xFF, j = start[b]++;
        links[j] |= i << 8;
        back[i] = j << 8 | b;
    }
}

// One chain of links walked from Pos: its bytes go to Out, forwards or backwards.
struct TChain {
    const uint32_t* Links;
    uint8_t* Out;
    ptrdiff_t Step;
    uint32_t Size;
    uint32_t Pos;
};

// `steps` steps of every chain in one loop: the loads of different chains do not depend
// on each other, so their misses overlap. Every index comes from a link, all below the
// block's size.
template <size_t B> void WalkTogether(TChain* const* chains, uint32_t steps)
{
    const uint32_t* links[B];
    uint8_t* out[B];
    ptrdiff_t step[B];
    uint32_t pos[B];
    for (size_t b = 0; b < B; ++b) {
        links[b] = chains[b]->Links;
        out[b] = chains[b]->Out;
        step[b] = chains[b]->Step;
        pos[b] = chains[b]->Pos;
    }
    for (uint32_t k = 0; k < steps; ++k) {
        for (size_t b = 0; b < B; ++b) {
            const uint32_t e = links[b][pos[b]];
            *out[b] = uint8_t(e);
            out[b] += step[b];
            pos[b] = e >> 8;
        }
    }
    for (size_t b = 0; b < B; ++b) {
        chains[b]->Out = out[b];
        chains[b]->Pos = pos[b];
    }
}

// More chains than four, over more blocks' links, lose more to cache and TLB misses than
// they gain (measured on the text of scripts/bench): two blocks are walked from both ends,
// three or four from the start only.
constexpr size_t kMaxChains = 4;

void Walk(TChain* chains, size_t count)
{
    // Shortest first, so that each round takes the chains that remain together.
    TChain* order[kMaxChains];
    for (size_t i = 0; i < count; ++i) {
        size_t j = i;
        for (; j > 0 && order[j - 1]->Size > chains[i].Size; --j) {
            order[j] = order[j - 1];
        }
        order[j] = chains + i;
    }
    uint32_t done = 0;
    for (size_t first = 0; first < count; ++first) {
        const uint32_t steps = order[first]->Size - done;
        TChain* const* w = order + first;
        switch (count - first) {
        case 1:
            WalkTogether<1>(w, steps);
            break;
        case 2:
            WalkTogether<2>(w, steps);
            break;
        case 3:
            WalkTogether<3>(w, steps);
            break;
        default:
            WalkTogether<4>(w, steps);
            break;
        }
        done += steps;
    }
}

// Four equal bytes are followed by a count of 0 to 255 more. False when the block ends
// right after four equal bytes (libbz2 refuses that too) or the output exceeds `limit`.
bool UndoRuns(const uint8_t* w, size_t n, size_t limit, std::vector<uint8_t>& out)
{
    out.resize(std::min(n + 4096, limit + 1));
    uint8_t* o = out.data();
    uint8_t* end = o + out.size();
    int last = -1;
    unsigned same = 0;
    for (size_t i = 0; i < n;) {
        const uint8_t c = w[i++];
        if (o == end) {
            return false; // more than the limit: runs make room before every literal
        }
        *o++ = c;
        if (c != last) {
            last = c;
            same = 1;
            continue;
        }
        if (++same < 4) {
            continue;
        }
        if (i == n) {
            return false;
        }
        const unsigned more = w[i++];
        // room for this run and the literals that may follow it
        const size_t used = size_t(o - out.data()), need = used + more + (n - i);
        if (need > size_t(end - out.data())) {
            if (used + more > limit) {
                return false;
            }
            out.resize(std::min(std::max(need, out.size() * 2), limit + 1));
            o = out.data() + used;
            end = out.data() + out.size();
        }
        std::memset(o, c, more);
        o += more;
        last = -1;
    }
    const size_t size = size_t(o - out.data());
    if (size > limit) {
        return false;
    }
    out.resize(size);
    return true;
}

} // namespace

bool DecodeBzip2BlocksFast(std::span<const uint8_t> in, std::span<const TBzip2Block> blocks, size_t limit,
                           std::span<std::vector<uint8_t>> outs, TBzip2Scratch& scratch)
{
    const size_t count = blocks.size();
    if (count == 0 || count > TBzip2Scratch::kMaxBlocks || outs.size() < count) {
        return false;
    }
    const uint64_t inBits = uint64_t(in.size()) * 8;
    try {
        TChain chains[kMaxChains];
        uint32_t sizes[TBzip2Scratch::kMaxBlocks];
        size_t meet[TBzip2Scratch::kMaxBlocks]; // a block's first chain, when it has two
        size_t chainCount = 0;
        for (size_t b = 0; b < count; ++b) {
            const TBzip2Block& block = blocks[b];
            if (block.Level < 1 || block.Level > 9 || block.Start >= block.End || block.End > inBits) {
                return false;
            }
            uint32_t counts[256];
            uint32_t& size = sizes[b];
            uint32_t origin = 0;
            std::vector<uint32_t>& links = scratch.Links[b];
            std::vector<uint32_t>& back = scratch.Back[b];
            if (!ReadBzip2Symbols(in, block, links, scratch.Selectors, scratch.Tables, counts, size, origin)) {
                return false;
            }
            const bool both = count <= kMaxChains / 2;
            if (both && back.size() < size) {
                back.resize(links.size());
            }
            Link(links.data(), both ? back.data() : nullptr, size, counts);
            std::vector<uint8_t>& walked = scratch.Walked[b];
            if (walked.size() < size) {
                walked.resize(size);
            }
            if (!both) {
                chains[chainCount++] = {links.data(), walked.data(), 1, size, links[origin] >> 8};
                continue;
            }
            // The first half from the start, the second from the end backwards: two chains
            // whose misses overlap even for one block.
            const uint32_t half = size / 2;
            meet[b] = chainCount;
            chains[chainCount++] = {links.data(), walked.data(), 1, half, links[origin] >> 8};
            chains[chainCount++] = {back.data(), walked.data() + size - 1, -1, size - half, origin};
        }
        Walk(chains, chainCount);
        for (size_t b = 0; b < count && count <= kMaxChains / 2; ++b) {
            // Both halves meet only when the links from the start come back to it after
            // exactly `size` steps, as they do in every block an encoder makes. Otherwise
            // libbz2's walk (forwards only) would give other bytes.
            const uint32_t* links = scratch.Links[b].data();
            if ((links[chains[meet[b] + 1].Pos] >> 8) != chains[meet[b]].Pos) {
                return false;
            }
        }
        for (size_t b = 0; b < count; ++b) {
            const TBzip2Block& block = blocks[b];
            const size_t cap = size_t(std::min<uint64_t>(limit, MaxBlockOutput(block.Level)));
            if (!UndoRuns(scratch.Walked[b].data(), sizes[b], cap, outs[b]) ||
                BlockCrc(outs[b].data(), outs[b].size()) != block.Crc) {
                return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace Folio::Shared
