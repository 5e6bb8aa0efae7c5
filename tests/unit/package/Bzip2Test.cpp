// Method 12 with its blocks decoded on threads: 7-Zip's and bzip2's multi-block and
// concatenated streams read back byte for byte, false magics and damage sent back to
// libbz2's sequential decoding, whose result the threaded one must always equal.
#include "package/Bzip2Blocks.h"
#include "package/ZipArchive.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

struct TResult {
    ZipEntryStatus Status;
    std::string Bytes; // what followed the caller's byte, which must stay
    bool Parallel = false;
};

bool operator==(const TResult& a, const TResult& b) { return a.Status == b.Status && a.Bytes == b.Bytes; }

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Decodes into a vector that already holds one byte, as the reader's callers do.
TResult Decode(const std::string& in, uint64_t expected, const TBzip2Settings* settings)
{
    std::vector<uint8_t> out{'x'};
    TMethodOutput output(out, expected);
    TResult r{};
    r.Status = settings ? DecodeBzip2(Span(in), output, *settings, &r.Parallel) : DecodeBzip2Sequential(Span(in), output);
    output.Finish(r.Status == ZipEntryStatus::Ok);
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(out[0], 'x');
    if (!out.empty()) {
        r.Bytes.assign(out.begin() + 1, out.end());
    }
    return r;
}

// Threads forced at any size, two of them even on one core.
constexpr TBzip2Settings kForced{2, 0};

// Words and noise in turns: blocks of both kinds, and more than 1 MB once compressed.
std::string MixedData(size_t size)
{
    std::mt19937 g(11);
    std::string s;
    for (int part = 0; s.size() < size; ++part) {
        if (part % 2 == 0) {
            s += NoiseBytes(150000, uint32_t(part));
        } else {
            for (size_t start = s.size(); s.size() - start < 250000;) {
                s += "word" + std::to_string(g() % 5000) + (g() % 9 == 0 ? ".\n" : " ");
            }
        }
    }
    s.resize(size);
    return s;
}

uint16_t U16At(const std::string& s, size_t at) { return static_cast<uint16_t>(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }
uint32_t U32At(const std::string& s, size_t at) { return U16At(s, at) | uint32_t(U16At(s, at + 2)) << 16; }

} // namespace

// 7-Zip's small (-mx=1: 100 kB) and large blocks (-mx=5: 900 kB as with -mx=9, in one
// pass instead of seven), through the reader (whose default takes the threads at this
// size) and through the decoder directly.
TEST(Bzip2, SevenZipMultiBlockEntries)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    const std::string data = MixedData(3 << 20);
    WriteFile(dir / "src/mixed.bin", data);
    for (const int level : {1, 5}) {
        const std::string file = "mx" + std::to_string(level) + ".zip";
        ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=BZip2 -mx=" + std::to_string(level) + " ../" + file + " mixed.bin"));
        const std::string zipBytes = ReadFile(dir / file);
        TZipArchive zip;
        ASSERT_EQ(zip.Open(Span(zipBytes)), ZipError::None);
        std::vector<uint8_t> out;
        ASSERT_EQ(zip.Read(0, out), ZipEntryStatus::Ok) << file;
        EXPECT_TRUE(std::string(out.begin(), out.end()) == data) << file;

        const std::string payload = zipBytes.substr(30 + U16At(zipBytes, 26) + U16At(zipBytes, 28), U32At(zipBytes, 18));
        ASSERT_GT(payload.size(), size_t(1) << 20);
        const auto blocks = FindBzip2Blocks(Span(payload));
        ASSERT_TRUE(blocks.has_value()) << file;
        EXPECT_GE(blocks->size(), data.size() / (level == 1 ? 100000 : 900000)) << file;
        const TBzip2Settings byDefault;
        const TResult r = Decode(payload, data.size(), &byDefault);
        EXPECT_TRUE(r.Parallel) << file;
        EXPECT_EQ(r.Status, ZipEntryStatus::Ok) << file;
        EXPECT_TRUE(r.Bytes == data) << file;
    }
}

