// The built-in loader against the real registry and file system under Wine: runtimes
// registered the way the runtime's installer records them, in HKLM's 32-bit view or in
// HKCU, for each channel, and the version text the loader's entry point answers.
#include "browser/BuiltinLoader.h"
#include "browser/WebView2Loader.h"
#include "platform/win32/Handles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace Folio;

namespace {

constexpr HRESULT kNoRuntime = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
const wchar_t* const kChannels[] = {L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}",
                                    L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}"};
enum Channel { Stable, Beta, Dev, Canary };

std::wstring Key(Channel channel) { return std::wstring(L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\") + kChannels[channel]; }

struct Where {
    HKEY Root;
    REGSAM View;
};
const Where kHklm32{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY};
const Where kHklm64{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY};
const Where kHkcu{HKEY_CURRENT_USER, 0};

struct BuiltinLoaderWin32 : ::testing::Test {
    fs::path Root = fs::temp_directory_path() / ("folio-builtin-" + std::to_string(GetCurrentProcessId()));

    BuiltinLoaderWin32() { Clear(); }
    ~BuiltinLoaderWin32() override
    {
        Clear();
        SetEnvironmentVariableW(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", nullptr);
        std::error_code ec;
        fs::remove_all(Root, ec);
    }
    static void Clear()
    {
        for (const Where where : {kHklm32, kHklm64, kHkcu}) {
            for (int c = Stable; c <= Canary; ++c) {
                RegDeleteKeyExW(where.Root, Key(Channel(c)).c_str(), where.View, 0);
            }
        }
    }
    // A version folder (with the client library unless told otherwise) and its value.
    std::wstring Install(Where where, Channel channel, const std::wstring& version, bool withLibrary = true)
    {
        const fs::path folder = Root / version;
        const fs::path library = folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll";
        fs::create_directories(library.parent_path());
        if (withLibrary) {
            std::ofstream(library) << "MZ";
        }
        Win32::UniqueHKey key;
        EXPECT_EQ(RegCreateKeyExW(where.Root, Key(channel).c_str(), 0, nullptr, 0, KEY_SET_VALUE | where.View, nullptr,
                                  key.Put(), nullptr),
                  ERROR_SUCCESS);
        const std::wstring value = folder.wstring();
        EXPECT_EQ(RegSetValueExW(key.Get(), L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 DWORD((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        return library.wstring();
    }
    // What the loader's version entry point answers: its result and its text.
    static std::pair<HRESULT, std::wstring> Version()
    {
        Shared::TLoaderFunctions functions;
        EXPECT_TRUE(Shared::LoadBuiltinLoader(functions));
        EXPECT_NE(functions.CreateCoreWebView2Environment, nullptr);
        Win32::UniqueCoTaskString text;
        const HRESULT hr = functions.GetAvailableCoreWebView2BrowserVersionString(nullptr, text.Put());
        if (FAILED(hr)) {
            EXPECT_EQ(text.Get(), nullptr);
        }
        return {hr, text ? std::wstring(text.Get()) : L"(null)"};
    }
};

} // namespace

TEST_F(BuiltinLoaderWin32, NothingRegisteredIsFileNotFound)
{
    EXPECT_EQ(Version(), std::make_pair(kNoRuntime, std::wstring(L"(null)")));
    EXPECT_FALSE(Browser::FindSystemRuntime());
    // The environment call fails at once too, without calling its handler.
    Shared::TLoaderFunctions functions;
    Shared::LoadBuiltinLoader(functions);
    EXPECT_EQ(functions.CreateCoreWebView2Environment(nullptr), E_POINTER);
}

TEST_F(BuiltinLoaderWin32, HklmsThirtyTwoBitViewAndHkcuAreReadButNotHklmsOwnView)
{
    Install(kHklm64, Stable, L"120.0.2210.91");
    EXPECT_EQ(Version().first, kNoRuntime);
    const std::wstring library = Install(kHklm32, Stable, L"120.0.2210.92");
    EXPECT_EQ(Version(), std::make_pair(S_OK, std::wstring(L"120.0.2210.92")));
    ASSERT_TRUE(Browser::FindSystemRuntime());
    EXPECT_EQ(Browser::FindSystemRuntime()->ClientLibrary, std::u16string(library.begin(), library.end()));
    Clear();
    Install(kHkcu, Stable, L"120.0.2210.93");
    EXPECT_EQ(Version(), std::make_pair(S_OK, std::wstring(L"120.0.2210.93")));
}

TEST_F(BuiltinLoaderWin32, ChannelsInOrderWithTheirSuffixes)
{
    Install(kHklm32, Canary, L"125.0.2500.1");
    EXPECT_EQ(Version().second, L"125.0.2500.1 canary");
    Install(kHkcu, Dev, L"124.0.2400.1");
    EXPECT_EQ(Version().second, L"124.0.2400.1 dev");
    Install(kHklm32, Beta, L"123.0.2300.1");
    EXPECT_EQ(Version().second, L"123.0.2300.1 beta");
    // A stable runtime in HKCU wins over every preview in HKLM.
    Install(kHkcu, Stable, L"120.0.2210.91");
    EXPECT_EQ(Version().second, L"120.0.2210.91");
    // Unless the process asks for the preview channels first.
    SetEnvironmentVariableW(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1");
    EXPECT_EQ(Version().second, L"125.0.2500.1 canary");
}

TEST_F(BuiltinLoaderWin32, AKeyWithoutItsLibraryOrTooOldIsNoRuntime)
{
    Install(kHklm32, Stable, L"120.0.2210.91", false);
    EXPECT_EQ(Version().first, kNoRuntime);
    Install(kHkcu, Beta, L"104.0.1293.70");
    EXPECT_EQ(Version().first, kNoRuntime);
    // The environment call answers the same, without loading anything.
    Shared::TLoaderFunctions functions;
    Shared::LoadBuiltinLoader(functions);
    struct NeverCalled : ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE Invoke(HRESULT, ICoreWebView2Environment*) override
        {
            ADD_FAILURE() << "the handler ran";
            return S_OK;
        }
    } handler;
    EXPECT_EQ(functions.CreateCoreWebView2Environment(&handler), kNoRuntime);
    // A library that is no library is reported, not called.
    Install(kHkcu, Dev, L"122.0.2300.0");
    EXPECT_TRUE(FAILED(functions.CreateCoreWebView2Environment(&handler)));
}
