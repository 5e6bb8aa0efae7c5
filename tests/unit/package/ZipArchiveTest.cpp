// The ZIP reader on archives built here: lookup, extraction semantics, the package
// writer's output, and hostile archives that must be refused without harm.
#include "package/Crc32.h"
#include "package/ZipArchive.h"
#include "package/ZipCrypto.h"
#include "package/ZipWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "tests/support/ZipReadWays.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

std::string ReadAll(const TZipArchive& zip, std::u16string_view name, ZipEntryStatus expected = ZipEntryStatus::Ok)
{
    const int index = zip.Find(name);
    EXPECT_GE(index, 0) << testing::PrintToString(std::u16string(name));
    if (index < 0) {
        return {};
    }
    // Each way the same status, and the same bytes when it reads.
    std::string bytes;
    for (const auto way : kReadWays) {
        std::vector<uint8_t> out;
        EXPECT_EQ(ReadEntry(zip, static_cast<size_t>(index), out, way), expected) << WayName(way);
        if (way == ReadWay::Read) {
            bytes.assign(out.begin(), out.end());
        } else {
            EXPECT_EQ(std::string(out.begin(), out.end()), bytes) << WayName(way);
        }
    }
    return bytes;
}

std::string Package(const std::vector<std::pair<std::string, std::string>>& files, const std::string& password,
                    bool zip64 = false)
{
    std::ostringstream out;
    TZipWriter writer(out, {password, zip64});
    for (const auto& [name, bytes] : files) {
        writer.AddBytes(name, bytes, TZipWriter::DosDateTime(1600000000));
    }
    writer.Finish();
    return out.str();
}

} // namespace

TEST(Crc32, ShiftThroughZerosMatchesStepping)
{
    for (const uint64_t n : {0ull, 1ull, 7ull, 1000ull, 65537ull}) {
        uint32_t state = 0xDEADBEEF;
        for (uint64_t i = 0; i < n; ++i) {
            state = Crc32Step(state, 0);
        }
        EXPECT_EQ(Crc32ShiftZeros(0xDEADBEEF, n), state) << n;
    }
    const std::string text = "123456789";
    EXPECT_EQ(Crc32(0, reinterpret_cast<const uint8_t*>(text.data()), text.size()), 0xCBF43926u);
}

TEST(ZipArchive, LookupIgnoresCaseOfAsciiLettersOnly)
{
    const auto z = BuildZip({Stored("kiv.ini", "first"), Stored("Dir/Page.HTML", "page"), Stored("KIV.INI", "second"),
                             Stored("./x.txt", "dot"), Stored("a\\b.txt", "backslash")});
    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(z.Bytes)), ZipError::None);
    EXPECT_EQ(zip.Count(), 5u);
    EXPECT_EQ(ReadAll(zip, u"KIV.ini"), "first"); // the first of two equal names
    EXPECT_EQ(zip.Find(u"dir/page.html"), 1);
    EXPECT_EQ(zip.Find(u"x.txt"), -1);
    EXPECT_EQ(zip.Find(u"./X.TXT"), 3);
    EXPECT_EQ(zip.Find(u"a/b.txt"), -1);
    EXPECT_EQ(zip.Find(u""), -1);
    EXPECT_EQ(zip.Name(1), u"Dir/Page.HTML");
}

TEST(ZipArchive, ExtractWritesOnlyWhatReadsWhole)
{
    const std::string package = Package({{"kiv.ini", "[App]\nID=x\n"}, {"web/a.js", "let a;"}}, "pw");
    TZipArchive zip;
    zip.SetPasswordBytes("pw");
    ASSERT_EQ(zip.Open(Span(package)), ZipError::None);

    TMemoryStream stream;
    stream.Write(Bytes("0123456789"));
    stream.SetPosition(4);
    EXPECT_EQ(zip.Extract(u"missing", stream), ZipEntryStatus::Ok);
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), "0123456789");
    EXPECT_EQ(stream.Position(), 4u);

    EXPECT_EQ(zip.Extract(u"WEB/A.JS", stream), ZipEntryStatus::Ok); // overwrites at the position
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), "0123let a;");

    TZipArchive wrong;
    wrong.SetPasswordBytes("PW");
    ASSERT_EQ(wrong.Open(Span(package)), ZipError::None);
    TMemoryStream untouched;
    EXPECT_NE(wrong.Extract(u"kiv.ini", untouched), ZipEntryStatus::Ok);
    EXPECT_EQ(untouched.Size(), 0u);
}

