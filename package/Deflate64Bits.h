// The input side of the Deflate64 decoder (Deflate64Method.cpp): canonical Huffman
// tables and the payload's bits, pulled from a TMethodSource piece by piece.
#pragma once

#include "package/ZipMethods.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace Folio::Shared::Deflate64 {

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

// The payload's bits, least significant first, pulled from the source piece by piece.
class TBits {
public:
    explicit TBits(TMethodSource& source) : FSource(source) {}

    // Tops the buffer up to at least 57 bits while input lasts. Inside a piece eight bytes
    // are loaded at once; the bits past the count are then those of the bytes that follow,
    // which later loads put in the same place again.
    void Refill()
    {
        if constexpr (std::endian::native == std::endian::little) {
            if (FEnd - FPos >= 8) {
                uint64_t word;
                std::memcpy(&word, FPos, 8);
                FBuffer |= word << FCount;
                FPos += (63 - FCount) >> 3;
                FCount |= 56;
                return;
            }
        }
        RefillBytes();
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
    void AlignToByte()
    {
        const unsigned n = FCount % 8;
        FBuffer >>= n;
        FCount -= n;
    }
    // Up to n whole bytes of a stored block (after AlignToByte): those the buffer holds,
    // then straight from the pieces. Fewer only where input ends.
    size_t Copy(uint8_t* to, size_t n)
    {
        size_t done = 0;
        for (; done < n && FCount != 0; ++done) {
            to[done] = static_cast<uint8_t>(FBuffer);
            FBuffer >>= 8;
            FCount -= 8;
        }
        FBuffer = FCount != 0 ? FBuffer : 0; // what was past the count is copied below
        while (done < n && (FPos != FEnd || NextPiece())) {
            const size_t k = std::min(n - done, static_cast<size_t>(FEnd - FPos));
            std::memcpy(to + done, FPos, k);
            FPos += k;
            done += k;
        }
        return done;
    }

private:
    void RefillBytes()
    {
        while (FCount <= 56 && (FPos != FEnd || NextPiece())) {
            FBuffer |= uint64_t(*FPos++) << FCount;
            FCount += 8;
        }
    }
    bool NextPiece()
    {
        if (FEnded) {
            return false;
        }
        const auto piece = FSource.Next();
        FPos = piece.data();
        FEnd = FPos + piece.size();
        FEnded = piece.empty();
        return !FEnded;
    }

    TMethodSource& FSource;
    const uint8_t* FPos = nullptr;
    const uint8_t* FEnd = nullptr;
    bool FEnded = false;
    uint64_t FBuffer = 0;
    unsigned FCount = 0;
};

} // namespace Folio::Shared::Deflate64
