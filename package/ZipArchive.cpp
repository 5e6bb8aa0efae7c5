// The ZIP reader (see ZipArchive.h). Every field read from the data is checked against
// the data's bounds before use; sizes are 64-bit throughout.
#include "package/ZipArchive.h"

#include "package/Crc32.h"
#include "package/ZipCrypto.h"
#include "package/ZipEntryReader.h"
#include "package/ZipKeyCheckpoints.h"
#include "package/ZipMethods.h"
#include "util/Case.h"
#include "util/TextCodecs.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <stdexcept>
#include <numeric>
#include <random>

namespace Folio::Shared {

namespace {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kEnd64Sig = 0x06064b50;
constexpr uint32_t kEnd64LocatorSig = 0x07064b50;
constexpr size_t kEndSize = 22;
constexpr size_t kEnd64Size = 56;
constexpr size_t kLocatorSize = 20;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kCryptHeader = 12;
// Deflate cannot expand data by more than about 1032 to 1; a larger claim is a lie.
constexpr uint64_t kMaxDeflateRatio = 1032;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint64_t U64(const uint8_t* p) { return U32(p) | (uint64_t(U32(p + 4)) << 32); }

// Whether [offset, offset + length) lies within size, without overflow.
bool Within(uint64_t offset, uint64_t length, uint64_t size) { return offset <= size && length <= size - offset; }

// The name hash folds exactly what name equality folds: A-Z to a-z, nothing else, so
// names that differ anywhere else (a bracket and a brace, "@" and "`") land apart. It
// is keyed by a seed drawn once per process: an archive cannot be built to make every
// name collide, which would turn opening it into a quadratic walk. ASCII names (nearly
// all) are hashed eight characters to a word, whether stored as bytes or as UTF-16;
// other names four UTF-16 units to a word. A name of either kind never equals one of
// the other, so the two need not agree.
template <typename Unit>
uint64_t AsciiWord(const Unit* p)
{
    uint64_t w = 0;
    if constexpr (sizeof(Unit) == 1) {
        std::memcpy(&w, p, 8);
    } else {
        // Eight 16-bit units whose top bytes are zero, packed into eight bytes.
        auto pack = [](const Unit* q) {
            uint64_t x;
            std::memcpy(&x, q, 8);
            x = (x | (x >> 8)) & 0x0000FFFF0000FFFFull;
            return (x | (x >> 16)) & 0xFFFFFFFFull;
        };
        w = pack(p) | (pack(p + 4) << 32);
    }
    return w;
}

// A-Z to a-z in each lane (lanes of 8 or 16 bits). Adding to the low bits of a lane
// never carries into the next lane, so each lane's top bit answers one comparison.
template <int Bits>
uint64_t LowerLanes(uint64_t w)
{
    constexpr uint64_t kOnes = Bits == 8 ? 0x0101010101010101ull : 0x0001000100010001ull;
    constexpr uint64_t kTop = kOnes << (Bits - 1), kLow = kTop - kOnes;
    const uint64_t low = w & kLow;
    const uint64_t atLeastA = low + ((kTop >> (Bits - 1)) * ((uint64_t(1) << (Bits - 1)) - 'A'));
    const uint64_t aboveZ = low + ((kTop >> (Bits - 1)) * ((uint64_t(1) << (Bits - 1)) - 'Z' - 1));
    const uint64_t upper = atLeastA & ~aboveZ & ~w & kTop; // 'A' <= lane <= 'Z'
    return w | (upper >> (Bits - 6));                      // top bit down to 0x20
}

uint64_t ProcessSeed()
{
    static const uint64_t seed = [] {
        std::random_device device;
        uint64_t s = (uint64_t(device()) << 32) ^ device();
        // Mixed with the clock and an address, in case the device is a fixed sequence.
        s ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
        s ^= reinterpret_cast<uintptr_t>(&device);
        return s;
    }();
    return seed;
}

// SipHash-1-3 rounds keyed by the seed. A plain multiply-and-shift mix is not enough:
// a difference in the top bit of a word passes through it the same way under every
// seed, so a later word can cancel it, and 2^k names of one hash can be built without
// knowing the seed.
struct TSipState {
    uint64_t V0, V1, V2, V3;

