// Archives made at test time by real peers (Info-ZIP, 7-Zip, Python's zipfile) read
// back byte for byte, and the package writer's archives accepted by those peers.
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/TempDir.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <map>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::ReadFile;
using FolioTest::RunIn;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

const std::map<std::string, std::string>& Files()
{
    static const std::map<std::string, std::string> files = {
        {"index.html", "<!doctype html><title>hi</title>" + std::string(3000, 'a')},
        {"img/noise.bin", NoiseBytes(70000, 1)},
        {"empty.txt", ""},
        {"js/app.js", "console.log('x');\n"},
        {"one.txt", "1"},
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
        std::vector<uint8_t> out{'x'};
        ASSERT_EQ(zip.Read(static_cast<size_t>(index), out), ZipEntryStatus::Ok) << name << " in " << path;
        EXPECT_EQ(std::string(out.begin() + 1, out.end()), bytes) << name << " in " << path;
    }
    if (!password.empty()) {
        TZipArchive wrong;
        wrong.SetPasswordBytes(password + "x");
        ASSERT_EQ(wrong.Open({reinterpret_cast<const uint8_t*>(data.data()), data.size()}), ZipError::None);
        std::vector<uint8_t> out;
        const int index = wrong.Find(u"img/noise.bin");
        EXPECT_NE(wrong.Read(static_cast<size_t>(index), out), ZipEntryStatus::Ok);
        EXPECT_TRUE(out.empty());
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
