// The PPMd decoder read as a stream: an entry 7-Zip made, plain and encrypted, through
// payload pieces down to single bytes and reads down to single bytes; a stream that
// goes on past the entry's size, one with a byte after its end and cut-short ones, each
// refused (at the entry's last byte where the stream itself is whole).
#include "package/ZipMethods.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

constexpr size_t kWhole = 0; // a piece or read size: as large as there is

// Words of random letters, and a 1 MiB model of order 16 that they fill: the model
// restarts several times over the entry.
std::string Words()
{
    std::string text = NoiseBytes(150000, 7);
    for (auto& c : text) {
        c = "etaoinshrdlucmfwypvbgkjqxz     \n"[uint8_t(c) % 32];
    }
    return text;
}

struct TEntry {
    std::string Text;
    std::string Payload; // after the encryption header, if any
    bool Encrypted;
};

// The text packed by 7-Zip as the only entry of an archive, its payload cut out after
// the local header (7-Zip writes the sizes there).
TEntry SevenZipEntry(const TempDir& dir, bool encrypted)
{
    TEntry entry{Words(), "", encrypted};
    WriteFile(dir / "words.txt", entry.Text);
    const std::string zip = encrypted ? "crypt.zip" : "plain.zip";
    const std::string options = encrypted ? " -mem=ZipCrypto -ppa55" : "";
    EXPECT_TRUE(RunIn(dir.Path(), "7z a -tzip -mm=PPMd -mo=16 -mmem=1m" + options + " " + zip + " words.txt"));
    const std::string data = ReadFile(dir / zip);
    auto u16 = [&](size_t at) { return size_t(uint8_t(data.at(at))) | size_t(uint8_t(data.at(at + 1))) << 8; };
    EXPECT_EQ(u16(8), 98u);
    const size_t start = 30 + u16(26) + u16(28);
    const size_t packed = u16(18) | u16(20) << 16;
    entry.Payload = data.substr(start, packed);
    return entry;
}

struct TRun {
    std::string Given;
    size_t Reads = 0; // that gave bytes
    ZipEntryStatus Status;
};

// Decodes `payload` (encrypted or not as the entry) as an entry of `expected` bytes,
// the source cut into pieces of `piece` bytes, read `capacity` bytes at a time, up to
// the read that gives 0; that one must stay 0.
TRun Decode(const TEntry& entry, std::string_view payload, uint64_t expected, size_t piece, size_t capacity)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(payload.data());
    std::optional<TZipKeys> keys;
    if (entry.Encrypted) {
        keys.emplace("pa55");
        uint8_t header[12];
        keys->DecryptBlock(bytes, header, sizeof header);
        bytes += sizeof header;
        payload.remove_prefix(sizeof header);
    }
    TMethodSource source({bytes, payload.size()}, keys ? &*keys : nullptr, piece);
    const auto decoder = OpenPpmd(source, expected);
    EXPECT_NE(decoder, nullptr);
    TRun run;
    std::vector<uint8_t> buffer(capacity == kWhole ? expected + 1 : capacity);
    for (;;) {
        const size_t n = decoder->Read(buffer.data(), buffer.size());
        if (n == 0) {
            break;
        }
        run.Given.append(buffer.begin(), buffer.begin() + long(n));
        ++run.Reads;
    }
    run.Status = decoder->Status();
    EXPECT_EQ(decoder->Read(buffer.data(), buffer.size()), 0u);
    EXPECT_EQ(decoder->Status(), run.Status);
    return run;
}

} // namespace

TEST(PpmdStream, SevenZipEntryInAnyPiecesAndReads)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    for (const bool encrypted : {false, true}) {
        const TEntry entry = SevenZipEntry(dir, encrypted);
        ASSERT_GT(entry.Payload.size(), size_t(1) << 16) << "an encrypted payload should span pieces of 64 KiB";
        for (const size_t piece : {size_t(1), size_t(3), kWhole}) {
            for (const size_t capacity : {size_t(1), size_t(7), size_t(65536), kWhole}) {
                const std::string what = (encrypted ? "encrypted" : "plain") + std::string(", pieces of ") +
                                         std::to_string(piece) + ", reads of " + std::to_string(capacity);
                const TRun run = Decode(entry, entry.Payload, entry.Text.size(), piece, capacity);
                EXPECT_EQ(run.Status, ZipEntryStatus::Ok) << what;
                EXPECT_TRUE(run.Given == entry.Text) << what;
                if (capacity != kWhole) {
                    EXPECT_EQ(run.Reads, (entry.Text.size() + capacity - 1) / capacity) << what;
                }
            }
        }
    }
}

TEST(PpmdStream, LongShortAndTrailingStreamsRefused)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    const TEntry entry = SevenZipEntry(dir, false);
    const std::string& payload = entry.Payload;
    const uint64_t size = entry.Text.size();
    struct TCase {
        const char* What;
        std::string Payload;
        uint64_t Expected;
        ZipEntryStatus Status;
        bool AtLastByte; // the failure withholds only the read that gives the last byte
    };
    const TCase cases[] = {
        {"claims a byte less", payload, size - 1, ZipEntryStatus::SizeMismatch, true},
        {"claims a byte more", payload, size + 1, ZipEntryStatus::SizeMismatch, false},
        {"a byte after the end", payload + '\0', size, ZipEntryStatus::Damaged, true},
        // The zero read in place of the missing byte makes the end mark one more symbol.
        {"cut by its last byte", payload.substr(0, payload.size() - 1), size, ZipEntryStatus::SizeMismatch, false},
        {"cut in half", payload.substr(0, payload.size() / 2), size, ZipEntryStatus::Damaged, false},
        {"cut inside the parameter word", payload.substr(0, 1), size, ZipEntryStatus::Damaged, false},
    };
    for (const auto& c : cases) {
        for (const size_t piece : {size_t(1), kWhole}) {
            for (const size_t capacity : {size_t(1), kWhole}) {
                const std::string what = c.What + std::string(", pieces of ") + std::to_string(piece) +
                                         ", reads of " + std::to_string(capacity);
                const TRun run = Decode(entry, c.Payload, c.Expected, piece, capacity);
                EXPECT_EQ(run.Status, c.Status) << what;
                EXPECT_TRUE(entry.Text.starts_with(run.Given)) << what;
                if (c.AtLastByte) {
                    EXPECT_EQ(run.Given.size(), capacity == kWhole ? 0 : c.Expected - 1) << what;
                } else {
                    EXPECT_LT(run.Given.size(), c.Expected) << what;
                }
            }
        }
    }
}
