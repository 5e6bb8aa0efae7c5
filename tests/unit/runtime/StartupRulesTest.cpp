// Start-up decisions that do not touch the system: the command-line forms, the browser
// environment, the application ID as a folder name, and the files written out of the
// package (the loader library kept between runs, the installer written afresh).
#include "package/SettingsCheck.h"
#include "platform/FileSystem.h"
#include "package/Crc32.h"
#include "runtime/PackagedFile.h"
#include "runtime/StartupRules.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <span>

using namespace Folio::Runtime;
using Folio::Shared::IsPlainAppId;

TEST(StartupRules, ArgumentForms)
{
    struct Case {
        std::vector<std::u16string> Args;
        bool SkipPassword, OpensUrl;
    } cases[] = {
        {{}, false, false},
        {{u"app.id"}, true, false},
        {{u"app.id", u"file:///help.html"}, true, true},
        {{u"App.ID", u"file:///help.html"}, false, false}, // case counts
        {{u"app.id", u"file:///a.html", u"x"}, true, false},
        {{u"other", u"app.id"}, false, false},
    };
    for (const auto& c : cases) {
        const auto got = ClassifyArguments(c.Args, u"app.id");
        EXPECT_EQ(got.SkipPassword, c.SkipPassword) << c.Args.size();
        EXPECT_EQ(got.OpensUrl, c.OpensUrl) << c.Args.size();
        EXPECT_EQ(got.Url, c.OpensUrl ? c.Args[1] : u"");
    }
}

TEST(StartupRules, StartPageIsTheAskedUrlOrThePackagesIndex)
{
    const std::u16string index = u"app/index.html";
    EXPECT_EQ(StartPageUrl({}, u"app.id", index), u"file:///app/index.html");
    EXPECT_EQ(StartPageUrl({u"app.id"}, u"app.id", index), u"file:///app/index.html");
    EXPECT_EQ(StartPageUrl({u"app.id", u"file:///help.html"}, u"app.id", index), u"file:///help.html");
    EXPECT_EQ(StartPageUrl({u"App.ID", u"file:///help.html"}, u"app.id", index), u"file:///app/index.html");
}

TEST(StartupRules, BrowserEnvironment)
{
    EXPECT_EQ(kDefaultBrowserArguments.size(), 162u);
    const auto env = BrowserEnvironment(u"C:\\Users\\me\\AppData\\Local\\app\\Win32\\", u"   \t ");
    ASSERT_EQ(env.size(), 4u);
    EXPECT_EQ(env[0].Name, u"WEBVIEW2_USER_DATA_FOLDER");
    EXPECT_EQ(env[0].Value, u"C:\\Users\\me\\AppData\\Local\\app\\Win32\\");
    EXPECT_EQ(env[1].Name, u"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS");
    EXPECT_EQ(env[1].Value, kDefaultBrowserArguments);
    EXPECT_EQ(env[2].Name, u"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER");
    EXPECT_EQ(env[3].Name, u"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE");
    EXPECT_TRUE(env[2].Value.empty() && env[3].Value.empty());
    // Content is passed on exactly, blanks around it included.
    EXPECT_EQ(BrowserArguments(u"  --lang=es "), u"  --lang=es ");
}

TEST(StartupRules, ApplicationIdsThatCanNameAFolder)
{
    for (const std::u16string& id : std::vector<std::u16string>{u"com.folio.hello", u"My App", u"a", u"app-1_2", u"\u00e9t\u00e9", u"COM10",
                                    u"console", u"nul-app", u"app\U0001F600"}) {
        EXPECT_TRUE(IsPlainAppId(id)) << std::string(id.begin(), id.end());
    }
    for (const std::u16string& id : std::vector<std::u16string>{u"", u"   ", u".", u"..", u"a\\b", u"a/b", u"C:", u"a*", u"a?", u"a\"b", u"a<b",
                                    u"a>b", u"a|b", u"a\tb", std::u16string(u"a\0b", 3), u"app.", u"app ", u"CON",
                                    u"nul", u"NUL.txt", u"com1", u"LPT9.x", u"aux ", std::u16string(129, u'a'),
                                    std::u16string{u'a', 0xD800, u'b'}, u"a\xDC00", u"\xD83D"}) { // half a surrogate pair
        EXPECT_FALSE(IsPlainAppId(id)) << std::string(id.begin(), id.end());
    }
}

