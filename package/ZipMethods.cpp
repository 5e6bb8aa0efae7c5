// The payload source and growing output of the method decoders, and the choice of
// decoder by method (see ZipMethods.h). The expansion limits are what each format can express at best, with
// room to spare; they only catch claims no stream could keep.
#include "package/ZipMethods.h"

#include <algorithm>
#include <limits>
#include <new>

namespace Folio::Shared {

namespace {

// First allocation and smallest growth step: large enough that small entries are one
// allocation, small enough that a lying size costs little.
constexpr size_t kFirstRoom = size_t(1) << 20;
// Pieces of an encrypted payload, decrypted one at a time; a plain one is handed out in
// pieces that any decoder's counters (unsigned int in libbz2) can hold.
constexpr size_t kCipherPiece = size_t(1) << 16;
constexpr size_t kPlainPiece = size_t(1) << 30;

uint64_t SaturatingMulAdd(uint64_t a, uint64_t b, uint64_t c)
{
    if (b != 0 && a > (std::numeric_limits<uint64_t>::max() - c) / b) {
        return std::numeric_limits<uint64_t>::max();
    }
    return a * b + c;
}

} // namespace

TMethodOutput::TMethodOutput(std::vector<uint8_t>& out, uint64_t expected)
    : FOut(out)
    , FBase(out.size())
    , FExpected(static_cast<size_t>(std::min<uint64_t>(expected, out.max_size() - out.size())))
{
}

bool TMethodOutput::Reserve(size_t more)
{
    if (more > FExpected - FProduced) {
        return false;
    }
    const size_t need = FProduced + more;
    if (need <= FAllocated) {
        return true;
    }
    size_t target = std::max({need, kFirstRoom, FAllocated <= FExpected / 2 ? FAllocated * 2 : FExpected});
    target = std::min(target, FExpected);
    try {
        FOut.resize(FBase + target);
    } catch (const std::bad_alloc&) {
        return false;
    }
    FAllocated = target;
    return true;
}

bool TMethodOutput::ReserveSome()
{
    return Room() > 0 || Reserve(1);
}

void TMethodOutput::Finish(bool keep)
{
    FOut.resize(FBase + (keep ? FProduced : 0));
}

TMethodSource::TMethodSource(std::span<const uint8_t> payload, const TZipKeys* keys, size_t piece)
    : FPayload(payload)
    , FPieceSize(std::min(piece != 0 ? piece : SIZE_MAX, keys ? kCipherPiece : kPlainPiece))
{
    if (keys) {
        FKeys.emplace(*keys);
        FPiece.reset(new uint8_t[FPieceSize]); // here, so that reading never throws
    }
}

std::span<const uint8_t> TMethodSource::Next()
{
    const size_t left = FPayload.size() - FAt;
    if (left == 0) {
        return {};
    }
    if (!FKeys) {
        const size_t n = std::min(left, FPieceSize);
        FAt += n;
        return FPayload.subspan(FAt - n, n);
    }
    const size_t n = std::min(left, FPieceSize);
    FKeys->DecryptBlock(FPayload.data() + FAt, FPiece.get(), n);
    FAt += n;
    return {FPiece.get(), n};
}

std::optional<std::span<const uint8_t>> TMethodSource::Whole()
{
    if (FAt != 0) {
        return std::nullopt;
    }
    if (!FKeys) {
        FAt = FPayload.size();
        return FPayload;
    }
    try {
        FWhole.resize(FPayload.size());
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    FKeys->DecryptBlock(FPayload.data(), FWhole.data(), FWhole.size());
    FAt = FPayload.size();
    return std::span<const uint8_t>(FWhole);
}

std::unique_ptr<TMethodDecoder> OpenMethod(uint16_t method, uint16_t flags, TMethodSource& source, uint64_t expected)
{
    switch (method) {
    case kMethodDeflate64: return OpenDeflate64(source, expected);
    case kMethodBzip2: return OpenBzip2(source, expected);
    case kMethodLzma: return OpenLzma(source, (flags & 2) != 0, expected);
    case kMethodPpmd: return OpenPpmd(source, expected);
    default: return nullptr;
    }
}

ZipEntryStatus DecodeAll(TMethodDecoder* decoder, TMethodOutput& out)
{
    if (!decoder) {
        return ZipEntryStatus::SizeMismatch; // no memory for it
    }
    for (;;) {
        if (out.Full()) {
            // The decoder checked the stream's end with the last byte; this read only
            // collects its verdict (an empty entry's check happens here).
            uint8_t probe[1];
            return decoder->Read(probe, 1) == 0 ? decoder->Status() : ZipEntryStatus::SizeMismatch;
        }
        if (!out.ReserveSome()) {
            return ZipEntryStatus::SizeMismatch;
        }
        const size_t n = decoder->Read(out.Cursor(), out.Room());
        if (n == 0) {
            // A decoder stops short of its size only with a reason.
            return decoder->Status() == ZipEntryStatus::Ok ? ZipEntryStatus::Damaged : decoder->Status();
        }
        out.Advance(n);
    }
}

bool MethodSupported(uint16_t method)
{
    return method == kMethodDeflate64 || method == kMethodBzip2 || method == kMethodLzma || method == kMethodPpmd;
}

uint64_t MethodMaxSize(uint16_t method, uint64_t compressed)
{
    switch (method) {
    case kMethodDeflate64:
        // A length of 65538 costs at least 16 extra bits, a one-bit length code and a
        // one-bit distance code: 18 bits.
        return SaturatingMulAdd(compressed, 65538 * 8 / 18 + 1, 65538);
    case kMethodBzip2:
        // A block holds at most 900000 run-length coded bytes, each five of which give at
        // most 255, and takes more than 20 bytes with its headers.
        return SaturatingMulAdd(compressed / 20 + 1, 900000 / 5 * 255, 0);
    case kMethodLzma:
        // A repeated match of 273 bytes is 14 binary decisions, and a decision that the
        // model has settled on costs 0.022 bits or more: under 7100 bytes a byte.
        return SaturatingMulAdd(compressed, 8192, 1 << 16);
    case kMethodPpmd:
        // The range decoder holds under 32 bits of range after its first 4 bytes and
        // gains 8 with each further one; a symbol uses at least log2(16384 / 16352) bits
        // of it, 16352 being the most a binary context's probability reaches (a state's
        // share elsewhere is at most 255/256). So n bytes give at most 8n * 354.6 symbols.
        return SaturatingMulAdd(compressed, 8 * 355, 0);
    default:
        return 0;
    }
}

ZipEntryStatus DecodeMethod(uint16_t method, uint16_t flags, std::span<const uint8_t> in, TMethodOutput& out)
{
    if (!MethodSupported(method)) {
        return ZipEntryStatus::UnsupportedMethod;
    }
    TMethodSource source(in);
    return DecodeAll(OpenMethod(method, flags, source, out.Expected()).get(), out);
}

ZipEntryStatus DecodeDeflate64(std::span<const uint8_t> in, TMethodOutput& out)
{
    return DecodeMethod(kMethodDeflate64, 0, in, out);
}

ZipEntryStatus DecodeLzma(std::span<const uint8_t> in, bool endMarker, TMethodOutput& out)
{
    return DecodeMethod(kMethodLzma, endMarker ? 2 : 0, in, out);
}

ZipEntryStatus DecodePpmd(std::span<const uint8_t> in, TMethodOutput& out)
{
    return DecodeMethod(kMethodPpmd, 0, in, out);
}

} // namespace Folio::Shared
