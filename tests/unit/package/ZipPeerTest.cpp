// Archives made at test time by real peers (Info-ZIP, 7-Zip, Python's zipfile) read
// back byte for byte, in every method 7-Zip writes, damaged copies of them refused, and
// the package writer's archives accepted by those peers.
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipReadWays.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using namespace Folio::Shared;
using FolioTest::kReadWays;
using FolioTest::NoiseBytes;
using FolioTest::ReadEntry;
using FolioTest::ReadWay;
using FolioTest::WayName;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

std::string Letters(size_t n)
{
    std::string text = NoiseBytes(n, 3);
    for (auto& c : text) {
        c = "abcdefghijklmnopqrstuvwxyz      \n"[uint8_t(c) % 33];
    }
    return text;
}

const std::map<std::string, std::string>& Files()
{
    static const std::map<std::string, std::string> files = {
        {"index.html", "<!doctype html><title>hi</title>" + std::string(3000, 'a')},
        {"img/noise.bin", NoiseBytes(70000, 1)},
        {"empty.txt", ""},
        {"js/app.js", "console.log('x');\n"},
        {"one.txt", "1"},
        // Matches 40000 bytes back: past deflate's window, inside Deflate64's.
        {"twice.bin", NoiseBytes(40000, 2) + NoiseBytes(40000, 2)},
        // Random words: a high-order PPMd model of it outgrows 1 MiB.
        {"text/letters.txt", Letters(150000)},
    };
    return files;
}

void WriteSources(const TempDir& dir)
{
    for (const auto& [name, bytes] : Files()) {
        WriteFile(dir / ("src/" + name), bytes);
    }
}

std::string Sources()
{
    std::string list;
    for (const auto& [name, bytes] : Files()) {
        list += " '" + name + "'";
    }
    return list;
}

// Opens an archive file with a password and checks every source file reads back.
void ExpectAllFiles(const std::filesystem::path& path, const std::string& password)
{
    const std::string data = ReadFile(path);
    TZipArchive zip;
    zip.SetPasswordBytes(password);
    ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None) << path;
    for (const auto& [name, bytes] : Files()) {
        const int index = zip.Find(Utf8ToUtf16(name));
        ASSERT_GE(index, 0) << name;
        for (const auto way : kReadWays) {
            std::vector<uint8_t> out{'x'};
            ASSERT_EQ(ReadEntry(zip, static_cast<size_t>(index), out, way), ZipEntryStatus::Ok)
                << name << " in " << path << " by " << WayName(way);
            EXPECT_EQ(std::string(out.begin() + 1, out.end()), bytes) << name << " in " << path << " by " << WayName(way);
        }
    }
    if (!password.empty()) {
        TZipArchive wrong;
        wrong.SetPasswordBytes(password + "x");
        ASSERT_EQ(wrong.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
        const int index = wrong.Find(u"img/noise.bin");
        for (const auto way : kReadWays) {
            std::vector<uint8_t> out;
            EXPECT_NE(ReadEntry(wrong, static_cast<size_t>(index), out, way), ZipEntryStatus::Ok) << WayName(way);
            EXPECT_TRUE(out.empty());
        }
    }
}

} // namespace

TEST(ZipPeers, InfoZipEncryptedStoredDeflatedAndStreamed)
{
    ASSERT_TRUE(FolioTest::HaveTool("zip")) << "Info-ZIP zip is needed (scripts/setup installs it)";
    TempDir dir;
    WriteSources(dir);
    const auto src = dir / "src";
    ASSERT_TRUE(RunIn(src, "zip -q -0 -P s3cr3t ../stored.zip" + Sources()));
    ASSERT_TRUE(RunIn(src, "zip -q -9 -P s3cr3t ../deflated.zip" + Sources()));
    // Written to a pipe, zip cannot seek back: every entry gets a data descriptor.
    ASSERT_TRUE(RunIn(src, "zip -q -P s3cr3t -" + Sources() + " | cat > ../streamed.zip"));
    ASSERT_TRUE(RunIn(src, "zip -q -" + Sources() + " | cat > ../streamed-plain.zip"));
    ExpectAllFiles(dir / "stored.zip", "s3cr3t");
    ExpectAllFiles(dir / "deflated.zip", "s3cr3t");
    ExpectAllFiles(dir / "streamed.zip", "s3cr3t");
    ExpectAllFiles(dir / "streamed-plain.zip", "");
}

