// Test helper: an .ico file with square 32-bit images (a DIB each: header, pixels, mask).
#pragma once

#include "tests/support/ZipBuilder.h"

#include <string>
#include <vector>

namespace FolioTest {

inline std::string IconImage(uint32_t size, uint32_t colour)
{
    std::string dib;
    Put32(dib, 40), Put32(dib, size), Put32(dib, size * 2), Put16(dib, 1), Put16(dib, 32), Put32(dib, 0);
    Put32(dib, size * size * 4), Put32(dib, 0), Put32(dib, 0), Put32(dib, 0), Put32(dib, 0);
    for (uint32_t i = 0; i < size * size; ++i) {
        Put32(dib, colour);
    }
    dib.append(((size + 31) / 32) * 4 * size, '\0'); // AND mask
    return dib;
}

inline std::string BuildIco(const std::vector<uint32_t>& sizes)
{
    std::vector<std::string> images;
    for (size_t i = 0; i < sizes.size(); ++i) {
        images.push_back(IconImage(sizes[i], 0xFF0000FFu + static_cast<uint32_t>(i) * 0x100));
    }
    std::string ico;
    Put16(ico, 0), Put16(ico, 1), Put16(ico, static_cast<uint32_t>(sizes.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        ico.push_back(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.push_back(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.push_back('\0'), ico.push_back('\0');
        Put16(ico, 1), Put16(ico, 32), Put32(ico, static_cast<uint32_t>(images[i].size())), Put32(ico, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) {
        ico += image;
    }
    return ico;
}

} // namespace FolioTest
