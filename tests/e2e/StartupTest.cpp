// Start-up of packaged executables, run for real: what the user sees when the package
// is missing or broken, what reaches the disk for hostile application IDs, the loader
// library written into the working folder, and the browser-runtime installer branch
// with a stand-in loader and a stand-in installer.
#include "tests/e2e/Harness.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kRuntime = FOLIO_RUNTIME_PATH;
const fs::path kPack = FOLIO_PACK_PATH;
const fs::path kLoader = FOLIO_FAKELOADER_PATH;
const fs::path kInstaller = FOLIO_FAKEINSTALLER_PATH;

std::string Ini(const std::string& id, const std::string& extra = "")
{
    return "[App]\nID=" + id + "\nName=Folio E2E " + id + "\nDirName=web\n" + extra;
}

// An app folder with kiv.ini and a page, packaged with folio-pack.exe.
fs::path Package(const TWorkDir& work, const std::string& ini, bool withLoader = true, bool withInstaller = false)
{
    WriteBytes(work / "app/kiv.ini", ini);
    WriteBytes(work / "app/web/index.html", "<title>E2E</title>");
    std::wstring args = L"build " + Quote((work / "app").wstring()) + L" --runtime " + Quote(kRuntime.wstring()) +
                        L" -o " + Quote((work / "App.exe").wstring());
    if (withLoader) {
        args += L" --loader " + Quote(kLoader.wstring());
    }
    if (withInstaller) {
        args += L" --installer " + Quote(kInstaller.wstring());
    }
    const auto result = RunToEnd(kPack, args);
    EXPECT_EQ(result.Code, 0u) << result.Output;
    return work / "App.exe";
}

// The working folder of an application ID, removed before and after the test.
struct TAppData {
    fs::path Folder;
    explicit TAppData(const std::string& id) : Folder(LocalAppData() / id) { Clear(); }
    ~TAppData() { Clear(); }
    void Clear() const
    {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }
    fs::path Loader() const { return Folder / "Win32" / "WebView2LoaderWin32.dll"; }
};

// Ends a run that got through start-up: it ends by itself, or its main window is
// closed as a user would. The exit code it ended with.
std::optional<DWORD> FinishRun(const TProcess& process)
{
    if (auto code = process.WaitExit(3000)) {
        return code;
    }
    for (HWND window : WindowsOf(process.Id())) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return process.WaitExit(20000);
}

// The error dialog a start shows: its caption, its texts, and the process's end after
// its button is pressed.
struct TSeenDialog {
    bool Shown = false;
    std::wstring Caption;
    std::vector<std::wstring> Texts;
    std::optional<DWORD> ExitCode;
};
TSeenDialog AnswerDialog(const TProcess& process, const std::wstring& button)
{
    TSeenDialog seen;
    HWND dialog = WaitForWindow(process, IsDialog);
    if (dialog) {
        seen.Shown = true;
        Sleep(200);
        seen.Caption = TextOf(dialog);
        seen.Texts = ChildTexts(dialog);
        ClickButton(dialog, button);
    }
    seen.ExitCode = process.WaitExit(20000);
    return seen;
}

bool HasText(const std::vector<std::wstring>& texts, const std::wstring& part)
{
    return std::any_of(texts.begin(), texts.end(), [&](const std::wstring& t) { return Contains(t, part); });
}

} // namespace

TEST(Startup, NothingAttachedShowsTheErrorInTheUsersLanguage)
{
    // The runs of this program under es_ES see the Spanish texts.
    const bool spanish = GetUserDefaultUILanguage() == MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN) ||
                         PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_SPANISH;
    const TProcess process = Start(kRuntime, L"");
    ASSERT_TRUE(process);
    const auto seen = AnswerDialog(process, spanish ? L"Aceptar" : L"Accept");
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.Caption, spanish ? L"Error" : L"Error");
    EXPECT_TRUE(HasText(seen.Texts, spanish ? L"no es una aplicaci" : L"This is not a valid Windows application."));
    EXPECT_EQ(seen.ExitCode, 0u);
}

