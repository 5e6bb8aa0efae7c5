// Icons and version information written into a copy of this test program with the
// real resource-update functions, read back with the system's own readers.
#include "package/ExeUtils.h"
#include "package/PeImage.h"
#include "platform/RunningModule.h"
#include "tests/support/IcoBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

namespace {

// The colour of the first pixel of an icon's colour bitmap, as 0xRRGGBB.
uint32_t FirstPixel(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return 0xFFFFFFFFu;
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, 0, nullptr, &bi, DIB_RGB_COLORS);
    const LONG width = bi.bmiHeader.biWidth, height = std::abs(bi.bmiHeader.biHeight);
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biHeight = -height;
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
    const int lines = GetDIBits(dc, info.hbmColor, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return lines == height && !pixels.empty() ? pixels[0] & 0xFFFFFF : 0xFFFFFFFFu;
}

} // namespace

// An executable that the host build's folio-pack branded with --icon and --info, read
// through the system's own functions. tests/wine/host-made-resources builds it and runs
// this test with its path in FOLIO_HOST_MADE_EXE; the icon has a 16-pixel image of
// 0x1020C0 and a 32-pixel one of 0x30B010.
TEST(HostMade, DISABLED_IconAndVersionReadThroughTheSystem)
{
    const char* path = std::getenv("FOLIO_HOST_MADE_EXE");
    ASSERT_NE(path, nullptr) << "run through tests/wine/host-made-resources";
    const std::wstring wide(path, path + std::strlen(path));
    const std::u16string exe(wide.begin(), wide.end());

    EXPECT_EQ(ExtractIconExW(wide.c_str(), -1, nullptr, nullptr, 0), 1u);
    HICON large = nullptr, small = nullptr;
    ExtractIconExW(wide.c_str(), 0, &large, &small, 1);
    ASSERT_NE(large, nullptr);
    ASSERT_NE(small, nullptr);
    // Wine draws its small icon from either image; LoadImage below picks each by size.
    EXPECT_TRUE(FirstPixel(small) == 0x1020C0u || FirstPixel(small) == 0x30B010u) << std::hex << FirstPixel(small);
    EXPECT_EQ(FirstPixel(large), 0x30B010u);
    DestroyIcon(large);
    DestroyIcon(small);

    HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (const auto& [size, colour] : {std::pair{16, 0x1020C0u}, std::pair{32, 0x30B010u}}) {
        HICON icon = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(FirstPixel(icon), colour) << size;
        DestroyIcon(icon);
    }
    FreeLibrary(module);

    EXPECT_EQ(VersionString(exe, L"ProductName"), L"Host Made");
    EXPECT_EQ(VersionString(exe, L"CompanyName"), L"Folio \u00C9ditions");
    EXPECT_EQ(VersionString(exe, L"FileVersion"), L"4.3.2.1");
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(wide.c_str(), &ignored), '\0');
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(wide.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00040003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);
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
