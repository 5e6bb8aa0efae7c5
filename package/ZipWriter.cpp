// The package archive writer (see ZipWriter.h).
#include "package/ZipWriter.h"

#include "package/Crc32.h"
#include "package/ZipCrypto.h"

#include <zlib.h>

#include <algorithm>
#include <optional>
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

namespace {

// Raw deflate (no zlib header) at the best level, as ZIP's method 8 takes it.
class TDeflater {
public:
    TDeflater()
    {
        if (deflateInit2(&FStream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::runtime_error("cannot start the deflate compressor");
        }
    }
    ~TDeflater() { deflateEnd(&FStream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;

    // Compresses n bytes (finishing the stream when last), giving the output in pieces.
    template <typename Sink>
    void Feed(const uint8_t* bytes, size_t n, bool last, Sink&& sink)
    {
        uint8_t out[65536];
        FStream.next_in = const_cast<Bytef*>(bytes);
        FStream.avail_in = static_cast<uInt>(n);
        int rc;
        do {
            FStream.next_out = out;
            FStream.avail_out = sizeof out;
            rc = deflate(&FStream, last ? Z_FINISH : Z_NO_FLUSH);
            if (rc == Z_STREAM_ERROR) {
                throw std::runtime_error("the deflate compressor failed");
            }
            if (const size_t got = sizeof out - FStream.avail_out; got > 0) {
                sink(out, got);
            }
        } while (FStream.avail_out == 0 || (last && rc != Z_STREAM_END));
    }

private:
    z_stream FStream{};
};

// Reads the whole content (announced as size bytes) through read.
std::string ReadWhole(const std::string& name, uint64_t size,
                      const std::function<size_t(uint8_t*, size_t)>& read)
{
    std::string content(static_cast<size_t>(size), '\0');
    size_t done = 0;
    for (;;) {
        uint8_t probe;
        const size_t n = done < content.size()
                             ? read(reinterpret_cast<uint8_t*>(content.data()) + done, content.size() - done)
                             : read(&probe, 1);
        if (n == 0) {
            break;
        }
        if (done == content.size()) {
            throw std::runtime_error("content of " + name + " is longer than announced");
        }
        done += n;
    }
    if (done != content.size()) {
        throw std::runtime_error("content of " + name + " is shorter than announced");
    }
    return content;
}

} // namespace

void TZipWriter::PutHeader(Record& r, uint16_t flags)
{
    if (r.Name.size() > 0xFFFF) {
        throw std::runtime_error("entry name too long: " + r.Name.substr(0, 64) + "...");
    }
    // Local header: CRC and sizes follow in the data descriptor. A ZIP64 entry carries
    // the ZIP64 field here, which tells readers that its descriptor has 8-byte sizes.
    Bytes local;
    local.u32(0x04034b50).u16(r.Zip64 ? 45 : 20).u16(flags).u16(r.Method).u32(r.DosDateTime).u32(0);
    if (r.Zip64) {
        local.u32(kMax32).u32(kMax32).u16(static_cast<uint32_t>(r.Name.size())).u16(20).str(r.Name);
        local.u16(0x0001).u16(16).u64(0).u64(0);
    } else {
        local.u32(0).u32(0).u16(static_cast<uint32_t>(r.Name.size())).u16(0).str(r.Name);
    }
    Put(local.b.data(), local.b.size());
}

void TZipWriter::Add(std::string_view utf8Name, uint64_t size, uint32_t dosDateTime,
                     const std::function<size_t(uint8_t*, size_t)>& read, bool deflate)
{
    const bool encrypt = !FOptions.Password.empty();
    const uint64_t header = encrypt ? 12 : 0;
    std::string name(utf8Name);

    // A small entry is deflated in memory first, and kept only when it came out smaller.
    std::string content, deflated;
    const bool trial = deflate && size <= kTrialLimit;
    if (trial) {
        content = ReadWhole(name, size, read);
        TDeflater d;
        d.Feed(reinterpret_cast<const uint8_t*>(content.data()), content.size(), true,
               [&](const uint8_t* p, size_t n) { deflated.append(reinterpret_cast<const char*>(p), n); });
    }
    const bool useDeflate = trial ? deflated.size() < content.size() : deflate;
    // A streamed deflate's size is known only at its end: the ZIP64 choice takes the
    // most it can grow to (5 bytes per 16 KiB block, and a little).
    const uint64_t sizeBound = trial ? (useDeflate ? deflated.size() : size)
                                     : (useDeflate ? size + size / 3000 + 64 : size);
    Record r{std::move(name), FOffset, size, 0, 0, dosDateTime,
             FOptions.ForceZip64 || sizeBound + header >= kMax32 || FOffset >= kMax32,
             static_cast<uint16_t>(useDeflate ? 8 : 0)};
    const uint16_t flags = kFlagDescriptor | kFlagUtf8 | (encrypt ? kFlagEncrypted : 0);
    PutHeader(r, flags);

    TZipKeys keys(FOptions.Password);
    if (encrypt) {
        // Eleven bytes derived from the entry, then the check byte: with a data
        // descriptor, the high byte of the DOS time.
        uint64_t seed = size * 0x100000001B3ull ^ r.Offset ^ (uint64_t(dosDateTime) << 17);
        for (const char c : r.Name) {
            seed = (seed ^ static_cast<uint8_t>(c)) * 0x100000001B3ull;
        }
        uint8_t bytes[12];
        for (int i = 0; i < 11; ++i) {
            bytes[i] = static_cast<uint8_t>(SplitMix(seed));
        }
        bytes[11] = static_cast<uint8_t>((dosDateTime >> 8) & 0xFF);
        for (auto& b : bytes) {
            b = keys.Encrypt(b);
        }
        Put(bytes, sizeof bytes);
    }

    // The entry's data as it is written: encrypted in place, counted.
    std::vector<uint8_t>& buffer = FBuffer;
    uint64_t written = 0;
    auto emit = [&](const uint8_t* p, size_t n) {
        if (!encrypt) {
            Put(p, n);
        } else {
            buffer.resize(std::max<size_t>(buffer.size(), 65536));
            for (size_t at = 0; at < n;) {
                const size_t piece = std::min(n - at, buffer.size());
                for (size_t i = 0; i < piece; ++i) {
                    buffer[i] = keys.Encrypt(p[at + i]);
                }
                Put(buffer.data(), piece);
                at += piece;
            }
        }
        written += n;
    };

    uint32_t crc = 0;
    if (trial) {
        crc = Crc32(0, reinterpret_cast<const uint8_t*>(content.data()), content.size());
        const std::string& data = useDeflate ? deflated : content;
        emit(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    } else {
        std::vector<uint8_t> input(65536);
        std::optional<TDeflater> deflater;
        if (useDeflate) {
            deflater.emplace();
        }
        uint64_t done = 0;
        for (;;) {
            const size_t n = read(input.data(), input.size());
            if (n > size - done) {
                throw std::runtime_error("content of " + r.Name + " is longer than announced");
            }
            crc = Crc32(crc, input.data(), n);
            done += n;
            if (deflater) {
                deflater->Feed(input.data(), n, n == 0, emit);
            } else {
                emit(input.data(), n);
            }
            if (n == 0) {
                break;
            }
        }
        if (done != size) {
            throw std::runtime_error("content of " + r.Name + " is shorter than announced");
        }
    }
    r.Crc = crc;
    r.StoredSize = written + header;
    if (!r.Zip64 && r.StoredSize >= kMax32) {
        throw std::runtime_error("deflated data of " + r.Name + " grew past its bound");
    }
    FContentBytes += size;
    FDataBytes += written;

    Bytes descriptor;
    descriptor.u32(0x08074b50).u32(crc);
    if (r.Zip64) {
        descriptor.u64(r.StoredSize).u64(size);
    } else {
        descriptor.u32(static_cast<uint32_t>(r.StoredSize)).u32(static_cast<uint32_t>(size));
    }
    Put(descriptor.b.data(), descriptor.b.size());
    FRecords.push_back(std::move(r));
}

void TZipWriter::AddBytes(std::string_view utf8Name, std::string_view bytes, uint32_t dosDateTime, bool deflate)
{
    size_t pos = 0;
    Add(
        utf8Name, bytes.size(), dosDateTime,
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min(capacity, bytes.size() - pos);
            std::copy_n(bytes.data() + pos, n, buffer);
            pos += n;
            return n;
        },
        deflate);
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
        c.u32(0x02014b50).u16(0x0300 | version).u16(version).u16(flags).u16(r.Method).u32(r.DosDateTime).u32(r.Crc);
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