TEST(ZipArchive, WriterRoundTripsItsOwnPackages)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a", ""}, {"b", "x"}, {"c/d.bin", NoiseBytes(100000, 7)}, {"\xC3\xA9t\xC3\xA9.txt", "utf8"}};
    for (const bool zip64 : {false, true}) {
        for (const std::string password : {"", "Secr3t!"}) {
            const std::string package = Package(files, password, zip64);
            EXPECT_EQ(package, Package(files, password, zip64)) << "the same inputs give the same bytes";
            TZipArchive zip;
            zip.SetPasswordBytes(password);
            ASSERT_EQ(zip.Open(Span(package)), ZipError::None);
            ASSERT_EQ(zip.Count(), files.size());
            for (size_t i = 0; i < files.size(); ++i) {
                const auto& e = zip.Entry(i);
                EXPECT_EQ(e.Method, 0);
                EXPECT_EQ(e.Encrypted(), !password.empty());
                EXPECT_TRUE(e.HasDataDescriptor());
                EXPECT_TRUE(e.Flags & 0x800);
            }
            EXPECT_EQ(ReadAll(zip, u"C/D.BIN"), files[2].second);
            EXPECT_EQ(ReadAll(zip, u"\u00E9t\u00E9.txt"), "utf8");
            EXPECT_EQ(ReadAll(zip, u"a"), "");
        }
    }
}

TEST(ZipArchive, PasswordEntersAsAnsiBytes)
{
    const std::string package = Package({{"f", "content"}}, "p\xE4ss");
    TZipArchive zip;
    zip.SetPassword(u"p\u00E4ss");
    ASSERT_EQ(zip.Open(Span(package)), ZipError::None);
    EXPECT_EQ(ReadAll(zip, u"f"), "content");
}

TEST(ZipArchive, DeflatedEntriesAndTheirFailures)
{
    const std::string text(5000, 'z');
    auto bomb = Deflated("bomb", text);
    bomb.UncompressedSize = 0xFFFFFFF0u; // claims far more than 1032:1
    auto shortClaim = Deflated("short", text);
    shortClaim.UncompressedSize = 100;
    auto longClaim = Deflated("long", text);
    longClaim.UncompressedSize = 6000;
    auto damaged = Deflated("damaged", text);
    damaged.Data[0] = static_cast<char>(0xFF); // reserved block type
    auto odd = Stored("wavpack", "\x06\x00\x00\x00");
    odd.Method = 97;
    auto ppmd = Stored("ppmd", "\x06\x00\x00\x00"); // a parameter word, then half the coder's start
    ppmd.Method = 98;
    auto bzip2 = Stored("bzip2", "BZh");
    bzip2.Method = 12;
    auto badCrc = Stored("badcrc", "abc");
    badCrc.Crc ^= 1;
    auto lying = Stored("lying", "abc");
    lying.UncompressedSize = 4;

    const auto z = BuildZip({Deflated("ok", text), bomb, shortClaim, longClaim, damaged, odd, ppmd, bzip2, badCrc, lying});
    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(z.Bytes)), ZipError::None);
    EXPECT_EQ(ReadAll(zip, u"ok"), text);
    EXPECT_EQ(ReadAll(zip, u"bomb", ZipEntryStatus::SizeMismatch), "");
    EXPECT_EQ(ReadAll(zip, u"short", ZipEntryStatus::SizeMismatch), "");
    EXPECT_EQ(ReadAll(zip, u"long", ZipEntryStatus::SizeMismatch), "");
    EXPECT_EQ(ReadAll(zip, u"damaged", ZipEntryStatus::Damaged), "");
    EXPECT_EQ(ReadAll(zip, u"wavpack", ZipEntryStatus::UnsupportedMethod), "");
    EXPECT_EQ(ReadAll(zip, u"ppmd", ZipEntryStatus::Damaged), "");
    EXPECT_EQ(ReadAll(zip, u"bzip2", ZipEntryStatus::Damaged), "");
    EXPECT_EQ(ReadAll(zip, u"badcrc", ZipEntryStatus::CrcMismatch), "");
    EXPECT_EQ(ReadAll(zip, u"lying", ZipEntryStatus::SizeMismatch), "");
}

