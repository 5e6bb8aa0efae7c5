// folio-pack build deflates text-like entries by default and stores the rest; --store
// keeps all stored. The example apps read back byte for byte either way.
#include "package/AppSettings.h"
#include "package/Calculations.h"
#include "package/PeImage.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/PeBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include "util/TextCodecs.h"

#include <sstream>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

const std::string kPack = FOLIO_PACK_PATH;
const std::filesystem::path kSource = FOLIO_SOURCE_DIR;

struct Result {
    int Code;
    std::string Out, Err;
};

Result Pack(const TempDir& dir, const std::string& args)
{
    const std::string command = "cd '" + dir.Path().string() + "' && '" + kPack + "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return {WEXITSTATUS(status), ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
}

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Script-like text of n bytes.
std::string Script(size_t n)
{
    std::string s;
    for (uint32_t i = 0; s.size() < n; ++i) {
        s += "function f" + std::to_string(i * 7919 % 1000) + "(a) { return a + " + std::to_string(i % 97) + "; }\n";
    }
    s.resize(n);
    return s;
}

} // namespace

// Both example apps: the default package is smaller than the stored one, text entries
// are deflated, and every entry extracts to the bytes of its file.
TEST(FolioPackDeflate, ExampleAppsAreSmallerAndExtractByteForByte)
{
    for (const auto& app : {kSource / "examples/hello", kSource / "tests/browser/app"}) {
        TempDir dir;
        WriteFile(dir / "runtime.exe", BuildPe({{0x200, 0x200}}, 0x400));
        const auto deflated = Pack(dir, "build '" + app.string() + "' --runtime runtime.exe -o deflated.exe");
        ASSERT_EQ(deflated.Code, 0) << deflated.Err;
        const auto stored = Pack(dir, "build '" + app.string() + "' --runtime runtime.exe --store -o stored.exe");
        ASSERT_EQ(stored.Code, 0) << stored.Err;
        const std::string small = ReadFile(dir / "deflated.exe"), big = ReadFile(dir / "stored.exe");
        EXPECT_LT(small.size(), big.size()) << app;
        EXPECT_NE(deflated.Out.find("Deflate saved "), std::string::npos) << deflated.Out;
        EXPECT_NE(stored.Out.find("Every entry is stored"), std::string::npos) << stored.Out;

        for (const auto& [exe, anyDeflated] : {std::pair{small, true}, std::pair{big, false}}) {
            TZipArchive zip;
            zip.SetPassword(PackagePassword());
            ASSERT_EQ(zip.Open(Span(exe).subspan(0x400)), ZipError::None);
            bool sawDeflate = false;
            for (size_t i = 0; i < zip.Count(); ++i) {
                sawDeflate = sawDeflate || zip.Entry(i).Method == 8;
                EXPECT_TRUE(zip.Entry(i).Method == 0 || (anyDeflated && zip.Entry(i).Method == 8));
            }
            EXPECT_EQ(sawDeflate, anyDeflated) << app;
        }
        // Every file of the app, through folio-pack extract, from both executables.
        TAppSettings settings;
        settings.LoadFromBytes(ReadFile(app / "kiv.ini"));
        const std::string dirName = Utf16ToUtf8(settings.ReadString(u"App", u"DirName", u""));
        size_t files = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(app)) {
            if (!e.is_regular_file()) {
                continue;
            }
            const auto relative = e.path().lexically_relative(app).generic_string();
            const std::string entry = relative == "kiv.ini" ? relative : dirName + "/" + relative;
            for (const char* exe : {"deflated.exe", "stored.exe"}) {
                const auto out = Pack(dir, std::string("extract ") + exe + " '" + entry + "' -o extracted.bin");
                ASSERT_EQ(out.Code, 0) << entry << out.Err;
                EXPECT_TRUE(ReadFile(dir / "extracted.bin") == ReadFile(e.path())) << exe << " " << entry;
            }
            ++files;
        }
        EXPECT_GE(files, 4u);
    }
}

// Media stays stored; a large script is deflated as it streams; small entries that
// deflate does not shrink stay stored. Info-ZIP and 7-Zip accept the package.
TEST(FolioPackDeflate, MediaStaysStoredAndLargeEntriesDeflateAsTheyStream)
{
    TempDir dir;
    WriteFile(dir / "app/kiv.ini", "[App]\nID=t.app\nName=Test\nDirName=web\n");
    WriteFile(dir / "app/index.html", "<p>" + Script(3000) + "</p>");
    const std::string big = Script(TZipWriter::kTrialLimit + (1u << 20));
    WriteFile(dir / "app/big.js", big);
    WriteFile(dir / "app/tiny.css", "a{}");
    WriteFile(dir / "app/photo.PNG", Script(20000)); // compressible, but a media type
    WriteFile(dir / "app/clip.mp4", Script(20000));
    WriteFile(dir / "app/tone.wav", std::string(20000, '\0')); // uncompressed audio, seeked by players
    WriteFile(dir / "runtime.exe", BuildPe({{0x200, 0x200}}, 0x400));
    const auto r = Pack(dir, "build app --runtime runtime.exe -o App.exe");
    ASSERT_EQ(r.Code, 0) << r.Err;

    const std::string exe = ReadFile(dir / "App.exe");
    TZipArchive zip;
    zip.SetPassword(PackagePassword());
    ASSERT_EQ(zip.Open(Span(exe).subspan(0x400)), ZipError::None);
    const std::pair<std::u16string, uint16_t> methods[] = {
        {u"kiv.ini", 8},        {u"web/index.html", 8}, {u"web/big.js", 8},
        {u"web/tiny.css", 0},   {u"web/photo.PNG", 0},  {u"web/clip.mp4", 0}, {u"web/tone.wav", 0},
    };
    for (const auto& [name, method] : methods) {
        const int i = zip.Find(name);
        ASSERT_GE(i, 0);
        EXPECT_EQ(zip.Entry(static_cast<size_t>(i)).Method, method) << testing::PrintToString(name);
    }
    const auto& entry = zip.Entry(static_cast<size_t>(zip.Find(u"web/big.js")));
    EXPECT_LT(entry.CompressedSize * 4, entry.UncompressedSize);
    std::vector<uint8_t> out;
    ASSERT_EQ(zip.Read(static_cast<size_t>(zip.Find(u"web/big.js")), out), ZipEntryStatus::Ok);
    EXPECT_TRUE(std::string(out.begin(), out.end()) == big);

    WriteFile(dir / "package.zip", exe.substr(0x400));
    const std::string password = Utf16ToAnsi(PackagePassword());
    EXPECT_TRUE(RunIn(dir.Path(), "unzip -tq -P '" + password + "' package.zip"));
    EXPECT_TRUE(RunIn(dir.Path(), "7z t '-p" + password + "' package.zip >/dev/null"));
    EXPECT_EQ(Pack(dir, "verify App.exe").Code, 0);
}
