// Test helper: builds ZIP archives field by field, so tests can write the lies a
// hostile archive tells (sizes, counts, offsets, methods) where they want them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace FolioTest {

struct RawEntry {
    std::string Name;
    std::string Data;           // as stored in the archive (already compressed)
    uint16_t Method = 0;
    uint16_t Flags = 0;
    uint32_t Crc = 0;
    uint64_t UncompressedSize = 0;
    int64_t OffsetOverride = -1; // central directory offset to write instead of the real one
    uint16_t DiskStart = 0;
};

inline void Put16(std::string& s, uint32_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
inline void Put64(std::string& s, uint64_t v)
{
    Put32(s, static_cast<uint32_t>(v));
    Put32(s, static_cast<uint32_t>(v >> 32));
}
inline void Patch32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

inline uint32_t CrcOf(const std::string& s)
{
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// Raw deflate of text.
inline std::string Deflate(const std::string& text)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline RawEntry Stored(std::string name, std::string data)
{
    RawEntry e;
    e.Name = std::move(name);
    e.Crc = CrcOf(data);
    e.UncompressedSize = data.size();
    e.Data = std::move(data);
    return e;
}

inline RawEntry Deflated(std::string name, const std::string& text)
{
    RawEntry e;
    e.Name = std::move(name);
    e.Method = 8;
    e.Crc = CrcOf(text);
    e.UncompressedSize = text.size();
    e.Data = Deflate(text);
    return e;
}

struct ZipLayout {
    std::string Bytes;
    size_t DirectoryOffset = 0;
    size_t EndOffset = 0;
};

// The fields local and central headers share, from "flags" to "extra length".
inline void PutCommonFields(std::string& s, const RawEntry& e)
{
    Put16(s, e.Flags);
    Put16(s, e.Method);
    Put32(s, 0); // DOS time and date
    Put32(s, e.Crc);
    Put32(s, static_cast<uint32_t>(e.Data.size()));
    Put32(s, static_cast<uint32_t>(e.UncompressedSize));
    Put16(s, static_cast<uint32_t>(e.Name.size()));
    Put16(s, 0); // no extra field
}

// Local headers with the data, then the central directory and the end record.
// `countOverride` replaces the end record's entry count when not negative.
inline ZipLayout BuildZip(const std::vector<RawEntry>& entries, int countOverride = -1)
{
    ZipLayout z;
    std::vector<uint32_t> offsets;
    for (const auto& e : entries) {
        offsets.push_back(static_cast<uint32_t>(z.Bytes.size()));
        Put32(z.Bytes, 0x04034b50);
        Put16(z.Bytes, 20);
        PutCommonFields(z.Bytes, e);
        z.Bytes += e.Name;
        z.Bytes += e.Data;
    }
    z.DirectoryOffset = z.Bytes.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        Put32(z.Bytes, 0x02014b50);
        Put16(z.Bytes, 20);
        Put16(z.Bytes, 20);
        PutCommonFields(z.Bytes, e);
        Put16(z.Bytes, 0); // comment length
        Put16(z.Bytes, e.DiskStart);
        Put16(z.Bytes, 0);
        Put32(z.Bytes, 0);
        Put32(z.Bytes, e.OffsetOverride >= 0 ? static_cast<uint32_t>(e.OffsetOverride) : offsets[i]);
        z.Bytes += e.Name;
    }
    const size_t directorySize = z.Bytes.size() - z.DirectoryOffset;
    z.EndOffset = z.Bytes.size();
    const uint32_t count = countOverride >= 0 ? static_cast<uint32_t>(countOverride)
                                              : static_cast<uint32_t>(entries.size());
    Put32(z.Bytes, 0x06054b50);
    Put16(z.Bytes, 0);
    Put16(z.Bytes, 0);
    Put16(z.Bytes, count);
    Put16(z.Bytes, count);
    Put32(z.Bytes, static_cast<uint32_t>(directorySize));
    Put32(z.Bytes, static_cast<uint32_t>(z.DirectoryOffset));
    Put16(z.Bytes, 0);
    return z;
}

} // namespace FolioTest
