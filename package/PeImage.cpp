// PE header reading (see PeImage.h).
#include "package/PeImage.h"

namespace Folio::Shared {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// Offset of the COFF file header, after the "PE\0\0" signature, or 0 when absent.
uint64_t FileHeaderOffset(std::span<const uint8_t> b)
{
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        return 0;
    }
    const uint64_t pe = U32(b.data() + 0x3C);
    if (pe > b.size() || b.size() - pe < 4 + 20 || U32(b.data() + pe) != 0x00004550) {
        return 0;
    }
    return pe + 4;
}

} // namespace

std::optional<uint16_t> PeMachine(std::span<const uint8_t> bytes)
{
    const uint64_t fh = FileHeaderOffset(bytes);
    if (fh == 0) {
        return std::nullopt;
    }
    return U16(bytes.data() + fh);
}

std::optional<TPeDirectory> PeSecurityDirectory(std::span<const uint8_t> bytes)
{
    const uint64_t fh = FileHeaderOffset(bytes);
    if (fh == 0) {
        return std::nullopt;
    }
    // PE32 (0x10B) keeps its data directories 96 bytes into the optional header, PE32+
    // (0x20B) 112; the count of directories stands just before them.
    const uint64_t optional = fh + 20, optionalSize = U16(bytes.data() + fh + 16);
    if (optionalSize < 2 || optional + 2 > bytes.size()) {
        return TPeDirectory{};
    }
    const uint16_t magic = U16(bytes.data() + optional);
    const uint64_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
    if (directories == 0 || optionalSize < directories + 5 * 8 || optional + directories + 5 * 8 > bytes.size() ||
        U32(bytes.data() + optional + directories - 4) < 5) {
        return TPeDirectory{};
    }
    const uint8_t* entry = bytes.data() + optional + directories + 4 * 8;
    return TPeDirectory{U32(entry), U32(entry + 4)};
}

std::optional<uint32_t> PeImageEnd(std::span<const uint8_t> bytes)
{
    const uint64_t fh = FileHeaderOffset(bytes);
    if (fh == 0) {
        return std::nullopt;
    }
    const uint16_t sections = U16(bytes.data() + fh + 2);
    const uint16_t optionalSize = U16(bytes.data() + fh + 16);
    const uint64_t table = fh + 20 + optionalSize;
    if (table + uint64_t(sections) * 40 > bytes.size()) {
        return std::nullopt;
    }
    uint32_t end = 0;
    for (uint16_t i = 0; i < sections; ++i) {
        const uint8_t* s = bytes.data() + table + i * 40ull;
        const uint32_t sum = U32(s + 16) + U32(s + 20); // wraps as a 32-bit sum
        end = sum > end ? sum : end;
    }
    return end;
}

} // namespace Folio::Shared
