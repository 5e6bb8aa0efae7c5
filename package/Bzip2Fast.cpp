// bzip2 blocks decoded without libbz2 (see Bzip2Fast.h). Each block: its tables and
// Huffman-coded move-to-front symbols into a link array, then the inverse transform as a
// walk through that array (one dependent load per byte, walked for all blocks in the same
// loop), then run-length decoding and the CRC in a linear pass. Whatever libbz2 would
// refuse is refused here too, and a few things it accepts are left to it.
#include "package/Bzip2Fast.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace Folio::Shared {

namespace {

constexpr uint64_t kBlockMagic = 0x314159265359;
constexpr unsigned kMaxGroups = 6;
constexpr unsigned kMaxAlpha = 258;
constexpr unsigned kMaxCodeLength = 20;
constexpr unsigned kMaxSelectors = 18002; // libbz2 ignores any beyond; left to it
constexpr unsigned kGroupSize = 50;
constexpr unsigned kFastBits = 10;
static_assert(std::endian::native == std::endian::little, "the move-to-front list is read as a little-endian word");

// Run-length coding turns every five bytes of a block into at most 259.
uint64_t MaxBlockOutput(uint8_t level) { return uint64_t(level) * 100000 / 5 * 259 + 259; }

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

// Bits most significant first, from any bit of the input. Past its end come zeros; the
// caller compares Position() with where the block ends, so those never count.
class TBitReader {
public:
    TBitReader(std::span<const uint8_t> in, uint64_t bit) : FData(in.data()), FSize(in.size()), FNext(size_t(bit / 8))
    {
        Refill();
        Skip(unsigned(bit % 8));
    }
    // At least 56 bits in the buffer afterwards.
    void Refill()
    {
        if (FNext + 8 <= FSize) {
            uint64_t v = 0;
            for (int k = 0; k < 8; ++k) {
                v = v << 8 | FData[FNext + k];
            }
            FBuffer |= v >> FCount;
            FNext += (63 - FCount) >> 3;
            FCount |= 56;
        } else {
            while (FCount <= 56) {
                FBuffer |= uint64_t(FNext < FSize ? FData[FNext] : 0) << (56 - FCount);
                ++FNext;
                FCount += 8;
            }
        }
    }
    unsigned Count() const { return FCount; }
    uint32_t Peek(unsigned n) const { return uint32_t(FBuffer >> (64 - n)); }
    void Skip(unsigned n)
    {
        FBuffer <<= n;
        FCount -= n;
    }
    uint32_t Get(unsigned n) // 1 to 32 bits
    {
        if (FCount < n) {
            Refill();
        }
        const uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    uint64_t Position() const { return uint64_t(FNext) * 8 - FCount; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FNext; // the next byte to load
    uint64_t FBuffer = 0;
    unsigned FCount = 0;
};

// One coding table: codes of up to kFastBits bits by one look-up, longer ones by length.
// Codes are canonical, as libbz2 assigns them (by length, then by symbol).
struct THuffman {
    uint16_t Fast[1u << kFastBits]; // symbol | length << 9; 0 for a longer code
    uint32_t First[kMaxCodeLength + 2];  // the first code of each length
    uint32_t Count[kMaxCodeLength + 2];
    uint16_t Offset[kMaxCodeLength + 2]; // index in Sorted of the first code of each length
    uint16_t Sorted[kMaxAlpha];
    unsigned MaxLength;
    unsigned AlphaSize;

    // False for codes that claim more than the whole code space: libbz2 decodes those its
    // own way, and no encoder makes them. Codes that leave space free are kept; the free
    // codes are refused when met, as libbz2 does.
    bool Build(const uint8_t* lengths, unsigned alphaSize)
    {
        AlphaSize = alphaSize;
        std::fill(std::begin(Count), std::end(Count), 0u);
        MaxLength = 0;
        for (unsigned s = 0; s < alphaSize; ++s) {
            ++Count[lengths[s]];
            MaxLength = std::max<unsigned>(MaxLength, lengths[s]);
        }
        uint64_t space = 0;
        for (unsigned l = 1; l <= kMaxCodeLength; ++l) {
            space += uint64_t(Count[l]) << (kMaxCodeLength - l);
        }
        if (space > (uint64_t(1) << kMaxCodeLength)) {
            return false;
        }
        uint32_t code = 0, index = 0;
        uint32_t next[kMaxCodeLength + 2];
        for (unsigned l = 1; l <= kMaxCodeLength; ++l) {
            First[l] = next[l] = code;
            Offset[l] = uint16_t(index);
            code = (code + Count[l]) << 1;
            index += Count[l];
        }
        std::fill(std::begin(Fast), std::end(Fast), uint16_t(0));
        uint16_t at[kMaxCodeLength + 2];
        std::copy(std::begin(Offset), std::end(Offset), at);
        for (unsigned s = 0; s < alphaSize; ++s) {
            const unsigned l = lengths[s];
            const uint32_t c = next[l]++;
            Sorted[at[l]++] = uint16_t(s);
            if (l <= kFastBits) {
                const uint32_t from = c << (kFastBits - l), to = from + (1u << (kFastBits - l));
                for (uint32_t k = from; k < to; ++k) {
                    Fast[k] = uint16_t(s | l << 9);
                }
            }
        }
        return true;
    }

    // A code longer than kFastBits, from the next 20 bits; kMaxAlpha for a free code.
    unsigned Slow(uint32_t bits20) const
    {
        for (unsigned l = kFastBits + 1; l <= MaxLength; ++l) {
            const uint32_t code = bits20 >> (kMaxCodeLength - l);
            if (code >= First[l] && code - First[l] < Count[l]) {
                const unsigned index = Offset[l] + (code - First[l]);
                return index < AlphaSize ? Sorted[index] | l << 9 : kMaxAlpha;
            }
        }
        return kMaxAlpha;
    }
};

} // namespace

struct TBzip2Tables {
    THuffman Codes[kMaxGroups];
};

namespace {

// A block's header and symbols: its bytes (after move-to-front decoding) in the low bits
// of `links`, their counts, and where the transform starts. False on anything wrong.
bool ReadSymbols(std::span<const uint8_t> in, const TBzip2Block& block, std::vector<uint32_t>& links,
                 std::vector<uint8_t>& selectors, TBzip2Tables& tables, uint32_t (&counts)[256], uint32_t& size,
                 uint32_t& origin)
{
    const uint32_t maxSize = uint32_t(block.Level) * 100000;
    if (links.size() < maxSize) {
        links.resize(maxSize);
    }
    TBitReader bits(in, block.Start);
    const uint64_t magic = uint64_t(bits.Get(24)) << 24 | bits.Get(24);
    if (magic != kBlockMagic || bits.Get(32) != block.Crc || bits.Get(1) != 0) {
        return false; // a randomised block is libbz2's
    }
    origin = bits.Get(24);

    uint8_t used[256];
    unsigned inUse = 0;
    const uint32_t ranges = bits.Get(16);
    for (unsigned r = 0; r < 16; ++r) {
        if (ranges >> (15 - r) & 1) {
            const uint32_t map = bits.Get(16);
            for (unsigned k = 0; k < 16; ++k) {
                if (map >> (15 - k) & 1) {
                    used[inUse++] = uint8_t(r * 16 + k);
                }
            }
        }
    }
    if (inUse == 0) {
        return false;
    }
    const unsigned alphaSize = inUse + 2;
    const unsigned groups = bits.Get(3);
    const unsigned selectorCount = bits.Get(15);
    if (groups < 2 || groups > kMaxGroups || selectorCount == 0 || selectorCount > kMaxSelectors) {
        return false;
    }
    selectors.resize(selectorCount);
    uint8_t order[kMaxGroups] = {0, 1, 2, 3, 4, 5};
    for (unsigned i = 0; i < selectorCount; ++i) {
        unsigned j = 0;
        while (bits.Get(1)) {
            if (++j >= groups) {
                return false;
            }
        }
        const uint8_t g = order[j];
        std::memmove(order + 1, order, j);
        order[0] = g;
        selectors[i] = g;
    }
    for (unsigned t = 0; t < groups; ++t) {
        uint8_t lengths[kMaxAlpha];
        unsigned length = bits.Get(5);
        for (unsigned s = 0; s < alphaSize; ++s) {
            for (;;) {
                if (length < 1 || length > kMaxCodeLength) {
                    return false;
                }
                if (!bits.Get(1)) {
                    break;
                }
                length = bits.Get(1) ? length - 1 : length + 1;
            }
            lengths[s] = uint8_t(length);
        }
        if (!tables.Codes[t].Build(lengths, alphaSize)) {
            return false;
        }
    }
    if (bits.Position() > block.End) {
        return false;
    }

    // The symbols, 50 to a table: RUNA and RUNB give the length of a run of the front byte
    // in bijective base 2, the others move a byte to the front, and the last ends the block.
    uint8_t front[256];
    std::memcpy(front, used, inUse);
    std::fill(std::begin(counts), std::end(counts), 0u);
    uint32_t* const out = links.data();
    uint32_t n = 0, run = 0, weight = 1;
    const unsigned endOfBlock = inUse + 1;
    const THuffman* code = nullptr;
    unsigned left = 0, selector = 0;
    for (;;) {
        if (left == 0) {
            if (selector >= selectorCount || bits.Position() > block.End) {
                return false;
            }
            code = &tables.Codes[selectors[selector++]];
            left = kGroupSize;
        }
        --left;
        if (bits.Count() < kMaxCodeLength) {
            bits.Refill();
        }
        unsigned entry = code->Fast[bits.Peek(kFastBits)];
        if (entry == 0) {
            entry = code->Slow(bits.Peek(kMaxCodeLength));
            if (entry == kMaxAlpha) {
                return false;
            }
        }
        bits.Skip(entry >> 9);
        const unsigned symbol = entry & 0x1FF;
        if (symbol <= 1) {
            if (weight >= (1u << 21)) {
                return false;
            }
            run += weight << symbol;
            weight <<= 1;
            continue;
        }
        if (run > 0) {
            if (run > maxSize - n) {
                return false;
            }
            const uint8_t b = front[0];
            counts[b] += run;
            std::fill(out + n, out + n + run, uint32_t(b));
            n += run;
            run = 0;
            weight = 1;
        }
        if (symbol == endOfBlock) {
            break;
        }
        if (n >= maxSize) {
            return false;
        }
        const unsigned index = symbol - 1;
        const uint8_t b = front[index];
        if (index < 16) {
            // most indices are small: the first sixteen bytes as two words, without a call
            uint64_t w[2];
            std::memcpy(w, front, 16);
            const unsigned in = index / 8, shift = 8 * (index % 8) + 8;
            const uint64_t low = shift == 64 ? ~uint64_t(0) : (uint64_t(1) << shift) - 1;
            const uint64_t carry = in == 0 ? b : w[0] >> 56;
            w[in] = (w[in] & ~low) | ((w[in] << 8) & low) | carry;
            if (in == 1) {
                w[0] = w[0] << 8 | b;
            }
            std::memcpy(front, w, 16);
        } else {
            std::memmove(front + 1, front, index);
            front[0] = b;
        }
        ++counts[b];
        out[n++] = b;
    }
    if (bits.Position() != block.End || origin >= n) {
        return false;
    }
    size = n;
    return true;
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
template <size_t B>
void WalkTogether(TChain* const* chains, uint32_t steps)
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
        case 1: WalkTogether<1>(w, steps); break;
        case 2: WalkTogether<2>(w, steps); break;
        case 3: WalkTogether<3>(w, steps); break;
        default: WalkTogether<4>(w, steps); break;
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

TBzip2Scratch::TBzip2Scratch() = default;
TBzip2Scratch::~TBzip2Scratch() = default;
TBzip2Scratch::TBzip2Scratch(TBzip2Scratch&&) noexcept = default;
TBzip2Scratch& TBzip2Scratch::operator=(TBzip2Scratch&&) noexcept = default;

bool DecodeBzip2BlocksFast(std::span<const uint8_t> in, std::span<const TBzip2Block> blocks, size_t limit,
                           std::span<std::vector<uint8_t>> outs, TBzip2Scratch& scratch)
{
    const size_t count = blocks.size();
    if (count == 0 || count > TBzip2Scratch::kMaxBlocks || outs.size() < count) {
        return false;
    }
    const uint64_t inBits = uint64_t(in.size()) * 8;
    try {
        if (!scratch.Tables) {
            scratch.Tables = std::make_unique<TBzip2Tables>();
        }
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
            if (!ReadSymbols(in, block, links, scratch.Selectors, *scratch.Tables, counts, size, origin)) {
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
            if (!UndoRuns(scratch.Walked[b].data(), sizes[b], cap, outs[b]) || BlockCrc(outs[b].data(), outs[b].size()) != block.Crc) {
                return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace Folio::Shared
