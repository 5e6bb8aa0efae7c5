// The method decoders read as streams: 7-Zip's entries of each method decoded from
// payloads cut into pieces of any size, into reads of any size, byte for byte; a size
// claim one short or one long of the stream fails at the end, never with a short entry.
#include "package/Bzip2Blocks.h"
#include "package/ZipArchive.h"
#include "package/ZipMethods.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

struct TEntry {
    std::string Payload;
    uint16_t Method = 0;
    uint16_t Flags = 0;
};

// The payload of the one entry of a 7z-made archive.
TEntry OnlyEntry(const std::string& zip)
{
    auto u16 = [&](size_t at) { return size_t(uint8_t(zip[at]) | uint8_t(zip[at + 1]) << 8); };
    const size_t start = 30 + u16(26) + u16(28);
    const size_t packed = u16(18) | u16(20) << 16;
    return {zip.substr(start, packed), static_cast<uint16_t>(u16(8)), static_cast<uint16_t>(u16(6))};
}

struct TOutcome {
    ZipEntryStatus Status;
    std::string Bytes;
};

TOutcome ReadThrough(const TEntry& entry, uint64_t expected, size_t piece, size_t capacity,
                     const TBzip2Settings* bzip2 = nullptr)
{
    TMethodSource source({reinterpret_cast<const uint8_t*>(entry.Payload.data()), entry.Payload.size()}, nullptr,
                         piece);
    auto decoder = bzip2 ? OpenBzip2(source, expected, *bzip2) : OpenMethod(entry.Method, entry.Flags, source, expected);
    EXPECT_NE(decoder, nullptr);
    TOutcome r{ZipEntryStatus::Damaged, {}};
    if (!decoder) {
        return r;
    }
    std::string buffer(capacity, '\0');
    while (const size_t n = decoder->Read(reinterpret_cast<uint8_t*>(buffer.data()), capacity)) {
        EXPECT_LE(n, capacity);
        r.Bytes.append(buffer, 0, n);
    }
    r.Status = decoder->Status();
    // Once ended, always ended.
    EXPECT_EQ(decoder->Read(reinterpret_cast<uint8_t*>(buffer.data()), capacity), 0u);
    return r;
}

std::string Words(size_t size)
{
    std::string text;
    const std::string noise = NoiseBytes(size, 5);
    for (size_t i = 0; text.size() < size; ++i) {
        text += "word" + std::to_string(uint8_t(noise[i]) % 97) + (i % 11 == 0 ? "\n" : " ");
    }
    text.resize(size);
    return text;
}

} // namespace

TEST(MethodStreams, AnyPiecesAnyReads)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    // Long enough for several 64 KiB windows, LZMA and PPMd states, and two bzip2 blocks
    // at level 1.
    const std::string text = Words(150000) + NoiseBytes(30000, 9) + Words(60000);
    WriteFile(dir / "src/t.txt", text);
    for (const char* method : {"Deflate64", "BZip2 -mx1", "LZMA", "LZMA -mf=bt4 -meos", "PPMd"}) {
        const std::string name = std::string(method).substr(0, std::string(method).find(' '));
        const std::string file = "../" + std::to_string(std::hash<std::string>()(method)) + ".zip";
        ASSERT_TRUE(RunIn(dir / "src", std::string("7z a -tzip -mm=") + method + " " + file + " t.txt")) << method;
        const TEntry entry = OnlyEntry(ReadFile(dir / "src" / file));
        for (const size_t piece : {size_t(1), size_t(3), size_t(4096), size_t(0)}) {
            for (const size_t capacity : {size_t(1), size_t(7), size_t(65536), text.size() + 1}) {
                if (piece == 1 && capacity == 1 && name == "PPMd") {
                    continue; // one byte at a time both ways: slow under the sanitizers, and 3/1 covers it
                }
                const auto r = ReadThrough(entry, text.size(), piece, capacity);
                EXPECT_EQ(r.Status, ZipEntryStatus::Ok) << method << " piece " << piece << " read " << capacity;
                EXPECT_TRUE(r.Bytes == text) << method << " piece " << piece << " read " << capacity;
            }
        }
        // Claims one short and one long: all but the last bytes may come, then a failure.
        for (const uint64_t claim : {uint64_t(text.size() - 1), uint64_t(text.size() + 1)}) {
            const auto r = ReadThrough(entry, claim, 4096, 65536);
            EXPECT_NE(r.Status, ZipEntryStatus::Ok) << method << " claim " << claim;
            EXPECT_LT(r.Bytes.size(), claim) << method << " claim " << claim;
            EXPECT_EQ(r.Bytes, text.substr(0, r.Bytes.size())) << method << " claim " << claim;
        }
        // Cut short.
        TEntry cut = entry;
        cut.Payload.resize(entry.Payload.size() * 2 / 3);
        EXPECT_NE(ReadThrough(cut, text.size(), 0, 65536).Status, ZipEntryStatus::Ok) << method;
    }
}