TEST(ZipPeers, SevenZipZipCrypto)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z")) << "7-Zip is needed (scripts/setup installs it)";
    TempDir dir;
    WriteSources(dir);
    const auto src = dir / "src";
    ASSERT_TRUE(RunIn(src, "7z a -tzip -mem=ZipCrypto -mx0 -ppa55 ../stored.zip" + Sources()));
    ASSERT_TRUE(RunIn(src, "7z a -tzip -mem=ZipCrypto -mx7 -ppa55 ../deflated.zip" + Sources()));
    ExpectAllFiles(dir / "stored.zip", "pa55");
    ExpectAllFiles(dir / "deflated.zip", "pa55");
}

TEST(ZipPeers, PythonZip64AndNames)
{
    ASSERT_TRUE(FolioTest::HaveTool("python3"));
    TempDir dir;
    // Forced ZIP64 entries, a UTF-8 name (flag bit 11), a CP437 name, and two names
    // carrying an Info-ZIP Unicode Path field (0x7075), one whose CRC matches the
    // stored name and one whose CRC does not.
    const char* script = R"PY(
import struct, zipfile, zlib
def upath(stored, utf8, crc=None):
    crc = zlib.crc32(stored) if crc is None else crc
    data = struct.pack('<BI', 1, crc) + utf8
    return struct.pack('<HH', 0x7075, len(data)) + data
with zipfile.ZipFile('names.zip', 'w', zipfile.ZIP_DEFLATED) as z:
    with z.open('big.bin', 'w', force_zip64=True) as f:
        f.write(bytes(range(256)) * 300)
    z.writestr('caf\u00e9/\u65e5\u672c.txt', b'utf8 name')
    z.writestr('r#sum#.txt', b'cp437 name')
    i = zipfile.ZipInfo('plain-a.txt'); i.extra = upath(b'plain-a.txt', 'unicode-\u00e4.txt'.encode())
    z.writestr(i, b'unicode path ok')
    i = zipfile.ZipInfo('plain-b.txt'); i.extra = upath(b'plain-b.txt', 'ignored-\u00f6.txt'.encode(), 1234)
    z.writestr(i, b'unicode path stale')
# zipfile writes non-ASCII names as UTF-8 only: patch in a CP437 name (0x82 is e-acute).
data = open('names.zip', 'rb').read().replace(b'r#sum#.txt', b'r\x82sum\x82.txt')
open('names.zip', 'wb').write(data)
)PY";
    WriteFile(dir / "make.py", script);
    ASSERT_TRUE(RunIn(dir.Path(), "python3 make.py"));
    const std::string data = ReadFile(dir / "names.zip");
    TZipArchive zip;
    ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
    const std::pair<std::u16string, std::string> expected[] = {
        {u"big.bin", ""},
        {u"caf\u00E9/\u65E5\u672C.txt", "utf8 name"},
        {u"r\u00E9sum\u00E9.txt", "cp437 name"},
        {u"unicode-\u00E4.txt", "unicode path ok"},
        {u"plain-b.txt", "unicode path stale"},
    };
    for (const auto& [name, content] : expected) {
        const int index = zip.Find(name);
        ASSERT_GE(index, 0) << testing::PrintToString(name);
        std::vector<uint8_t> out;
        ASSERT_EQ(zip.Read(static_cast<size_t>(index), out), ZipEntryStatus::Ok);
        if (name == u"big.bin") {
            ASSERT_EQ(out.size(), 256u * 300u);
            EXPECT_EQ(out[257], 1);
        } else {
            EXPECT_EQ(std::string(out.begin(), out.end()), content);
        }
    }
    EXPECT_EQ(zip.Find(u"plain-a.txt"), -1);
    EXPECT_EQ(zip.Find(u"ignored-\u00F6.txt"), -1);
    EXPECT_GE(zip.Find(u"R\u00E9SUM\u00E9.TXT"), 0); // A-Z fold, nothing else does
    EXPECT_EQ(zip.Find(u"r\u00C9sum\u00C9.txt"), -1);
}

