// Packaged executables run for real against what a hostile or careless setting brings:
// libraries planted beside the executable and in its current folder, the tool-window
// frames that must keep the taskbar button, the start-up error dialog under Escape (and
// its icon before Windows 8), a page that is only busy, and a window showing a page
// from outside the package, which nobody can answer the close query for.
#include "tests/e2e/Harness.h"
#include "tests/e2e/StandinLog.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <set>

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

// The screen's pixels in the icon box of the message dialog (12 pixels in, 32 square,
// at 96 DPI).
std::vector<uint32_t> DialogIcon(HWND dialog)
{
    POINT origin{12, 12};
    ClientToScreen(dialog, &origin);
    return Folio::Test::CaptureScreen({origin.x, origin.y, origin.x + 32, origin.y + 32});
}

// The system's error icon as the dialog would draw it, on the dialog's background.
std::vector<uint32_t> SystemErrorIcon(uint32_t background)
{
    return Folio::Test::PaintedPixels(32, 32, [&](HDC memory, HDC, uint32_t* bits) {
        std::fill_n(bits, 32 * 32, background);
        DrawIconEx(memory, 0, 0, LoadIconW(nullptr, IDI_ERROR), 32, 32, 0, nullptr, DI_NORMAL);
    });
}

// The share of pixels of `a` and `b` that are the same colour, give or take a little.
double Alike(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
{
    if (a.size() != b.size() || a.empty()) {
        return 0;
    }
    size_t same = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        bool close = true;
        for (int shift : {0, 8, 16}) {
            close = close && std::abs(int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF)) <= 8;
        }
        same += close;
    }
    return double(same) / double(a.size());
}

// Tells Wine which Windows version to report to the program `exe` (by its file name).
struct TWineVersion {
    std::wstring Key;
    TWineVersion(const std::wstring& exe, const wchar_t* version) : Key(L"Software\\Wine\\AppDefaults\\" + exe)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                           DWORD((wcslen(version) + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    ~TWineVersion() { RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str()); }
};

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

TEST_F(Hardened, TheStartupErrorDialogIgnoresEscapeAndShowsTheIconOfItsWindows)
{
    // The runtime alone, with nothing appended: "This is not a valid Windows application."
    const struct {
        const wchar_t* Exe;
        const wchar_t* Version;
        bool SystemIcon; // before Windows 8 the system's icon, else the program's image
    } cases[] = {{L"Seven.exe", L"win7", true}, {L"Ten.exe", L"win10", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(fs::path(c.Version).string());
        const TWineVersion version(c.Exe, c.Version);
        fs::copy_file(kRuntime, Work.Path() / c.Exe);
        const TProcess process = Start(Work.Path() / c.Exe, L"");
        HWND dialog = WaitForWindow(process, IsDialog);
        ASSERT_NE(dialog, nullptr);
        Sleep(300); // let it paint
        POINT corner{2, 2};
        ClientToScreen(dialog, &corner);
        const uint32_t background = Folio::Test::CaptureScreen({corner.x, corner.y, corner.x + 1, corner.y + 1}).at(0);
        const double alike = Alike(DialogIcon(dialog), SystemErrorIcon(background));
        if (c.SystemIcon) {
            EXPECT_GT(alike, 0.95);
        } else {
            EXPECT_LT(alike, 0.8);
        }

        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0);
        Sleep(500);
        EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "Escape closed the dialog";
        EXPECT_TRUE(process.Running());
        EXPECT_TRUE(ClickButton(dialog, L"Accept"));
        EXPECT_EQ(process.WaitExit(20000), 0u);
    }
}

TEST_F(Hardened, ABusyPageIsLeftAloneAndAPageWhoseRendererExitedIsReloaded)
{
    const TProcess process = Run(Package(), "process-failed render-unresponsive\nwait 1000\n"
                                            "process-failed render-exited\n" + kCloseAnswer);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("reload", 20000)) << ReadBytes(Log);
    ASSERT_TRUE(WaitFor("scenario-done", 20000)) << ReadBytes(Log);
    const auto exited = Positions("process-failed", "kind", "render-exited");
    const auto reloads = Positions("reload");
    ASSERT_EQ(exited.size(), 1u) << ReadBytes(Log);
    ASSERT_EQ(reloads.size(), 1u) << ReadBytes(Log);
    EXPECT_GT(reloads[0], exited[0]) << "the busy page was reloaded\n" << ReadBytes(Log);
    EXPECT_TRUE(Positions("controller-closed").empty()); // the browser itself stays
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u);
}

