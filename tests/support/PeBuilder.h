// Test helper: the bytes of a minimal PE image with given sections (raw pointer and
// size only), enough for the image-end rules.
#pragma once

#include "tests/support/ZipBuilder.h"

#include <string>
#include <utility>
#include <vector>

namespace FolioTest {

// sections: (PointerToRawData, SizeOfRawData). The file is padded to `fileSize`.
inline std::string BuildPe(const std::vector<std::pair<uint32_t, uint32_t>>& sections, size_t fileSize,
                           uint16_t machine = 0x14C)
{
    std::string b(0x40, '\0');
    b[0] = 'M', b[1] = 'Z';
    Patch32(b, 0x3C, 0x40);
    Put32(b, 0x00004550);                              // "PE\0\0"
    Put16(b, machine);
    Put16(b, static_cast<uint32_t>(sections.size()));
    Put32(b, 0), Put32(b, 0), Put32(b, 0);
    Put16(b, 0xE0);                                     // SizeOfOptionalHeader (PE32)
    Put16(b, 0x0102);
    b.append(0xE0, '\0');
    for (const auto& [pointer, size] : sections) {
        std::string s(40, '\0');
        Patch32(s, 16, size);
        Patch32(s, 20, pointer);
        b += s;
    }
    if (b.size() < fileSize) {
        b.resize(fileSize, '\0');
    }
    return b;
}

} // namespace FolioTest