// The same text as 7-Zip 26 wrote it in each method beyond deflate (the peer tests make
// such archives at test time; these few bytes also reach the Windows builds' codecs),
// whole, cut short by one byte, and with one byte changed.
TEST(ZipArchive, SevenZipMethodStreams)
{
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += "folio ";
    }
    text += "end\n";
    struct TStream {
        const char* Name;
        uint16_t Method;
        uint16_t Flags;
        const char* Hex;
    };
    const TStream streams[] = {
        {"deflate64", 9, 0, "e5c4b10d00000802b0dd2b3c4e4d4c08fcbf71081d7ac2ab735e4e19"},
        {"bzip2", 12, 0,
         "425a68393141592653591b42f7540000295100001040000725a0003100c0152a3687a9fd117046511823944511e1772453850901b4"
         "2f7540"},
        {"lzma", 14, 2, "1a0205005d0010000000331bc9cdfc0f39844666a705a7afa73a9ffff3a04000"},
    };
    for (const auto& stream : streams) {
        std::string data;
        for (size_t i = 0; stream.Hex[i]; i += 2) {
            data.push_back(static_cast<char>(std::stoi(std::string(stream.Hex + i, 2), nullptr, 16)));
        }
        auto whole = Stored("whole", text);
        whole.Method = stream.Method;
        whole.Flags = stream.Flags;
        whole.Data = data;
        auto cut = whole;
        cut.Name = "cut";
        cut.Data.pop_back();
        auto changed = whole;
        changed.Name = "changed";
        changed.Data[data.size() / 2] ^= 0x10;
        const auto z = BuildZip({whole, cut, changed});
        TZipArchive zip;
        ASSERT_EQ(zip.Open(Span(z.Bytes)), ZipError::None);
        EXPECT_EQ(ReadAll(zip, u"whole"), text) << stream.Name;
        for (const auto name : {u"cut", u"changed"}) {
            for (const auto way : kReadWays) {
                std::vector<uint8_t> out{'x'};
                EXPECT_NE(ReadEntry(zip, static_cast<size_t>(zip.Find(name)), out, way), ZipEntryStatus::Ok)
                    << stream.Name << " " << WayName(way);
                EXPECT_EQ(out, std::vector<uint8_t>{'x'}) << stream.Name;
            }
        }
    }
}

namespace {

std::string FromHex(std::string_view hex)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

// One entry of the method whose stream is `data` and whose true content is `text`.
ZipEntryStatus ReadStream(uint16_t method, uint16_t flags, const std::string& data, const std::string& text,
                          std::string& out)
{
    auto e = Stored("e", text);
    e.Method = method;
    e.Flags = flags;
    e.Data = data;
    const auto z = BuildZip({e});
    TZipArchive zip;
    EXPECT_EQ(zip.Open(Span(z.Bytes)), ZipError::None);
    std::vector<uint8_t> bytes;
    const auto status = zip.Read(0, bytes);
    out.assign(bytes.begin(), bytes.end());
    for (const auto way : {ReadWay::ReadTo, ReadWay::Reader}) {
        std::vector<uint8_t> streamed;
        EXPECT_EQ(ReadEntry(zip, 0, streamed, way), status) << WayName(way);
        EXPECT_EQ(streamed, bytes) << WayName(way);
    }
    return status;
}

} // namespace

// Deflate64 streams written bit by bit for what 7-Zip never writes.
TEST(ZipArchive, Deflate64HandMadeStreams)
{
    // Four empty blocks of fixed codes fill five bytes exactly; then a last block with "x".
    std::string emptyBlocks;
    for (int i = 0; i < 20000; ++i) {
        emptyBlocks += FromHex("0208208000");
    }
    emptyBlocks += FromHex("ab0000");
    struct TCase {
        const char* What;
        std::string Data;
        std::string Text;
        ZipEntryStatus Status;
    };
    const TCase cases[] = {
        // Literal codes of 1 to 15 bits for A-N, Z and the end of block, each used once.
        {"codes up to 15 bits",
         FromHex("05e0819224499224c97e1b128b9a4756cfde07bcffff9087dabdeff7f7efbffffddffffbfffe7fff7f"),
         "ABCDEFGHIJKLMNZ", ZipEntryStatus::Ok},
        // "a", then length code 285 with all 16 extra bits set (65538) at distance 1.
        {"longest match", FromHex("4b1cfdff0700"), std::string(65539, 'a'), ZipEntryStatus::Ok},
        {"80000 empty blocks", emptyBlocks, "x", ZipEntryStatus::Ok},
        // "a", then a match at distance 2.
        {"distance before the start", FromHex("4b044200"), "aaaa", ZipEntryStatus::Damaged},
        {"stored block, wrong NLEN", FromHex("0103003412616263"), "abc", ZipEntryStatus::Damaged},
        // The code length code gives all 19 symbols one bit.
        {"oversubscribed code", FromHex("05e093244992244992000000"), "abc", ZipEntryStatus::Damaged},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(ReadStream(9, 0, c.Data, c.Text, out), c.Status) << c.What;
        EXPECT_EQ(out, c.Status == ZipEntryStatus::Ok ? c.Text : "") << c.What;
    }
}

