// The package archive writer (see ZipWriter.h).
#include "package/ZipWriter.h"

#include "package/Crc32.h"
#include "package/ZipCrypto.h"

#include <algorithm>
#include <stdexcept>

namespace Folio::Shared {

namespace {

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr uint32_t kMax32 = 0xFFFFFFFFu;

class Bytes {
public:
    Bytes& u16(uint32_t v)
    {
        b.push_back(static_cast<char>(v & 0xFF));
        b.push_back(static_cast<char>((v >> 8) & 0xFF));
        return *this;
    }
    Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(uint64_t v) { return u32(static_cast<uint32_t>(v)).u32(static_cast<uint32_t>(v >> 32)); }
    Bytes& str(std::string_view s)
    {
        b.append(s);
        return *this;
    }
    std::string b;
};

uint64_t SplitMix(uint64_t& state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

TZipWriter::TZipWriter(std::ostream& out, TZipWriterOptions options) : FOut(out), FOptions(std::move(options)) {}

void TZipWriter::Put(const void* bytes, size_t n)
{
    FOut.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(n));
    if (!FOut) {
        throw std::runtime_error("cannot write the archive");
    }
    FOffset += n;
}

uint32_t TZipWriter::DosDateTime(int64_t unixTime)
{
    // Plain arithmetic on the proleptic Gregorian calendar, not the C library's gmtime:
    // the same bytes on every system, and no failure for dates it will not convert.
    constexpr int64_t kFirst = 315532800;  // 1980-01-01T00:00:00Z
    constexpr int64_t kLast = 4354819198;  // 2107-12-31T23:59:58Z, the last DOS time
    const int64_t t = std::clamp<int64_t>(unixTime, kFirst, kLast);
    const int64_t days = t / 86400, seconds = t % 86400;
    // Days since 1970-01-01 to year, month, day (H. Hinnant's civil_from_days).
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    const auto date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const auto time = static_cast<uint32_t>(((seconds / 3600) << 11) | ((seconds / 60 % 60) << 5) | (seconds % 60 / 2));
    return (date << 16) | time;
}

void TZipWriter::Add(std::string_view utf8Name, uint64_t size, uint32_t dosDateTime,
                     const std::function<size_t(uint8_t*, size_t)>& read)
{
    const bool encrypt = !FOptions.Password.empty();
    const uint64_t storedSize = size + (encrypt ? 12 : 0);
    Record r{std::string(utf8Name), FOffset, size, storedSize, 0, dosDateTime,
             FOptions.ForceZip64 || storedSize >= kMax32 || FOffset >= kMax32};
    if (r.Name.size() > 0xFFFF) {
        throw std::runtime_error("entry name too long: " + r.Name.substr(0, 64) + "...");
    }
    const uint16_t flags = kFlagDescriptor | kFlagUtf8 | (encrypt ? kFlagEncrypted : 0);

    // Local header: CRC and sizes follow in the data descriptor. A ZIP64 entry carries
    // the ZIP64 field here, which tells readers that its descriptor has 8-byte sizes.
    Bytes local;
    local.u32(0x04034b50).u16(r.Zip64 ? 45 : 20).u16(flags).u16(0).u32(dosDateTime).u32(0);
    if (r.Zip64) {
        local.u32(kMax32).u32(kMax32).u16(static_cast<uint32_t>(r.Name.size())).u16(20).str(r.Name);
        local.u16(0x0001).u16(16).u64(0).u64(0);
    } else {
        local.u32(0).u32(0).u16(static_cast<uint32_t>(r.Name.size())).u16(0).str(r.Name);
    }
    Put(local.b.data(), local.b.size());

    TZipKeys keys(FOptions.Password);
    if (encrypt) {
        // Eleven bytes derived from the entry, then the check byte: with a data
        // descriptor, the high byte of the DOS time.
        uint64_t seed = size * 0x100000001B3ull ^ FOffset ^ (uint64_t(dosDateTime) << 17);
        for (const char c : r.Name) {
            seed = (seed ^ static_cast<uint8_t>(c)) * 0x100000001B3ull;
        }
        uint8_t header[12];
        for (int i = 0; i < 11; ++i) {
            header[i] = static_cast<uint8_t>(SplitMix(seed));
        }
        header[11] = static_cast<uint8_t>((dosDateTime >> 8) & 0xFF);
        for (auto& b : header) {
            b = keys.Encrypt(b);
        }
        Put(header, sizeof header);
    }

    std::vector<uint8_t>& buffer = FBuffer;
    buffer.resize(65536);
    uint64_t done = 0;
    uint32_t crc = 0;
    for (;;) {
        const size_t n = read(buffer.data(), buffer.size());
        if (n == 0) {
            break;
        }
        if (n > size - done) {
            throw std::runtime_error("content of " + r.Name + " is longer than announced");
        }
        crc = Crc32(crc, buffer.data(), n);
        if (encrypt) {
            for (size_t i = 0; i < n; ++i) {
                buffer[i] = keys.Encrypt(buffer[i]);
            }
        }
        Put(buffer.data(), n);
        done += n;
    }
    if (done != size) {
        throw std::runtime_error("content of " + r.Name + " is shorter than announced");
    }
    r.Crc = crc;

    Bytes descriptor;
    descriptor.u32(0x08074b50).u32(crc);
    if (r.Zip64) {
        descriptor.u64(storedSize).u64(size);
    } else {
        descriptor.u32(static_cast<uint32_t>(storedSize)).u32(static_cast<uint32_t>(size));
    }
    Put(descriptor.b.data(), descriptor.b.size());
    FRecords.push_back(std::move(r));
}

void TZipWriter::AddBytes(std::string_view utf8Name, std::string_view bytes, uint32_t dosDateTime)
{
    size_t pos = 0;
    Add(utf8Name, bytes.size(), dosDateTime, [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min(capacity, bytes.size() - pos);
        std::copy_n(bytes.data() + pos, n, buffer);
        pos += n;
        return n;
    });
}

void TZipWriter::Finish()
{
    const bool encrypt = !FOptions.Password.empty();
    const uint16_t flags = kFlagDescriptor | kFlagUtf8 | (encrypt ? kFlagEncrypted : 0);
    const uint64_t directoryOffset = FOffset;
    for (const auto& r : FRecords) {
        // ZIP64 field: only the values that do not fit, in the format's order.
        Bytes extra;
        const bool bigSize = r.Zip64 || r.Size >= kMax32;
        const bool bigStored = r.Zip64 || r.StoredSize >= kMax32;
        const bool bigOffset = r.Zip64 || r.Offset >= kMax32;
        if (bigSize || bigStored || bigOffset) {
            Bytes values;
            if (bigSize) values.u64(r.Size);
            if (bigStored) values.u64(r.StoredSize);
            if (bigOffset) values.u64(r.Offset);
            extra.u16(0x0001).u16(static_cast<uint32_t>(values.b.size())).str(values.b);
        }
        const bool zip64 = !extra.b.empty();
        Bytes c;
        // Made by "Unix": Info-ZIP's unzip honours the UTF-8 flag only for such entries.
        // The external attributes are then a regular file's mode, rw-r--r--.
        const uint32_t version = zip64 ? 45 : 20;
        c.u32(0x02014b50).u16(0x0300 | version).u16(version).u16(flags).u16(0).u32(r.DosDateTime).u32(r.Crc);
        c.u32(bigStored ? kMax32 : static_cast<uint32_t>(r.StoredSize));
        c.u32(bigSize ? kMax32 : static_cast<uint32_t>(r.Size));
        c.u16(static_cast<uint32_t>(r.Name.size())).u16(static_cast<uint32_t>(extra.b.size())).u16(0);
        c.u16(0).u16(0).u32(0100644u << 16);
        c.u32(bigOffset ? kMax32 : static_cast<uint32_t>(r.Offset));
        c.str(r.Name).str(extra.b);
        Put(c.b.data(), c.b.size());
    }
    const uint64_t directorySize = FOffset - directoryOffset;
    const uint64_t count = FRecords.size();
    const bool zip64 = FOptions.ForceZip64 || count >= 0xFFFF || directorySize >= kMax32 || directoryOffset >= kMax32;
    Bytes end;
    if (zip64) {
        const uint64_t recordOffset = FOffset;
        end.u32(0x06064b50).u64(44).u16(45).u16(45).u32(0).u32(0).u64(count).u64(count);
        end.u64(directorySize).u64(directoryOffset);
        end.u32(0x07064b50).u32(0).u64(recordOffset).u32(1);
    }
    end.u32(0x06054b50).u16(0).u16(0);
    end.u16(zip64 ? 0xFFFF : static_cast<uint32_t>(count)).u16(zip64 ? 0xFFFF : static_cast<uint32_t>(count));
    end.u32(zip64 ? kMax32 : static_cast<uint32_t>(directorySize));
    end.u32(zip64 ? kMax32 : static_cast<uint32_t>(directoryOffset));
    end.u16(0);
    Put(end.b.data(), end.b.size());
    FOut.flush();
}

} // namespace Folio::Shared
