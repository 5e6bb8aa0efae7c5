// Finding the blocks of bzip2 streams and decoding one block alone (see Bzip2Blocks.h).
// Blocks are not byte-aligned: each is found by its 48-bit magic at any bit position,
// and copied into a stream of its own for libbz2.
#include "package/Bzip2Blocks.h"

#include <bzlib.h>

#include <algorithm>
#include <array>
#include <new>

namespace Folio::Shared {

namespace {

constexpr uint64_t kBlockMagic = 0x314159265359; // digits of pi
constexpr uint64_t kEndMagic = 0x177245385090;   // digits of the square root of pi
constexpr uint64_t kMagicMask = (uint64_t(1) << 48) - 1;

// A magic starting at bit s (0..7) of byte p puts known values in bytes p + 1 and p + 2.
// For each byte value and each of those two bytes: bit s is set when a block magic at
// shift s would put it there, bit 8 + s when an end magic would. Few positions pass the
// first look-up, fewer the second.
using TShiftTable = std::array<uint16_t, 256>;
constexpr TShiftTable ShiftTable(unsigned byte)
{
    TShiftTable table{};
    for (unsigned s = 0; s < 8; ++s) {
        table[(kBlockMagic >> (40 - 8 * byte + s)) & 0xFF] |= uint16_t(1u << s);
        table[(kEndMagic >> (40 - 8 * byte + s)) & 0xFF] |= uint16_t(1u << (8 + s));
    }
    return table;
}
constexpr TShiftTable kSecondByte = ShiftTable(1), kThirdByte = ShiftTable(2);

struct TMagic {
    uint64_t Bit;
    bool End;
};

// The first magic of either kind at or after bit `from`. Looked for as the blocks are
// placed, so that magics past them (in data after the streams, say) are never held. A
// magic in the last six bytes is missed: no stream ends there (its end magic is followed
// by a 32-bit CRC).
std::optional<TMagic> NextMagic(std::span<const uint8_t> in, uint64_t from)
{
    const uint8_t* d = in.data();
    for (size_t p = size_t(from / 8); p + 7 <= in.size(); ++p) {
        unsigned shifts = kSecondByte[d[p + 1]];
        if (shifts == 0 || (shifts &= kThirdByte[d[p + 2]]) == 0) {
            continue;
        }
        uint64_t window = 0; // bits 8p .. 8p + 55
        for (size_t k = 0; k < 7; ++k) {
            window = window << 8 | d[p + k];
        }
        for (unsigned s = 0; s < 8; ++s) {
            const uint64_t bit = uint64_t(p) * 8 + s;
            const uint64_t bits = (window >> (8 - s)) & kMagicMask;
            if (bit < from) {
                continue;
            }
            if ((shifts >> s & 1) && bits == kBlockMagic) {
                return TMagic{bit, false};
            }
            if ((shifts >> (8 + s) & 1) && bits == kEndMagic) {
                return TMagic{bit, true};
            }
        }
    }
    return std::nullopt;
}

// Reads `count` bits (up to 32) from bit `at`; the caller checks they are in the input.
uint32_t BitsAt(std::span<const uint8_t> in, uint64_t at, unsigned count)
{
    uint32_t v = 0;
    for (unsigned k = 0; k < count; ++k, ++at) {
        v = v << 1 | ((in[size_t(at / 8)] >> (7 - at % 8)) & 1);
    }
    return v;
}

bool IsStreamHeader(std::span<const uint8_t> in, size_t at)
{
    return in.size() - at >= 4 && in[at] == 'B' && in[at + 1] == 'Z' && in[at + 2] == 'h' && in[at + 3] >= '1' &&
           in[at + 3] <= '9';
}

// A block of n bytes before run-length coding, at 20 bits a symbol (the longest code
// libbz2 accepts) and its tables: no encoder writes a longer one.
uint64_t MaxBlockBits(uint8_t level) { return uint64_t(level) * 100000 * 20 + 65536; }

// Run-length coding turns every five bytes of a block into at most 259.
uint64_t MaxBlockOutput(uint8_t level) { return uint64_t(level) * 100000 / 5 * 259 + 259; }

// libbz2's decoder state, ended however decoding ends.
struct TDecoder {
    bz_stream S{};
    bool Live = BZ2_bzDecompressInit(&S, 0, 0) == BZ_OK;
    TDecoder() = default;
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;
    ~TDecoder()
    {
        if (Live) {
            BZ2_bzDecompressEnd(&S);
        }
    }
};

// Appends bits to a byte vector, most significant first.
class TBitWriter {
public:
    explicit TBitWriter(std::vector<uint8_t>& out) : FOut(out) {}
    void Put(uint64_t value, unsigned count)
    {
        while (count-- > 0) {
            if (FUsed == 0) {
                FOut.push_back(0);
            }
            FOut.back() |= uint8_t(((value >> count) & 1) << (7 - FUsed));
            FUsed = (FUsed + 1) % 8;
        }
    }

private:
    std::vector<uint8_t>& FOut;
    unsigned FUsed = 0; // bits used of the last byte
};

} // namespace

std::optional<std::vector<TBzip2Block>> FindBzip2Blocks(std::span<const uint8_t> in)
{
    const uint64_t inBits = uint64_t(in.size()) * 8;
    std::vector<TBzip2Block> blocks;
    for (size_t at = 0; IsStreamHeader(in, at);) {
        const uint8_t level = uint8_t(in[at + 3] - '0');
        uint64_t bit = uint64_t(at) * 8 + 32;
        uint32_t combined = 0;
        for (;;) {
            const auto magic = NextMagic(in, bit);
            if (!magic || magic->Bit != bit || bit + 80 > inBits) {
                return std::nullopt;
            }
            const uint32_t crc = BitsAt(in, bit + 48, 32);
            if (magic->End) {
                if (crc != combined) {
                    return std::nullopt;
                }
                at = size_t((bit + 80 + 7) / 8);
                break;
            }
            const auto next = NextMagic(in, bit + 1);
            if (!next) {
                return std::nullopt;
            }
            const uint64_t end = next->Bit;
            if (end < bit + 80 || end - bit > MaxBlockBits(level)) {
                return std::nullopt;
            }
            blocks.push_back({bit, end, crc, level});
            combined = (combined << 1 | combined >> 31) ^ crc;
            bit = end;
        }
    }
    return blocks;
}

bool DecodeBzip2Block(std::span<const uint8_t> in, const TBzip2Block& block, size_t limit, std::vector<uint8_t>& out)
{
    out.clear();
    limit = std::min<size_t>(limit, MaxBlockOutput(block.Level));
    try {
        // "BZh" and the level, the block bit for bit, the end magic and the combined CRC,
        // which for one block is the block's CRC.
        std::vector<uint8_t> stream{'B', 'Z', 'h', uint8_t('0' + block.Level)};
        const uint64_t bits = block.End - block.Start;
        stream.reserve(size_t(bits / 8) + 16);
        const size_t first = size_t(block.Start / 8);
        const unsigned shift = unsigned(block.Start % 8);
        const size_t whole = size_t(bits / 8);
        stream.resize(4 + whole);
        const uint8_t* d = in.data() + first;
        uint8_t* to = stream.data() + 4;
        if (shift == 0) {
            std::copy(d, d + whole, to);
        } else {
            for (size_t k = 0; k < whole; ++k) {
                to[k] = uint8_t(d[k] << shift | d[k + 1] >> (8 - shift));
            }
        }
        TBitWriter tail(stream);
        const unsigned rest = unsigned(bits % 8);
        tail.Put(BitsAt(in, block.Start + bits - rest, rest), rest);
        tail.Put(kEndMagic, 48);
        tail.Put(block.Crc, 32);

        TDecoder decoder;
        if (!decoder.Live) {
            return false;
        }
        bz_stream& s = decoder.S;
        s.next_in = reinterpret_cast<char*>(stream.data());
        s.avail_in = static_cast<unsigned>(stream.size());
        // Most blocks give a few times their compressed size, up to their level's size;
        // long runs give more, up to the limit. A buffer sized from the block's own bits
        // keeps a block of a few bytes from clearing one of a whole block's size.
        const size_t initial = std::min({size_t(block.Level) * 100000 + 64, limit + 1, whole * 8 + 4096});
        out.resize(initial);
        size_t produced = 0;
        int rc = BZ_OK;
        while (rc == BZ_OK) {
            if (produced == out.size()) {
                if (out.size() > limit) {
                    break;
                }
                out.resize(std::min(out.size() * 2, limit + 1));
            }
            s.next_out = reinterpret_cast<char*>(out.data() + produced);
            s.avail_out = static_cast<unsigned>(out.size() - produced);
            const unsigned before = s.avail_out, inBefore = s.avail_in;
            rc = BZ2_bzDecompress(&s);
            produced += before - s.avail_out;
            if (rc == BZ_OK && s.avail_out == before && s.avail_in == inBefore) {
                break; // the stream is cut short: no end magic where it must be
            }
        }
        out.resize(produced);
        return rc == BZ_STREAM_END && s.avail_in == 0 && produced <= limit;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

} // namespace Folio::Shared