// 7-Zip writes lc up to 8 when asked (-mm=LZMA:lc=8); liblzma takes lc + lp <= 4 only.
// Such an entry is one we cannot read, not a damaged one.
TEST(ZipArchive, LzmaPropertiesBeyondLiblzma)
{
    const std::string text = [] {
        std::string t;
        for (int i = 0; i < 40; ++i) {
            t += "folio ";
        }
        return t + "end\n";
    }();
    std::string out;
    EXPECT_EQ(ReadStream(14, 2, FromHex("1a020500620010000000331bc98693944b2a2d7bcb8d8f398b164ffffe027800"), text, out),
              ZipEntryStatus::UnsupportedMethod);
    // Past 9 * 5 * 5 the byte is no set of properties at all.
    EXPECT_EQ(ReadStream(14, 2, FromHex("1a020500e10010000000331bc98693944b2a2d7bcb8d8f398b164ffffe027800"), text, out),
              ZipEntryStatus::Damaged);
}

TEST(ZipArchive, HostileLayoutsAreRefused)
{
    const auto a = Stored("a", "aaaa");
    auto sameOffset = Stored("b", "bbbb");
    sameOffset.OffsetOverride = 0; // shares the first entry's bytes
    auto intoDirectory = Stored("c", "c");
    auto onDisk2 = Stored("d", "d");
    onDisk2.DiskStart = 1;

    struct Case {
        const char* what;
        std::string bytes;
        ZipError error;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", "", ZipError::NoEndRecord});
    cases.push_back({"no end record", std::string(100, 'x'), ZipError::NoEndRecord});
    cases.push_back({"overlapping entries", BuildZip({a, sameOffset}).Bytes, ZipError::EntriesOverlap});
    {
        auto z = BuildZip({a, intoDirectory});
        intoDirectory.OffsetOverride = static_cast<int64_t>(z.DirectoryOffset + 4);
        cases.push_back({"entry inside the directory", BuildZip({a, intoDirectory}).Bytes, ZipError::EntriesOverlap});
        intoDirectory.OffsetOverride = 0x7FFFFFFF;
        cases.push_back({"entry past the end", BuildZip({a, intoDirectory}).Bytes, ZipError::EntryOutOfRange});
    }
    {
        auto z = BuildZip({a});
        Patch32(z.Bytes, z.DirectoryOffset + 20, 1000); // compressed size runs into the directory
        cases.push_back({"size runs past the next entry", z.Bytes, ZipError::EntriesOverlap});
    }
    cases.push_back({"count larger than the directory", BuildZip({a}, 40).Bytes, ZipError::CountMismatch});
    cases.push_back({"count too large for its bytes", BuildZip({a, Stored("b", "b")}, 3).Bytes,
                     ZipError::CountMismatch});
    {
        auto z = BuildZip({a});
        Patch32(z.Bytes, z.EndOffset + 16, static_cast<uint32_t>(z.EndOffset)); // directory at the end record
        cases.push_back({"directory beyond its end", z.Bytes, ZipError::DirectoryOutOfRange});
    }
    {
        auto z = BuildZip({a});
        Patch32(z.Bytes, z.DirectoryOffset, 0x12345678);
        cases.push_back({"directory signature", z.Bytes, ZipError::BadDirectoryEntry});
    }
    cases.push_back({"disk number", BuildZip({onDisk2}).Bytes, ZipError::MultiDisk});
    {
        // ZIP64 end record whose directory offset is near 2^64: the sums must not wrap.
        auto z = BuildZip({a});
        std::string rec;
        const size_t recordOffset = z.EndOffset;
        Put32(rec, 0x06064b50), Put64(rec, 44), Put16(rec, 45), Put16(rec, 45), Put32(rec, 0), Put32(rec, 0);
        Put64(rec, 1), Put64(rec, 1), Put64(rec, 0x40), Put64(rec, 0xFFFFFFFFFFFFFFF0ull);
        Put32(rec, 0x07064b50), Put32(rec, 0), Put64(rec, recordOffset), Put32(rec, 1);
        std::string bytes = z.Bytes.substr(0, z.EndOffset) + rec + z.Bytes.substr(z.EndOffset);
        cases.push_back({"zip64 offset overflow", bytes, ZipError::DirectoryOutOfRange});
        Patch32(bytes, recordOffset + 56 + 8, 0x7FFFFFF0); // locator points past the data
        cases.push_back({"zip64 locator outside", bytes, ZipError::BadZip64Record});
    }
    {
        auto z = BuildZip({a});
        z.Bytes[z.EndOffset + 10] = '\xFF'; // 0xFFFF entries and no ZIP64 record
        z.Bytes[z.EndOffset + 11] = '\xFF';
        cases.push_back({"zip64 value without record", z.Bytes, ZipError::BadZip64Record});
    }

    for (const auto& c : cases) {
        TZipArchive zip;
        EXPECT_EQ(zip.Open(Span(c.bytes)), c.error) << c.what;
        EXPECT_FALSE(zip.IsOpen()) << c.what;
        EXPECT_EQ(zip.Find(u"a"), -1) << c.what;
        EXPECT_STRNE(ZipErrorMessage(c.error), "");
    }
}

// Every single-byte change and every truncation of a small package: the reader may
// refuse or mark entries unreadable, but an entry it reads is always the original.
TEST(ZipArchive, CorruptedPackagesNeverYieldWrongContent)
{
    const std::vector<std::pair<std::string, std::string>> files = {{"kiv.ini", "[App]\nID=a\n"}, {"w/i.html", "<p>"}};
    for (const std::string password : {"", "pw"}) {
        const std::string good = Package(files, password);
        auto check = [&](const std::string& bytes) {
            TZipArchive zip;
            zip.SetPasswordBytes(password);
            if (zip.Open(Span(bytes)) != ZipError::None) {
                return;
            }
            for (size_t i = 0; i < zip.Count(); ++i) {
                std::vector<uint8_t> whole;
                const auto status = zip.Read(i, whole);
                if (status == ZipEntryStatus::Ok) {
                    const std::string got(whole.begin(), whole.end());
                    ASSERT_TRUE(got == files[0].second || got == files[1].second) << "read " << got;
                } else {
                    ASSERT_TRUE(whole.empty());
                }
                for (const auto way : {ReadWay::ReadTo, ReadWay::Reader}) {
                    std::vector<uint8_t> out;
                    ASSERT_EQ(ReadEntry(zip, i, out, way), status) << WayName(way);
                    ASSERT_EQ(out, whole) << WayName(way);
                }
            }
        };
        for (size_t at = 0; at < good.size(); ++at) {
            for (const uint8_t mask : {0x01, 0x80, 0xFF}) {
                std::string bad = good;
                bad[at] = static_cast<char>(bad[at] ^ mask);
                check(bad);
            }
            check(good.substr(0, at));
        }
    }
}

// The index hashes exactly what lookup compares: names apart only in bit 0x20 of a
// character that is not a letter must not collide, or a package of such names makes
// opening quadratic; A-Z against a-z must, or lookup would miss.
TEST(ZipArchive, NameHashFoldsTheCaseOfAsciiLettersOnly)
{
    const std::pair<std::u16string, std::u16string> apart[] = {
        {u"a[b", u"a{b"},           {u"@", u"`"},           {u"x\\y", u"x|y"},  {u"]]]]]]]]]", u"]]]]]]]]}"},
        {u"^~^~^~^~^~^~", u"^~^~^~^~^~~~"}, {u"0", u"\x10"}, {u"a b", std::u16string(u"a\0b", 3)}, {u"\u00C9t\u00E9", u"\u00E9t\u00E9"},
        {u"dir/file-[1].js", u"dir/file-{1}.js"},
    };
    const std::pair<std::u16string, std::u16string> alike[] = {
        {u"KIV.INI", u"kiv.ini"}, {u"Dir/Page.HTML", u"dir/page.html"}, {u"ABCDEFGHIJKLMNOPQRSTUVWXYZ", u"abcdefghijklmnopqrstuvwxyz"},
        {u"\u00E9A", u"\u00E9a"},
    };
    for (const uint64_t seed : {0ull, 1ull, 0x0123456789ABCDEFull}) {
        for (const auto& [a, b] : apart) {
            EXPECT_NE(ZipNameHash(a, seed), ZipNameHash(b, seed)) << testing::PrintToString(a) << " seed " << seed;
        }
        for (const auto& [a, b] : alike) {
            EXPECT_EQ(ZipNameHash(a, seed), ZipNameHash(b, seed)) << testing::PrintToString(a) << " seed " << seed;
        }
    }
    // The seed changes where names land: a set built to collide under one seed does not
    // collide under another.
    EXPECT_NE(ZipNameHash(u"web/index.html", 1), ZipNameHash(u"web/index.html", 2));
}

// Names built so that, whatever the seed, a difference in the top bit of a character
// is carried by the mixing into a fixed pattern that a later character cancels: 2^8
// names of one hash under a seed-independent mix. Under a keyed mix they spread out.
TEST(ZipArchive, NameHashHasNoCollisionsThatHoldForEverySeed)
{
    std::vector<std::u16string> names;
    for (unsigned bits = 0; bits < 256; ++bits) {
        std::u16string name;
        for (unsigned k = 0; k < 8; ++k) {
            const bool on = (bits >> k) & 1;
            std::u16string block = u"aaa-bbbbcc-?dddd";
            block[3] = on ? u'\uCE00' : u'\u4E00';
            block[10] = on ? u'e' : u'a';
            block[11] = on ? u'\uCE00' : u'\u4E00';
            name += block;
        }
        names.push_back(name);
    }
    for (const uint64_t seed : {0ull, 1ull, 0x0123456789ABCDEFull}) {
        std::set<uint32_t> hashes;
        for (const auto& name : names) {
            hashes.insert(ZipNameHash(name, seed));
        }
        EXPECT_GE(hashes.size(), names.size() - 2) << "seed " << seed;
    }
}

TEST(ZipArchive, NamesApartOnlyInBit0x20AreEachFound)
{
    // 2^9 names over five pairs that differ only in bit 0x20: "[{", "@`", "\|", "]}", "^~".
    const std::string pairs[] = {"[{", "@`", "\\|", "]}", "^~"};
    std::vector<std::pair<std::string, std::string>> files;
    for (unsigned bits = 0; bits < 512; ++bits) {
        std::string name = "w/";
        for (unsigned k = 0; k < 9; ++k) {
            name += pairs[k % 5][(bits >> k) & 1];
        }
        files.push_back({name, std::to_string(bits)});
    }
    const std::string package = Package(files, "");
    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(package)), ZipError::None);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::u16string name(files[i].first.begin(), files[i].first.end());
        ASSERT_EQ(zip.Find(name), static_cast<int>(i)) << files[i].first;
    }
}

