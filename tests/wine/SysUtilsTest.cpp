// TSysUtils on a real Win32 (Wine): command output, windows, folders, deletion, the
// browser-runtime check and elevated starts.
#include "platform/win32/SysUtils.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace Folio::Win32;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

std::u16string U(const std::filesystem::path& p) { return p.u16string(); }

std::u16string HelperPath(const char* name)
{
    // The helper programs and libraries stand beside the test executable.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / name).u16string();
}

} // namespace

TEST(GetDosOutput, CollectsStandardOutputAndError)
{
    EXPECT_EQ(TSysUtils::GetDosOutput(u"echo a", u"", false), u"a\r\n");
    EXPECT_EQ(TSysUtils::GetDosOutput(u"echo oops 1>&2", u"", false), u"oops \r\n");
    EXPECT_EQ(TSysUtils::GetDosOutput(u"echo a", u"C:\\no\\such\\folder", false), u"");

    TempDir dir;
    WriteFile(dir / "here.txt", "x");
    const auto listing = TSysUtils::GetDosOutput(u"dir /b", U(dir.Path()), false);
    EXPECT_NE(listing.find(u"here.txt"), std::u16string::npos);
}

// Run with a double-byte ANSI code page (Japanese, 932): a character whose two bytes
// straddle the old 255-byte read boundary must come out whole.
TEST(GetDosOutput, MultiByteCharacterAcrossReadBoundary)
{
    if (GetACP() != 932) {
        GTEST_SKIP() << "needs ANSI code page 932 (the ja_JP run of this test)";
    }
    TempDir dir;
    std::string bytes(254, 'a');
    bytes += "\x82\xA0"; // HIRAGANA LETTER A in code page 932, at bytes 254 and 255
    bytes += "z";
    WriteFile(dir / "sjis.txt", bytes);
    const auto text = TSysUtils::GetDosOutput(u"type sjis.txt", U(dir.Path()), false);
    EXPECT_EQ(text, std::u16string(254, u'a') + u"\u3042z");
}

TEST(GetWindowsCaptions, HiddenWindowsAndDuplicates)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FolioCaptionTest";
    RegisterClassW(&wc);
    HWND a = CreateWindowW(L"FolioCaptionTest", L"Folio twin", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
    HWND b = CreateWindowW(L"FolioCaptionTest", L"Folio twin", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
    HWND blank = CreateWindowW(L"FolioCaptionTest", L" \t ", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    ASSERT_TRUE(a && b && blank);
    TStringList captions{u"stale"};
    TSysUtils::GetWindowsCaptions(captions);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), u"Folio twin"), 2); // hidden, listed twice
    EXPECT_EQ(std::count(captions.begin(), captions.end(), u" \t "), 0);
    EXPECT_EQ(std::count(captions.begin(), captions.end(), u"stale"), 0);
    DestroyWindow(a);
    DestroyWindow(b);
    DestroyWindow(blank);
}

TEST(DeleteDirectory, TreeAndMissing)
{
    TempDir dir;
    WriteFile(dir / "tree/a/b/c.txt", "c");
    WriteFile(dir / "tree/d.txt", "d");
    EXPECT_TRUE(TSysUtils::DeleteDirectory(U(dir / "tree")));
    EXPECT_FALSE(std::filesystem::exists(dir / "tree"));
    EXPECT_FALSE(TSysUtils::DeleteDirectory(U(dir / "tree")));
    // Folders as the runtime writes them, with their backslash.
    WriteFile(dir / "work/Win32/x.dll", "x");
    EXPECT_TRUE(TSysUtils::DeleteDirectory(U(dir / "work") + u"\\"));
    EXPECT_FALSE(std::filesystem::exists(dir / "work"));
}

TEST(Folders, EndWithOneBackslash)
{
    for (const auto& folder : {TSysUtils::GetUserDesktopDirPath(), TSysUtils::GetUserDocumentsDirPath(),
                               TSysUtils::GetUserAppDataDirPath(), TSysUtils::GetLocalAppDataDirPath(),
                               TSysUtils::GetTempDirPath(), TSysUtils::GetProgramFilesDirPath()}) {
        ASSERT_GE(folder.size(), 4u) << testing::PrintToString(folder);
        EXPECT_EQ(folder.back(), u'\\');
        EXPECT_NE(folder[folder.size() - 2], u'\\');
        EXPECT_NE(GetFileAttributesW(reinterpret_cast<const wchar_t*>(folder.c_str())), INVALID_FILE_ATTRIBUTES)
            << testing::PrintToString(folder);
    }
    EXPECT_EQ(TSysUtils::GetSpecialFolderPath(0x00FE), u""); // no such folder: the getters then give "\"
    EXPECT_NE(TSysUtils::GetLocalAppDataDirPath().find(u"Local"), std::u16string::npos);
}

