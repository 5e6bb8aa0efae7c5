// The browser-runtime installer branch of packaged executables, run for real with a
// stand-in loader (it reports the runtime installed only while a marker file exists)
// and a stand-in installer (it records how it was started and may write the marker).
#include "tests/e2e/Harness.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kRuntime = FOLIO_RUNTIME_PATH;
const fs::path kLoader = FOLIO_FAKELOADER_PATH;
const fs::path kInstaller = FOLIO_FAKEINSTALLER_PATH;

struct InstallerBranch : ::testing::Test {
    std::string Id = std::string("folio.e2e.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TWorkDir Work{Id};
    fs::path Folder = LocalAppData() / Id;
    fs::path Marker = Work / "runtime-installed";
    fs::path InstallerLog = Work / "installer.log";
    fs::path LoaderLog = Work / "loader.log";

    InstallerBranch() { fs::remove_all(Folder); }
    ~InstallerBranch() override { std::error_code ec; fs::remove_all(Folder, ec); }

    fs::path Package(const std::string& extra, bool withInstaller = true)
    {
        std::vector<std::pair<std::string, std::string>> entries = {
            {"kiv.ini", "[App]\nID=" + Id + "\nName=Installer " + Id + "\nDirName=web\nAllowInstances=1\n" + extra},
            {"web/index.html", "<title>x</title>"},
            {"WebView2LoaderWin32.dll", ReadBytes(kLoader)}};
        if (withInstaller) {
            entries.push_back({"WebView2Installer.exe", ReadBytes(kInstaller)});
        }
        PackRaw(kRuntime, Work / "App.exe", entries);
        return Work / "App.exe";
    }
    TProcess Run(const fs::path& exe, const std::wstring& installerExit = L"0", bool installerInstalls = true,
                 const std::wstring& sleepMs = L"0")
    {
        return Start(exe, L"",
                     {{L"FOLIO_FAKELOADER_MARKER", Marker.wstring()},
                      {L"FOLIO_FAKELOADER_LOG", LoaderLog.wstring()},
                      {L"FOLIO_FAKEINSTALLER_LOG", InstallerLog.wstring()},
                      {L"FOLIO_FAKEINSTALLER_MARKER", installerInstalls ? std::optional(Marker.wstring()) : std::nullopt},
                      {L"FOLIO_FAKEINSTALLER_SLEEP", sleepMs},
                      {L"FOLIO_FAKEINSTALLER_EXIT", installerExit},
                      // Removed for the browser by start-up, whatever the parent had.
                      {L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"C:\\elsewhere"},
                      {L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE", L"1"}});
    }
    // Answers the dialog that must come next; its text.
    std::wstring Answer(const TProcess& process, const std::wstring& button)
    {
        HWND dialog = WaitForWindow(process, IsDialog);
        if (!dialog) {
            return L"(no dialog)";
        }
        Sleep(200);
        std::wstring texts;
        for (const auto& t : ChildTexts(dialog)) {
            texts += t + L"|";
        }
        ClickButton(dialog, button);
        // The next dialog must be a new window, not this one on its way out.
        for (int i = 0; i < 100 && IsWindow(dialog); ++i) {
            Sleep(50);
        }
        return texts;
    }
    std::map<std::string, std::string> InstallerRecord() const
    {
        std::map<std::string, std::string> record;
        std::istringstream in(ReadBytes(InstallerLog));
        for (std::string line; std::getline(in, line);) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) {
                record[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
        return record;
    }
    // The processes that loaded the loader (each may load it more than once): their
    // command lines by process id.
    std::map<DWORD, std::string> LoaderLoads() const
    {
        std::map<DWORD, std::string> loads;
        std::istringstream in(ReadBytes(LoaderLog));
        for (std::string line; std::getline(in, line);) {
            const size_t space = line.find(' ');
            loads[DWORD(std::stoul(line.substr(0, space)))] = line.substr(space + 1);
        }
        return loads;
    }
};

} // namespace

TEST_F(InstallerBranch, OnlyReportedWhenTheSettingsSaySo)
{
    const TProcess process = Run(Package("EdgeInstaller=0\n"));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"This application cannot continue"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_TRUE(fs::exists(Folder / "Win32" / "WebView2LoaderWin32.dll")); // the folder stays
    EXPECT_FALSE(fs::exists(InstallerLog));
}

TEST_F(InstallerBranch, NotOfferedWithoutAnInstallerInThePackage)
{
    const TProcess process = Run(Package("", false));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"This application cannot continue"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
}

TEST_F(InstallerBranch, RefusingDeletesTheWorkingFolder)
{
    const TProcess process = Run(Package(""));
    EXPECT_TRUE(Contains(Answer(process, L"Cancel"), L"Do you want to install it now?"));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"will be closed now"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_FALSE(fs::exists(Folder));
    EXPECT_FALSE(fs::exists(InstallerLog));
}

TEST_F(InstallerBranch, RefusingKeepsTheBrowsersDataOfEarlierRuns)
{
    // What the browser keeps for the app (its storage) lies in the loader's folder.
    const fs::path storage = Folder / "Win32" / "EBWebView" / "Default" / "Local Storage" / "leveldb" / "000003.log";
    WriteBytes(storage, "notes the user wrote");
    const TProcess process = Run(Package(""));
    EXPECT_TRUE(Contains(Answer(process, L"Cancel"), L"Do you want to install it now?"));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"will be closed now"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_EQ(ReadBytes(storage), "notes the user wrote");
    // What start-up wrote is gone.
    EXPECT_FALSE(fs::exists(Folder / "Win32" / "WebView2LoaderWin32.dll"));
    EXPECT_FALSE(fs::exists(Folder / "WebView2Installer.exe"));
}

TEST_F(InstallerBranch, AcceptedInstallsWaitsAndRestartsOnce)
{
    const fs::path exe = Package("InstallFormColor=255\n");
    // An installer left by an earlier run is never run: the package's is written afresh.
    WriteBytes(Folder / "WebView2Installer.exe", "not a program");
    const TProcess process = Run(exe, L"0", true, L"2500");
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"Do you want to install it now?"));

    HWND wait = WaitForWindow(process, [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & WS_POPUP) != 0; });
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(DWORD(GetWindowLongW(wait, GWL_STYLE)) & ~DWORD(WS_VISIBLE | WS_CLIPSIBLINGS), DWORD(WS_POPUP));
    EXPECT_NE(GetClassLongPtrW(wait, GCL_STYLE) & CS_DROPSHADOW, 0u);
    RECT client{};
    GetClientRect(wait, &client);
    EXPECT_EQ(client.right, 80);
    EXPECT_EQ(client.bottom, 80);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(wait, region), ERROR);
    DeleteObject(region);
    // The user cannot close it.
    PostMessageW(wait, WM_CLOSE, 0, 0);
    Sleep(300);
    EXPECT_TRUE(IsWindow(wait));

