// Decoders for the ZIP compression methods beyond stored and deflate: bzip2 (12) and
// LZMA (14) through Debian's libbz2 and liblzma, Deflate64 (9) and PPMd (98) of our own.
// Each reads a whole decrypted payload and writes into a TMethodOutput, which grows only
// as decoded bytes arrive, so a size claim that the data does not back up allocates
// nothing more.
#pragma once

#include "package/ZipArchive.h"

#include <cstddef>
#include <cstdint>
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

// Whether Read can decode the method at all.
bool MethodSupported(uint16_t method);

// The most bytes a payload of `compressed` bytes can decode to with the method; a
// larger size claim is refused before anything is allocated. Methods 0 and 8 are
// checked by the reader itself.
uint64_t MethodMaxSize(uint16_t method, uint64_t compressed);

// Decodes a decrypted payload; flags are the entry's general-purpose flags. Ok only
// when exactly out.Expected() bytes were produced and the stream ended there.
ZipEntryStatus DecodeMethod(uint16_t method, uint16_t flags, std::span<const uint8_t> in, TMethodOutput& out);

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out);
ZipEntryStatus DecodeLzma(std::span<const uint8_t> in, bool endMarker, TMethodOutput& out);
ZipEntryStatus DecodeDeflate64(std::span<const uint8_t> in, TMethodOutput& out);
// PPMd variant I revision 1; a parameter word that asks for restore method 2 or more
// is UnsupportedMethod, order 1 Damaged.
ZipEntryStatus DecodePpmd(std::span<const uint8_t> in, TMethodOutput& out);

} // namespace Folio::Shared