TEST(Startup, BrokenPackagesEndSilentlyAndWriteNothing)
{
    TWorkDir work("silent");
    const std::string loader = ReadBytes(kLoader);
    struct Case {
        const char* What;
        std::string Id; // the working folder that must not appear
        std::vector<std::pair<std::string, std::string>> Entries;
        std::optional<std::string> Password;
    } cases[] = {
        {"wrong password", "folio.e2e.password", {{"kiv.ini", Ini("folio.e2e.password")}, {"WebView2LoaderWin32.dll", loader}},
         "not the package password"},
        {"no kiv.ini", "folio.e2e.noini", {{"web/index.html", "x"}, {"WebView2LoaderWin32.dll", loader}}, {}},
        {"missing ID", "folio.e2e.noid", {{"kiv.ini", "[App]\nName=x\nDirName=web\n"}}, {}},
        {"empty Name", "folio.e2e.noname", {{"kiv.ini", "[App]\nID=folio.e2e.noname\nName=\nDirName=web\n"}}, {}},
    };
    for (const auto& c : cases) {
        TAppData data(c.Id);
        PackRaw(kRuntime, work / "Broken.exe", c.Entries, c.Password);
        const TProcess process = Start(work / "Broken.exe", L"");
        ASSERT_TRUE(process) << c.What;
        EXPECT_EQ(process.WaitExit(20000), 0u) << c.What;
        EXPECT_TRUE(WindowsOf(process.Id()).empty()) << c.What;
        EXPECT_FALSE(fs::exists(data.Folder)) << c.What;
    }
}

TEST(Startup, HostileIdsNeverReachTheFileSystem)
{
    TWorkDir work("hostile");
    // A sentinel beside the working folders: an ID that climbs out would delete or write here.
    const fs::path sentinel = LocalAppData() / "folio-e2e-sentinel";
    WriteBytes(sentinel / "keep.txt", "keep");
    const auto before = std::distance(fs::directory_iterator(LocalAppData()), {});
    const std::string loader = ReadBytes(kLoader);
    for (const std::string id : {"..", ".", "..\\folio-e2e-sentinel", "folio-e2e-sentinel\\..\\..", "C:\\folio-e2e",
                                 "a/b", "NUL", "   ", "app.", "tab\tid"}) {
        // EdgeInstaller with no runtime would delete the working folder: the worst case.
        PackRaw(kRuntime, work / "Hostile.exe",
                {{"kiv.ini", Ini(id, "EdgeInstaller=1\n")}, {"WebView2LoaderWin32.dll", loader},
                 {"WebView2Installer.exe", "MZ"}, {"web/index.html", "x"}});
        const TProcess process = Start(work / "Hostile.exe", L"", {{L"FOLIO_FAKELOADER_MARKER", L"C:\\no\\marker"}});
        ASSERT_TRUE(process) << id;
        EXPECT_EQ(process.WaitExit(20000), 0u) << id;
        EXPECT_TRUE(WindowsOf(process.Id()).empty()) << id;
        EXPECT_EQ(ReadBytes(sentinel / "keep.txt"), "keep") << id;
        EXPECT_EQ(std::distance(fs::directory_iterator(LocalAppData()), {}), before) << id;
    }
    // folio-pack.exe refuses to make such a package in the first place.
    WriteBytes(work / "app/kiv.ini", Ini("..\\.."));
    const auto refused = RunToEnd(kPack, L"build " + Quote((work / "app").wstring()) + L" --runtime " +
                                             Quote(kRuntime.wstring()) + L" -o " + Quote((work / "X.exe").wstring()));
    EXPECT_EQ(refused.Code, 1u);
    EXPECT_NE(refused.Output.find("must be usable as a folder name"), std::string::npos) << refused.Output;
    fs::remove_all(sentinel);
}