// A read of nothing gives nothing and changes nothing, before the first byte and between
// any two.
TEST(MethodStreams, ReadsOfNothing)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    const std::string text = Words(20000);
    WriteFile(dir / "src/t.txt", text);
    for (const char* method : {"Deflate64", "BZip2", "LZMA", "LZMA -meos", "PPMd"}) {
        const std::string file = "../" + std::to_string(std::hash<std::string>()(method)) + ".zip";
        ASSERT_TRUE(RunIn(dir / "src", std::string("7z a -tzip -mm=") + method + " " + file + " t.txt")) << method;
        const TEntry entry = OnlyEntry(ReadFile(dir / "src" / file));
        TMethodSource source({reinterpret_cast<const uint8_t*>(entry.Payload.data()), entry.Payload.size()});
        const auto decoder = OpenMethod(entry.Method, entry.Flags, source, text.size());
        ASSERT_NE(decoder, nullptr) << method;
        std::string bytes, buffer(4096, '\0');
        uint8_t* const to = reinterpret_cast<uint8_t*>(buffer.data());
        for (;;) {
            EXPECT_EQ(decoder->Read(to, 0), 0u) << method;
            EXPECT_EQ(decoder->Status(), ZipEntryStatus::Ok) << method << " at " << bytes.size();
            const size_t n = decoder->Read(to, buffer.size());
            if (n == 0) {
                break;
            }
            bytes.append(buffer, 0, n);
        }
        EXPECT_EQ(decoder->Status(), ZipEntryStatus::Ok) << method;
        EXPECT_TRUE(bytes == text) << method;
    }
}

// Bytes after an LZMA stream's end within the payload, which a whole decode leaves
// unread: pieces cut anywhere near the stream's end read the same.
TEST(MethodStreams, LzmaEndCutByPieces)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    const std::string text = Words(5000);
    WriteFile(dir / "src/t.txt", text);
    for (const char* method : {"LZMA", "LZMA -meos"}) {
        const std::string file = "../" + std::to_string(std::hash<std::string>()(method)) + ".zip";
        ASSERT_TRUE(RunIn(dir / "src", std::string("7z a -tzip -mm=") + method + " " + file + " t.txt")) << method;
        TEntry entry = OnlyEntry(ReadFile(dir / "src" / file));
        const size_t end = entry.Payload.size();
        entry.Payload += NoiseBytes(100, 3);
        for (const size_t piece : {end, end - 1, end - 2, end - 4, end - 6, end / 2, size_t(1), size_t(0)}) {
            const auto r = ReadThrough(entry, text.size(), piece, 4096);
            EXPECT_EQ(r.Status, ZipEntryStatus::Ok) << method << " piece " << piece;
            EXPECT_TRUE(r.Bytes == text) << method << " piece " << piece;
        }
    }
}

// bzip2's blocks decoded ahead on threads, handed out in small reads; a reader that
// stops halfway ends its threads (the sanitizers see to the rest).
TEST(MethodStreams, Bzip2BlocksOnThreadsInSmallReads)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    const std::string text = Words(700000) + NoiseBytes(200000, 3);
    WriteFile(dir / "src/t.txt", text);
    ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=BZip2 -mx1 ../b.zip t.txt"));
    const TEntry entry = OnlyEntry(ReadFile(dir / "b.zip"));
    for (const unsigned threads : {1u, 2u, 4u}) {
        const TBzip2Settings settings{threads, 0};
        const auto r = ReadThrough(entry, text.size(), 0, 4099, &settings);
        EXPECT_EQ(r.Status, ZipEntryStatus::Ok) << threads;
        EXPECT_TRUE(r.Bytes == text) << threads;

        TMethodSource source({reinterpret_cast<const uint8_t*>(entry.Payload.data()), entry.Payload.size()});
        auto decoder = OpenBzip2(source, text.size(), settings);
        ASSERT_NE(decoder, nullptr);
        std::string some(150000, '\0');
        ASSERT_EQ(decoder->Read(reinterpret_cast<uint8_t*>(some.data()), some.size()), some.size());
        EXPECT_TRUE(some == text.substr(0, some.size())) << threads;
    }
}
