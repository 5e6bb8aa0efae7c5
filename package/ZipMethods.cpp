// The growing output of the method decoders and the choice of decoder by method (see
// ZipMethods.h). The expansion limits are what each format can express at best, with
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
    switch (method) {
    case kMethodDeflate64: return DecodeDeflate64(in, out);
    case kMethodBzip2: return DecodeBzip2(in, out);
    case kMethodLzma: return DecodeLzma(in, (flags & 2) != 0, out);
    case kMethodPpmd: return DecodePpmd(in, out);
    default: return ZipEntryStatus::UnsupportedMethod;
    }
}

} // namespace Folio::Shared