namespace {

struct PackagedFileTest : ::testing::Test {
    FolioTest::TempDir dir;
    Folio::Platform::TFileSystem& files = Folio::Platform::SystemFileSystem();
    Folio::Shared::TZipArchive archive;
    std::string bytes;
    const std::string loader = std::string("MZ loader \0 bytes", 17) + std::string(70000, 'L');

    void Open(const std::vector<FolioTest::RawEntry>& entries)
    {
        bytes = FolioTest::BuildZip(entries).Bytes;
        ASSERT_EQ(archive.Open(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())),
                  Folio::Shared::ZipError::None);
    }
    std::u16string Target() const { return (dir / "loader.dll").u16string(); }
    TPackagedFileResult Write(bool keepMatching = true)
    {
        return WritePackagedFile(archive, u"WebView2LoaderWin32.dll", Target(), files, keepMatching);
    }
    size_t FilesInFolder() const
    {
        return size_t(std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
    }
};

} // namespace

TEST_F(PackagedFileTest, WrittenByteForByteThenKept)
{
    Open({FolioTest::Stored("WebView2LoaderWin32.dll", loader)});
    EXPECT_EQ(Write().Outcome, TPackagedFile::Written);
    EXPECT_EQ(FolioTest::ReadFile(dir / "loader.dll"), loader);
    const auto written = std::filesystem::last_write_time(dir / "loader.dll");
    EXPECT_EQ(Write().Outcome, TPackagedFile::Kept);
    EXPECT_EQ(std::filesystem::last_write_time(dir / "loader.dll"), written);
    EXPECT_EQ(FilesInFolder(), 1u); // no temporary file left
    // Without keeping, it is written afresh all the same.
    EXPECT_EQ(Write(false).Outcome, TPackagedFile::Written);
    EXPECT_EQ(FolioTest::ReadFile(dir / "loader.dll"), loader);
}

TEST_F(PackagedFileTest, DifferentFilesOnDiskAreReplaced)
{
    Open({FolioTest::Stored("WebView2LoaderWin32.dll", loader)});
    std::string flipped = loader, lastFlipped = loader;
    flipped[1000] ^= 1;
    lastFlipped.back() ^= 1; // past the first chunk the comparison reads
    // An interrupted write (a part), an empty file, the same size with other bytes (early
    // or at the very end), the loader with more after it.
    for (const std::string& old : {loader.substr(0, 4096), std::string(), flipped, lastFlipped, loader + "MZ"}) {
        FolioTest::WriteFile(dir / "loader.dll", old);
        EXPECT_EQ(Write().Outcome, TPackagedFile::Written);
        EXPECT_EQ(FolioTest::ReadFile(dir / "loader.dll"), loader);
    }
    EXPECT_EQ(FilesInFolder(), 1u);
}

