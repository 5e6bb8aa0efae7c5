// The built-in loader against the real registry and file system under Wine: runtimes
// registered the way the runtime's installer records them, in HKLM's 32-bit view or in
// HKCU, for each channel, and the version text the loader's entry point answers.
#include "browser/BuiltinLoader.h"
#include "browser/WebView2Loader.h"
#include "platform/win32/Handles.h"
#include "tests/support/RuntimeRegistration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace Folio;

namespace {

constexpr HRESULT kNoRuntime = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
using FolioTest::kHkcu;
using FolioTest::kHklm32;
using FolioTest::kHklm64;
using FolioTest::TChannel;
using FolioTest::TRegistryPlace;
constexpr TChannel Stable = TChannel::Stable, Beta = TChannel::Beta, Dev = TChannel::Dev, Canary = TChannel::Canary;

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
    static void Clear() { FolioTest::UnregisterAllRuntimes(); }
    // A version folder (with the client library unless told otherwise) and its value,
    // with `after` following the folder's name in it.
    std::wstring Install(TRegistryPlace where, TChannel channel, const std::wstring& version, bool withLibrary = true,
                         const std::wstring& after = L"")
    {
        const fs::path folder = Root / version;
        const fs::path library = folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll";
        fs::create_directories(library.parent_path());
        if (withLibrary) {
            std::ofstream(library) << "MZ";
        }
        EXPECT_TRUE(FolioTest::RegisterRuntime(where, channel, folder.wstring() + after));
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

TEST_F(BuiltinLoaderWin32, AFolderIsReadUpToTheFirstNulOfItsValue)
{
    // What follows a NUL inside the value never reaches the search.
    Install(kHkcu, Stable, L"120.0.2210.91", true, std::wstring(1, L'\0') + L"\\elsewhere\\1.2.3.4");
    EXPECT_EQ(Version(), std::make_pair(S_OK, std::wstring(L"120.0.2210.91")));
}
