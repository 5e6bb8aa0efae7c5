// Range requests and streamed bodies: the exact bytes and headers of each answer, for
// entries and disk files read whole and streamed through a source (the same table both
// ways), over a stored encrypted entry that spans several 64 KB checkpoints and a disk
// file of the same bytes; disk files read only in the part answered, however large.
#include "browser/RequestServing.h"
#include "browser/StreamedBody.h"

#include "package/ZipWriter.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace Folio::Browser;
using Folio::Shared::TZipArchive;
using Folio::Shared::TZipWriter;
using Folio::Shared::Utf16ToUtf8;
using Folio::Shared::Utf8ToUtf16;
using Folio::Shared::ZipError;

namespace {

const std::string kPassword = "range-Pa55";
constexpr size_t kClipSize = 300000; // a few checkpoints, and a tail that ends mid-block

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

std::string StoredPackage(const std::vector<std::pair<std::string, std::string>>& files)
{
    std::ostringstream out;
    TZipWriter writer(out, {kPassword, false});
    for (const auto& [name, bytes] : files) {
        writer.AddBytes(name, bytes, TZipWriter::DosDateTime(1600000000));
    }
    writer.Finish();
    return out.str();
}

// The body as the browser gets it: the bytes, or read through the stream in pieces
// of an odd size. Nothing when the streamed read fails.
std::optional<std::string> BodyOf(const TServedResponse& r)
{
    if (!r.Source) {
        return std::string(r.Body.begin(), r.Body.end());
    }
    TStreamedBody body(r.Source, r.SourceStart, r.SourceLength);
    std::string out;
    std::vector<uint8_t> piece(7001);
    for (size_t read = 0;; out.append(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(read))) {
        if (!body.Read(piece.data(), piece.size(), read)) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
    }
    EXPECT_EQ(out.size(), body.Size());
    return out;
}

} // namespace

// One package of each kind and a disk beside them, for every test.
class RangeServing : public ::testing::Test {
protected:
    std::string Clip = FolioTest::NoiseBytes(kClipSize, 11);
    std::string Packed = FolioTest::NoiseBytes(100000, 12);
    std::string Stored = StoredPackage({{"app/clip.mp4", Clip}, {"app/small.txt", "0123456789"}});
    std::string Deflated = FolioTest::BuildZip({FolioTest::Deflated("app/packed.bin", Packed)}).Bytes;
    TZipArchive StoredZip, DeflatedZip;
    FolioTest::MemoryFileSystem Disk;

    RangeServing()
    {
        StoredZip.SetPasswordBytes(kPassword);
        EXPECT_EQ(StoredZip.Open(Span(Stored)), ZipError::None);
        EXPECT_EQ(DeflatedZip.Open(Span(Deflated)), ZipError::None);
        Disk.Files[u"C:\\App\\disk.txt"] = "abcdefghij";
        Disk.Files[u"C:\\App\\disk.mp4"] = Clip;
    }

    TServingContext Context(const TZipArchive& zip, uint64_t streamAbove)
    {
        TServingContext ctx;
        ctx.Archive = &zip;
        ctx.AppDirName = u"app";
        ctx.AppDirPath = u"C:\\App\\";
        ctx.FileSystem = &Disk;
        ctx.DiskFilesAllowed = true;
        ctx.StreamAbove = streamAbove;
        return ctx;
    }
};

