// Method 9, Deflate64: deflate with a 64 KiB window, distance codes 30 and 31 (14 extra
// bits) and length code 285 carrying 16 extra bits (lengths 3 to 65538). No Debian
// library decodes it, so this is our own decoder. It decodes into a buffer of the 64 KiB
// window and a chunk after it, which the reader empties; a full chunk slides the window
// to the front, and a match or stored block that did not fit goes on from there.
#include "package/Deflate64Bits.h"
#include "package/ZipMethods.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace Folio::Shared {

namespace {

using Deflate64::TBits;
using Deflate64::THuffman;

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

// 64 KiB is the farthest distance; the chunk decoded after it is what one Read can take
// at best before the window slides.
constexpr size_t kWindow = size_t(1) << 16;
constexpr size_t kChunk = size_t(1) << 18;

class TDeflate64Decoder final : public TMethodDecoder {
public:
    TDeflate64Decoder(TMethodSource& source, uint64_t expected) noexcept : TMethodDecoder(expected), FBits(source) {}

    size_t Read(uint8_t* out, size_t capacity) override
    {
        if (FStatus != ZipEntryStatus::Ok) {
            return 0;
        }
        if (!FBuffer) {
            // An entry smaller than window and chunk is decoded in place, never slid.
            FSize = static_cast<size_t>(std::min<uint64_t>(FExpected, kWindow + kChunk));
            FBuffer.reset(new (std::nothrow) uint8_t[FSize + 1]);
            if (!FBuffer) {
                return Fail(ZipEntryStatus::SizeMismatch);
            }
        }
        size_t given = 0;
        while (given < capacity) {
            if (FRead == FWrite) {
                if (FState == EState::Ended) {
                    break;
                }
                const auto status = Produce();
                if (status != ZipEntryStatus::Ok) {
                    return Fail(status);
                }
                continue;
            }
            const size_t n = std::min(capacity - given, FWrite - FRead);
            std::memcpy(out + given, FBuffer.get() + FRead, n);
            FRead += n;
            given += n;
        }
        return given;
    }

private:
    enum class EState { Header, Stored, Codes, Ended };

    // Decodes into the buffer until it is full. Where that is the entry's last byte it
    // goes on to the stream's end, which must follow right there: so the last byte is
    // given only once the whole stream has checked out.
    ZipEntryStatus Produce()
    {
        if (FWrite == FSize && FSize > kWindow) {
            std::memmove(FBuffer.get(), FBuffer.get() + FWrite - kWindow, kWindow);
            FBase += FWrite - kWindow;
            FRead = FWrite = kWindow;
        }
        const uint64_t left = FExpected - FBase - FWrite;
        FAtEnd = left <= FSize - FWrite;
        FLimit = FAtEnd ? FWrite + static_cast<size_t>(left) : FSize;
        for (;;) {
            ZipEntryStatus status = ZipEntryStatus::Ok;
            switch (FState) {
            case EState::Header: status = Header(); break;
            case EState::Stored: status = Stored(); break;
            case EState::Codes: status = Codes(); break;
            case EState::Ended: return FWrite == FLimit && FAtEnd ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
            }
            if (status != ZipEntryStatus::Ok) {
                return status;
            }
            if (FWrite == FLimit && !FAtEnd) {
                return ZipEntryStatus::Ok;
            }
        }
    }

    ZipEntryStatus Header()
    {
        uint32_t last = 0, type = 0;
        if (!FBits.Take(1, last) || !FBits.Take(2, type)) {
            return ZipEntryStatus::Damaged;
        }
        FLast = last != 0;
        if (type == 0) {
            uint32_t length = 0, inverse = 0;
            FBits.AlignToByte();
            if (!FBits.Take(16, length) || !FBits.Take(16, inverse) || (length ^ 0xFFFFu) != inverse) {
                return ZipEntryStatus::Damaged;
            }
            FStoredLeft = length;
            FState = EState::Stored;
            return ZipEntryStatus::Ok;
        }
        if (type == 1 ? !FixedCodes() : type != 2 || !DynamicCodes()) {
            return ZipEntryStatus::Damaged;
        }
        FState = EState::Codes;
        return ZipEntryStatus::Ok;
    }

    void EndBlock() { FState = FLast ? EState::Ended : EState::Header; }