// bzip2's own files one after another, an empty one among them: every stream is read.
TEST(Bzip2, ConcatenatedStreams)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    TempDir dir;
    const std::string a = MixedData(450000), b = NoiseBytes(120000, 5) + "tail";
    WriteFile(dir / "a", a);
    WriteFile(dir / "b", b);
    WriteFile(dir / "empty", "");
    ASSERT_TRUE(RunIn(dir.Path(), "bzip2 -1 -c a > a.bz2 && bzip2 -9 -c empty > e.bz2 && bzip2 -2 -c b > b.bz2"));
    ASSERT_TRUE(RunIn(dir.Path(), "cat a.bz2 e.bz2 b.bz2 > all.bz2"));
    const std::string all = ReadFile(dir / "all.bz2");
    const auto blocks = FindBzip2Blocks(Span(all));
    ASSERT_TRUE(blocks.has_value());
    EXPECT_EQ(blocks->size(), 5u + 1u); // 450 000 bytes in blocks of 100 000, then one
    const TResult threaded = Decode(all, a.size() + b.size(), &kForced);
    EXPECT_TRUE(threaded.Parallel);
    EXPECT_EQ(threaded.Status, ZipEntryStatus::Ok);
    EXPECT_TRUE(threaded.Bytes == a + b);
    EXPECT_EQ(threaded, Decode(all, a.size() + b.size(), nullptr));
    // One thread takes the same way.
    const TBzip2Settings one{1, 0};
    EXPECT_EQ(Decode(all, a.size() + b.size(), &one), threaded);
    // A size one short or one long, and a claim of only the first file.
    for (const uint64_t claim : {uint64_t(a.size() + b.size() - 1), uint64_t(a.size() + b.size() + 1), uint64_t(a.size())}) {
        const TResult r = Decode(all, claim, &kForced);
        EXPECT_EQ(r.Status, ZipEntryStatus::SizeMismatch) << claim;
        EXPECT_EQ(r, Decode(all, claim, nullptr)) << claim;
    }
}

// CRC-32 as bzip2 computes it: most significant bit first.
uint32_t BlockCrc(const std::string& data)
{
    uint32_t c = ~0u;
    for (const char ch : data) {
        c ^= uint32_t(uint8_t(ch)) << 24;
        for (int k = 0; k < 8; ++k) {
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        }
    }
    return ~c;
}

// Bytes drawn from `values`, none equal to the one before (runs would add their lengths
// as bytes), every value used, and with the CRC `crc`: 64 places each hold one of two
// values, picked by solving the CRC's linear equations over GF(2).
std::string DataWithCrc(const std::vector<uint8_t>& values, uint32_t crc)
{
    std::mt19937 g(5);
    std::string data(values.begin(), values.end());
    while (data.size() < 20000) {
        const char v = char(values[g() % values.size()]);
        if (data.back() != v) {
            data += v;
        }
    }
    struct TChoice {
        size_t At;
        char Other;
        uint32_t Delta;
    };
    std::vector<TChoice> choices;
    for (size_t at = 1000; choices.size() < 64; at += 200) {
        char other = data[at];
        while (other == data[at] || other == data[at - 1] || other == data[at + 1]) {
            other = char(values[g() % values.size()]);
        }
        choices.push_back({at, other, 0});
    }
    const uint32_t base = BlockCrc(data);
    for (auto& c : choices) {
        std::string changed = data;
        changed[c.At] = c.Other;
        c.Delta = BlockCrc(changed) ^ base;
    }
    uint32_t rows[32] = {};
    uint64_t used[32] = {};
    for (size_t k = 0; k < choices.size(); ++k) {
        uint32_t v = choices[k].Delta;
        uint64_t m = uint64_t(1) << k;
        for (int bit = 31; bit >= 0 && v != 0; --bit) {
            if (v >> bit & 1) {
                if (rows[bit] == 0) {
                    rows[bit] = v;
                    used[bit] = m;
                    break;
                }
                v ^= rows[bit];
                m ^= used[bit];
            }
        }
    }
    uint32_t want = base ^ crc;
    uint64_t pick = 0;
    for (int bit = 31; bit >= 0; --bit) {
        if (want >> bit & 1) {
            want ^= rows[bit];
            pick ^= used[bit];
        }
    }
    for (size_t k = 0; k < choices.size(); ++k) {
        if (pick >> k & 1) {
            data[choices[k].At] = choices[k].Other;
        }
    }
    return data;
}