TEST_F(Hardened, AWindowOnAPageFromOutsideThePackageClosesWithoutAskingIt)
{
    // The page goes elsewhere by itself, then the user closes the window. A page of the
    // package is asked and, silent the first time, keeps the window until it agrees; any
    // other page could never agree.
    const struct {
        std::string Url;
        bool PackagePage;
    } cases[] = {
        {"https://example.com/", false},
        {"file:///C:/windows/win.ini", false}, // a local file outside the package and its folder
        {"file:///other.html", true},
    };
    const fs::path exe = Package();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Url);
        // The page answers the second close query from where it is (the bridge ignores it
        // unless that is a page of the package).
        const TProcess process =
            Run(exe, "follow " + c.Url + "\nclose\nwait 1500\non-script kiv.events.onCloseQuery(); " + c.Url +
                         " {\"id\":50001,\"uuid\":\"c1\",\"data\":{}}\nclose\n");
        ASSERT_NE(WaitForWindow(process, IsMainWindow), nullptr);
        EXPECT_EQ(process.WaitExit(30000), 0u) << ReadBytes(Log);
        EXPECT_FALSE(Positions("navigation-completed", "url", c.Url).empty()) << ReadBytes(Log);
        const size_t asked = Positions("script-executed", "script", "kiv.events.onCloseQuery();").size();
        if (c.PackagePage) {
            EXPECT_GE(asked, 2u) << ReadBytes(Log);
            EXPECT_FALSE(Positions("scenario-done", "completed", "true").empty()) << ReadBytes(Log);
        } else {
            EXPECT_EQ(asked, 0u) << ReadBytes(Log);
        }
    }
}

namespace {

// The URL the browser gives a file on the disk.
std::string FileUrl(const fs::path& path)
{
    std::string url = "file:///";
    for (const char c : path.generic_string()) {
        url += c == ' ' ? std::string("%20") : std::string(1, c);
    }
    return url;
}

} // namespace

TEST_F(Hardened, APageFromOutsideThePackageGetsNoneOfItsPowers)
{
    const fs::path exe = Package();
    WriteBytes(Work / "beside.txt", "beside the executable");
    TWorkDir downloads{Id + ".downloads"};
    WriteBytes(downloads / "evil.html", "<title>Evil</title>");
    WriteBytes(downloads / "secret.txt", "the user's own");
    const std::string evil = FileUrl(downloads / "evil.html"), secret = FileUrl(downloads / "secret.txt");
    // What a page tries, with a tag that tells its lines apart. The message names a page of
    // the package as its source, which only the committed document may vouch for.
    const auto probe = [&](const std::string& page, const std::string& tag) {
        return "request " + secret + "?" + tag + " fetch\n"
               "request file:///beside.txt?" + tag + " fetch\n"
               "permission camera " + page + "\n"
               "new-window file:///other.html?" + tag + "\n"
               "message file:///index.html {\"id\":10001,\"uuid\":\"" + tag + "\",\"data\":{}}\n"
               "wait-reply 3000\n";
    };
    // The downloaded page, then back to the package's own.
    const TProcess process = Run(exe, "follow " + evil + "\n" + probe(evil, "foreign") +
                                          "follow file:///index.html\n" + probe("file:///index.html", "own") +
                                          "wait 500\n" + kCloseAnswer + "close\n" +
                                          // the window the package's page opens agrees to close
                                          "next-environment\n" + kCloseAnswer);
    ASSERT_NE(WaitForWindow(process, IsMainWindow), nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 60000)) << ReadBytes(Log);
    const auto lines = Lines();
    const auto line = [&](const std::string& event, const std::string& field, const std::string& value) {
        const auto at = std::find_if(lines.begin(), lines.end(), [&](const TLogLine& l) {
            return l.Event == event && l.Text(field.c_str()) == value;
        });
        return at == lines.end() ? std::string("(none)") : at->Text(event == "permission" ? "state"
                                                                    : event == "new-window" ? "handled"
                                                                                            : "status");
    };
    const auto replied = [&](const std::string& tag) {
        return std::any_of(lines.begin(), lines.end(), [&](const TLogLine& l) {
            return l.Event == "web-message-posted" && l.Text("json").find("\"" + tag + "\"") != std::string::npos;
        });
    };
    // The downloaded page: no disk files, no camera, no runtime window, no native function.
    EXPECT_EQ(line("response", "url", secret + "?foreign"), "403") << ReadBytes(Log);
    EXPECT_EQ(line("response", "url", "file:///beside.txt?foreign"), "403");
    EXPECT_EQ(line("permission", "uri", evil), "default");
    EXPECT_EQ(line("new-window", "uri", "file:///other.html?foreign"), "false");
    EXPECT_FALSE(replied("foreign"));
    // The package's page, committed again: all of it.
    EXPECT_EQ(line("response", "url", secret + "?own"), "200");
    EXPECT_EQ(line("response", "url", "file:///beside.txt?own"), "200");
    EXPECT_EQ(line("permission", "uri", "file:///index.html"), "allow");
    EXPECT_EQ(line("new-window", "uri", "file:///other.html?own"), "true");
    EXPECT_TRUE(replied("own"));
    EXPECT_EQ(process.WaitExit(30000), 0u);
    // The one window the package's page opened.
    for (int i = 0; i < 100; ++i) {
        for (const auto& l : Lines()) {
            if (l.Event == "navigate" && l.Pid != process.Id()) {
                for (HWND w : WindowsOf(DWORD(l.Pid))) {
                    if (IsMainWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
                }
                i = 100;
            }
        }
        Sleep(100);
    }
}