namespace {

uint32_t CrcOf(const std::string& s)
{
    return Folio::Shared::Crc32(0, reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// `data` with the four bytes at `at` changed so that its CRC-32 becomes `wanted`: the CRC
// is linear in the data, so the change is the solution of 32 equations over GF(2).
std::string ForgeCrc(std::string data, size_t at, uint32_t wanted)
{
    const uint32_t base = CrcOf(data);
    uint32_t column[32];
    for (int bit = 0; bit < 32; ++bit) {
        std::string flipped = data;
        flipped[at + size_t(bit / 8)] ^= char(1 << (bit % 8));
        column[bit] = CrcOf(flipped) ^ base;
    }
    // Rows of [columns | target], eliminated to find which bits to flip.
    uint64_t rows[32];
    const uint32_t target = wanted ^ base;
    for (int r = 0; r < 32; ++r) {
        uint64_t row = 0;
        for (int bit = 0; bit < 32; ++bit) {
            row |= uint64_t((column[bit] >> r) & 1) << bit;
        }
        rows[r] = row | (uint64_t((target >> r) & 1) << 32);
    }
    for (int bit = 0, r = 0; bit < 32; ++bit) {
        int pivot = r;
        while (pivot < 32 && !((rows[pivot] >> bit) & 1)) {
            ++pivot;
        }
        if (pivot == 32) {
            continue;
        }
        std::swap(rows[r], rows[pivot]);
        for (int o = 0; o < 32; ++o) {
            if (o != r && ((rows[o] >> bit) & 1)) {
                rows[o] ^= rows[r];
            }
        }
        ++r;
    }
    for (int r = 0; r < 32; ++r) {
        const uint64_t row = rows[r] & 0xFFFFFFFFu;
        if (row && (rows[r] >> 32)) {
            const int bit = __builtin_ctzll(row);
            data[at + size_t(bit / 8)] ^= char(1 << (bit % 8));
        }
    }
    return data;
}

} // namespace

TEST_F(PackagedFileTest, AFileForgedToTheSameSizeAndCrcIsReplaced)
{
    Open({FolioTest::Stored("WebView2LoaderWin32.dll", loader)});
    // A planted library padded to the loader's size, its CRC-32 made to match.
    std::string planted = "MZ planted " + std::string(loader.size() - 11, 'P');
    planted = ForgeCrc(planted, planted.size() - 8, CrcOf(loader));
    ASSERT_EQ(planted.size(), loader.size());
    ASSERT_EQ(CrcOf(planted), CrcOf(loader));
    ASSERT_NE(planted, loader);
    FolioTest::WriteFile(dir / "loader.dll", planted);
    const auto result = Write();
    EXPECT_EQ(result.Outcome, TPackagedFile::Written);
    EXPECT_EQ(FolioTest::ReadFile(dir / "loader.dll"), loader);
    ASSERT_NE(result.Held, nullptr);
    EXPECT_EQ(result.Held->ReadAll(), std::vector<uint8_t>(loader.begin(), loader.end()));
}

TEST_F(PackagedFileTest, MissingOrUnreadableEntriesWriteNothing)
{
    Open({FolioTest::Stored("other.txt", "x")});
    EXPECT_EQ(Write().Outcome, TPackagedFile::EntryMissing);
    auto broken = FolioTest::Stored("WebView2LoaderWin32.dll", loader);
    broken.Crc ^= 1;
    Open({broken});
    const auto result = Write();
    EXPECT_EQ(result.Outcome, TPackagedFile::EntryUnreadable);
    EXPECT_FALSE(result.Error.empty());
    EXPECT_EQ(FilesInFolder(), 0u);
}

TEST_F(PackagedFileTest, AFolderThatTakesNoFileIsReported)
{
    Open({FolioTest::Stored("WebView2LoaderWin32.dll", loader)});
    const auto result = WritePackagedFile(archive, u"WebView2LoaderWin32.dll",
                                          (dir / "missing" / "folder" / "loader.dll").u16string(), files, true);
    EXPECT_EQ(result.Outcome, TPackagedFile::NotWritten);
    EXPECT_NE(result.Error.find("Cannot create file"), std::string::npos);
}

TEST_F(PackagedFileTest, AFolderInTheWayIsReportedNotTakenForAFileInUse)
{
    Open({FolioTest::Stored("WebView2LoaderWin32.dll", loader)});
    std::filesystem::create_directories(dir / "loader.dll" / "inside");
    for (const bool keepMatching : {true, false}) {
        const auto result = Write(keepMatching);
        EXPECT_EQ(result.Outcome, TPackagedFile::NotWritten);
        EXPECT_NE(result.Error.find("loader.dll"), std::string::npos) << result.Error;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir / "loader.dll" / "inside"));
    EXPECT_EQ(FilesInFolder(), 1u);
}
