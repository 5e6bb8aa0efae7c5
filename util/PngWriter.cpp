// PNG encoding (see PngWriter.h).
#include "util/PngWriter.h"

#include <zlib.h>

#include <stdexcept>
#include <vector>

namespace Folio::Shared {

namespace {

void Put32(std::string& s, uint32_t v)
{
    s.push_back(static_cast<char>(v >> 24));
    s.push_back(static_cast<char>(v >> 16));
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v));
}

void Chunk(std::string& png, const char* type, const std::string& data)
{
    Put32(png, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    Put32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                           static_cast<uInt>(body.size()))));
}

} // namespace

std::string EncodePng(uint32_t width, uint32_t height, const uint8_t* rgba)
{
    const size_t stride = size_t(width) * 4;
    std::vector<uint8_t> raw;
    raw.reserve((stride + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0); // filter: none
        raw.insert(raw.end(), rgba + y * stride, rgba + (y + 1) * stride);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  9) != Z_OK) {
        throw std::runtime_error("PNG compression failed");
    }
    packed.resize(packedSize);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32(header, width);
    Put32(header, height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, filter 0, no interlace
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    return png;
}

} // namespace Folio::Shared