TEST(ZipPeers, PeersAcceptWhatThePackageWriterWrites)
{
    ASSERT_TRUE(FolioTest::HaveTool("unzip") && FolioTest::HaveTool("7z"));
    TempDir dir;
    for (const bool zip64 : {false, true}) {
        const auto path = dir / (zip64 ? "ours64.zip" : "ours.zip");
        {
            std::ofstream out(path, std::ios::binary);
            TZipWriter writer(out, {"Pw-1!", zip64});
            for (const auto& [name, bytes] : Files()) {
                writer.AddBytes(name, bytes, TZipWriter::DosDateTime(1700000000));
            }
            writer.AddBytes("\xC3\xBC" "ber/\xE6\x97\xA5.txt", "unicode", TZipWriter::DosDateTime(1700000000));
            writer.Finish();
        }
        EXPECT_TRUE(RunIn(dir.Path(), "unzip -tq -P Pw-1! " + path.filename().string())) << path;
        EXPECT_TRUE(RunIn(dir.Path(), "7z t -pPw-1! " + path.filename().string())) << path;
        ASSERT_TRUE(RunIn(dir.Path(), "rm -rf x && mkdir x && cd x && LC_ALL=C.UTF-8 unzip -q -P Pw-1! ../" + path.filename().string()));
        for (const auto& [name, bytes] : Files()) {
            EXPECT_EQ(ReadFile(dir / ("x/" + name)), bytes) << name;
        }
        EXPECT_EQ(ReadFile(dir / "x/\xC3\xBC" "ber/\xE6\x97\xA5.txt"), "unicode");
        ExpectAllFiles(path, "Pw-1!");
    }
}

namespace {

struct TSevenZipMethod {
    const char* Option; // 7z's -mm value
    const char* More;   // further 7z options
    uint16_t Method;
};

// PPMd also with a 1 MiB model that the letters fill: restarted (as at level 5),
// cut off (level 9), and with the lowest order.
constexpr TSevenZipMethod kSevenZipMethods[] = {
    {"Deflate64", "", 9},
    {"BZip2", "", 12},
    {"LZMA", "", 14},
    {"PPMd", "", 98},
    {"PPMd", "-mo=16 -mmem=1m", 98},
    {"PPMd", "-mx9 -mo=16 -mmem=1m", 98},
    {"PPMd", "-mo=2 -mmem=1m", 98},
};

std::string ArchiveName(const TSevenZipMethod& m, const char* suffix)
{
    return m.Option + std::to_string(&m - kSevenZipMethods) + suffix;
}

std::string SevenZipOptions(const TSevenZipMethod& m)
{
    return " -tzip -mm=" + std::string(m.Option) + " " + m.More + " ";
}

uint16_t U16At(const std::string& s, size_t at) { return static_cast<uint16_t>(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }
uint32_t U32At(const std::string& s, size_t at) { return U16At(s, at) | uint32_t(U16At(s, at + 2)) << 16; }
void PutU32(std::string& s, size_t at, uint32_t v) { std::memcpy(s.data() + at, &v, 4); }

} // namespace

TEST(ZipPeers, SevenZipMethodsPlainAndEncrypted)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    WriteSources(dir);
    for (const auto& m : kSevenZipMethods) {
        for (const bool encrypted : {false, true}) {
            const std::string file = ArchiveName(m, encrypted ? "-crypt.zip" : ".zip");
            const std::string options = encrypted ? "-mem=ZipCrypto -ppa55 " : "";
            ASSERT_TRUE(RunIn(dir / "src", "7z a" + SevenZipOptions(m) + options + "../" + file + Sources()));
            const std::string data = ReadFile(dir / file);
            TZipArchive zip;
            zip.SetPasswordBytes(encrypted ? "pa55" : "");
            ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
            const int index = zip.Find(u"index.html");
            ASSERT_GE(index, 0);
            ASSERT_EQ(zip.Entry(static_cast<size_t>(index)).Method, m.Method) << file;
            ExpectAllFiles(dir / file, encrypted ? "pa55" : "");
        }
    }
}

