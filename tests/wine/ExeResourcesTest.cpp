// Icons and version information written into a copy of this test program with the
// real resource-update functions, read back with the system's own readers.
#include "package/ExeUtils.h"
#include "package/PeImage.h"
#include "platform/RunningModule.h"
#include "tests/support/IcoBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

std::u16string CopyOfThisProgram(const TempDir& dir)
{
    const auto target = dir / "copy.exe";
    std::filesystem::copy_file(std::filesystem::path(Folio::Platform::CurrentModuleImage().Path), target);
    return target.u16string();
}

std::wstring VersionString(const std::u16string& exe, const wchar_t* key)
{
    const auto* path = reinterpret_cast<const wchar_t*>(exe.c_str());
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        return L"<no version information>";
    }
    std::string block(size, '\0');
    if (!GetFileVersionInfoW(path, 0, size, block.data())) {
        return L"<unreadable>";
    }
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || !value) {
        return L"<missing>";
    }
    return std::wstring(value);
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

uint64_t ImageEndOf(const std::u16string& exe)
{
    const std::string bytes = ReadFile(std::filesystem::path(exe));
    return PeImageEnd({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).value_or(0);
}

} // namespace

TEST(ExeResources, VersionInformationReadsBack)
{
    TempDir dir;
    const auto exe = CopyOfThisProgram(dir);
    TExeInfo info;
    info.CompanyName = u"Folio \u00C9ditions";
    info.ProductName = u"Hello";
    info.FileVersion = u"2.5.0.17";
    TExeUtils::UpdateExeInfo(exe, info);
    info.ProductName = u"Hello Again";
    TExeUtils::UpdateExeInfo(exe, info); // a second update replaces the first

    EXPECT_EQ(VersionString(exe, L"CompanyName"), L"Folio \u00C9ditions");
    EXPECT_EQ(VersionString(exe, L"ProductName"), L"Hello Again");
    EXPECT_EQ(VersionString(exe, L"Comments"), L"<missing>");

    const auto* path = reinterpret_cast<const wchar_t*>(exe.c_str());
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(path, &ignored), '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);

    // The packer appends after these changes: nothing may follow the image.
    EXPECT_EQ(ImageEndOf(exe), std::filesystem::file_size(std::filesystem::path(exe)));
}

// A value whose length does not fit the resource's 16-bit fields is refused before the
// executable is touched: the version information already there stays readable.
TEST(ExeResources, VersionValueTooLongIsRefusedAndTheOldOneKept)
{
    TempDir dir;
    const auto exe = CopyOfThisProgram(dir);
    TExeInfo info;
    info.ProductName = u"Hello";
    TExeUtils::UpdateExeInfo(exe, info);
    const std::string before = ReadFile(std::filesystem::path(exe));

    info.Comments = std::u16string(40000, u'c');
    try {
        TExeUtils::UpdateExeInfo(exe, info);
        ADD_FAILURE() << "a 40,000-character value was written";
    } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("Comments is too long"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(std::filesystem::path(exe)), before);
    EXPECT_EQ(VersionString(exe, L"ProductName"), L"Hello");
    EXPECT_EQ(VersionString(exe, L"Comments"), L"<missing>");
}

TEST(ExeResources, MainIconReplacedWithItsImages)
{
    TempDir dir;
    const auto exe = CopyOfThisProgram(dir);
    WriteFile(dir / "a.ico", BuildIco({16, 32, 48}));
    WriteFile(dir / "b.ico", BuildIco({24}));
    TExeUtils::ChangeExeIcon(exe, (dir / "a.ico").u16string());
    TExeUtils::ChangeExeIcon(exe, (dir / "b.ico").u16string());

    HMODULE module = LoadLibraryExW(reinterpret_cast<const wchar_t*>(exe.c_str()), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC group = FindResourceW(module, L"MAINICON", MAKEINTRESOURCEW(14));
    ASSERT_NE(group, nullptr);
    const auto* dirBytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(dirBytes, nullptr);
    EXPECT_EQ(dirBytes[4], 1); // one image: the second icon replaced the first
    EXPECT_EQ(dirBytes[6], 24);
    const uint16_t id = static_cast<uint16_t>(dirBytes[6 + 12] | (dirBytes[6 + 13] << 8));
    HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(LockResource(LoadResource(module, image))),
                          SizeofResource(module, image)),
              IconImage(24, 0xFF0000FFu));
    int icons = 0; // the first icon's three images are gone
    EnumResourceNamesW(module, MAKEINTRESOURCEW(3), CountName, reinterpret_cast<LONG_PTR>(&icons));
    EXPECT_EQ(icons, 1);
    FreeLibrary(module);
    EXPECT_EQ(ExtractIconExW(reinterpret_cast<const wchar_t*>(exe.c_str()), -1, nullptr, nullptr, 0), 1u);
    EXPECT_EQ(ImageEndOf(exe), std::filesystem::file_size(std::filesystem::path(exe)));

    WriteFile(dir / "bad.ico", "not an icon");
    EXPECT_THROW(TExeUtils::ChangeExeIcon(exe, (dir / "bad.ico").u16string()), EFileError);
    EXPECT_THROW(TExeUtils::UpdateExeInfo((dir / "missing.exe").u16string(), TExeInfo{}), EFileError);
}

// The runtime carries its manifest, its icon and the dialog images.
TEST(RuntimeResources, ManifestIconAndImages)
{
    HMODULE runtime = LoadLibraryExW(FOLIO_RUNTIME_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(runtime, nullptr);
    HRSRC manifest = FindResourceW(runtime, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text(static_cast<const char*>(LockResource(LoadResource(runtime, manifest))),
                           SizeofResource(runtime, manifest));
    for (const char* needle : {"PerMonitorV2", "true/pm", "Microsoft.Windows.Common-Controls", "6.0.0.0", "asInvoker",
                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "{e2011457-1546-43c5-a5fe-008deee3d3f0}"}) {
        EXPECT_NE(text.find(needle), std::string::npos) << needle;
    }
    EXPECT_NE(FindResourceW(runtime, L"MAINICON", MAKEINTRESOURCEW(14)), nullptr);
    for (const wchar_t* image : {L"MSG_ERROR", L"MSG_INFO", L"MSG_WARNING"}) {
        HRSRC png = FindResourceW(runtime, image, MAKEINTRESOURCEW(10));
        ASSERT_NE(png, nullptr);
        EXPECT_EQ(std::string(static_cast<const char*>(LockResource(LoadResource(runtime, png))), 8),
                  "\x89PNG\r\n\x1a\n");
    }
    HRSRC library = FindResourceW(runtime, L"KIV_EXTERNAL_JAVASCRIPT", MAKEINTRESOURCEW(10));
    ASSERT_NE(library, nullptr);
    const std::string script(static_cast<const char*>(LockResource(LoadResource(runtime, library))),
                             SizeofResource(runtime, library));
    EXPECT_EQ(script.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(script.find("window.kiv = {"), std::string::npos);
    FreeLibrary(runtime);
}
