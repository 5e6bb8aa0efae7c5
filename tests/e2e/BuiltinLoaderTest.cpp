// Packages that carry no loader library, run for real with the built-in loader: a fake
// installed runtime (the stand-in built as the runtime's client library, in a version
// folder recorded in the registry as the runtime's installer records it) serves them;
// without one the installer branch runs; planted client libraries are never loaded; and
// a package that carries a loader still uses it.
#include "tests/e2e/StandinFixture.h"
#include "tests/support/RuntimeRegistration.h"

using namespace FolioE2E;

namespace {

const fs::path kClient = FOLIO_STANDIN_CLIENT_PATH;
using FolioTest::TChannel;
using FolioTest::TRegistryPlace;
const std::string kDefaultArguments =
    "--disable-logging --disable-web-security --disable-features=RendererCodeIntegrity "
    "--enable-features=msSpeechRecognition --autoplay-policy=no-user-gesture-required";

std::string Narrow(const std::wstring& text) { return Folio::Shared::Utf16ToUtf8(std::u16string(text.begin(), text.end())); }

struct BuiltinLoader : WithStandin {
    BuiltinLoader()
    {
        CarryLoader = false;
        FolioTest::UnregisterAllRuntimes(); // a run that was killed may have left its registration behind
    }
    fs::path Package(const std::string& extra = "") { return WithStandin::Package("DynamicAppTitle=1\n" + extra); }
    ~BuiltinLoader() override { FolioTest::UnregisterAllRuntimes(); }
    // Installs the fake runtime: its version folder, with the client library unless told
    // otherwise, recorded in `place` (HKLM's 32-bit view or HKCU) for `channel`.
    fs::path InstallRuntime(TRegistryPlace place, TChannel channel, bool withLibrary = true)
    {
        const fs::path folder = Work / "EdgeWebView" / "Application" / "120.0.2210.91";
        const fs::path library = folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll";
        fs::create_directories(library.parent_path());
        if (withLibrary && !fs::exists(library)) {
            fs::copy_file(kClient, library);
        }
        EXPECT_TRUE(FolioTest::RegisterRuntime(place, channel, folder.wstring()));
        return library;
    }
    fs::path UserData() const { return LocalAppData() / Id / "Win32"; }
    // Where a loader library would have been written.
    fs::path LoaderFile() const { return UserData() / "WebView2LoaderWin32.dll"; }

    // A run that serves the start page, answers a bridge round trip, follows the title
    // and ends through the close handshake with code 0.
    void ExpectAServedRun(const fs::path& exe, const TEnvironment& environment = {}, const fs::path& folder = {})
    {
        const TProcess process = Run(exe,
                                     "request file:///style.css stylesheet\n"
                                     "message file:///index.html {\"id\":10001,\"uuid\":\"u1\",\"data\":{}}\n"
                                     "wait-reply 10000\n"
                                     "title Served\n"
                                     "wait 2000\n" +
                                         kCloseAnswer + "close\n",
                                     L"", environment, folder);
        HWND main = WaitForWindow(process, IsMainWindow);
        ASSERT_NE(main, nullptr) << ReadBytes(Log);
        // The package asks for the page's title (DynamicAppTitle=1).
        bool titled = false;
        for (int i = 0; i < 400 && !titled && IsWindow(main); ++i) {
            titled = TextOf(main) == L"Served";
            Sleep(50);
        }
        EXPECT_TRUE(titled) << "the title follows the page";
        ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
        EXPECT_EQ(process.WaitExit(20000), 0u) << "the close handshake ends the process";
        const auto lines = Lines();
        const auto* start = Find(lines, "response", "url", "file:///index.html");
        ASSERT_NE(start, nullptr) << ReadBytes(Log);
        EXPECT_EQ(start->Text("sha256"), Sha256Hex(kIndex));
        const auto* style = Find(lines, "response", "url", "file:///style.css");
        ASSERT_NE(style, nullptr);
        EXPECT_EQ(style->Text("status"), "200");
        EXPECT_NE(Find(lines, "web-message-posted", "json", R"({"uuid": "u1", "success": true, "result": "2023.19"})"),
                  nullptr)
            << ReadBytes(Log);
        EXPECT_FALSE(fs::exists(LoaderFile())) << "nothing is written where the loader would go";
    }
};

} // namespace

