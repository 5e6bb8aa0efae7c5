// A small PNG encoder: 8-bit RGBA, no interlacing, zlib-compressed rows with filter 0.
// Enough for the program's generated images and for screenshots taken in tests.
#pragma once

#include <cstdint>
#include <string>

namespace Folio::Shared {

// rgba holds width * height * 4 bytes, rows top to bottom.
std::string EncodePng(uint32_t width, uint32_t height, const uint8_t* rgba);

} // namespace Folio::Shared
