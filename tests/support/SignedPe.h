// Test helper: a minimal PE32 image that osslsigncode takes, and the layout of a signed
// packaged executable (image, package, padding, certificate table) with the security
// directory pointing where a test wants it.
#pragma once

#include "tests/support/PeBuilder.h"

#include <string>

namespace FolioTest {

constexpr size_t kOptionalHeader = 0x40 + 4 + 20;
constexpr size_t kSecurityDirectory = kOptionalHeader + 96 + 4 * 8;

// A PE32 image of one section ending at 0x400, with 16 data directories.
inline std::string BuildPe32()
{
    std::string pe = BuildPe({{0x200, 0x200}}, 0x400);
    pe[kOptionalHeader] = 0x0B, pe[kOptionalHeader + 1] = 0x01; // PE32
    Patch32(pe, kOptionalHeader + 92, 16);                     // NumberOfRvaAndSizes
    Patch32(pe, kOptionalHeader + 60, 0x200);                   // SizeOfHeaders
    Patch32(pe, kOptionalHeader + 32, 0x1000);                  // SectionAlignment
    Patch32(pe, kOptionalHeader + 36, 0x200);                   // FileAlignment
    return pe;
}

inline void SetSecurityDirectory(std::string& pe, uint32_t offset, uint32_t size)
{
    Patch32(pe, kSecurityDirectory, offset);
    Patch32(pe, kSecurityDirectory + 4, size);
}

// One WIN_CERTIFICATE entry (revision 2.0, PKCS#7 signed data) around blob, padded to 8.
inline std::string CertificateEntry(const std::string& blob)
{
    std::string e;
    Put32(e, static_cast<uint32_t>(8 + blob.size()));
    Put16(e, 0x0200);
    Put16(e, 0x0002);
    e += blob;
    e.resize((e.size() + 7) / 8 * 8, '\0');
    return e;
}

} // namespace FolioTest