TEST(ZipArchive, DirectoryTooLargeForMemoryIsRefusedAndLeavesTheArchiveClosed)
{
    const std::string package = Package({{"a", "1"}, {"b", "2"}, {"c", "3"}}, "");
    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(package)), ZipError::None);
    zip.SetMemoryLimit(3 * sizeof(TZipEntry)); // the entries fit, their index does not
    EXPECT_EQ(zip.Open(Span(package)), ZipError::TooLarge);
    EXPECT_FALSE(zip.IsOpen());
    EXPECT_EQ(zip.Count(), 0u);
    EXPECT_EQ(zip.Find(u"a"), -1);
    std::vector<uint8_t> out;
    EXPECT_EQ(zip.Read(0, out), ZipEntryStatus::Damaged);
    EXPECT_STRNE(ZipErrorMessage(ZipError::TooLarge), "unknown ZIP error");

    zip.SetMemoryLimit(1 << 20);
    ASSERT_EQ(zip.Open(Span(package)), ZipError::None);
    EXPECT_EQ(ReadAll(zip, u"C"), "3");
}

// DOS dates by arithmetic, the same on every system, clamped to 1980-01-01 00:00:00 ..
// 2107-12-31 23:59:58 (expected values from Python's datetime).
TEST(ZipWriter, DosDateTimeIsClampedToTheDosRange)
{
    const std::pair<int64_t, uint32_t> cases[] = {
        {INT64_MIN, 0x00210000},  {-1, 0x00210000},         {0, 0x00210000},
        {315532799, 0x00210000},  {315532800, 0x00210000},  {315532801, 0x00210000},
        {315532802, 0x00210001},  {951782400, 0x285D0000},  {1600000000, 0x512D6354},
        {4354819198, 0xFF9FBF7D}, {4354819199, 0xFF9FBF7D}, {4354819200, 0xFF9FBF7D},
        {253402300800, 0xFF9FBF7D}, {INT64_MAX, 0xFF9FBF7D},
    };
    for (const auto& [time, dos] : cases) {
        EXPECT_EQ(TZipWriter::DosDateTime(time), dos) << time;
    }
}
