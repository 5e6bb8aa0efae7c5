// Decryption of the traditional PKWARE cipher, the hot loop of reading a package. Each
// byte's keys depend on the last byte's, so speed is the length of that chain of
// dependent steps: it is cut short by tables and by doing off the chain whatever can be.
#include "package/ZipCrypto.h"

namespace Folio::Shared {

namespace {

struct TDecryptTables {
    // The stream byte, which depends only on bits 2-15 of key 2 (bit 0 does not change
    // the product's bits 8-15: t * (t ^ 1) is the same product either way).
    uint8_t Stream[16384];
    // The low byte of each CRC table entry, for key 1's step.
    uint32_t CrcLow[256];
    // Bits 2-15 of each CRC table entry shifted down: the next stream byte's index
    // comes from the table entry and the old key 2, before the new key 2 is whole.
    uint16_t CrcStream[256];
};

constexpr TDecryptTables MakeTables()
{
    TDecryptTables t{};
    for (uint32_t i = 0; i < 16384; ++i) {
        const uint32_t k = (i << 2) | 2;
        t.Stream[i] = static_cast<uint8_t>((k * (k ^ 1)) >> 8);
    }
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int b = 0; b < 8; ++b) {
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        }
        t.CrcLow[i] = c & 0xFF;
        t.CrcStream[i] = static_cast<uint16_t>((c >> 2) & 0x3FFF);
    }
    return t;
}

constexpr TDecryptTables kTables = MakeTables();

// Keeps the compiler from folding a value back into the chain: a * M + b * M is
// (a + b) * M to it, one more step on the chain to the CPU.
inline void OffChain(uint32_t& v)
{
#if defined(__GNUC__)
    __asm__("" : "+r"(v));
#endif
}

} // namespace

void TZipKeys::DecryptBlock(const uint8_t* in, uint8_t* out, size_t n) noexcept
{
    // The keys live in locals meanwhile, so that the byte stores cannot alias them.
    uint32_t k0 = FKey0, k1 = FKey1, k2 = FKey2;
    uint32_t stream = (k2 >> 2) & 0x3FFF; // index of the stream byte
    for (size_t i = 0; i < n; ++i) {
        // Off the chain: what the last byte's keys give before this byte is known.
        const uint32_t e = (k0 ^ in[i]) & 0xFF;
        const uint32_t k0High = (k0 >> 8) & 0xFF;
        uint32_t k1Next = k1 * 134775813u + 1;
        OffChain(k1Next);
        const uint32_t k2Low = k2 & 0xFF, k2Stream = (k2 >> 10) & 0x3FFF;
        // The chain: stream byte, key 0's low byte, key 1's top byte, key 2's index.
        uint32_t s = kTables.Stream[stream];
        OffChain(s);
        const uint32_t index = e ^ s; // (key 0 ^ plain byte) & 0xFF
        out[i] = static_cast<uint8_t>(index ^ k0);
        const uint32_t k0Low = kTables.CrcLow[index] ^ k0High;
        k0 = kCrc32Table[index] ^ (k0 >> 8);
        k1 = k1Next + k0Low * 134775813u;
        const uint32_t j = (k1 >> 24) ^ k2Low;
        stream = kTables.CrcStream[j] ^ k2Stream;
        k2 = kCrc32Table[j] ^ (k2 >> 8);
    }
    FKey0 = k0, FKey1 = k1, FKey2 = k2;
}

} // namespace Folio::Shared
