// The reading half of our own bzip2 block decoder (Bzip2Fast.h): a block's header, its
// code tables and its Huffman-coded move-to-front symbols, into the array that the inverse
// transform then walks. Anything libbz2 would refuse is refused, and odd codes left to it.
#include "package/Bzip2FastSymbols.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

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
    uint16_t Fast[1u << kFastBits];     // symbol | length << 9; 0 for a longer code
    uint32_t First[kMaxCodeLength + 2]; // the first code of each length
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

TBzip2Scratch::TBzip2Scratch() = default;
TBzip2Scratch::~TBzip2Scratch() = default;
TBzip2Scratch::TBzip2Scratch(TBzip2Scratch&&) noexcept = default;
TBzip2Scratch& TBzip2Scratch::operator=(TBzip2Scratch&&) noexcept = default;

bool ReadBzip2Symbols(std::span<const uint8_t> in, const TBzip2Block& block, std::vector<uint32_t>& links,
                      std::vector<uint8_t>& selectors, std::unique_ptr<TBzip2Tables>& tables, uint32_t (&counts)[256],
                      uint32_t& size, uint32_t& origin)
{
    if (!tables) {
        tables = std::make_unique<TBzip2Tables>();
    }
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
        if (!tables->Codes[t].Build(lengths, alphaSize)) {
            return false;
        }
    }
    if (bits.Position() > block.End) {
        return false;
    }

    // The symbols, 50 to a table: RUNA and RUNB give the length of a run of the front byte
    // in bijective base 2, the others move a byte to the front, and the last ends the block.
    uint8_t front[256] = {};
    std::memcpy(front, used, inUse);
    uint64_t head0, head1;
    std::memcpy(&head0, front, 8);
    std::memcpy(&head1, front + 8, 8);
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
            code = &tables->Codes[selectors[selector++]];
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
            const uint8_t b = uint8_t(head0);
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
        // Most indices are small: the first sixteen bytes of the list stay in two words
        // (kept in registers, not stored and read back), the rest in `front`.
        const unsigned index = symbol - 1;
        uint8_t b;
        if (index < 8) {
            const unsigned shift = 8 * index;
            b = uint8_t(head0 >> shift);
            const uint64_t low = (uint64_t(2) << (shift + 7)) - 1; // bytes 0 .. index
            head0 = (head0 & ~low) | ((head0 << 8) & low) | b;
        } else if (index < 16) {
            const unsigned shift = 8 * (index - 8);
            b = uint8_t(head1 >> shift);
            const uint64_t low = (uint64_t(2) << (shift + 7)) - 1;
            head1 = (head1 & ~low) | ((head1 << 8) & low) | head0 >> 56;
            head0 = head0 << 8 | b;
        } else {
            b = front[index];
            std::memmove(front + 17, front + 16, index - 16);
            front[16] = uint8_t(head1 >> 56);
            head1 = head1 << 8 | head0 >> 56;
            head0 = head0 << 8 | b;
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

} // namespace Folio::Shared