// The used-bytes maps that follow a block's header are written as they are, so data
// made of the right byte values puts a magic inside the block, and the next 32 bits (the
// maps of values 48 to 79) whatever CRC the scan should read there. With the CRC made to
// agree, the scan is fooled, the block it cuts does not decode, and libbz2's sequential
// decoding gives the right bytes.
TEST(Bzip2, FalseMagicInsideABlock)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    constexpr uint32_t kCrc = 0x12345678; // the real block's
    struct TCase {
        const char* Name;
        uint16_t Magic[3];
        uint32_t FalseCrc; // what the combined CRC check then needs after the false magic
        size_t Blocks;     // as the scan sees them: the first stream's, and the cut ones
    };
    const TCase cases[] = {
        {"block magic", {0x3141, 0x5926, 0x5359}, (kCrc << 1 | kCrc >> 31) ^ kCrc, 3},
        {"end magic", {0x1772, 0x4538, 0x5090}, kCrc, 2},
    };
    for (const auto& c : cases) {
        const uint16_t maps[5] = {c.Magic[0], c.Magic[1], c.Magic[2], uint16_t(c.FalseCrc >> 16), uint16_t(c.FalseCrc)};
        std::vector<uint8_t> values;
        for (unsigned group = 0; group < 16; ++group) {
            const unsigned map = group < 5 ? maps[group] : 0x8000;
            for (unsigned j = 0; j < 16; ++j) {
                if (map >> (15 - j) & 1) {
                    values.push_back(uint8_t(group * 16 + j));
                }
            }
        }
        const std::string data = DataWithCrc(values, kCrc);
        ASSERT_EQ(BlockCrc(data), kCrc) << c.Name;
        TempDir dir;
        WriteFile(dir / "first", "plain text, a stream before the crafted one\n");
        WriteFile(dir / "data", data);
        ASSERT_TRUE(RunIn(dir.Path(), "bzip2 -1 -c first > all.bz2 && bzip2 -1 -c data >> all.bz2"));
        const std::string stream = ReadFile(dir / "all.bz2");
        const auto blocks = FindBzip2Blocks(Span(stream));
        ASSERT_TRUE(blocks.has_value()) << c.Name;
        EXPECT_EQ(blocks->size(), c.Blocks) << c.Name;
        const std::string whole = "plain text, a stream before the crafted one\n" + data;
        const TResult r = Decode(stream, whole.size(), &kForced);
        EXPECT_FALSE(r.Parallel) << c.Name;
        EXPECT_EQ(r.Status, ZipEntryStatus::Ok) << c.Name;
        EXPECT_TRUE(r.Bytes == whole) << c.Name;
    }
}

// Damaged and cut copies of a multi-block stream: refused as libbz2 refuses them, the
// caller's bytes left as they were.
TEST(Bzip2, DamagedMultiBlockStreams)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    TempDir dir;
    const std::string data = MixedData(700000);
    WriteFile(dir / "data", data);
    ASSERT_TRUE(RunIn(dir.Path(), "bzip2 -1 -c data > data.bz2"));
    const std::string original = ReadFile(dir / "data.bz2");
    int refused = 0, cases = 0;
    for (size_t k = 1; k < 16; ++k) {
        const size_t at = original.size() * k / 16;
        std::string flipped = original, cut = original.substr(0, at);
        flipped[at] = char(flipped[at] ^ 0x24);
        for (const std::string* in : {&flipped, &cut}) {
            const TResult r = Decode(*in, data.size(), &kForced);
            EXPECT_EQ(r, Decode(*in, data.size(), nullptr)) << k;
            EXPECT_FALSE(r.Parallel) << k;
            refused += r.Status != ZipEntryStatus::Ok;
            ++cases;
            EXPECT_TRUE(r.Status != ZipEntryStatus::Ok || r.Bytes == data) << k;
        }
    }
    EXPECT_EQ(refused, cases);
}

// One block of 45 MB of zeros, twice: a claim of one block's size never holds both, and
// the blocks' buffers stop at the claim.
TEST(Bzip2, BombBlocksStopAtTheClaim)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    TempDir dir;
    constexpr size_t kBlock = 45000000;
    ASSERT_TRUE(RunIn(dir.Path(), "head -c " + std::to_string(kBlock) + " /dev/zero | bzip2 -9 > one.bz2 && cat one.bz2 one.bz2 > two.bz2"));
    const std::string two = ReadFile(dir / "two.bz2");
    ASSERT_LT(two.size(), 1000u);
    for (const uint64_t claim : {uint64_t(1000), uint64_t(kBlock)}) {
        const TResult r = Decode(two, claim, &kForced);
        EXPECT_EQ(r.Status, ZipEntryStatus::SizeMismatch) << claim;
        EXPECT_TRUE(r.Bytes.empty()) << claim;
    }
    const TResult whole = Decode(two, 2 * kBlock, &kForced);
    EXPECT_TRUE(whole.Parallel);
    EXPECT_EQ(whole.Status, ZipEntryStatus::Ok);
    EXPECT_TRUE(whole.Bytes == std::string(2 * kBlock, '\0'));
}
