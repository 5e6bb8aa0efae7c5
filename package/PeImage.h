// The end of a PE image: the largest PointerToRawData + SizeOfRawData over the section
// table. Everything a packaged executable carries after that point is its archive.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace Folio::Shared {

// E of a PE file's bytes (or of a mapped module's headers), each sum taken as an
// unsigned 32-bit number; 0 for an image without sections. nullopt when the bytes are
// not a PE image or its headers lie outside them.
std::optional<uint32_t> PeImageEnd(std::span<const uint8_t> bytes);

// The security data directory (entry 4 of the optional header): the file offset and
// size of the certificate table a signature adds. {0, 0} when the image has none, or
// too few data directories to hold it; nullopt when the bytes are not a PE image.
struct TPeDirectory {
    uint32_t Offset = 0, Size = 0;
};
std::optional<TPeDirectory> PeSecurityDirectory(std::span<const uint8_t> bytes);

// The machine field of the PE file header (0x14C i386, 0x8664 x86-64), or nullopt.
std::optional<uint16_t> PeMachine(std::span<const uint8_t> bytes);

} // namespace Folio::Shared