TEST_F(Hardened, PagesOpenFewWindows)
{
    const fs::path exe = Package();
    // The page asks for six windows at once: the browser opens none of them, four start.
    std::string scenario = kCloseAnswer;
    for (int i = 0; i < 6; ++i) {
        scenario += "new-window file:///other.html#" + std::to_string(i) + "\n";
    }
    for (int i = 0; i < 6; ++i) {
        scenario += "next-environment\n" + kCloseAnswer; // each window agrees to close
    }
    const TProcess process = Run(exe, scenario);
    ASSERT_TRUE(WaitFor("scenario-done", 60000)) << ReadBytes(Log);
    const auto opened = [&] {
        std::set<unsigned long> pids;
        for (const auto& l : Lines()) {
            if (l.Event == "navigate" && l.Pid != process.Id()) {
                pids.insert(l.Pid);
            }
        }
        return pids;
    };
    for (int i = 0; i < 100 && opened().size() < 4; ++i) {
        Sleep(100);
    }
    Sleep(2000); // time for any fifth to show
    const auto children = opened();
    EXPECT_EQ(children.size(), 4u) << ReadBytes(Log);
    for (const auto& l : Lines()) {
        if (l.Event == "new-window") {
            EXPECT_EQ(l.Text("handled"), "true") << l.Text("uri");
        }
    }
    const auto closeAll = [](const std::set<unsigned long>& pids) {
        for (const unsigned long pid : pids) {
            for (HWND w : WindowsOf(DWORD(pid))) {
                if (IsMainWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
            }
        }
    };
    closeAll(children);
    closeAll({process.Id()});
    EXPECT_EQ(process.WaitExit(30000), 0u) << ReadBytes(Log);
    for (const unsigned long pid : children) {
        if (HANDLE child = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid))) {
            EXPECT_EQ(WaitForSingleObject(child, 30000), WAIT_OBJECT_0);
            CloseHandle(child);
        }
    }

    // However they were started, no more than eight such windows are open at once: with
    // every slot taken, a start for a page's window ends before showing anything.
    std::vector<HANDLE> slots;
    for (int i = 0; i < 8; ++i) {
        slots.push_back(CreateMutexW(nullptr, FALSE, fs::path(Id + ".window." + std::to_string(i)).c_str()));
        ASSERT_NE(slots.back(), nullptr);
    }
    const std::wstring args = L"\"" + fs::path(Id).wstring() + L"\" \"file:///other.html\"";
    WriteBytes(Work / "closing.txt", kCloseAnswer);
    const TEnvironment environment = {{L"FOLIO_STANDIN_LOG", Log.wstring()},
                                      {L"FOLIO_STANDIN_SCENARIO", (Work / "closing.txt").wstring()}};
    {
        const TProcess refused = Start(exe, args, environment);
        EXPECT_EQ(refused.WaitExit(30000), 0u);
        EXPECT_TRUE(WindowsOf(refused.Id()).empty());
    }
    CloseHandle(slots.back()); // one slot frees
    slots.pop_back();
    const TProcess admitted = Start(exe, args, environment);
    HWND main = WaitForWindow(admitted, IsMainWindow);
    EXPECT_NE(main, nullptr);
    for (int i = 0; i < 300 && Positions("scenario-done", "pid", std::to_string(admitted.Id())).empty(); ++i) {
        Sleep(100); // the page is there to answer the close
    }
    if (main) {
        PostMessageW(main, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(admitted.WaitExit(30000), 0u);
    for (HANDLE slot : slots) {
        CloseHandle(slot);
    }
}