    static uint64_t Rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

    void Round()
    {
        V0 += V1, V1 = Rotl(V1, 13), V1 ^= V0, V0 = Rotl(V0, 32);
        V2 += V3, V3 = Rotl(V3, 16), V3 ^= V2;
        V0 += V3, V3 = Rotl(V3, 21), V3 ^= V0;
        V2 += V1, V1 = Rotl(V1, 17), V1 ^= V2, V2 = Rotl(V2, 32);
    }

    void Add(uint64_t m)
    {
        V3 ^= m;
        Round();
        V0 ^= m;
    }
};

template <typename Unit>
bool AllAscii(const Unit* p, size_t n)
{
    if constexpr (sizeof(Unit) == 1) {
        return true; // byte names reach the hash only when they are ASCII
    } else {
        char16_t any = 0;
        for (size_t i = 0; i < n; ++i) {
            any |= p[i];
        }
        return any < 0x80;
    }
}

template <typename Unit>
uint32_t HashUnits(const Unit* p, size_t n, uint64_t seed)
{
    // The second key is drawn from the first (splitmix64's finaliser).
    uint64_t k1 = seed + 0x9E3779B97F4A7C15ull;
    k1 = (k1 ^ (k1 >> 30)) * 0xBF58476D1CE4E5B9ull;
    k1 = (k1 ^ (k1 >> 27)) * 0x94D049BB133111EBull;
    k1 ^= k1 >> 31;
    TSipState s{seed ^ 0x736F6D6570736575ull, k1 ^ 0x646F72616E646F6Dull, seed ^ 0x6C7967656E657261ull,
                k1 ^ 0x7465646279746573ull};
    size_t i = 0;
    uint64_t tail = uint64_t(n) << 56;
    if (AllAscii(p, n)) {
        for (; i + 8 <= n; i += 8) {
            s.Add(LowerLanes<8>(AsciiWord(p + i)));
        }
        for (size_t k = 0; i < n; ++i, ++k) {
            tail |= uint64_t(AsciiLower(char16_t(p[i]))) << (8 * k);
        }
    } else if constexpr (sizeof(Unit) == 2) {
        for (; i + 4 <= n; i += 4) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            s.Add(LowerLanes<16>(w));
        }
        tail = uint64_t(n) << 48;
        for (size_t k = 0; i < n; ++i, ++k) {
            tail |= uint64_t(AsciiLower(char16_t(p[i]))) << (16 * k);
        }
    }
    s.Add(tail);
    s.V2 ^= 0xFF;
    s.Round();
    s.Round();
    s.Round();
    const uint64_t h = s.V0 ^ s.V1 ^ s.V2 ^ s.V3;
    return static_cast<uint32_t>(h ^ (h >> 32));
}

template <typename Unit>
uint32_t HashUnits(const Unit* p, size_t n)
{
    return HashUnits(p, n, ProcessSeed());
}

uint32_t HashName(std::u16string_view name) { return HashUnits(name.data(), name.size()); }

// Slots of the name index for a number of entries: a power of two, at most half full.
uint64_t IndexCapacity(uint64_t entries)
{
    uint64_t capacity = 16;
    while (capacity < entries * 2) {
        capacity *= 2;
    }
    return capacity;
}

bool IsAscii(const uint8_t* p, size_t n)
{
    uint64_t high = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        high |= w;
    }
    for (; i < n; ++i) {
        high |= p[i];
    }
    return (high & 0x8080808080808080ull) == 0;
}

// Archivers on Unix and macOS (version made by: host 3 or 19) write names in the
// locale's encoding, nowadays UTF-8, without setting flag bit 11.
bool MadeOnUnix(uint8_t host) { return host == 3 || host == 19; }

// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t extra = 0;
        uint8_t low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (extra > n - i - 1 || p[i + 1] < low || p[i + 1] > high) {
            return false;
        }
        for (size_t k = 2; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

} // namespace

const char* ZipErrorMessage(ZipError error) noexcept
{
    switch (error) {
    case ZipError::None: return "no error";
    case ZipError::NoEndRecord: return "not a ZIP archive: no end of central directory record";
    case ZipError::MultiDisk: return "split or spanned ZIP archives are not supported";
    case ZipError::BadZip64Record: return "the ZIP64 end of central directory record is missing or damaged";
    case ZipError::DirectoryOutOfRange: return "the central directory lies outside the archive";
    case ZipError::BadDirectoryEntry: return "a central directory entry is damaged";
    case ZipError::CountMismatch: return "the entry count does not match the central directory";
    case ZipError::EntryOutOfRange: return "an entry lies outside the archive";
    case ZipError::EntriesOverlap: return "entries overlap each other or the central directory";
    case ZipError::TooLarge: return "the archive's directory does not fit in memory";
    }
    return "unknown ZIP error";
}

const char* ZipEntryStatusMessage(ZipEntryStatus status) noexcept
{
    switch (status) {
    case ZipEntryStatus::Ok: return "ok";
    case ZipEntryStatus::WrongPassword: return "wrong password";
    case ZipEntryStatus::UnsupportedMethod: return "unsupported compression method";
    case ZipEntryStatus::Damaged: return "damaged data";
    case ZipEntryStatus::CrcMismatch: return "CRC-32 mismatch";
    case ZipEntryStatus::SizeMismatch: return "size does not match";
    case ZipEntryStatus::SinkFailed: return "the output refused the bytes";
    }
    return "unknown status";
}

void TZipArchive::SetPassword(std::u16string_view password) { SetPasswordBytes(Utf16ToAnsi(password)); }

void TZipArchive::SetPasswordBytes(std::string_view bytes)
{
    FPassword = bytes;
    FCheckpoints.reset(); // points of other keys; none are kept until the next Open

}

void TZipArchive::Close()
{
    // Swapped out rather than cleared: a failed open gives its memory back.
    FData = {};
    std::vector<TZipEntry>().swap(FEntries);
    std::u16string().swap(FNames);
    std::vector<Slot>().swap(FIndex);
    FDirectoryOffset = 0;
    FOpen = false;
    FCheckpoints.reset();
}

std::u16string TZipArchive::Name(size_t index) const
{
    const auto& e = FEntries[index];
    if (e.NameInData) {
        const uint8_t* p = FData.data() + e.NameStart;
        return std::u16string(p, p + e.NameLength);
    }
    return FNames.substr(e.NameStart, e.NameLength);
}