namespace {

const std::u16string kBinary = u"Content-Type: application/octet-stream; charset=utf-8";
const std::u16string kRanges = u"\r\nAccept-Ranges: bytes";

std::u16string Partial(uint64_t first, uint64_t last, uint64_t size)
{
    return Utf8ToUtf16("\r\nContent-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                       std::to_string(size) + "\r\nContent-Length: " + std::to_string(last - first + 1));
}

} // namespace

TEST_F(RangeServing, ExactBytesForEachRange)
{
    const std::string& clip = Clip;
    const std::u16string mp4 = u"Content-Type: " + ServedMimeType(u"clip.mp4") + u"; charset=utf-8";
    const std::u16string text = u"Content-Type: text/plain; charset=utf-8";
    const std::u16string clipSize = u"300000";
    enum Source { StoredEntry, DeflatedEntry, DiskFile };
    struct Case {
        Source source;
        std::u16string uri, range;
        int status;
        std::string body;
        std::u16string headers; // a streamed 200 adds its Content-Length
    };
    const Case cases[] = {
        {StoredEntry, u"file:///clip.mp4", u"", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=0-99", 206, clip.substr(0, 100), mp4 + kRanges + Partial(0, 99, kClipSize)},
        // across the first checkpoint, then one in the middle, then the end
        {StoredEntry, u"file:///clip.mp4", u"bytes=65530-65545", 206, clip.substr(65530, 16),
         mp4 + kRanges + Partial(65530, 65545, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"bytes=150000-150099", 206, clip.substr(150000, 100),
         mp4 + kRanges + Partial(150000, 150099, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"bytes=299990-299999", 206, clip.substr(299990),
         mp4 + kRanges + Partial(299990, 299999, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"bytes=-10", 206, clip.substr(kClipSize - 10),
         mp4 + kRanges + Partial(299990, 299999, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"bytes=-400000", 206, clip, mp4 + kRanges + Partial(0, 299999, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"bytes=200000-", 206, clip.substr(200000),
         mp4 + kRanges + Partial(200000, 299999, kClipSize)},
        {StoredEntry, u"file:///clip.mp4", u"BYTES = 250000-999999", 206, clip.substr(250000),
         mp4 + kRanges + Partial(250000, 299999, kClipSize)},
        // beyond the end
        {StoredEntry, u"file:///clip.mp4", u"bytes=300000-", 416, "", u"Content-Range: bytes */" + clipSize + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=300000-300001", 416, "", u"Content-Range: bytes */" + clipSize + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=-0", 416, "", u"Content-Range: bytes */" + clipSize + kRanges},
        // what is not one range of bytes asks for the whole file
        {StoredEntry, u"file:///clip.mp4", u"bytes=0-1,5-6", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=5-1", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=x-", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=-", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"items=0-5", 200, clip, mp4 + kRanges},
        {StoredEntry, u"file:///clip.mp4", u"bytes=99999999999999999999-", 200, clip, mp4 + kRanges},
        // a small entry, a compressed one (which cannot seek), a file of the disk
        {StoredEntry, u"file:///small.txt", u"bytes=2-4", 206, "234", text + kRanges + Partial(2, 4, 10)},
        {StoredEntry, u"file:///small.txt", u"bytes=10-", 416, "", u"Content-Range: bytes */10" + kRanges},
        {DeflatedEntry, u"file:///packed.bin", u"bytes=0-9", 200, Packed, kBinary},
        {DeflatedEntry, u"file:///packed.bin", u"bytes=999999-", 200, Packed, kBinary},
        {DiskFile, u"file:///disk.txt", u"bytes=-3", 206, "hij", text + kRanges + Partial(7, 9, 10)},
        {DiskFile, u"file:///disk.txt", u"", 200, "abcdefghij", text + kRanges},
        {DiskFile, u"file:///disk.mp4", u"", 200, clip, mp4 + kRanges},
        {DiskFile, u"file:///disk.mp4", u"bytes=150000-150099", 206, clip.substr(150000, 100),
         mp4 + kRanges + Partial(150000, 150099, kClipSize)},
        {DiskFile, u"file:///disk.mp4", u"bytes=-10", 206, clip.substr(kClipSize - 10),
         mp4 + kRanges + Partial(299990, 299999, kClipSize)},
        {DiskFile, u"file:///disk.mp4", u"bytes=300000-", 416, "", u"Content-Range: bytes */" + clipSize + kRanges},
        {DiskFile, u"file:///disk.mp4", u"bytes=0-1,5-6", 200, clip, mp4 + kRanges},
    };
    // Read whole (the default for small entries), then streamed through readers: the
    // streamed ranges after the first full read seek through its checkpoints.
    for (const bool streamed : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE((streamed ? "streamed " : "whole ") + Utf16ToUtf8(c.uri + u" " + c.range));
            TServingContext ctx = Context(c.source == DeflatedEntry ? DeflatedZip : StoredZip, streamed ? 0 : 1 << 20);
            ctx.Range = c.range;
            Disk.BytesRead = 0;
            const auto r = ServeFileRequest(c.uri, ctx);
            ASSERT_TRUE(r.has_value());
            EXPECT_EQ(r->StatusCode, c.status);
            EXPECT_EQ(r->ReasonPhrase, c.status == 200 ? u"OK" : c.status == 206 ? u"Partial Content" : u"Range Not Satisfiable");
            std::u16string headers = c.headers;
            if (streamed && c.status == 200) {
                headers += Utf8ToUtf16("\r\nContent-Length: " + std::to_string(c.body.size()));
            }
            EXPECT_EQ(r->Headers, headers);
            EXPECT_EQ(r->Source != nullptr, streamed && c.status != 416);
            const auto body = BodyOf(*r);
            ASSERT_TRUE(body.has_value());
            EXPECT_TRUE(*body == c.body) << body->size() << " bytes";
            // Of a disk file, only the bytes answered are read.
            EXPECT_EQ(Disk.BytesRead, c.source == DiskFile ? c.body.size() : 0u);
        }
    }
}

TEST_F(RangeServing, ReadersOnTwoThreadsAtOnceAndSeeks)
{
    TServingContext ctx = Context(StoredZip, 0);
    const auto a = ServeFileRequest(u"file:///clip.mp4", ctx);
    const auto b = ServeFileRequest(u"file:///clip.mp4", ctx);
    ASSERT_TRUE(a && b && a->Source && b->Source);
    std::optional<std::string> first, second;
    std::thread one([&] { first = BodyOf(*a); });
    std::thread two([&] { second = BodyOf(*b); });
    one.join();
    two.join();
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(*first == Clip);
    EXPECT_TRUE(*second == Clip);

    // Back and forth inside one body; a seek past its end is refused.
    TStreamedBody body(a->Source, 1000, 200000);
    std::vector<uint8_t> piece(50);
    size_t read = 0;
    for (const uint64_t at : {150000u, 10u, 199990u, 70000u}) {
        ASSERT_TRUE(body.Seek(at));
        ASSERT_TRUE(body.Read(piece.data(), piece.size(), read));
        const size_t expected = std::min<size_t>(50, 200000 - at);
        ASSERT_EQ(read, expected);
        EXPECT_TRUE(std::string(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(read)) ==
                    Clip.substr(1000 + at, expected));
        EXPECT_EQ(body.Position(), at + expected);
    }
    EXPECT_FALSE(body.Seek(200001));
}

TEST_F(RangeServing, DamagedStreamedEntryBreaksTheBody)
{
    // One byte of the clip's encrypted data changed: the CRC fails at its end.
    std::string damaged = Stored;
    damaged[damaged.size() / 3] ^= 0x40;
    TZipArchive zip;
    zip.SetPasswordBytes(kPassword);
    ASSERT_EQ(zip.Open(Span(damaged)), ZipError::None);
    for (const uint64_t streamAbove : {uint64_t{0}, uint64_t{1} << 20}) {
        SCOPED_TRACE(streamAbove);
        TServingContext ctx = Context(zip, streamAbove);
        const auto r = ServeFileRequest(u"file:///clip.mp4", ctx);
        ASSERT_TRUE(r.has_value());
        if (streamAbove == 0) {
            EXPECT_EQ(r->StatusCode, 200); // found out only at the end of the read
            EXPECT_FALSE(BodyOf(*r).has_value());
        } else {
            EXPECT_EQ(r->StatusCode, 500); // read whole first: never partial
            EXPECT_TRUE(r->Body.empty());
        }
    }
}

// A file of 6 GiB, larger than 32 bits count and than memory would hold: a range of it
// reads that range and nothing more, and the whole file goes out streamed.
TEST_F(RangeServing, HugeDiskFileReadOnlyInThePartAnswered)
{
    constexpr uint64_t kHuge = uint64_t{6} << 30;
    Disk.Generated[u"C:\\App\\huge.mp4"] = kHuge;
    const std::u16string mp4 = u"Content-Type: " + ServedMimeType(u"huge.mp4") + u"; charset=utf-8";
    const auto expected = [](uint64_t first, uint64_t count) {
        std::string bytes;
        for (uint64_t i = first; i < first + count; ++i) {
            bytes.push_back(static_cast<char>(FolioTest::MemoryFileSystem::GeneratedByte(i)));
        }
        return bytes;
    };
    const struct {
        std::u16string range;
        uint64_t first, count;
    } cases[] = {
        {u"bytes=5000000000-5000000999", 5000000000, 1000},
        {u"bytes=4294967290-4294967301", 4294967290, 12}, // across 4 GiB
        {u"bytes=-70000", kHuge - 70000, 70000},
        {u"bytes=10-19", 10, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.range));
        TServingContext ctx = Context(StoredZip, kStreamedEntryMinimum);
        ctx.Range = c.range;
        Disk.BytesRead = 0;
        const auto r = ServeFileRequest(u"file:///huge.mp4", ctx);
        ASSERT_TRUE(r.has_value());
        ASSERT_EQ(r->StatusCode, 206);
        EXPECT_EQ(r->Headers, mp4 + kRanges + Partial(c.first, c.first + c.count - 1, kHuge));
        const auto body = BodyOf(*r);
        ASSERT_TRUE(body.has_value());
        EXPECT_TRUE(*body == expected(c.first, c.count));
        EXPECT_EQ(Disk.BytesRead, c.count);
    }

    // The whole file: streamed with its length, nothing read until the browser reads.
    TServingContext ctx = Context(StoredZip, kStreamedEntryMinimum);
    Disk.BytesRead = 0;
    const auto r = ServeFileRequest(u"file:///huge.mp4", ctx);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->StatusCode, 200);
    EXPECT_EQ(r->Headers, mp4 + kRanges + u"\r\nContent-Length: 6442450944");
    ASSERT_TRUE(r->Source);
    EXPECT_EQ(r->SourceLength, kHuge);
    EXPECT_EQ(Disk.BytesRead, 0u);
    TStreamedBody body(r->Source, r->SourceStart, r->SourceLength);
    std::vector<uint8_t> piece(65536);
    size_t read = 0;
    ASSERT_TRUE(body.Seek(kHuge - 100));
    ASSERT_TRUE(body.Read(piece.data(), piece.size(), read));
    EXPECT_TRUE(std::string(piece.begin(), piece.begin() + static_cast<ptrdiff_t>(read)) == expected(kHuge - 100, 100));
    EXPECT_EQ(Disk.BytesRead, 100u);
}

// A streamed disk file that becomes shorter than it was, or goes away, while the
// browser reads it: the read fails rather than give fewer bytes or others.
TEST_F(RangeServing, DiskFileThatShrinksOrGoesBreaksTheBody)
{
    const std::u16string path = u"C:\\App\\disk.mp4";
    for (const bool removed : {false, true}) {
        SCOPED_TRACE(removed ? "removed" : "shortened");
        Disk.Files[path] = Clip;
        const auto r = ServeFileRequest(u"file:///disk.mp4", Context(StoredZip, 0));
        ASSERT_TRUE(r && r->Source);
        TStreamedBody body(r->Source, r->SourceStart, r->SourceLength);
        std::vector<uint8_t> piece(100000);
        size_t read = 0;
        ASSERT_TRUE(body.Read(piece.data(), piece.size(), read));
        ASSERT_EQ(read, piece.size());
        EXPECT_TRUE(std::string(piece.begin(), piece.end()) == Clip.substr(0, 100000));
        if (removed) {
            Disk.Files.erase(path);
        } else {
            Disk.Files[path].resize(150000);
        }
        EXPECT_FALSE(body.Read(piece.data(), piece.size(), read));
        EXPECT_EQ(read, 0u);
        EXPECT_TRUE(body.Failed());
        // Back to bytes that are still there: the body stays broken.
        ASSERT_TRUE(body.Seek(0));
        EXPECT_FALSE(body.Read(piece.data(), 10, read));
    }
}

TEST(RangeHeader, PositionsUpToTheLargestNumber)
{
    // Every position a Content-Range can name parses, the largest included; one more does not.
    const struct {
        std::u16string header;
        uint64_t size;
        TByteRange::TKind kind;
        uint64_t first, last;
    } cases[] = {
        {u"bytes=0-18446744073709551615", 10, TByteRange::TKind::Part, 0, 9},
        {u"bytes=140-18446744073709551614", UINT64_MAX, TByteRange::TKind::Part, 140, UINT64_MAX - 1},
        {u"bytes=18446744073709551614-", UINT64_MAX, TByteRange::TKind::Part, UINT64_MAX - 1, UINT64_MAX - 1},
        {u"bytes=-18446744073709551615", 10, TByteRange::TKind::Part, 0, 9},
        {u"bytes=0-18446744073709551616", 10, TByteRange::TKind::Whole, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.header));
        const TByteRange r = ParseRangeHeader(c.header, c.size);
        EXPECT_EQ(r.Kind, c.kind);
        EXPECT_EQ(r.First, c.first);
        EXPECT_EQ(r.Last, c.last);
    }
}