TEST_F(BuiltinLoader, ARuntimeInHklmServesAPackageWithoutALoader)
{
    const fs::path library = InstallRuntime(FolioTest::kHklm32, TChannel::Stable);
    ExpectAServedRun(Package(),
                     // Removed by start-up whatever the parent had: the stable channel is used.
                     {{L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}});
    const auto lines = Lines();
    ASSERT_EQ(Count(lines, "client-environment"), 1u) << ReadBytes(Log);
    const auto* call = Find(lines, "client-environment");
    // As the runtime's own loader calls it.
    EXPECT_EQ(call->Text("checkRunningInstance"), "true");
    EXPECT_EQ(call->Text("runtimeType"), "0");
    EXPECT_EQ(call->Text("options"), "false");
    EXPECT_EQ(call->Text("userDataFolder"), Narrow(UserData().wstring() + L"\\"));
    EXPECT_EQ(call->Text("browserArguments"), kDefaultArguments);
    EXPECT_EQ(kDefaultArguments.size(), 162u);
    EXPECT_EQ(call->Text("library"), Narrow(library.wstring()));
}

TEST_F(BuiltinLoader, ARuntimeOnlyInHkcuOrOnAPreviewChannelServesToo)
{
    const std::string arguments = "--lang=es   --mute-audio";
    const fs::path exe = Package("WebviewArguments=" + arguments + "\n");
    for (const TChannel channel : {TChannel::Stable, TChannel::Canary}) {
        fs::remove(Log);
        InstallRuntime(FolioTest::kHkcu, channel);
        ExpectAServedRun(exe);
        const auto lines = Lines();
        const auto* call = Find(lines, "client-environment");
        ASSERT_NE(call, nullptr) << ReadBytes(Log);
        EXPECT_EQ(call->Text("browserArguments"), arguments); // as written
        FolioTest::UnregisterRuntime(FolioTest::kHkcu, channel);
    }
}

TEST_F(BuiltinLoader, WithoutARuntimeTheInstallerBranchRuns)
{
    const fs::path exe = Package();
    for (const bool keyWithoutLibrary : {false, true}) {
        if (keyWithoutLibrary) {
            InstallRuntime(FolioTest::kHklm32, TChannel::Stable, false);
        }
        const TProcess process = Run(exe, "");
        HWND dialog = WaitForWindow(process, IsDialog);
        ASSERT_NE(dialog, nullptr) << keyWithoutLibrary;
        Sleep(200);
        bool cannotContinue = false;
        for (const auto& text : ChildTexts(dialog)) {
            cannotContinue = cannotContinue || Contains(text, L"This application cannot continue");
        }
        EXPECT_TRUE(cannotContinue) << keyWithoutLibrary;
        ClickButton(dialog, L"Accept");
        EXPECT_EQ(process.WaitExit(20000), 0u);
        EXPECT_FALSE(fs::exists(LoaderFile()));
        EXPECT_EQ(Count(Lines(), "client-environment"), 0u);
    }
}

TEST_F(BuiltinLoader, PlantedClientLibrariesAreNeverLoaded)
{
    // Copies beside the executable and in the folder it starts in, and none installed.
    const fs::path exe = Package();
    const fs::path elsewhere = Work / "cwd";
    for (const fs::path& folder : {Work.Path(), elsewhere, elsewhere / "EBWebView" / "x64"}) {
        fs::create_directories(folder);
        fs::copy_file(kClient, folder / "EmbeddedBrowserWebView.dll", fs::copy_options::overwrite_existing);
    }
    const TProcess process = Run(exe, "", L"", {}, elsewhere);
    HWND dialog = WaitForWindow(process, IsDialog);
    ASSERT_NE(dialog, nullptr);
    ClickButton(dialog, L"Accept");
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_EQ(Count(Lines(), "client-environment"), 0u) << ReadBytes(Log);

    // With a runtime installed, the installed library is the one called.
    const fs::path library = InstallRuntime(FolioTest::kHkcu, TChannel::Stable);
    fs::remove(Log);
    ExpectAServedRun(exe, {}, elsewhere);
    const auto lines = Lines();
    ASSERT_EQ(Count(lines, "client-environment"), 1u);
    EXPECT_EQ(Find(lines, "client-environment")->Text("library"), Narrow(library.wstring()));
}

TEST_F(BuiltinLoader, APackageThatCarriesALoaderStillUsesIt)
{
    InstallRuntime(FolioTest::kHklm32, TChannel::Stable);
    CarryLoader = true;
    const TProcess process = Run(Package(), kCloseAnswer + "close\n");
    ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    const auto lines = Lines();
    EXPECT_EQ(Count(lines, "create-environment"), 1u);
    EXPECT_EQ(Count(lines, "client-environment"), 0u) << "the package's loader ran, not the built-in one";
    EXPECT_TRUE(fs::exists(LoaderFile()));
}
