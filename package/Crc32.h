// CRC-32 (the ZIP polynomial 0xEDB88320), the raw table step that the traditional
// ZIP encryption keys use, and the shift that lets a running key-0 state stand in for
// a separate CRC pass over the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Folio::Shared {

extern const uint32_t kCrc32Table[256];

// One raw step: no inversion before or after.
inline uint32_t Crc32Step(uint32_t state, uint8_t byte) noexcept
{
    return kCrc32Table[(state ^ byte) & 0xFF] ^ (state >> 8);
}

// The standard CRC-32 of data, continuing from crc (0 to start).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) noexcept;

// The raw state reached from `state` through `count` zero bytes, in O(log count).
uint32_t Crc32ShiftZeros(uint32_t state, uint64_t count) noexcept;

} // namespace Folio::Shared