// Damaged, cut short and lying copies of each method's entry: never Ok with wrong bytes,
// the output left as it was, and nothing for the sanitizers to report.
TEST(ZipPeers, SevenZipMethodsDamagedAndTruncated)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    std::string text;
    for (int i = 0; text.size() < 150000; ++i) {
        text += "line " + std::to_string(i * 7919 % 1000) + " of the words file\n";
    }
    WriteFile(dir / "src/words.txt", text);
    for (const auto& m : kSevenZipMethods) {
        if (*m.More != '\0') {
            continue; // the PPMd variants: damage is caught as for the default (end mark, last bytes, CRC)
        }
        const std::string file = ArchiveName(m, ".zip");
        ASSERT_TRUE(RunIn(dir / "src", "7z a" + SevenZipOptions(m) + "../" + file + " words.txt"));
        const std::string original = ReadFile(dir / file);
        // One entry: its data follows the local header; the directory entry follows the data.
        const size_t dataStart = 30 + U16At(original, 26) + U16At(original, 28);
        const uint32_t packed = U32At(original, 18);
        const size_t central = original.find("PK\x01\x02");
        ASSERT_NE(central, std::string::npos);

        enum class Change { FlipByte, ZeroTail, CutShort, ClaimHuge, ClaimOneMore, ClaimOneLess };
        struct TCase {
            Change What;
            size_t At; // a position in the compressed data, or its new length
        };
        std::vector<TCase> cases = {{Change::ZeroTail, packed / 2}, {Change::ClaimHuge, 0},
                                    {Change::ClaimOneMore, 0}, {Change::ClaimOneLess, 0}};
        for (size_t k = 1; k < 24; ++k) {
            cases.push_back({Change::FlipByte, packed * k / 24});
            cases.push_back({Change::CutShort, packed * k / 24});
        }
        cases.push_back({Change::CutShort, packed - 1});
        cases.push_back({Change::FlipByte, packed - 1});
        int refused = 0;
        for (const auto& c : cases) {
            std::string data = original;
            switch (c.What) {
            case Change::FlipByte: data[dataStart + c.At] ^= 0x5A; break;
            case Change::ZeroTail: std::fill(data.begin() + long(dataStart + c.At), data.begin() + long(dataStart + packed), '\0'); break;
            case Change::CutShort: PutU32(data, central + 20, static_cast<uint32_t>(c.At)); break;
            case Change::ClaimHuge: PutU32(data, central + 24, 0xFFFFFFF0u); break;
            case Change::ClaimOneMore: PutU32(data, central + 24, static_cast<uint32_t>(text.size() + 1)); break;
            case Change::ClaimOneLess: PutU32(data, central + 24, static_cast<uint32_t>(text.size() - 1)); break;
            }
            TZipArchive zip;
            ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
            std::vector<uint8_t> out{'x'};
            const auto status = zip.Read(0, out);
            const std::string what = file + " change " + std::to_string(int(c.What)) + " at " + std::to_string(c.At);
            for (const auto way : {ReadWay::ReadTo, ReadWay::Reader}) {
                std::vector<uint8_t> streamed{'x'};
                EXPECT_EQ(ReadEntry(zip, 0, streamed, way), status) << what << " by " << WayName(way);
                EXPECT_EQ(streamed, out) << what << " by " << WayName(way);
            }
            if (status == ZipEntryStatus::Ok) {
                // Only a byte the decoder never needs (7-Zip's version bytes of LZMA) may change.
                EXPECT_EQ(std::string(out.begin() + 1, out.end()), text) << what;
            } else {
                EXPECT_EQ(out, std::vector<uint8_t>{'x'}) << what;
                ++refused;
            }
            if (c.What == Change::ClaimHuge) {
                EXPECT_EQ(status, ZipEntryStatus::SizeMismatch) << what;
            }
            // LZMA's end marker makes a wrong size damaged data rather than a mismatch.
            if (c.What != Change::FlipByte && c.What != Change::ClaimHuge) {
                EXPECT_NE(status, ZipEntryStatus::Ok) << what;
            }
        }
        EXPECT_GE(refused, static_cast<int>(cases.size()) - 1) << file;
    }
}

