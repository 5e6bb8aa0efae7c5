// Packages that carry no loader library, run for real with the built-in loader: a fake
// installed runtime (the stand-in built as the runtime's client library, in a version
// folder recorded in the registry as the runtime's installer records it) serves them;
// without one the installer branch runs; planted client libraries are never loaded; and
// a package that carries a loader still uses it.
#include "tests/e2e/StandinFixture.h"

using namespace FolioE2E;

namespace {

const fs::path kClient = FOLIO_STANDIN_CLIENT_PATH;
const std::wstring kStable = L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::wstring kBeta = L"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
const std::wstring kDev = L"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}";
const std::wstring kCanary = L"{65C35B14-6C1D-4122-AC46-7148CC9D6497}";
const std::string kDefaultArguments =
    "--disable-logging --disable-web-security --disable-features=RendererCodeIntegrity "
    "--enable-features=msSpeechRecognition --autoplay-policy=no-user-gesture-required";

std::wstring ClientStateKey(const std::wstring& channel)
{
    return L"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\" + channel;
}

std::string Narrow(const std::wstring& text) { return Folio::Shared::Utf16ToUtf8(std::u16string(text.begin(), text.end())); }

struct BuiltinLoader : WithStandin {
    struct TRegistration {
        HKEY Root;
        REGSAM View;
        std::wstring Channel;
    };
    std::vector<TRegistration> Registered;

    BuiltinLoader()
    {
        CarryLoader = false;
        // A run that was killed may have left its registration behind.
        for (const auto& channel : {kStable, kBeta, kDev, kCanary}) {
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, ClientStateKey(channel).c_str(), KEY_WOW64_32KEY, 0);
            RegDeleteKeyW(HKEY_CURRENT_USER, ClientStateKey(channel).c_str());
        }
    }
    fs::path Package(const std::string& extra = "") { return WithStandin::Package("DynamicAppTitle=1\n" + extra); }
    ~BuiltinLoader() override
    {
        for (const auto& r : Registered) {
            RegDeleteKeyExW(r.Root, ClientStateKey(r.Channel).c_str(), r.View, 0);
        }
    }
    // Installs the fake runtime: its version folder, with the client library unless told
    // otherwise, recorded under `root` (HKLM's 32-bit view or HKCU) for `channel`.
    fs::path InstallRuntime(HKEY root, const std::wstring& channel, bool withLibrary = true)
    {
        const fs::path folder = Work / "EdgeWebView" / "Application" / "120.0.2210.91";
        const fs::path library = folder / "EBWebView" / "x64" / "EmbeddedBrowserWebView.dll";
        fs::create_directories(library.parent_path());
        if (withLibrary && !fs::exists(library)) {
            fs::copy_file(kClient, library);
        }
        const REGSAM view = root == HKEY_LOCAL_MACHINE ? KEY_WOW64_32KEY : 0;
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, ClientStateKey(channel).c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring value = folder.wstring();
        RegSetValueExW(key, L"EBWebView", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        Registered.push_back({root, view, channel});
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
    const fs::path library = InstallRuntime(HKEY_LOCAL_MACHINE, kStable);
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
    for (const auto& channel : {kStable, kCanary}) {
        fs::remove(Log);
        InstallRuntime(HKEY_CURRENT_USER, channel);
        ExpectAServedRun(exe);
        const auto lines = Lines();
        const auto* call = Find(lines, "client-environment");
        ASSERT_NE(call, nullptr) << ReadBytes(Log);
        EXPECT_EQ(call->Text("browserArguments"), arguments); // as written
        RegDeleteKeyW(HKEY_CURRENT_USER, ClientStateKey(channel).c_str());
    }
}

TEST_F(BuiltinLoader, WithoutARuntimeTheInstallerBranchRuns)
{
    const fs::path exe = Package();
    for (const bool keyWithoutLibrary : {false, true}) {
        if (keyWithoutLibrary) {
            InstallRuntime(HKEY_LOCAL_MACHINE, kStable, false);
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
    const fs::path library = InstallRuntime(HKEY_CURRENT_USER, kStable);
    fs::remove(Log);
    ExpectAServedRun(exe, {}, elsewhere);
    const auto lines = Lines();
    ASSERT_EQ(Count(lines, "client-environment"), 1u);
    EXPECT_EQ(Find(lines, "client-environment")->Text("library"), Narrow(library.wstring()));
}

TEST_F(BuiltinLoader, APackageThatCarriesALoaderStillUsesIt)
{
    InstallRuntime(HKEY_LOCAL_MACHINE, kStable);
    CarryLoader = true;
    const TProcess process = Run(Package(), kCloseAnswer + "close\n");
    ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    const auto lines = Lines();
    EXPECT_EQ(Count(lines, "create-environment"), 1u);
    EXPECT_EQ(Count(lines, "client-environment"), 0u) << "the package's loader ran, not the built-in one";
    EXPECT_TRUE(fs::exists(LoaderFile()));
}
