// Our own bzip2 block decoder against libbz2's, block by block, one to four blocks at a
// time: streams of bzip2 and 7-Zip of several kinds of data, and damaged blocks, which it
// must refuse or decode to exactly libbz2's bytes.
#include "package/Bzip2Fast.h"
#include "package/Bzip2Blocks.h"
#include "tests/support/Bzip2Crc.h"
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

std::span<const uint8_t> Span(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

std::string Words(size_t size, uint32_t seed)
{
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < size) {
        s += "w" + std::to_string(g() % 3000) + (g() % 11 == 0 ? ".\n" : " ");
    }
    s.resize(size);
    return s;
}

// Runs of 1 to 600 equal bytes: run-length counts from 0 to 255, and runs cut by the end
// of a block.
std::string Runs(size_t size, uint32_t seed)
{
    std::mt19937 g(seed);
    std::string s;
    while (s.size() < size) {
        s.append(1 + g() % 600, char(g() % 5));
    }
    s.resize(size);
    return s;
}

// Every byte value, in an order that moves them around the front of the list.
std::string AllBytes(size_t size)
{
    std::mt19937 g(3);
    std::string s;
    while (s.size() < size) {
        s += char(g() % 7 == 0 ? g() % 256 : s.size() % 256);
    }
    return s;
}

std::string ZipPayload(const std::string& zip)
{
    const auto u16 = [&](size_t at) { return size_t(uint8_t(zip[at]) | uint8_t(zip[at + 1]) << 8); };
    return zip.substr(30 + u16(26) + u16(28), u16(18) | u16(20) << 16);
}

// Every window of 1 to 4 consecutive blocks through ours: each output equals libbz2's when
// ours says true. With `mustDecode`, ours must also say true.
void Compare(const std::string& stream, const std::vector<TBzip2Block>& blocks, bool mustDecode,
             const std::string& name)
{
    std::vector<std::vector<uint8_t>> reference(blocks.size());
    std::vector<bool> valid(blocks.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        valid[i] = DecodeBzip2Block(Span(stream), blocks[i], SIZE_MAX, reference[i]);
        if (mustDecode) {
            ASSERT_TRUE(valid[i]) << name << " block " << i;
        }
    }
    TBzip2Scratch scratch;
    for (size_t count = 1; count <= 4; ++count) {
        for (size_t first = 0; first + count <= blocks.size(); ++first) {
            std::vector<std::vector<uint8_t>> outs(count, std::vector<uint8_t>(3, 'x'));
            const bool ok =
                DecodeBzip2BlocksFast(Span(stream), std::span(blocks).subspan(first, count), SIZE_MAX, outs, scratch);
            EXPECT_TRUE(ok || !mustDecode) << name << " blocks " << first << "+" << count;
            for (size_t k = 0; ok && k < count; ++k) {
                ASSERT_TRUE(valid[first + k]) << name << " block " << first + k << " accepted, libbz2 refuses it";
                EXPECT_TRUE(outs[k] == reference[first + k]) << name << " block " << first + k;
            }
        }
    }
}

} // namespace

TEST(Bzip2Fast, SameBlocksAsLibbz2)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    struct TCase {
        const char* Name;
        std::string Data;
        const char* Command; // from file "d" in the folder to "d.out"
        bool Zip;
    };
    const std::string text = Words(2 << 20, 1);
    const TCase cases[] = {
        {"text -1", Words(450000, 2), "bzip2 -1 -c d > d.out", false},
        {"text -9", text, "bzip2 -9 -c d > d.out", false},
        {"noise -1", NoiseBytes(300000, 4), "bzip2 -1 -c d > d.out", false},
        {"runs -1", Runs(600000, 5), "bzip2 -1 -c d > d.out", false},
        {"one long run -1", std::string(250000, 'a') + "b" + std::string(700000, 'a'), "bzip2 -1 -c d > d.out", false},
        {"one byte", "x", "bzip2 -9 -c d > d.out", false},
        {"one symbol", std::string(5000, '\0'), "bzip2 -9 -c d > d.out", false},
        {"all bytes -1", AllBytes(400000), "bzip2 -1 -c d > d.out", false},
        {"7z text", text, "7z a -tzip -mm=BZip2 -mx=5 d.out d >/dev/null", true},
        {"7z runs", Runs(500000, 6) + NoiseBytes(200000, 7), "7z a -tzip -mm=BZip2 -mx=1 d.out d >/dev/null", true},
    };
    for (const TCase& c : cases) {
        TempDir dir;
        WriteFile(dir / "d", c.Data);
        ASSERT_TRUE(RunIn(dir.Path(), c.Command)) << c.Name;
        const std::string stream = c.Zip ? ZipPayload(ReadFile(dir / "d.out")) : ReadFile(dir / "d.out");
        const auto blocks = FindBzip2Blocks(Span(stream));
        ASSERT_TRUE(blocks.has_value() && !blocks->empty()) << c.Name;
        Compare(stream, *blocks, true, c.Name);
        // and the blocks together are the data
        std::vector<std::vector<uint8_t>> outs(blocks->size());
        TBzip2Scratch scratch;
        std::string all;
        for (size_t i = 0; i < blocks->size(); ++i) {
            ASSERT_TRUE(DecodeBzip2BlocksFast(Span(stream), std::span(*blocks).subspan(i, 1), SIZE_MAX,
                                              std::span(outs).subspan(i, 1), scratch));
            all.append(outs[i].begin(), outs[i].end());
        }
        EXPECT_TRUE(all == c.Data) << c.Name;
    }
}

