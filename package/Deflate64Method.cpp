// Method 9, Deflate64: deflate with a 64 KiB window, distance codes 30 and 31 (14 extra
// bits) and length code 285 carrying 16 extra bits (lengths 3 to 65538). No Debian
// library decodes it, so this is our own decoder; back references read the entry's
// output itself, which is one block of memory.
#include "package/ZipMethods.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Folio::Shared {

namespace {

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr uint32_t kDistanceBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                        49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                        2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr uint8_t kCodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A canonical Huffman code. Codes of up to kRootBits bits are found in one flat table
// indexed by the next input bits (least significant first), an entry being symbol << 4 |
// code length, 0 for none; longer codes, which only rare symbols get, are walked bit by
// bit. Filling a table for every length the data may ask for would cost 64 KiB of
// writes for each block header of a few bytes.
struct THuffman {
    static constexpr unsigned kRootBits = 10;
    uint16_t Table[1 << kRootBits];
    unsigned Bits = 0;
    uint16_t PerLength[16] = {};
    uint16_t Sorted[288]; // symbols by code length, then by value
    bool Long = false;    // whether any code is longer than the table

    bool Build(const uint8_t* lengths, unsigned count)
    {
        std::fill_n(PerLength, 16, uint16_t(0));
        for (unsigned i = 0; i < count; ++i) {
            ++PerLength[lengths[i]];
        }
        PerLength[0] = 0;
        unsigned longest = 0;
        int left = 1;
        for (unsigned len = 1; len < 16; ++len) {
            left = (left << 1) - static_cast<int>(PerLength[len]);
            if (left < 0) {
                return false; // more codes than the lengths allow
            }
            if (PerLength[len] != 0) {
                longest = len;
            }
        }
        Long = longest > kRootBits;
        // At least one bit: with no codes at all every lookup finds nothing.
        Bits = std::clamp(longest, 1u, kRootBits);
        std::fill_n(Table, size_t(1) << Bits, uint16_t(0));
        unsigned next[16] = {}, offset[16] = {};
        for (unsigned len = 1, code = 0; len < 16; ++len) {
            code = (code + PerLength[len - 1]) << 1;
            next[len] = code;
            offset[len] = offset[len - 1] + PerLength[len - 1];
        }
        for (unsigned symbol = 0; symbol < count; ++symbol) {
            const unsigned len = lengths[symbol];
            if (len == 0) {
                continue;
            }
            Sorted[offset[len]++] = static_cast<uint16_t>(symbol);
            unsigned code = next[len]++, reversed = 0;
            if (len > Bits) {
                continue;
            }
            for (unsigned i = 0; i < len; ++i, code >>= 1) {
                reversed = (reversed << 1) | (code & 1);
            }
            const auto entry = static_cast<uint16_t>(symbol << 4 | len);
            for (unsigned i = reversed; i < (1u << Bits); i += 1u << len) {
                Table[i] = entry;
            }
        }
        return true;
    }
};

class TBits {
public:
    explicit TBits(std::span<const uint8_t> in) : FIn(in) {}