namespace {

template <typename A, typename B>
bool SameUnits(const A* a, const B* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (AsciiLower(char16_t(a[i])) != AsciiLower(char16_t(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

uint32_t ZipNameHash(std::u16string_view name, uint64_t seed) noexcept
{
    return HashUnits(name.data(), name.size(), seed);
}

bool TZipArchive::NameEquals(const TZipEntry& e, std::u16string_view name) const
{
    if (name.size() != e.NameLength) {
        return false;
    }
    if (e.NameInData) {
        return SameUnits(FData.data() + e.NameStart, name.data(), name.size());
    }
    return SameUnits(FNames.data() + e.NameStart, name.data(), name.size());
}

bool TZipArchive::SameName(const TZipEntry& a, const TZipEntry& b) const
{
    if (a.NameLength != b.NameLength) {
        return false;
    }
    if (!b.NameInData) {
        return NameEquals(a, std::u16string_view(FNames).substr(b.NameStart, b.NameLength));
    }
    const uint8_t* p = FData.data() + b.NameStart;
    if (a.NameInData) {
        return SameUnits(FData.data() + a.NameStart, p, a.NameLength);
    }
    return SameUnits(FNames.data() + a.NameStart, p, a.NameLength);
}

ZipError TZipArchive::Open(std::span<const uint8_t> data)
{
    Close();
    const uint8_t* p = data.data();
    const uint64_t size = data.size();
    if (size < kEndSize) {
        return ZipError::NoEndRecord;
    }

    // The end record: the last signature whose comment fits in the data.
    uint64_t end = 0;
    bool found = false;
    const uint64_t lowest = size - kEndSize > 0xFFFF ? size - kEndSize - 0xFFFF : 0;
    for (uint64_t pos = size - kEndSize + 1; pos-- > lowest;) {
        if (U32(p + pos) == kEndSig && pos + kEndSize + U16(p + pos + 20) <= size) {
            end = pos;
            found = true;
            break;
        }
    }
    if (!found) {
        return ZipError::NoEndRecord;
    }

    const uint8_t* r = p + end;
    uint64_t disk = U16(r + 4), directoryDisk = U16(r + 6);
    uint64_t diskEntries = U16(r + 8), entries = U16(r + 10);
    uint64_t directorySize = U32(r + 12), directoryOffset = U32(r + 16);
    uint64_t directoryEnd = end; // where the directory must have ended

    const bool needs64 = entries == 0xFFFF || diskEntries == 0xFFFF || directorySize == 0xFFFFFFFF ||
                         directoryOffset == 0xFFFFFFFF;
    const bool hasLocator = end >= kLocatorSize && U32(p + end - kLocatorSize) == kEnd64LocatorSig;
    if (hasLocator) {
        const uint8_t* loc = p + end - kLocatorSize;
        const uint64_t recordOffset = U64(loc + 8);
        if (U32(loc + 4) != 0 || U32(loc + 16) > 1) {
            return ZipError::MultiDisk;
        }
        if (!Within(recordOffset, kEnd64Size, end - kLocatorSize) || U32(p + recordOffset) != kEnd64Sig) {
            return ZipError::BadZip64Record;
        }
        const uint8_t* z = p + recordOffset;
        disk = U32(z + 16);
        directoryDisk = U32(z + 20);
        diskEntries = U64(z + 24);
        entries = U64(z + 32);
        directorySize = U64(z + 40);
        directoryOffset = U64(z + 48);
        directoryEnd = recordOffset;
    } else if (needs64) {
        return ZipError::BadZip64Record;
    }
    if (disk != 0 || directoryDisk != 0 || diskEntries != entries) {
        return ZipError::MultiDisk;
    }
    if (!Within(directoryOffset, directorySize, directoryEnd)) {
        return ZipError::DirectoryOutOfRange;
    }
    if (entries > directorySize / kCentralSize) {
        return ZipError::CountMismatch;
    }

    // What the index will take, checked before anything is allocated: in a 32-bit
    // process a large directory cannot be held, and must be refused, not attempted.
    const uint64_t capacity = IndexCapacity(entries);
    const uint64_t indexBytes = entries * (sizeof(TZipEntry) + sizeof(uint32_t)) + capacity * sizeof(Slot);
    if (indexBytes > FMemoryLimit || entries > FEntries.max_size() || capacity > FIndex.max_size()) {
        return ZipError::TooLarge;
    }

    FData = data;
    FDirectoryOffset = directoryOffset;
    ZipError error = ZipError::None;
    try {
        error = ReadDirectory(directoryOffset, directorySize, entries);
        if (error == ZipError::None) {
            error = CheckLayout();
        }
        if (error == ZipError::None) {
            BuildIndex();
        }
    } catch (const std::bad_alloc&) {
        error = ZipError::TooLarge;
    } catch (const std::length_error&) {
        error = ZipError::TooLarge;
    }
    if (error != ZipError::None) {
        Close();
        return error;
    }
    try {
        FCheckpoints = std::make_shared<TKeyCheckpoints>();
    } catch (const std::bad_alloc&) {
        Close();
        return ZipError::TooLarge;
    }
    FOpen = true;
    return ZipError::None;
}

ZipError TZipArchive::ReadDirectory(uint64_t offset, uint64_t size, uint64_t count)
{
    FEntries.reserve(count);
    const uint8_t* const base = FData.data() + offset;
    uint64_t pos = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (!Within(pos, kCentralSize, size)) {
            return ZipError::CountMismatch;
        }
        const uint8_t* c = base + pos;
        if (U32(c) != kCentralSig) {
            return ZipError::BadDirectoryEntry;
        }
        const uint16_t nameLength = U16(c + 28), extraLength = U16(c + 30), commentLength = U16(c + 32);
        const uint64_t total = kCentralSize + nameLength + extraLength + commentLength;
        if (!Within(pos, total, size)) {
            return ZipError::BadDirectoryEntry;
        }

        TZipEntry e;
        e.Flags = U16(c + 8);
        e.Method = U16(c + 10);
        e.DosTime = U16(c + 12);
        e.Crc32 = U32(c + 16);
        e.CompressedSize = U32(c + 20);
        e.UncompressedSize = U32(c + 24);
        uint32_t diskStart = U16(c + 34);
        e.LocalOffset = U32(c + 42);

        const uint8_t* rawName = c + kCentralSize;
        const uint8_t* extra = rawName + nameLength;
        const uint8_t* unicodeName = nullptr;
        size_t unicodeLength = 0;
        for (size_t x = 0; x + 4 <= extraLength;) {
            const uint16_t id = U16(extra + x), length = U16(extra + x + 2);
            if (x + 4 + length > extraLength) {
                break; // a truncated last field is ignored, as other readers do
            }
            const uint8_t* field = extra + x + 4;
            if (id == 0x0001) {
                // ZIP64: only the fields whose 32-bit value is saturated, in this order.
                size_t f = 0;
                auto take = [&](uint64_t& v) {
                    if (f + 8 > length) {
                        return false;
                    }
                    v = U64(field + f);
                    f += 8;
                    return true;
                };
                if ((e.UncompressedSize == 0xFFFFFFFF && !take(e.UncompressedSize)) ||
                    (e.CompressedSize == 0xFFFFFFFF && !take(e.CompressedSize)) ||
                    (e.LocalOffset == 0xFFFFFFFF && !take(e.LocalOffset))) {
                    return ZipError::BadDirectoryEntry;
                }
                if (diskStart == 0xFFFF) {
                    if (f + 4 > length) {
                        return ZipError::BadDirectoryEntry;
                    }
                    diskStart = U32(field + f);
                }
            } else if (id == 0x7075 && length >= 5 && field[0] == 1) {
                if (U32(field + 1) == static_cast<uint32_t>(crc32(0, rawName, nameLength))) {
                    unicodeName = field + 5;
                    unicodeLength = length - 5;
                }
            }
            x += 4 + length;
        }
        if (diskStart != 0) {
            return ZipError::MultiDisk;
        }

        // Plain ASCII names (nearly all) stay where they are in the data; others are
        // decoded: UTF-8 when flagged or given by a matching Unicode Path field, else OEM.
        const uint8_t* source = rawName;
        size_t sourceLength = nameLength;
        bool utf8 = (e.Flags & 0x800) != 0;
        if (!utf8 && unicodeName) {
            source = unicodeName;
            sourceLength = unicodeLength;
            utf8 = true;
        }
        if (!utf8 && MadeOnUnix(c[5]) && IsUtf8(rawName, nameLength)) {
            utf8 = true; // as 7-Zip and Info-ZIP's unzip read names from Unix and macOS
        }
        if (IsAscii(source, sourceLength) && sourceLength <= 0xFFFF) {
            e.NameInData = true;
            e.NameStart = static_cast<uint64_t>(source - FData.data());
            e.NameLength = static_cast<uint16_t>(sourceLength);
            e.NameHash = HashUnits(source, sourceLength);
        } else {
            const std::string_view bytes(reinterpret_cast<const char*>(source), sourceLength);
            const std::u16string name = utf8 ? Utf8ToUtf16(bytes) : OemToUtf16(bytes);
            if (name.size() > 0xFFFF) {
                return ZipError::BadDirectoryEntry;
            }
            e.NameStart = FNames.size();
            e.NameLength = static_cast<uint16_t>(name.size());
            e.NameHash = HashName(name);
            FNames += name;
        }
        FEntries.push_back(e);
        pos += total;
    }
    return ZipError::None;
}

ZipError TZipArchive::CheckLayout()
{
    // Entries in the order of their local headers; archives are written in that
    // order, so sorting is only needed for unusual ones.
    std::vector<uint32_t> order(FEntries.size());
    std::iota(order.begin(), order.end(), 0u);
    auto byOffset = [&](uint32_t a, uint32_t b) { return FEntries[a].LocalOffset < FEntries[b].LocalOffset; };
    if (!std::is_sorted(order.begin(), order.end(), byOffset)) {
        std::stable_sort(order.begin(), order.end(), byOffset);
    }
    const uint64_t directoryStart = FDirectoryOffset;
    for (size_t k = 0; k < order.size(); ++k) {
        TZipEntry& e = FEntries[order[k]];
        if (e.LocalOffset >= directoryStart) {
            // Entries after the directory are not written by any archiver we read.
            return e.LocalOffset >= FData.size() ? ZipError::EntryOutOfRange : ZipError::EntriesOverlap;
        }
        e.Limit = k + 1 < order.size() ? std::min(FEntries[order[k + 1]].LocalOffset, directoryStart)
                                       : directoryStart;
        // The local header and the data alone must fit before the next entry begins.
        if (!Within(e.LocalOffset, kLocalSize, e.Limit) ||
            !Within(e.LocalOffset + kLocalSize, e.CompressedSize, e.Limit)) {
            return ZipError::EntriesOverlap;
        }
    }
    return ZipError::None;
}

void TZipArchive::BuildIndex()
{
    const auto capacity = static_cast<size_t>(IndexCapacity(FEntries.size()));
    FIndex.assign(capacity, Slot{});
    const size_t mask = capacity - 1;
    for (uint32_t i = 0; i < FEntries.size(); ++i) {
        const uint32_t hash = FEntries[i].NameHash;
        for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            Slot& there = FIndex[slot];
            if (there.Entry == 0) {
                there = {hash, i + 1};
                break;
            }
            if (there.Hash == hash && SameName(FEntries[there.Entry - 1], FEntries[i])) {
                break; // a later entry of the same name: the first counts
            }
        }
    }
}

int TZipArchive::Find(std::u16string_view name) const
{
    if (FIndex.empty()) {
        return -1;
    }
    const uint32_t hash = HashName(name);
    const size_t mask = FIndex.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& there = FIndex[slot];
        if (there.Entry == 0) {
            return -1;
        }
        if (there.Hash == hash && NameEquals(FEntries[there.Entry - 1], name)) {
            return static_cast<int>(there.Entry - 1);
        }
    }
}

ZipEntryStatus TZipArchive::LocateData(const TZipEntry& e, uint64_t& dataStart) const
{
    const uint8_t* l = FData.data() + e.LocalOffset;
    if (U32(l) != kLocalSig) {
        return ZipEntryStatus::Damaged;
    }
    const uint64_t start = e.LocalOffset + kLocalSize + U16(l + 26) + U16(l + 28);
    if (!Within(start, e.CompressedSize, e.Limit)) {
        return ZipEntryStatus::Damaged;
    }
    dataStart = start;
    return ZipEntryStatus::Ok;
}

namespace {

// Inflates raw deflate data into exactly `size` bytes at out. The input comes from
// `next(buffer, capacity)`, which returns how many bytes it put there (0 at the end).
template <typename Source>
ZipEntryStatus Inflate(Source&& next, uint8_t* out, uint64_t size)
{
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        return ZipEntryStatus::Damaged;
    }
    uint8_t input[65536];
    uint64_t produced = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            z.avail_in = static_cast<uInt>(next(input, sizeof input));
            z.next_in = input;
            if (z.avail_in == 0) {
                break; // input ended before the stream did
            }
        }
        const uint64_t room = size - produced;
        z.next_out = out + produced;
        z.avail_out = static_cast<uInt>(std::min<uint64_t>(room, 0x40000000u));
        const uInt before = z.avail_out;
        if (before == 0) {
            // Output is full: only the end of the stream may follow.
            uint8_t probe[1];
            z.next_out = probe;
            z.avail_out = 1;
            rc = inflate(&z, Z_NO_FLUSH);
            if (z.avail_out == 0) {
                inflateEnd(&z);
                return ZipEntryStatus::SizeMismatch;
            }
        } else {
            rc = inflate(&z, Z_NO_FLUSH);
            produced += before - z.avail_out;
        }
        if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
            inflateEnd(&z);
            return ZipEntryStatus::Damaged;
        }
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
        return ZipEntryStatus::Damaged;
    }
    return produced == size ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
}

} // namespace