// An empty PPMd entry (7-Zip writes one only from standard input: the end mark alone),
// plain and encrypted; parameter words no PPMd decoder takes: order 1, restore methods 2
// (freeze, which 7-Zip does not write either) and 15; and a byte after the coder's last,
// which 7z t calls a data error too.
TEST(ZipPeers, SevenZipPpmdEmptyAndParameterWords)
{
    ASSERT_TRUE(FolioTest::HaveTool("7z"));
    TempDir dir;
    WriteSources(dir);
    for (const bool encrypted : {false, true}) {
        const std::string file = encrypted ? "empty-crypt.zip" : "empty.zip";
        const std::string options = encrypted ? " -mem=ZipCrypto -ppa55" : "";
        ASSERT_TRUE(RunIn(dir.Path(), "7z a -tzip -mm=PPMd" + options + " -siempty.txt " + file + " < /dev/null"));
        const std::string data = ReadFile(dir / file);
        TZipArchive zip;
        zip.SetPasswordBytes("pa55");
        ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
        ASSERT_EQ(zip.Entry(0).Method, 98) << file;
        ASSERT_GT(zip.Entry(0).CompressedSize, 0u) << file;
        std::vector<uint8_t> out{'x'};
        EXPECT_EQ(zip.Read(0, out), ZipEntryStatus::Ok) << file;
        EXPECT_EQ(out, std::vector<uint8_t>{'x'}) << file;
    }

    ASSERT_TRUE(RunIn(dir / "src", "7z a -tzip -mm=PPMd ../index.zip index.html"));
    const std::string original = ReadFile(dir / "index.zip");
    ASSERT_EQ(U16At(original, 8), 98);
    const size_t at = 30 + U16At(original, 26) + U16At(original, 28);
    const uint16_t word = U16At(original, at);
    const std::pair<uint16_t, ZipEntryStatus> cases[] = {
        {word, ZipEntryStatus::Ok},
        {static_cast<uint16_t>(word & 0xFFF0), ZipEntryStatus::Damaged},
        {static_cast<uint16_t>((word & 0x0FFF) | 0x2000), ZipEntryStatus::UnsupportedMethod},
        {static_cast<uint16_t>(word | 0xF000), ZipEntryStatus::UnsupportedMethod},
    };
    for (const auto& [changed, expected] : cases) {
        std::string data = original;
        data[at] = static_cast<char>(changed & 0xFF);
        data[at + 1] = static_cast<char>(changed >> 8);
        TZipArchive zip;
        ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
        std::vector<uint8_t> out;
        EXPECT_EQ(zip.Read(0, out), expected) << std::hex << changed;
        EXPECT_EQ(std::string(out.begin(), out.end()), expected == ZipEntryStatus::Ok ? Files().at("index.html") : "");
    }
    // One byte more in the entry's data, the sizes and the directory's offset to match.
    const uint32_t packed = U32At(original, 18);
    std::string longer = original.substr(0, at + packed) + '\0' + original.substr(at + packed);
    const size_t central = longer.find("PK\x01\x02"), end = longer.find("PK\x05\x06");
    ASSERT_EQ(central, at + packed + 1);
    PutU32(longer, 18, packed + 1);
    PutU32(longer, central + 20, packed + 1);
    PutU32(longer, end + 16, U32At(longer, end + 16) + 1);
    TZipArchive zip;
    ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(longer.data()), longer.size()}), ZipError::None);
    std::vector<uint8_t> out;
    EXPECT_EQ(zip.Read(0, out), ZipEntryStatus::Damaged);
}

TEST(ZipPeers, UnixNamesInUtf8WithoutTheFlag)
{
    ASSERT_TRUE(FolioTest::HaveTool("zip") && FolioTest::HaveTool("python3"));
    TempDir dir;
    WriteFile(dir / "src/caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt", "from zip");
    ASSERT_TRUE(RunIn(dir / "src", "LC_ALL=C.UTF-8 zip -q -r ../linux.zip caf*"));
    // Made by MS-DOS (0), Unix (3) and OS X (19), each with a valid UTF-8 name and,
    // from Unix, one that is not UTF-8 (0x82 is e-acute in code page 437).
    const char* script = R"PY(
import zipfile
with zipfile.ZipFile('hosts.zip', 'w') as z:
    for name, system in (('dos-AAAAA.txt', 0), ('unix-AAAAA.txt', 3), ('osx-AAAAA.txt', 19), ('raw-BB.txt', 3)):
        i = zipfile.ZipInfo(name)
        i.create_system = system
        z.writestr(i, name.split('-')[0].encode())
data = open('hosts.zip', 'rb').read().replace(b'AAAAA', b'caf\xc3\xa9').replace(b'BB', b'\x82\x82')
open('hosts.zip', 'wb').write(data)
)PY";
    WriteFile(dir / "make.py", script);
    ASSERT_TRUE(RunIn(dir.Path(), "python3 make.py"));

    const std::pair<std::string, std::vector<std::pair<std::u16string, std::string>>> archives[] = {
        {"linux.zip", {{u"caf\u00E9/\u65E5\u672C.txt", "from zip"}}},
        {"hosts.zip",
         {{u"dos-caf\u251C\u2310.txt", "dos"},
          {u"unix-caf\u00E9.txt", "unix"},
          {u"osx-caf\u00E9.txt", "osx"},
          {u"raw-\u00E9\u00E9.txt", "raw"}}},
    };
    for (const auto& [file, entries] : archives) {
        const std::string data = ReadFile(dir / file);
        TZipArchive zip;
        ASSERT_EQ(zip.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None) << file;
        for (const auto& [name, content] : entries) {
            const int index = zip.Find(name);
            ASSERT_GE(index, 0) << file << " " << testing::PrintToString(name);
            std::vector<uint8_t> out;
            ASSERT_EQ(zip.Read(static_cast<size_t>(index), out), ZipEntryStatus::Ok);
            EXPECT_EQ(std::string(out.begin(), out.end()), content);
        }
    }
}