TEST(Startup, TheLoaderLibraryIsWrittenCheckedAndKept)
{
    TWorkDir work("loader");
    TAppData data("folio.e2e.loader");
    const fs::path exe = Package(work, Ini("folio.e2e.loader", "AllowInstances=1\n"));
    const std::string loader = ReadBytes(kLoader);

    // Written byte for byte on the first start.
    TProcess first = Start(exe, L"");
    EXPECT_EQ(FinishRun(first), 0u);
    EXPECT_EQ(ReadBytes(data.Loader()), loader);

    // A damaged file (an interrupted write) is replaced.
    WriteBytes(data.Loader(), loader.substr(0, loader.size() / 2));
    TProcess second = Start(exe, L"");
    EXPECT_EQ(FinishRun(second), 0u);
    EXPECT_EQ(ReadBytes(data.Loader()), loader);

    // A good one is kept as it is, and held from its check on: while the runtime runs,
    // nobody can change, replace or delete it.
    fs::last_write_time(data.Loader(), fs::last_write_time(data.Loader()) - std::chrono::hours(24 * 30));
    const auto old = fs::last_write_time(data.Loader());
    TProcess third = Start(exe, L"");
    ASSERT_NE(WaitForWindow(third, [](HWND w) { return ClassOf(w) == L"FolioMainForm"; }), nullptr);
    HANDLE writer = CreateFileW(data.Loader().wstring().c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) {
        CloseHandle(writer);
    }
    WriteBytes(work / "planted.dll", "MZ planted");
    EXPECT_FALSE(MoveFileExW((work / "planted.dll").wstring().c_str(), data.Loader().wstring().c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(DeleteFileW(data.Loader().wstring().c_str()));
    EXPECT_EQ(FinishRun(third), 0u);
    EXPECT_EQ(fs::last_write_time(data.Loader()), old);
    // Nothing else is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(data.Loader().parent_path()), {}), 1);
}

TEST(Startup, APackageWithoutTheLoaderLooksForTheInstalledRuntimeItself)
{
    // No runtime is installed in the test prefix: the built-in loader finds none, and a
    // package without the installer cannot offer it.
    TWorkDir work("noloader");
    TAppData data("folio.e2e.noloader");
    const fs::path exe = Package(work, Ini("folio.e2e.noloader"), false);
    const TProcess process = Start(exe, L"");
    const auto seen = AnswerDialog(process, L"Accept");
    ASSERT_TRUE(seen.Shown);
    EXPECT_TRUE(HasText(seen.Texts, L"The Microsoft WebView2 runtime is required to run this application. This "
                                    L"application cannot continue"));
    EXPECT_EQ(seen.ExitCode, 0u);
    EXPECT_FALSE(fs::exists(data.Loader()));
}

TEST(Startup, AnUnreadablePackageSaysWhy)
{
    TWorkDir work("unreadable");
    // Something is attached, but it is no archive.
    WriteBytes(work / "Garbage.exe", ReadBytes(kRuntime) + std::string(4096, 'G'));
    const TProcess process = Start(work / "Garbage.exe", L"");
    const auto seen = AnswerDialog(process, L"Accept");
    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.Caption, L"Error");
    // The archive reader's own reason.
    EXPECT_TRUE(HasText(seen.Texts, L"not a ZIP archive: no end of central directory record"));
    EXPECT_EQ(seen.ExitCode, 0u);
}

TEST(Startup, AFolderWhereTheLoaderBelongsIsReportedNotTakenForAMissingRuntime)
{
    TWorkDir work("loaderfolder");
    TAppData data("folio.e2e.loaderfolder");
    const fs::path exe = Package(work, Ini("folio.e2e.loaderfolder", "AllowInstances=1\n"), true, true);
    fs::create_directories(data.Loader() / "x");
    const auto seen = AnswerDialog(Start(exe, L""), L"Accept");
    ASSERT_TRUE(seen.Shown);
    EXPECT_TRUE(HasText(seen.Texts, L"A folder of that name is in the way."));
    EXPECT_EQ(seen.ExitCode, 0u);
    EXPECT_TRUE(fs::exists(data.Loader() / "x"));
}

TEST(Startup, AStartBesideARunningOtherVersionUsesItsOwnLoaderCopy)
{
    // Another version of the app runs: it holds its own, different loader library (as
    // start-up holds it for the process's life) and the instance mutex.
    TWorkDir work("otherversion");
    TAppData data("folio.e2e.otherversion");
    const fs::path exe = Package(work, Ini("folio.e2e.otherversion"));
    fs::create_directories(data.Loader().parent_path());
    const std::string older = ReadBytes(kLoader) + "an older build";
    WriteBytes(data.Loader(), older);
    HANDLE held = CreateFileW(data.Loader().wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"folio.e2e.otherversion");
    // The start ends quietly at the single-instance rule, as it would beside the same version.
    const TProcess process = Start(exe, L"");
    const auto code = process.WaitExit(15000);
    if (!code) {
        const auto seen = AnswerDialog(process, L"Accept");
        ADD_FAILURE() << "the start showed a dialog";
    }
    EXPECT_EQ(code, 0u);
    CloseHandle(mutex);
    CloseHandle(held);
    // The other version's library is untouched; this one's lies beside it.
    EXPECT_EQ(ReadBytes(data.Loader()), older);
    size_t copies = 0;
    for (const auto& item : fs::directory_iterator(data.Loader().parent_path())) {
        const std::string name = item.path().filename().string();
        if (name != "WebView2LoaderWin32.dll") {
            EXPECT_TRUE(name.starts_with("WebView2LoaderWin32-") && name.ends_with(".dll")) << name;
            EXPECT_EQ(ReadBytes(item.path()), ReadBytes(kLoader));
            ++copies;
        }
    }
    EXPECT_EQ(copies, 1u);
}