ZipEntryStatus TZipArchive::Read(size_t index, std::vector<uint8_t>& out) const
{
    if (!FOpen || index >= FEntries.size()) {
        return ZipEntryStatus::Damaged;
    }
    const TZipEntry& e = FEntries[index];
    if (e.Method != 0 && e.Method != 8 && !MethodSupported(e.Method)) {
        return ZipEntryStatus::UnsupportedMethod;
    }
    uint64_t start = 0;
    if (const auto status = LocateData(e, start); status != ZipEntryStatus::Ok) {
        return status;
    }
    const uint8_t* in = FData.data() + start;
    uint64_t payload = e.CompressedSize;

    TZipKeys keys(FPassword);
    if (e.Encrypted()) {
        if (payload < kCryptHeader) {
            return ZipEntryStatus::Damaged;
        }
        uint8_t header[kCryptHeader];
        for (size_t i = 0; i < kCryptHeader; ++i) {
            header[i] = keys.Decrypt(in[i]);
        }
        // The check byte is the CRC's high byte, or with a data descriptor the high
        // byte of the modification time (archivers differ; both are accepted).
        const uint8_t check = header[kCryptHeader - 1];
        if (check != (e.Crc32 >> 24) && !(e.HasDataDescriptor() && check == (e.DosTime >> 8))) {
            return ZipEntryStatus::WrongPassword;
        }
        in += kCryptHeader;
        payload -= kCryptHeader;
    }

    if (e.Method != 0 && e.Method != 8) {
        return ReadMethod(e, {in, static_cast<size_t>(payload)}, keys, out);
    }
    const uint64_t size = e.UncompressedSize;
    if (e.Method == 0 ? size != payload : size > payload * kMaxDeflateRatio + 1024) {
        return ZipEntryStatus::SizeMismatch;
    }
    const size_t before = out.size();
    try {
        if (size > out.max_size() - before) {
            return ZipEntryStatus::SizeMismatch;
        }
        out.resize(before + static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        out.resize(before);
        return ZipEntryStatus::SizeMismatch;
    }
    uint8_t* dst = out.data() + before;

    ZipEntryStatus status = ZipEntryStatus::Ok;
    uint32_t crc = 0;
    if (e.Method == 0) {
        if (e.Encrypted()) {
            // One pass: key 0 already runs a CRC register over the plain bytes.
            const uint32_t key0Start = keys.Key0();
            keys.DecryptBlock(in, dst, static_cast<size_t>(size));
            crc = ~(keys.Key0() ^ Crc32ShiftZeros(key0Start ^ 0xFFFFFFFFu, size));
        } else if (size > 0) {
            std::memcpy(dst, in, static_cast<size_t>(size));
            crc = Crc32(0, dst, static_cast<size_t>(size));
        }
    } else {
        uint64_t consumed = 0;
        auto next = [&](uint8_t* buffer, size_t capacity) -> size_t {
            const auto n = static_cast<size_t>(std::min<uint64_t>(capacity, payload - consumed));
            if (e.Encrypted()) {
                keys.DecryptBlock(in + consumed, buffer, n);
            } else {
                std::memcpy(buffer, in + consumed, n);
            }
            consumed += n;
            return n;
        };
        status = Inflate(next, dst, size);
        if (status == ZipEntryStatus::Ok) {
            crc = Crc32(0, dst, static_cast<size_t>(size));
        }
    }
    if (status == ZipEntryStatus::Ok && crc != e.Crc32) {
        status = ZipEntryStatus::CrcMismatch;
    }
    if (status != ZipEntryStatus::Ok) {
        out.resize(before);
    }
    return status;
}

ZipEntryStatus TZipArchive::ReadMethod(const TZipEntry& e, std::span<const uint8_t> payload, TZipKeys& keys,
                                       std::vector<uint8_t>& out) const
{
    if (e.UncompressedSize > MethodMaxSize(e.Method, payload.size()) ||
        e.UncompressedSize > out.max_size() - out.size()) {
        return ZipEntryStatus::SizeMismatch;
    }
    TMethodOutput output(out, e.UncompressedSize);
    ZipEntryStatus status = ZipEntryStatus::SizeMismatch;
    try {
        // Decrypted in pieces as the decoder reads.
        TMethodSource source(payload, e.Encrypted() ? &keys : nullptr);
        status = DecodeAll(OpenMethod(e.Method, e.Flags, source, e.UncompressedSize).get(), output);
    } catch (const std::bad_alloc&) {
    }
    if (status == ZipEntryStatus::Ok && Crc32(0, output.Data(), output.Produced()) != e.Crc32) {
        status = ZipEntryStatus::CrcMismatch;
    }
    output.Finish(status == ZipEntryStatus::Ok);
    return status;
}

ZipEntryStatus TZipArchive::ReadTo(size_t index, const std::function<bool(std::span<const uint8_t>)>& sink) const
{
    constexpr size_t kChunk = 65536;
    std::unique_ptr<TZipEntryReader> reader;
    std::unique_ptr<uint8_t[]> buffer;
    try {
        reader = std::make_unique<TZipEntryReader>(*this, index);
        buffer.reset(new uint8_t[kChunk]);
    } catch (const std::bad_alloc&) {
        return ZipEntryStatus::SizeMismatch; // as Read says when memory runs out
    }
    if (reader->Status() != ZipEntryStatus::Ok) {
        return reader->Status();
    }
    while (const size_t n = reader->Read(buffer.get(), kChunk)) {
        if (!sink({buffer.get(), n})) {
            return ZipEntryStatus::SinkFailed;
        }
    }
    return reader->Status();
}

ZipEntryStatus TZipArchive::Extract(std::u16string_view name, TMemoryStream& stream) const
{
    const int index = Find(name);
    if (index < 0) {
        return ZipEntryStatus::Ok;
    }
    auto& buffer = stream.Buffer();
    if (stream.Position() == buffer.size()) {
        // Appending: decode straight into the stream's buffer.
        const auto status = Read(static_cast<size_t>(index), buffer);
        stream.SetPosition(buffer.size());
        return status;
    }
    std::vector<uint8_t> bytes;
    const auto status = Read(static_cast<size_t>(index), bytes);
    if (status == ZipEntryStatus::Ok) {
        stream.Write(bytes);
    }
    return status;
}

} // namespace Folio::Shared