    EXPECT_EQ(process.WaitExit(30000), 0u);
    const auto record = InstallerRecord();
    EXPECT_EQ(record.at("args"), "/silent /install");
    EXPECT_EQ(record.at("show"), std::to_string(SW_HIDE));
    // The environment the browser gets, as every child inherits it.
    EXPECT_EQ(record.at("WEBVIEW2_USER_DATA_FOLDER"), "[" + (Folder / "Win32").string() + "\\]");
    EXPECT_EQ(record.at("WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS"),
              "[--disable-logging --disable-web-security --disable-features=RendererCodeIntegrity "
              "--enable-features=msSpeechRecognition --autoplay-policy=no-user-gesture-required]");
    EXPECT_EQ(record.at("WEBVIEW2_BROWSER_EXECUTABLE_FOLDER"), "(unset)");
    EXPECT_EQ(record.at("WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"), "(unset)");

    // The installer is gone, the loader stays; one new process, without arguments.
    EXPECT_FALSE(fs::exists(Folder / "WebView2Installer.exe"));
    EXPECT_TRUE(fs::exists(Folder / "Win32" / "WebView2LoaderWin32.dll"));
    // The first process has ended, so whatever it started is under way: wait for the
    // restart to load the loader, then a little longer for any second one.
    const auto restarts = [&] {
        auto loads = LoaderLoads();
        loads.erase(process.Id());
        return std::vector<std::pair<DWORD, std::string>>(loads.begin(), loads.end());
    };
    for (int i = 0; i < 200 && restarts().empty(); ++i) {
        Sleep(100);
    }
    Sleep(2000);
    ASSERT_EQ(restarts().size(), 1u);
    const auto restart = restarts()[0];
    std::string line = restart.second;
    line.erase(line.find_last_not_of(" \r") + 1);
    const bool bare = line.ends_with("App.exe") || line.ends_with("App.exe\"");
    EXPECT_TRUE(bare) << "the restart has arguments: " << line;
    // The restarted process goes on normally; it is ended here.
    if (HANDLE again = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, restart.first)) {
        if (WaitForSingleObject(again, 3000) == WAIT_TIMEOUT) {
            for (HWND w : WindowsOf(restart.first)) PostMessageW(w, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(again, 10000) == WAIT_TIMEOUT) TerminateProcess(again, 1);
        }
        CloseHandle(again);
    }
}

TEST_F(InstallerBranch, AFailedInstallationIsReportedAndCleanedUp)
{
    // The installer exits with 259 ("still active" to a careless waiter) and installs nothing.
    const TProcess process = Run(Package("WebviewArguments=--lang=es   --mute-audio\n"), L"259", false);
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"Do you want to install it now?"));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"You cancel the installation"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_FALSE(fs::exists(Folder));
    EXPECT_EQ(InstallerRecord().at("WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS"), "[--lang=es   --mute-audio]");
    EXPECT_EQ(LoaderLoads().size(), 1u); // no restart
}

TEST_F(InstallerBranch, RefusingKeepsWhatOthersKeepInTheFolder)
{
    // An ID that names a folder someone else keeps (another program's, or "Temp") must not
    // cost them their files: only what start-up put there goes.
    WriteBytes(Folder / "Other" / "data.txt", "theirs");
    WriteBytes(Folder / "notes.txt", "theirs");
    const TProcess process = Run(Package(""));
    EXPECT_TRUE(Contains(Answer(process, L"Cancel"), L"Do you want to install it now?"));
    EXPECT_TRUE(Contains(Answer(process, L"Accept"), L"will be closed now"));
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_EQ(ReadBytes(Folder / "Other" / "data.txt"), "theirs");
    EXPECT_EQ(ReadBytes(Folder / "notes.txt"), "theirs");
    EXPECT_FALSE(fs::exists(Folder / "Win32"));
}
