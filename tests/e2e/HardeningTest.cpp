// Packaged executables run for real against what a hostile or careless setting brings:
// libraries planted beside the executable and in its current folder, the tool-window
// frames that must keep the taskbar button, the start-up error dialog under Escape (and
// its icon before Windows 8), a page that is only busy, and a window showing a page
// from outside the package, which nobody can answer the close query for.
#include "tests/e2e/Harness.h"
#include "tests/e2e/StandinLog.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kRuntime = FOLIO_RUNTIME_PATH;
const fs::path kStandin = FOLIO_STANDIN_PATH;
const fs::path kPlanted = FOLIO_PLANTED_PATH;

const std::string kCloseAnswer =
    "on-script kiv.events.onCloseQuery(); file:///index.html {\"id\":50001,\"uuid\":\"c1\",\"data\":{}}\n";

bool IsMainWindow(HWND window) { return ClassOf(window) == L"FolioMainForm"; }

struct Hardened : ::testing::Test {
    std::string Id = std::string("folio.e2e.hardening.") +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TWorkDir Work{Id};
    fs::path Log = Work / "standin.log";

    ~Hardened() override
    {
        std::error_code ec;
        fs::remove_all(LocalAppData() / Id, ec);
    }
    fs::path Package(const std::string& settings = "")
    {
        PackRaw(kRuntime, Work / "App.exe",
                {{"kiv.ini", "[App]\nID=" + Id + "\nName=Hardened\nDirName=web\nAllowInstances=1\n" + settings},
                 {"web/index.html", "<title>Start</title>"},
                 {"web/other.html", "<title>Other</title>"},
                 {"WebView2LoaderWin32.dll", ReadBytes(kStandin)}});
        return Work / "App.exe";
    }
    // Starts the packaged executable with the stand-in playing `scenario` (a fresh log).
    TProcess Run(const fs::path& exe, const std::string& scenario, TEnvironment environment = {},
                 const fs::path& folder = {})
    {
        std::error_code ec;
        fs::remove(Log, ec);
        WriteBytes(Work / "scenario.txt", scenario);
        environment[L"FOLIO_STANDIN_LOG"] = Log.wstring();
        environment[L"FOLIO_STANDIN_SCENARIO"] = (Work / "scenario.txt").wstring();
        return Start(exe, L"", environment, folder);
    }
    std::vector<TLogLine> Lines() const { return ParseLog(ReadBytes(Log)); }
    bool WaitFor(const std::string& event, DWORD ms = 40000) const
    {
        for (DWORD waited = 0; waited < ms; waited += 100) {
            for (const auto& line : Lines()) {
                if (line.Event == event) {
                    return true;
                }
            }
            Sleep(100);
        }
        return false;
    }
    // Where the log's lines of `event` (with `field` = `value` when given) stand.
    std::vector<size_t> Positions(const std::string& event, const std::string& field = "",
                                  const std::string& value = "") const
    {
        std::vector<size_t> found;
        const auto lines = Lines();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].Event == event && (field.empty() || lines[i].Text(field.c_str()) == value)) {
                found.push_back(i);
            }
        }
        return found;
    }
};

// System libraries that are not among Windows' known DLLs (which always come from the
// system folder) and that the runtime, or Windows' own libraries working for it, load
// as it runs: dwmapi, uxtheme, version and msimg32 show in a run with WINEDEBUG=+loaddll;
// windowscodecs (images), propsys (the shell) and dbghelp come with other paths. Known
// DLLs such as ole32, shcore or shell32 are left out: Windows never takes them from
// anywhere else, and Wine does not keep to that list.
const char* const kPlantedNames[] = {"dwmapi", "uxtheme", "version", "msimg32", "windowscodecs", "propsys", "dbghelp"};

// The planted libraries that were loaded, each with the path it was loaded from (the
// text of its marker file), one a line; the markers are taken away.
std::string TakeMarkers(const fs::path& folder)
{
    std::string loaded;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string bytes = ReadBytes(entry.path());
        const std::wstring from(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        loaded += entry.path().filename().string() + " from " + fs::path(from).string() + "\n";
    }
    for (const auto& entry : std::vector<fs::directory_entry>(fs::directory_iterator(folder), {})) {
        fs::remove(entry.path());
    }
    return loaded;
}

} // namespace

TEST_F(Hardened, LibrariesPlantedBesideTheExecutableOrInItsFolderAreNotLoaded)
{
    const fs::path markers = Work / "markers", current = Work / "current";
    fs::create_directories(markers);
    fs::create_directories(current);
    const TEnvironment environment = {{L"FOLIO_PLANTED_MARKERS", markers.wstring()}};

    // The planted library does announce itself when something loads it.
    fs::copy_file(kPlanted, Work / "control.dll");
    SetEnvironmentVariableW(L"FOLIO_PLANTED_MARKERS", markers.c_str());
    const HMODULE control = LoadLibraryW((Work / "control.dll").c_str());
    SetEnvironmentVariableW(L"FOLIO_PLANTED_MARKERS", nullptr);
    ASSERT_NE(control, nullptr);
    FreeLibrary(control);
    ASSERT_EQ(TakeMarkers(markers), "control.dll.loaded from " + (Work / "control.dll").string() + "\n");

    for (const char* theme : {"", "Theme=Carbon\n"}) {
        SCOPED_TRACE(theme);
        const fs::path exe = Package(theme);
        for (const char* name : kPlantedNames) {
            for (const fs::path& folder : {Work.Path(), current}) {
                fs::copy_file(kPlanted, folder / (std::string(name) + ".dll"), fs::copy_options::overwrite_existing);
            }
        }
        const TProcess process = Run(exe, "wait 1000\n" + kCloseAnswer + "close\n", environment, current);
        ASSERT_NE(WaitForWindow(process, IsMainWindow), nullptr);
        EXPECT_EQ(process.WaitExit(40000), 0u) << ReadBytes(Log);
        EXPECT_FALSE(Positions("scenario-done").empty()) << ReadBytes(Log);
        EXPECT_EQ(TakeMarkers(markers), "");
    }
}

TEST_F(Hardened, ToolWindowFramesKeepTheTaskbarButton)
{
    const std::string setBorder = "message file:///index.html {\"id\":60012,\"uuid\":\"b\",\"data\":{\"border\":\"";
    const struct {
        const char* What;
        std::string Settings, Scenario;
    } cases[] = {
        {"tool window at start", "WindowBorder=4\n", ""},
        {"sizeable tool window at start", "WindowBorder=5\n", ""},
        {"tool window from the page", "", setBorder + "toolwindow\"}}\nwait-reply 10000\n"},
        {"sizeable tool window from the page", "WindowBorder=3\n", setBorder + "sizetoolwindow\"}}\nwait-reply 10000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TProcess process = Run(Package(c.Settings), c.Scenario + kCloseAnswer);
        HWND main = WaitForWindow(process, IsMainWindow);
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitFor("scenario-done")) << ReadBytes(Log);
        const auto exStyle = DWORD(GetWindowLongW(main, GWL_EXSTYLE));
        EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
        EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.WaitExit(20000), 0u);
    }
}
