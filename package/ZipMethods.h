// Decoders for the ZIP compression methods beyond stored and deflate: bzip2 (12) and
// LZMA (14) through Debian's libbz2 and liblzma, Deflate64 (9) and PPMd (98) of our own.
// Each is a TMethodDecoder: it pulls the payload from a TMethodSource in pieces and gives
// the entry's bytes out in pieces, holding no more than its window or block. Whole-entry
// decoding writes into a TMethodOutput, which grows only as decoded bytes arrive, so a
// size claim that the data does not back up allocates nothing more.
#pragma once

#include "package/ZipArchive.h"
#include "package/ZipCrypto.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace Folio::Shared {

enum : uint16_t {
    kMethodStored = 0,
    kMethodDeflate = 8,
    kMethodDeflate64 = 9,
    kMethodBzip2 = 12,
    kMethodLzma = 14,
    kMethodPpmd = 98,
};

// The decoded bytes of one entry, appended to a vector. Room is made on demand and
// never past the expected size; Finish trims the vector to what was produced, or back
// to where it started when decoding failed.
class TMethodOutput {
public:
    TMethodOutput(std::vector<uint8_t>& out, uint64_t expected);

    // Makes room for `more` bytes after those produced. False when that passes the
    // expected size or memory runs out.
    bool Reserve(size_t more);
    // Room for at least one byte, more when there is: false only when full or out of
    // memory (Full() tells which).
    bool ReserveSome();

    uint8_t* Data() { return FOut.data() + FBase; }  // the entry's first byte
    uint8_t* Cursor() { return Data() + FProduced; }
    size_t Room() const { return FAllocated - FProduced; }
    void Advance(size_t n) { FProduced += n; }
    size_t Produced() const { return FProduced; }
    uint64_t Expected() const { return FExpected; }
    bool Full() const { return FProduced == FExpected; }
    // Forgets what was produced (the room stays), for a decoder that starts over.
    void Restart() { FProduced = 0; }

    void Finish(bool keep);

private:
    std::vector<uint8_t>& FOut;
    size_t FBase;
    size_t FExpected;
    size_t FProduced = 0;
    size_t FAllocated = 0;
};

// An entry's payload (after any encryption header) as decoders read it: handed out in
// pieces, decrypted on the way when the entry is encrypted.
class TMethodSource {
public:
    // `keys`, when given, stand at the payload's first byte; the source keeps a copy.
    // `piece`, when not 0, caps the pieces' size: tests cut payloads into tiny ones.
    explicit TMethodSource(std::span<const uint8_t> payload, const TZipKeys* keys = nullptr, size_t piece = 0);

    // The next bytes of the payload: empty once all have been given. They stay valid
    // until the next call. A plain payload comes in a few large pieces, an encrypted
    // one in pieces of 64 KiB.
    std::span<const uint8_t> Next();

    uint64_t Size() const { return FPayload.size(); }
    bool Encrypted() const { return FKeys.has_value(); }
    // The whole payload at once, for a decoder that looks through all of it first:
    // in place when plain, decrypted into memory of its own otherwise (nothing when that
    // memory is not to be had). Only before the first Next().
    std::optional<std::span<const uint8_t>> Whole();

private:
    std::span<const uint8_t> FPayload;
    size_t FAt = 0;
    size_t FPieceCap;
    std::optional<TZipKeys> FKeys;
    std::unique_ptr<uint8_t[]> FPiece;
    std::vector<uint8_t> FWhole;
};

// One entry's decoding, read in pieces like a file. It never gives more than the
// expected size, and the call that gives the last byte also checks that the stream
// ends there.
class TMethodDecoder {
public:
    virtual ~TMethodDecoder() = default;

    // Up to `capacity` decoded bytes into `out`. 0 when the entry has been given whole
    // and its stream ended right there (Status() Ok), or when decoding failed (Status()
    // says why: Damaged, SizeMismatch for a stream of another length or no memory,
    // UnsupportedMethod for a variant that is not decoded). Once 0, always 0.
    virtual size_t Read(uint8_t* out, size_t capacity) = 0;

    ZipEntryStatus Status() const { return FStatus; }
    uint64_t Expected() const { return FExpected; }

protected:
    explicit TMethodDecoder(uint64_t expected) : FExpected(expected) {}
    size_t Fail(ZipEntryStatus status)
    {
        FStatus = status;
        return 0;
    }

    const uint64_t FExpected;
    ZipEntryStatus FStatus = ZipEntryStatus::Ok;
};

// The decoders; `source` must outlive them. Null only when memory for the decoder's
// own object runs out; memory its work needs that cannot be had is a SizeMismatch
// status on the first Read.
std::unique_ptr<TMethodDecoder> OpenDeflate64(TMethodSource& source, uint64_t expected);
std::unique_ptr<TMethodDecoder> OpenLzma(TMethodSource& source, bool endMarker, uint64_t expected);
std::unique_ptr<TMethodDecoder> OpenPpmd(TMethodSource& source, uint64_t expected);
struct TBzip2Settings;
std::unique_ptr<TMethodDecoder> OpenBzip2(TMethodSource& source, uint64_t expected, const TBzip2Settings& settings);
std::unique_ptr<TMethodDecoder> OpenBzip2(TMethodSource& source, uint64_t expected);
// By the entry's method and general-purpose flags; null also for a method not decoded.
std::unique_ptr<TMethodDecoder> OpenMethod(uint16_t method, uint16_t flags, TMethodSource& source, uint64_t expected);

// Reads a decoder to its end into `out`, whose expected size is the decoder's.
ZipEntryStatus DecodeAll(TMethodDecoder* decoder, TMethodOutput& out);

// Whether Read can decode the method at all.
bool MethodSupported(uint16_t method);

// The most bytes a payload of `compressed` bytes can decode to with the method; a
// larger size claim is refused before anything is allocated. Methods 0 and 8 are
// checked by the reader itself.
uint64_t MethodMaxSize(uint16_t method, uint64_t compressed);

// Decodes a whole decrypted payload; flags are the entry's general-purpose flags. Ok
// only when exactly out.Expected() bytes were produced and the stream ended there.
// These are the decoders above read through DecodeAll.
ZipEntryStatus DecodeMethod(uint16_t method, uint16_t flags, std::span<const uint8_t> in, TMethodOutput& out);

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out);
ZipEntryStatus DecodeLzma(std::span<const uint8_t> in, bool endMarker, TMethodOutput& out);
ZipEntryStatus DecodeDeflate64(std::span<const uint8_t> in, TMethodOutput& out);
// PPMd variant I revision 1; a parameter word that asks for restore method 2 or more
// is UnsupportedMethod, order 1 Damaged.
ZipEntryStatus DecodePpmd(std::span<const uint8_t> in, TMethodOutput& out);

} // namespace Folio::Shared
