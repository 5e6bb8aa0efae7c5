// Our own bzip2 decoder on blocks written here bit by bit, at the edges of what libbz2
// takes and past them: a block ours takes gives libbz2's bytes, one to four a call.
#include "package/Bzip2Blocks.h"
#include "package/Bzip2Fast.h"
#include "tests/support/Bzip2Crc.h"

#include <gtest/gtest.h>

#include <bit>
#include <numeric>
#include <string>

using namespace Folio::Shared;

namespace {

std::span<const uint8_t> Span(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A block written from its parts, any of them odd: the bytes in use, move-to-front symbols
// (the end symbol among them, or not), the row to start from, the code lengths of each
// table and the selectors as move-to-front indices.
struct THandBlock {
    const char* Name;
    std::vector<uint8_t> Used;
    std::vector<unsigned> Symbols;
    uint32_t Origin = 0;
    uint8_t Level = 1;
    unsigned Groups = 2;
    std::vector<std::vector<uint8_t>> Lengths; // a table's; none: every code as long as the widest symbol
    std::vector<unsigned> Selectors;           // none: table 0 for every 50 symbols
    bool Ours = true;                          // false: left to libbz2 when it takes it
};

struct TBits {
    std::string Bytes;
    uint64_t Count = 0;
    void Put(uint64_t value, unsigned count)
    {
        while (count-- > 0) {
            if (Count % 8 == 0) {
                Bytes += '\0';
            }
            Bytes.back() = char(Bytes.back() | ((value >> count) & 1) << (7 - Count % 8));
            ++Count;
        }
    }
};

// The bytes the block stands for, the plain way: move-to-front, the walk forwards from the
// start row as libbz2 walks, run-length decoding.
std::string Plain(const THandBlock& h)
{
    std::vector<uint8_t> front = h.Used, bytes;
    uint64_t run = 0, weight = 1;
    for (const unsigned s : h.Symbols) {
        if (s <= 1) {
            run += weight << s;
            weight <<= 1;
            continue;
        }
        bytes.insert(bytes.end(), std::min<uint64_t>(run, 900001), front[0]);
        run = 0;
        weight = 1;
        if (s >= front.size() + 1) {
            break;
        }
        const uint8_t b = front[s - 1];
        front.erase(front.begin() + s - 1);
        front.insert(front.begin(), b);
        bytes.push_back(b);
    }
    if (h.Origin >= bytes.size()) {
        return {};
    }
    std::vector<uint32_t> next(bytes.size());
    uint32_t start[257] = {};
    for (const uint8_t b : bytes) {
        ++start[b + 1];
    }
    for (int b = 0; b < 256; ++b) {
        start[b + 1] += start[b];
    }
    for (uint32_t i = 0; i < bytes.size(); ++i) {
        next[start[bytes[i]]++] = i;
    }
    std::string walked;
    for (uint32_t k = 0, pos = next[h.Origin]; k < bytes.size(); ++k, pos = next[pos]) {
        walked += char(bytes[pos]);
    }
    std::string out;
    for (size_t i = 0, same = 0; i < walked.size(); ++i) {
        same = !out.empty() && same < 4 && walked[i] == out.back() ? same + 1 : 1;
        out += walked[i];
        if (same == 4 && i + 1 < walked.size()) {
            const char c = walked[i];
            out.append(uint8_t(walked[++i]), c);
            same = 0;
        }
    }
    return out;
}

void Write(TBits& bits, const THandBlock& h)
{
    bits.Put(0x314159265359, 48);
    bits.Put(FolioTest::Bzip2Crc(Plain(h)), 32);
    bits.Put(0, 1);
    bits.Put(h.Origin, 24);
    uint32_t ranges = 0, maps[16] = {};
    for (const uint8_t b : h.Used) {
        ranges |= 0x8000u >> (b / 16);
        maps[b / 16] |= 0x8000u >> (b % 16);
    }
    bits.Put(ranges, 16);
    for (unsigned r = 0; r < 16; ++r) {
        if (ranges & (0x8000u >> r)) {
            bits.Put(maps[r], 16);
        }
    }
    const unsigned alpha = unsigned(h.Used.size()) + 2;
    std::vector<unsigned> selectors = h.Selectors;
    if (selectors.empty()) {
        selectors.assign(std::max<size_t>(1, (h.Symbols.size() + 49) / 50), 0);
    }
    bits.Put(h.Groups, 3);
    bits.Put(selectors.size(), 15);
    for (const unsigned j : selectors) {
        bits.Put((uint64_t(1) << (j + 1)) - 2, j + 1);
    }
    std::vector<std::vector<uint8_t>> lengths;
    for (unsigned t = 0; t < h.Groups; ++t) {
        lengths.push_back(h.Lengths.empty() ? std::vector<uint8_t>(alpha, uint8_t(std::bit_width(alpha - 1)))
                                            : h.Lengths[t % h.Lengths.size()]);
        bits.Put(lengths[t][0], 5);
        for (unsigned s = 0, l = lengths[t][0]; s < alpha; ++s) {
            for (; l < lengths[t][s]; ++l) {
                bits.Put(2, 2);
            }
            for (; l > lengths[t][s]; --l) {
                bits.Put(3, 2);
            }
            bits.Put(0, 1);
        }
    }
    // canonical codes of each table; the selectors moved to the front as the decoders do
    std::vector<unsigned> order = {0, 1, 2, 3, 4, 5}, tables;
    for (const unsigned j : selectors) {
        const unsigned t = order[std::min(j, 5u)];
        order.erase(order.begin() + std::min(j, 5u));
        order.insert(order.begin(), t);
        tables.push_back(std::min(t, h.Groups - 1));
    }
    for (size_t i = 0; i < h.Symbols.size(); ++i) {
        const std::vector<uint8_t>& lens = lengths[tables[std::min(i / 50, tables.size() - 1)]];
        uint32_t code = 0;
        for (unsigned l = 1; l <= 20; ++l, code <<= 1) {
            for (unsigned s = 0; s < alpha; ++s) {
                if (lens[s] == l && s == h.Symbols[i]) {
                    bits.Put(code, l);
                }
                code += lens[s] == l;
            }
        }
    }
}

// Bijective base 2 with RUNA = 0, RUNB = 1: a run of `n` of the front byte.
std::vector<unsigned> RunOf(uint64_t n, std::vector<unsigned> then = {})
{
    std::vector<unsigned> s;
    for (; n > 0; n = (n - 1) / 2) {
        s.push_back((n - 1) % 2);
    }
    s.insert(s.end(), then.begin(), then.end());
    return s;
}

} // namespace

// Blocks at the edges of what libbz2 takes, next to each other at odd bit positions and
// the input ending with the last: windows of one to four of them (blocks of level 9 and 1
// in turn through the same scratch memory) give libbz2's bytes or are refused.
TEST(Bzip2Fast, HandMadeBlocks)
{
    const std::vector<uint8_t> ab = {'a', 'b'}, a = {'a'};
    std::vector<uint8_t> all(256), nineteen(19);
    for (int b = 0; b < 256; ++b) {
        all[b] = uint8_t(b);
    }
    std::iota(nineteen.begin(), nineteen.end(), uint8_t(40));
    std::vector<unsigned> everyByte; // indices all over the list, then a run
    for (unsigned k = 0; k < 600; ++k) {
        everyByte.push_back(2 + (k * 97) % 255);
    }
    everyByte.push_back(0);
    everyByte.push_back(257);
    std::vector<uint8_t> longest(21); // 1, 2, .. 20, 20: a whole code up to 20 bits
    std::iota(longest.begin(), longest.end(), uint8_t(1));
    longest[20] = 20;
    std::vector<uint8_t> tooLong = longest;
    tooLong[20] = 21;
    std::vector<unsigned> deep;
    for (unsigned k = 0; k < 300; ++k) {
        deep.push_back((k * 7) % 20);
    }
    deep.push_back(20);
    const THandBlock cases[] = {
        {"two cycles", ab, {0, 2, 2, 3}, 1},
        {"two cycles, origin 0", ab, {0, 2, 2, 3}, 0},
        {"empty", ab, {3}, 0},
        {"origin last", ab, {2, 0, 2, 1, 2, 3}, 5},
        {"origin past the end", ab, {2, 0, 2, 3}, 4},
        {"one byte", a, {0, 2}, 0},
        {"three equal", a, RunOf(3, {2}), 1},
        {"four equal, no count", a, RunOf(4, {2}), 2},
        {"four equal and a count", a, RunOf(5, {2}), 4},
        {"a whole level 1 block", a, RunOf(100000, {2}), 99999},
        {"one more", a, RunOf(100001, {2}), 0},
        {"whole, then a byte", ab, RunOf(100000, {2, 3}), 0},
        {"run over 2^21", a, RunOf(uint64_t(1) << 22, {2}), 0},
        {"a whole level 9 block", ab, RunOf(899999, {2, 3}), 5, 9},
        {"every byte", all, everyByte, 7, 9, 6},
        {"no end symbol", ab, {2, 0}, 0},
        {"codes of 1 to 20 bits", nineteen, deep, 3, 1, 2, {longest}},
        {"a code of 21 bits", nineteen, deep, 3, 1, 2, {tooLong}},
        {"a code of 0 bits", ab, {2, 3}, 0, 1, 2, {{0, 2, 2, 2}}},
        {"codes of 1 bit, too many", ab, {2, 3}, 0, 1, 2, {{1, 1, 1, 1}}},
        {"incomplete codes", ab, {2, 0, 3}, 1, 1, 2, {{3, 3, 5, 7}}},
        {"six tables in turn", nineteen, deep, 9, 1, 6, {longest, std::vector<uint8_t>(21, 5)}, {0, 1, 2, 3, 4, 5, 2}},
        {"a selector past the tables", ab, {2, 3}, 0, 1, 2, {}, {2}},
        {"too few selectors", nineteen, deep, 9, 1, 2, {}, {0}},
        {"18002 selectors", ab, {2, 3}, 0, 1, 2, {}, std::vector<unsigned>(18002, 1)},
        {"32767 selectors", ab, {2, 3}, 0, 1, 2, {}, std::vector<unsigned>(32767, 0), false},
        {"one group", ab, {2, 3}, 0, 1, 1},
        {"seven groups", ab, {2, 3}, 0, 1, 7},
    };
    TBits bits;
    bits.Put(5, 3);
    std::vector<TBzip2Block> blocks;
    for (const THandBlock& h : cases) {
        const uint64_t start = bits.Count;
        Write(bits, h);
        blocks.push_back({start, bits.Count, FolioTest::Bzip2Crc(Plain(h)), h.Level});
    }
    std::vector<std::vector<uint8_t>> reference(blocks.size());
    std::vector<bool> valid(blocks.size());
    TBzip2Scratch scratch;
    for (size_t i = 0; i < blocks.size(); ++i) {
        // the reference here agrees with libbz2 where it takes the block
        valid[i] = DecodeBzip2Block(Span(bits.Bytes), blocks[i], SIZE_MAX, reference[i]);
        if (valid[i]) {
            EXPECT_TRUE(std::string(reference[i].begin(), reference[i].end()) == Plain(cases[i])) << cases[i].Name;
        }
        // walked forwards only (three blocks a call), ours takes just the blocks libbz2 takes,
        // whatever cycles their links form
        const std::vector<TBzip2Block> three(3, blocks[i]);
        std::vector<std::vector<uint8_t>> outs(3);
        EXPECT_EQ(DecodeBzip2BlocksFast(Span(bits.Bytes), three, SIZE_MAX, outs, scratch), valid[i] && cases[i].Ours)
            << cases[i].Name;
    }
    for (size_t count = 1; count <= 4; ++count) {
        for (size_t first = 0; first + count <= blocks.size(); ++first) {
            std::vector<std::vector<uint8_t>> outs(count, std::vector<uint8_t>(3, 'x'));
            if (!DecodeBzip2BlocksFast(Span(bits.Bytes), std::span(blocks).subspan(first, count), SIZE_MAX, outs,
                                       scratch)) {
                continue;
            }
            for (size_t k = 0; k < count; ++k) {
                const size_t i = first + k;
                EXPECT_TRUE(valid[i] && outs[k] == reference[i]) << cases[i].Name << ", " << count << " a call";
            }
        }
    }
}
