// Test helper: bzip2's block CRC computed bit by bit (MSB first, polynomial 0x04C11DB7),
// for tests that write blocks by hand; independent of the decoders' table-driven CRCs.
#pragma once

#include <cstdint>
#include <string>

namespace FolioTest {

inline uint32_t Bzip2Crc(const std::string& s)
{
    uint32_t c = 0xFFFFFFFFu;
    for (const char ch : s) {
        c ^= uint32_t(uint8_t(ch)) << 24;
        for (int k = 0; k < 8; ++k) {
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        }
    }
    return ~c;
}

} // namespace FolioTest
