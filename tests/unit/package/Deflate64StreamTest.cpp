// The Deflate64 decoder over entries larger than its buffer (window and chunk), so that
// the window slides with matches of up to 65538 bytes and stored blocks under way, from
// input cut down to single bytes into reads of any size; and the exact failure of streams
// that end before, after or not at all at the size claimed, without the last byte.
#include "package/ZipMethods.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

struct TStream {
    const char* What;
    std::string Payload;
    std::string Text;
};

// Text, noise that 7-Zip stores, noise repeated 30000 bytes on and a long run: more than
// the decoder's buffer, so its window slides with matches and stored blocks under way.
TStream SevenZipStream()
{
    TempDir dir;
    std::string text;
    for (int i = 0; text.size() < 250000; ++i) {
        text += "line " + std::to_string(i * 7919 % 1000) + " of the words file\n";
    }
    text += NoiseBytes(100000, 1) + NoiseBytes(30000, 2) + NoiseBytes(30000, 2) + std::string(200000, 'z');
    WriteFile(dir / "text.txt", text);
    EXPECT_TRUE(RunIn(dir.Path(), "7z a -tzip -mm=Deflate64 t.zip text.txt >/dev/null"));
    const std::string zip = ReadFile(dir / "t.zip");
    auto u16 = [&](size_t at) { return size_t(uint8_t(zip.at(at)) | uint8_t(zip.at(at + 1)) << 8); };
    const size_t start = 30 + u16(26) + u16(28);
    return {"7-Zip", zip.substr(start, u16(18) | u16(20) << 16), text};
}

// "a", then `count` matches of 65538 bytes at distance 1, in fixed codes.
TStream LongestMatches(int count)
{
    std::string bytes;
    size_t used = 0;
    auto put = [&](uint32_t value, unsigned n) { // least significant bit first
        for (unsigned i = 0; i < n; ++i, ++used) {
            if (used % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() = static_cast<char>(bytes.back() | ((value >> i) & 1) << (used % 8));
        }
    };
    auto code = [&](uint32_t value, unsigned n) { // Huffman codes go most significant bit first
        for (unsigned i = n; i-- > 0;) {
            put(value >> i, 1);
        }
    };
    put(1, 1), put(1, 2), code(0x30 + 'a', 8);
    for (int i = 0; i < count; ++i) {
        code(0xC0 + 285 - 280, 8), put(0xFFFF, 16), code(0, 5);
    }
    code(0, 7);
    return {"longest matches", bytes, std::string(1 + size_t(count) * 65538, 'a')};
}

// Reads the decoder dry in reads of `capacity`; the status, or Ok when all checked out.
ZipEntryStatus ReadThrough(const std::string& payload, size_t piece, uint64_t expected, size_t capacity,
                           std::string& got)
{
    TMethodSource source({reinterpret_cast<const uint8_t*>(payload.data()), payload.size()}, nullptr, piece);
    const auto decoder = OpenDeflate64(source, expected);
    std::string buffer(capacity, '\0');
    got.clear();
    while (const size_t n = decoder->Read(reinterpret_cast<uint8_t*>(buffer.data()), capacity)) {
        EXPECT_LE(n, capacity);
        got.append(buffer, 0, n);
    }
    uint8_t probe[1];
    EXPECT_EQ(decoder->Read(probe, 1), 0u); // once 0, always 0
    return decoder->Status();
}

} // namespace

TEST(Deflate64Stream, LargerThanItsBufferInAnyPiecesAndReads)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    for (const auto& s : {SevenZipStream(), LongestMatches(8)}) {
        for (const size_t piece : {size_t(1), size_t(5), size_t(0)}) {
            for (const size_t capacity : {size_t(1), size_t(7), size_t(65536), s.Text.size() + 1}) {
                std::string got;
                EXPECT_EQ(ReadThrough(s.Payload, piece, s.Text.size(), capacity, got), ZipEntryStatus::Ok)
                    << s.What << " pieces " << piece << " reads " << capacity;
                EXPECT_TRUE(got == s.Text) << s.What << " pieces " << piece << " reads " << capacity;
            }
        }
    }
}

// A stream that goes on past the size, ends before it or is cut off: what was given is
// the entry's start, never its last byte.
TEST(Deflate64Stream, OtherLengthsFailBeforeTheLastByte)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    const TStream streams[] = {SevenZipStream(), LongestMatches(6)};
    struct TCase {
        int Stream;
        const char* What;
        size_t Keep; // bytes of the payload kept, the rest cut off
        int64_t SizeChange;
        ZipEntryStatus Status;
    };
    const size_t all = SIZE_MAX;
    const TCase cases[] = {
        {0, "size one less", all, -1, ZipEntryStatus::SizeMismatch},
        {0, "size one more", all, 1, ZipEntryStatus::SizeMismatch},
        {0, "half cut off", streams[0].Payload.size() / 2, 0, ZipEntryStatus::Damaged},
        {1, "match past the size", all, -1, ZipEntryStatus::SizeMismatch},
        {1, "match after the size", all, -6 * 65538, ZipEntryStatus::SizeMismatch},
        {1, "end of block cut off", streams[1].Payload.size() - 1, 0, ZipEntryStatus::Damaged},
    };
    for (const auto& c : cases) {
        const TStream& s = streams[c.Stream];
        const uint64_t expected = s.Text.size() + c.SizeChange;
        for (const size_t piece : {size_t(1), size_t(0)}) {
            for (const size_t capacity : {size_t(7), s.Text.size() + 1}) {
                std::string got;
                EXPECT_EQ(ReadThrough(s.Payload.substr(0, c.Keep), piece, expected, capacity, got), c.Status)
                    << c.What << " pieces " << piece << " reads " << capacity;
                EXPECT_LT(got.size(), expected) << c.What;
                EXPECT_TRUE(s.Text.compare(0, got.size(), got) == 0) << c.What;
            }
        }
    }
}