    ZipEntryStatus Stored()
    {
        const size_t n = std::min(FStoredLeft, FLimit - FWrite);
        if (FBits.Copy(FBuffer.get() + FWrite, n) != n) {
            return ZipEntryStatus::Damaged;
        }
        FWrite += n;
        FStoredLeft -= n;
        if (FStoredLeft != 0) {
            return FAtEnd ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Ok;
        }
        EndBlock();
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

    // A match: its length, its distance checked against what has been decoded.
    ZipEntryStatus Match(unsigned symbol, size_t at)
    {
        symbol -= 257;
        if (symbol >= 29) {
            return ZipEntryStatus::Damaged;
        }
        uint32_t extra = 0;
        if (!FBits.Take(kLengthExtra[symbol], extra)) {
            return ZipEntryStatus::Damaged;
        }
        FMatchLeft = kLengthBase[symbol] + extra;
        unsigned code = 0;
        if (!FBits.Decode(FDistances, code) || code >= 32 || !FBits.Take(kDistanceExtra[code], extra)) {
            return ZipEntryStatus::Damaged;
        }
        FDistance = kDistanceBase[code] + extra;
        return FDistance > FBase + at ? ZipEntryStatus::Damaged : ZipEntryStatus::Ok;
    }

    // Copies what fits of the match at hand; true when all of it did.
    bool CopyMatch(size_t& at)
    {
        const size_t n = std::min(FMatchLeft, FLimit - at);
        uint8_t* to = FBuffer.get() + at;
        const uint8_t* from = to - FDistance;
        if (FDistance >= n) {
            std::memcpy(to, from, n);
        } else {
            for (size_t i = 0; i < n; ++i) {
                to[i] = from[i];
            }
        }
        at += n;
        FMatchLeft -= n;
        return FMatchLeft == 0;
    }

    ZipEntryStatus Codes()
    {
        uint8_t* const buffer = FBuffer.get();
        const size_t limit = FLimit;
        size_t at = FWrite;
        if (FMatchLeft != 0 && !CopyMatch(at)) {
            FWrite = at;
            return FAtEnd ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Ok;
        }
        for (;;) {
            unsigned symbol = 0;
            if (at == limit) {
                FWrite = at;
                if (!FAtEnd) {
                    return ZipEntryStatus::Ok;
                }
                // The entry is whole: only the end of the block may follow.
                if (!FBits.Decode(FLiterals, symbol) || symbol > 285) {
                    return ZipEntryStatus::Damaged;
                }
                if (symbol != 256) {
                    return ZipEntryStatus::SizeMismatch;
                }
                EndBlock();
                return ZipEntryStatus::Ok;
            }
            if (!FBits.Decode(FLiterals, symbol)) {
                return ZipEntryStatus::Damaged;
            }
            if (symbol < 256) {
                buffer[at++] = static_cast<uint8_t>(symbol);
                continue;
            }
            if (symbol == 256) {
                FWrite = at;
                EndBlock();
                return ZipEntryStatus::Ok;
            }
            if (const auto status = Match(symbol, at); status != ZipEntryStatus::Ok) {
                return status;
            }
            if (!CopyMatch(at)) {
                FWrite = at;
                return FAtEnd ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Ok;
            }
        }
    }

    TBits FBits;
    std::unique_ptr<uint8_t[]> FBuffer; // the window, then the chunk being decoded
    size_t FSize = 0;                   // of the buffer
    size_t FRead = 0;                   // given to the reader up to here
    size_t FWrite = 0;                  // decoded up to here
    size_t FLimit = 0;                  // where this Produce stops
    bool FAtEnd = false;                // whether FLimit is the entry's end
    uint64_t FBase = 0;                 // bytes slid out of the buffer
    EState FState = EState::Header;
    bool FLast = false;
    size_t FStoredLeft = 0;
    size_t FMatchLeft = 0;
    size_t FDistance = 0;
    THuffman FLengthCode;
    THuffman FLiterals;
    THuffman FDistances;
    bool FFixed = false; // whether FLiterals and FDistances hold the fixed codes
};

} // namespace

std::unique_ptr<TMethodDecoder> OpenDeflate64(TMethodSource& source, uint64_t expected)
{
    // The tables are some 8 KiB: on the heap, not the stack of a thread of the runtime.
    return std::unique_ptr<TMethodDecoder>(new (std::nothrow) TDeflate64Decoder(source, expected));
}

} // namespace Folio::Shared
