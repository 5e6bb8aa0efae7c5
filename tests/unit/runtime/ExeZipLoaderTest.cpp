// Opening the package at start-up when it cannot be held in memory: refused with a
// clear error as an unreadable package, nothing left mapped and the archive empty. The
// 32-bit runtime's limits are given through the memory-limit seams.
#include "package/Calculations.h"
#include "package/PeImage.h"
#include "package/ZipEntryReader.h"
#include "package/ZipWriter.h"
#include "runtime/ExeZipLoader.h"
#include "tests/support/PeBuilder.h"
#include "tests/support/TempDir.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

using namespace Folio::Runtime;
using namespace Folio::Shared;
using namespace FolioTest;

namespace {

constexpr uint64_t kImageEnd = 0x400;

std::string PackageOf(const std::string& ini)
{
    std::ostringstream out;
    TZipWriter writer(out, {Utf16ToAnsi(PackagePassword()), false});
    writer.AddBytes("kiv.ini", ini, TZipWriter::DosDateTime(1600000000));
    writer.Finish();
    return out.str();
}

std::string MakeExe(const TempDir& dir, const std::string& package)
{
    const auto path = dir / "app.exe";
    WriteFile(path, BuildPe({{0x200, 0x200}}, kImageEnd) + package);
    return path.string();
}

void ExpectRefused(const TApplication& app, TLoadResult result, const std::string& message, const char* what)
{
    EXPECT_EQ(result, TLoadResult::PackageUnreadable) << what;
    EXPECT_NE(app.Error.find(message), std::string::npos) << what << ": " << app.Error;
    EXPECT_FALSE(app.Mapping.IsOpen()) << what;
    EXPECT_FALSE(app.AppArchive.IsOpen()) << what;
    EXPECT_EQ(app.AppArchive.Count(), 0u) << what;
}

} // namespace

TEST(OpenPackage, LoadsAPackageThatFits)
{
    TempDir dir;
    const std::string package = PackageOf("[App]\nID=a.b\nName=A\nDirName=w\n");
    TExeUtils exe(Utf8ToUtf16(MakeExe(dir, package)), kImageEnd);
    exe.SetMemoryLimit(package.size()); // exactly at the limit still loads
    TApplication app;
    ASSERT_EQ(OpenPackage(exe, app), TLoadResult::Loaded) << app.Error;
    EXPECT_EQ(app.AppID, u"a.b");
    // The archive reads the executable in place, its package after the image.
    ASSERT_TRUE(app.Mapping.IsOpen());
    EXPECT_EQ(app.Mapping.Bytes().size(), kImageEnd + package.size());
}

TEST(OpenPackage, PackageLargerThanTheProcessCanHoldIsRefused)
{
    TempDir dir;
    const std::string package = PackageOf("[App]\nID=a.b\nName=A\nDirName=w\n");
    const std::string path = MakeExe(dir, package);
    {
        TExeUtils exe(Utf8ToUtf16(path), kImageEnd);
        exe.SetMemoryLimit(package.size() - 1);
        TApplication app;
        ExpectRefused(app, OpenPackage(exe, app), std::to_string(package.size()) + " bytes) is too large to load",
                      "one byte over");
    }
    // A 32-bit process holds less than 2 GiB in one piece; sizes of 4 GiB and more
    // must not wrap to small ones. Sparse files: nothing is read before the refusal.
    const std::pair<uint64_t, uint64_t> limits[] = {
        {0x7FFFFFFFull, 0x80000001ull},
        {0x7FFFFFFFull, 0x100000001ull},
        {0xFFFFFFFFull, 0x100000010ull},
    };
    for (const auto& [limit, attached] : limits) {
        std::filesystem::resize_file(path, kImageEnd + attached);
        TExeUtils exe(Utf8ToUtf16(path), kImageEnd);
        exe.SetMemoryLimit(limit);
        TApplication app;
        ExpectRefused(app, OpenPackage(exe, app), "(" + std::to_string(attached) + " bytes) is too large to load",
                      std::to_string(attached).c_str());
    }
}

TEST(OpenPackage, DirectoryLargerThanTheProcessCanHoldIsRefused)
{
    TempDir dir;
    TExeUtils exe(Utf8ToUtf16(MakeExe(dir, PackageOf("[App]\nID=a.b\nName=A\nDirName=w\n"))), kImageEnd);
    TApplication app;
    app.AppArchive.SetMemoryLimit(16);
    ExpectRefused(app, OpenPackage(exe, app), "does not fit in memory", "directory");
}

namespace {

// What the browser's thread holds at the exit: a streamed entry of the application's
// package, and the folder of its executable.
struct TLateRead {
    std::shared_ptr<TZipEntryReader> Reader;
    std::string Clip;
    std::filesystem::path Folder;
};
TLateRead* lateRead = nullptr;

void ReadAtExit()
{
    std::string got(lateRead->Clip.size(), '\0');
    const size_t read = lateRead->Reader->Read(reinterpret_cast<uint8_t*>(got.data()), got.size());
    // Unmapped, the executable can go (Windows keeps a mapped file).
    Application().Mapping.Close();
    std::error_code ec;
    std::filesystem::remove_all(lateRead->Folder, ec);
    if (read != got.size() || got != lateRead->Clip) {
        std::_Exit(2);
    }
}

} // namespace

// The browser reads streamed entries on threads of its own, which run on while the
// process exits and its statics are destroyed: the package must stay readable then.
TEST(OpenPackage, ApplicationPackageReadableWhileTheProcessExits)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Registered before the application exists, so it runs after its clean-up.
            std::atexit(ReadAtExit);
            lateRead = new TLateRead;
            lateRead->Folder = std::filesystem::temp_directory_path() /
                               ("folio-late-read-" + std::to_string(std::random_device()()));
            std::filesystem::create_directories(lateRead->Folder);
            lateRead->Clip = NoiseBytes(200000, 5);
            std::ostringstream out;
            TZipWriter writer(out, {Utf16ToAnsi(PackagePassword()), false});
            writer.AddBytes("kiv.ini", "[App]\nID=a.b\nName=A\nDirName=w\n", TZipWriter::DosDateTime(1600000000));
            writer.AddBytes("w/clip.bin", lateRead->Clip, TZipWriter::DosDateTime(1600000000));
            writer.Finish();
            const auto path = lateRead->Folder / "app.exe";
            WriteFile(path, BuildPe({{0x200, 0x200}}, kImageEnd) + out.str());
            TExeUtils exe(Utf8ToUtf16(path.string()), kImageEnd);
            TApplication& app = Application();
            if (OpenPackage(exe, app) != TLoadResult::Loaded) {
                std::_Exit(3);
            }
            lateRead->Reader = std::make_shared<TZipEntryReader>(app.AppArchive, static_cast<size_t>(app.AppArchive.Find(u"w/clip.bin")));
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}