// Flipped bits in every part of a block (the header, the tables, the selectors, the data,
// the end), blocks cut short and blocks ending early: refused, or libbz2's bytes. A limit
// under a block's size refuses it.
TEST(Bzip2Fast, DamagedBlocks)
{
    ASSERT_TRUE(FolioTest::HaveTool("bzip2"));
    TempDir dir;
    WriteFile(dir / "d", Words(150000, 8) + Runs(100000, 9) + NoiseBytes(60000, 10));
    ASSERT_TRUE(RunIn(dir.Path(), "bzip2 -1 -c d > d.bz2"));
    const std::string stream = ReadFile(dir / "d.bz2");
    const auto found = FindBzip2Blocks(Span(stream));
    ASSERT_TRUE(found.has_value());
    const std::vector<TBzip2Block> blocks = *found;
    ASSERT_GE(blocks.size(), 3u);

    std::mt19937 g(12);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const TBzip2Block& b = blocks[i];
        // the damaged block alone and beside the next (or the one before)
        const std::vector<TBzip2Block> pair(blocks.begin() + std::min(i, blocks.size() - 2),
                                            blocks.begin() + std::min(i, blocks.size() - 2) + 2);
        const uint64_t length = b.End - b.Start;
        std::vector<uint64_t> flips;
        for (uint64_t at = 80; at < 1200 && at < length; at += 13) {
            flips.push_back(b.Start + at);
        }
        for (int k = 0; k < 40; ++k) {
            flips.push_back(b.Start + 80 + g() % (length - 80));
        }
        for (uint64_t bit = b.End - 24; bit < b.End; ++bit) {
            flips.push_back(bit);
        }
        for (const uint64_t bit : flips) {
            std::string damaged = stream;
            damaged[size_t(bit / 8)] ^= char(0x80 >> (bit % 8));
            Compare(damaged, pair, false, "flip at " + std::to_string(bit));
        }
        for (const uint64_t cut : {uint64_t(1), uint64_t(9), length / 2, length - 100}) {
            TBzip2Block early = b;
            early.End = b.End - cut;
            Compare(stream, {early}, false, "end moved back " + std::to_string(cut));
            const std::string truncated = stream.substr(0, size_t((b.End - cut) / 8));
            std::vector<std::vector<uint8_t>> outs(1);
            TBzip2Scratch scratch;
            EXPECT_FALSE(DecodeBzip2BlocksFast(Span(truncated), std::span(&b, 1), SIZE_MAX, outs, scratch));
        }
    }
    std::vector<uint8_t> whole;
    ASSERT_TRUE(DecodeBzip2Block(Span(stream), blocks[0], SIZE_MAX, whole));
    std::vector<std::vector<uint8_t>> outs(1);
    TBzip2Scratch scratch;
    EXPECT_FALSE(DecodeBzip2BlocksFast(Span(stream), std::span(blocks).first(1), whole.size() - 1, outs, scratch));
    EXPECT_TRUE(DecodeBzip2BlocksFast(Span(stream), std::span(blocks).first(1), whole.size(), outs, scratch));
}

// A block whose links form two cycles, which no encoder makes: its bytes "aba" move to the
// front as RUNA 2 2 and end, from row 1. libbz2 walks from there round the short cycle;
// walking from both ends would give "aab". With the CRC of either, ours gives libbz2's
// bytes or nothing.
TEST(Bzip2Fast, LinksInTwoCycles)
{
    for (const std::string claimed : {"aba", "aab"}) {
        std::string stream;
        uint64_t bits = 0;
        const auto put = [&](uint64_t value, unsigned count) {
            while (count-- > 0) {
                if (bits % 8 == 0) {
                    stream += '\0';
                }
                stream.back() = char(stream.back() | ((value >> count) & 1) << (7 - bits % 8));
                ++bits;
            }
        };
        put(0x314159265359, 48);
        put(FolioTest::Bzip2Crc(claimed), 32);
        put(0, 1);       // not randomised
        put(1, 24);      // the row to start from
        put(0x0200, 16); // bytes 0x60 to 0x6F in use:
        put(0x6000, 16); // 'a' and 'b'
        put(2, 3);       // two tables
        put(1, 15);      // one selector
        put(0, 1);       // table 0
        for (int table = 0; table < 2; ++table) {
            put(2, 5); // every symbol 2 bits long
            put(0, 4);
        }
        for (const unsigned symbol : {0, 2, 2, 3}) { // RUNA, 'b' to the front, 'a' to the front, end
            put(symbol, 2);
        }
        const TBzip2Block block{0, bits, FolioTest::Bzip2Crc(claimed), 1};
        stream += std::string(8, '\0');
        std::vector<uint8_t> reference;
        EXPECT_EQ(DecodeBzip2Block(Span(stream), block, SIZE_MAX, reference), claimed == "aba");
        Compare(stream, {block}, false, claimed);
    }
}