TEST(CheckEdgeIsInstalled, AsksTheLoaderForAVersion)
{
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(u"C:\\nowhere\\WebView2Loader.dll"));
    EXPECT_FALSE(TSysUtils::CheckEdgeIsInstalled(HelperPath("noexport.dll")));
    EXPECT_TRUE(TSysUtils::CheckEdgeIsInstalled(HelperPath("fakeloader.dll")));
}

TEST(ShellExecAsAdminAndWait, ReturnsTheChildsExitCode)
{
    // Wine has no elevation prompt: "runas" starts the program as it is.
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, HelperPath("exitcode.exe"), u"42"), 42u);
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, u"C:\\nowhere\\missing.exe", u""), 0u);
    // 259 is also "still running" to GetExitCodeProcess: the wait must end all the same.
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, HelperPath("exitcode.exe"), u"259"), 259u);

    // Messages posted before the wait are handled during it.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, HelperPath("exitcode.exe"), u"7"), 7u);
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, nullptr, WM_NULL, WM_NULL, PM_REMOVE));
}

TEST(ShellExecAsAdminAndWait, SleepsWhileTheChildRuns)
{
    auto cpuTime = [] {
        FILETIME created, exited, kernel, user;
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
        return ((uint64_t(user.dwHighDateTime) << 32) | user.dwLowDateTime) +
               ((uint64_t(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime);
    };
    const uint64_t before = cpuTime();
    EXPECT_EQ(TSysUtils::ShellExecAsAdminAndWait(nullptr, HelperPath("exitcode.exe"), u"9 1500"), 9u);
    // A busy wait would burn about the whole 1.5 s of the child's sleep on this thread.
    EXPECT_LT(cpuTime() - before, 5000000u) << "100-ns units of processor time spent waiting";
}

TEST(SmallOperations, PathsSizesAndNames)
{
    TempDir dir;
    WriteFile(dir / "one/a.txt", "12345");
    WriteFile(dir / "one/sub/b.bin", "123");
    WriteFile(dir / "bom.txt", "\xEF\xBB\xBFhello");
    const auto one = U(dir / "one");
    EXPECT_EQ(TSysUtils::GetSizeOfFile(U(dir / "one/a.txt")), 5);
    EXPECT_EQ(TSysUtils::GetSizeOfFile(U(dir / "none")), -1);
    EXPECT_EQ(TSysUtils::GetSizeOfDir(one, true), 8);
    EXPECT_EQ(TSysUtils::GetSizeOfDir(one, false), 5);
    EXPECT_EQ(TSysUtils::GetSubdirectoriesCount(one), 1);
    TStringList files;
    TSysUtils::GetDirectoryFiles(one, false, u"*.txt", files);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(files[0].size() - 6), u"\\a.txt");
    EXPECT_EQ(TSysUtils::GetParentDirPath(u"C:\\a\\b\\c.txt"), u"C:\\a\\b\\");
    EXPECT_EQ(TSysUtils::GetParentDirPath(u"C:\\a"), u"C:\\");
    EXPECT_EQ(TSysUtils::ExpandFileNameRelBaseDir(u"..\\x\\.\\y.txt", u"C:\\base\\dir"), u"C:\\base\\x\\y.txt");
    EXPECT_TRUE(TSysUtils::IsValidFilePath(u"C:\\ok\\name.txt"));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(u"C:\\bad|name.txt"));
    EXPECT_FALSE(TSysUtils::IsValidFilePath(u"C:\\a:b"));
    EXPECT_TRUE(TSysUtils::RemoveUTFBoomFromFile(U(dir / "bom.txt")));
    EXPECT_EQ(FolioTest::ReadFile(dir / "bom.txt"), "hello");
    EXPECT_FALSE(TSysUtils::RemoveUTFBoomFromFile(U(dir / "bom.txt")));
    EXPECT_TRUE(TSysUtils::CopyFile(U(dir / "one/a.txt"), U(dir / "copy.txt")));
    EXPECT_EQ(FolioTest::ReadFile(dir / "copy.txt"), "12345");
    EXPECT_TRUE(TSysUtils::FilesHaveSameDateTime(U(dir / "one/a.txt"), U(dir / "one/a.txt")));
    EXPECT_FALSE(TSysUtils::GetComputerNetName().empty());
    EXPECT_FALSE(TSysUtils::GetUserFromWindows().empty());
    EXPECT_EQ(TSysUtils::ExecAndWait(HelperPath("exitcode.exe") + u" 3"), 3u);
    EXPECT_EQ(TSysUtils::FormatByteSize(1536), u"1.5 KB");
}