    // Tops the buffer up to at least 57 bits while input lasts.
    void Refill()
    {
        while (FCount <= 56 && FPos < FIn.size()) {
            FBuffer |= uint64_t(FIn[FPos++]) << FCount;
            FCount += 8;
        }
    }
    bool Take(unsigned n, uint32_t& value)
    {
        if (FCount < n) {
            Refill();
            if (FCount < n) {
                return false;
            }
        }
        value = static_cast<uint32_t>(FBuffer & ((uint64_t(1) << n) - 1));
        FBuffer >>= n;
        FCount -= n;
        return true;
    }
    // The next symbol of the code; false at the end of input or on a bit pattern
    // without a code.
    bool Decode(const THuffman& h, unsigned& symbol)
    {
        if (FCount < 15) {
            Refill();
        }
        const uint16_t entry = h.Table[FBuffer & ((1u << h.Bits) - 1)];
        const unsigned len = entry & 15;
        if (len == 0) {
            return h.Long && DecodeLong(h, symbol);
        }
        if (len > FCount) {
            return false;
        }
        FBuffer >>= len;
        FCount -= len;
        symbol = entry >> 4;
        return true;
    }
    // A code longer than the table: the first code of each length and the count of
    // codes of that length tell, bit by bit, whether the code read so far is one.
    bool DecodeLong(const THuffman& h, unsigned& symbol)
    {
        unsigned code = 0, first = 0, index = 0;
        for (unsigned len = 1; len < 16 && len <= FCount; ++len) {
            code |= static_cast<unsigned>(FBuffer >> (len - 1)) & 1;
            const unsigned count = h.PerLength[len];
            if (code - first < count) {
                FBuffer >>= len;
                FCount -= len;
                symbol = h.Sorted[index + code - first];
                return true;
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return false;
    }
    // Drops the bits to the next byte boundary and hands back the whole bytes read
    // ahead, so stored blocks are copied straight from the input.
    void AlignToByte()
    {
        FCount -= FCount % 8;
        FPos -= FCount / 8;
        FBuffer = 0;
        FCount = 0;
    }
    std::span<const uint8_t> Bytes(size_t n)
    {
        if (n > FIn.size() - FPos) {
            return {};
        }
        const auto bytes = FIn.subspan(FPos, n);
        FPos += n;
        return bytes;
    }

private:
    std::span<const uint8_t> FIn;
    size_t FPos = 0;
    uint64_t FBuffer = 0;
    unsigned FCount = 0;
};

class TInflater64 {
public:
    TInflater64(std::span<const uint8_t> in, TMethodOutput& out) : FBits(in), FOut(out) {}

    ZipEntryStatus Run()
    {
        uint32_t last = 0, type = 0;
        do {
            if (!FBits.Take(1, last) || !FBits.Take(2, type)) {
                return ZipEntryStatus::Damaged;
            }
            ZipEntryStatus status = ZipEntryStatus::Damaged;
            if (type == 0) {
                status = Stored();
            } else if (type == 1) {
                status = FixedCodes() ? Codes() : ZipEntryStatus::Damaged;
            } else if (type == 2) {
                status = DynamicCodes() ? Codes() : ZipEntryStatus::Damaged;
            }
            if (status != ZipEntryStatus::Ok) {
                return status;
            }
        } while (!last);
        return FOut.Full() ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
    }

private:
    ZipEntryStatus Stored()
    {
        FBits.AlignToByte();
        const auto header = FBits.Bytes(4);
        if (header.empty()) {
            return ZipEntryStatus::Damaged;
        }
        const unsigned length = header[0] | (header[1] << 8);
        if ((length ^ 0xFFFFu) != unsigned(header[2] | (header[3] << 8))) {
            return ZipEntryStatus::Damaged;
        }
        const auto bytes = FBits.Bytes(length);
        if (bytes.size() != length) {
            return ZipEntryStatus::Damaged;
        }
        if (!FOut.Reserve(length)) {
            return ZipEntryStatus::SizeMismatch;
        }
        if (length != 0) {
            std::memcpy(FOut.Cursor(), bytes.data(), length);
        }
        FOut.Advance(length);
        return ZipEntryStatus::Ok;
    }

    bool FixedCodes()
    {
        // Blocks of fixed codes can be a few bits each: the tables stay until a block
        // brings its own.
        if (FFixed) {
            return true;
        }
        uint8_t lengths[288 + 32];
        std::fill_n(lengths, 144, uint8_t(8));
        std::fill_n(lengths + 144, 112, uint8_t(9));
        std::fill_n(lengths + 256, 24, uint8_t(7));
        std::fill_n(lengths + 280, 8, uint8_t(8));
        std::fill_n(lengths + 288, 32, uint8_t(5));
        FFixed = FLiterals.Build(lengths, 288) && FDistances.Build(lengths + 288, 32);
        return FFixed;
    }

    bool DynamicCodes()
    {
        FFixed = false;
        uint32_t literals = 0, distances = 0, codes = 0;
        if (!FBits.Take(5, literals) || !FBits.Take(5, distances) || !FBits.Take(4, codes)) {
            return false;
        }
        literals += 257;
        distances += 1;
        codes += 4;
        if (literals > 286) {
            return false;
        }
        uint8_t codeLengths[19] = {};
        for (uint32_t i = 0; i < codes; ++i) {
            uint32_t len = 0;
            if (!FBits.Take(3, len)) {
                return false;
            }
            codeLengths[kCodeOrder[i]] = static_cast<uint8_t>(len);
        }
        if (!FLengthCode.Build(codeLengths, 19)) {
            return false;
        }
        uint8_t lengths[286 + 32] = {};
        const uint32_t total = literals + distances;
        for (uint32_t i = 0; i < total;) {
            unsigned symbol = 0;
            if (!FBits.Decode(FLengthCode, symbol)) {
                return false;
            }
            uint32_t repeat = 0;
            uint8_t value = 0;
            if (symbol < 16) {
                lengths[i++] = static_cast<uint8_t>(symbol);
                continue;
            }
            if (symbol == 16) {
                if (i == 0 || !FBits.Take(2, repeat)) {
                    return false;
                }
                value = lengths[i - 1];
                repeat += 3;
            } else if (symbol == 17) {
                if (!FBits.Take(3, repeat)) {
                    return false;
                }
                repeat += 3;
            } else {
                if (!FBits.Take(7, repeat)) {
                    return false;
                }
                repeat += 11;
            }
            if (repeat > total - i) {
                return false;
            }
            std::fill_n(lengths + i, repeat, value);
            i += repeat;
        }
        if (lengths[256] == 0) {
            return false; // a block that could never end
        }
        return FLiterals.Build(lengths, literals) && FDistances.Build(lengths + literals, distances);
    }

    ZipEntryStatus Codes()
    {
        for (;;) {
            unsigned symbol = 0;
            if (!FBits.Decode(FLiterals, symbol)) {
                return ZipEntryStatus::Damaged;
            }
            if (symbol < 256) {
                if (FOut.Room() == 0 && !FOut.ReserveSome()) {
                    return ZipEntryStatus::SizeMismatch;
                }
                *FOut.Cursor() = static_cast<uint8_t>(symbol);
                FOut.Advance(1);
                continue;
            }
            if (symbol == 256) {
                return ZipEntryStatus::Ok;
            }
            symbol -= 257;
            if (symbol >= 29) {
                return ZipEntryStatus::Damaged;
            }
            uint32_t extra = 0;
            if (!FBits.Take(kLengthExtra[symbol], extra)) {
                return ZipEntryStatus::Damaged;
            }
            const size_t length = kLengthBase[symbol] + extra;
            unsigned code = 0;
            if (!FBits.Decode(FDistances, code) || code >= 32 || !FBits.Take(kDistanceExtra[code], extra)) {
                return ZipEntryStatus::Damaged;
            }
            const size_t distance = kDistanceBase[code] + extra;
            if (distance > FOut.Produced()) {
                return ZipEntryStatus::Damaged;
            }
            if (!FOut.Reserve(length)) {
                return ZipEntryStatus::SizeMismatch;
            }
            uint8_t* to = FOut.Cursor();
            const uint8_t* from = to - distance;
            if (distance >= length) {
                std::memcpy(to, from, length);
            } else {
                for (size_t i = 0; i < length; ++i) {
                    to[i] = from[i];
                }
            }
            FOut.Advance(length);
        }
    }

    TBits FBits;
    TMethodOutput& FOut;
    THuffman FLengthCode;
    THuffman FLiterals;
    THuffman FDistances;
    bool FFixed = false; // whether FLiterals and FDistances hold the fixed codes
};

} // namespace

ZipEntryStatus DecodeDeflate64Whole(std::span<const uint8_t> in, TMethodOutput& out)
{
    // The tables are some 8 KiB: on the heap, not the stack of a thread of the runtime.
    auto inflater = std::make_unique<TInflater64>(in, out);
    return inflater->Run();
}

} // namespace Folio::Shared
