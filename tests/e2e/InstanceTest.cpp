// Packaged executables that get through start-up: the application password, the
// single-instance rule with the command-line forms, and the main window as the settings
// shape it. The loader stand-in reports a runtime but creates no browser, so the window
// stays empty and closes when asked.
#include "tests/e2e/Harness.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kRuntime = FOLIO_RUNTIME_PATH;
const fs::path kLoader = FOLIO_FAKELOADER_PATH;

bool IsMainWindow(HWND window) { return ClassOf(window) == L"FolioMainForm"; }
bool IsPasswordPrompt(HWND window) { return ClassOf(window) == L"FolioRequirePasswordForm"; }

struct Packaged : ::testing::Test {
    std::string Id = std::string("folio.e2e.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::wstring WideId = std::wstring(Id.begin(), Id.end());
    TWorkDir Work{Id};

    ~Packaged() override
    {
        std::error_code ec;
        fs::remove_all(LocalAppData() / Id, ec);
    }
    fs::path Package(const std::string& extra)
    {
        PackRaw(kRuntime, Work / "App.exe",
                {{"kiv.ini", "[App]\nID=" + Id + "\nName=Main " + Id + "\nDirName=web\n" + extra},
                 {"web/index.html", "<title>x</title>"},
                 {"WebView2LoaderWin32.dll", ReadBytes(kLoader)}});
        return Work / "App.exe";
    }
    // The main window of the process, or null when it ends (or shows none) first.
    static HWND MainWindow(const TProcess& process, DWORD ms = 20000)
    {
        return WaitForWindow(process, IsMainWindow, ms);
    }
    static std::optional<DWORD> Close(const TProcess& process, HWND window)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        return process.WaitExit(20000);
    }
    bool MutexExists() const
    {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, WideId.c_str());
        if (mutex) {
            CloseHandle(mutex);
        }
        return mutex != nullptr;
    }
};

// Types text into whatever has the keyboard focus.
void Type(const std::wstring& text)
{
    std::vector<INPUT> keys;
    for (const wchar_t c : text) {
        for (const DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT key{};
            key.type = INPUT_KEYBOARD;
            key.ki.wScan = c;
            key.ki.dwFlags = KEYEVENTF_UNICODE | up;
            keys.push_back(key);
        }
    }
    SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
}

} // namespace

TEST_F(Packaged, ThePasswordOpensTheApplication)
{
    const fs::path exe = Package("Password=Open Sesame\n");
    const TProcess process = Start(exe, L"");
    HWND prompt = WaitForWindow(process, IsPasswordPrompt);
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(TextOf(prompt), L"Main " + WideId);
    EXPECT_FALSE(MutexExists()); // the single-instance rule comes after the password
    EXPECT_FALSE(MainWindow(process, 500));
    SetForegroundWindow(prompt);
    for (int i = 0; i < 100 && GetForegroundWindow() != prompt; ++i) {
        Sleep(50);
    }
    Type(L"open sesame"); // the wrong case is refused
    Sleep(500);
    EXPECT_TRUE(IsWindow(prompt));
    for (int i = 0; i < 11; ++i) {
        Type(L"\b");
    }
    Type(L"Open Sesame");
    HWND main = MainWindow(process);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindow(prompt));
    EXPECT_TRUE(MutexExists());
    EXPECT_EQ(Close(process, main), 0u);
}

TEST_F(Packaged, ClosingThePasswordPromptEndsTheProcess)
{
    const TProcess process = Start(Package("Password=x\n"), L"");
    HWND prompt = WaitForWindow(process, IsPasswordPrompt);
    ASSERT_NE(prompt, nullptr);
    PostMessageW(prompt, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    EXPECT_FALSE(MutexExists());
}

TEST_F(Packaged, TheApplicationIdArgumentSkipsThePassword)
{
    const TProcess process = Start(Package("Password=x\n"), L"\"" + WideId + L"\"");
    HWND main = MainWindow(process);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(std::none_of(WindowsOf(process.Id()).begin(), WindowsOf(process.Id()).end(), IsPasswordPrompt));
    EXPECT_EQ(Close(process, main), 0u);
}

TEST_F(Packaged, SingleInstanceRule)
{
    struct Case {
        const char* What;
        bool AllowInstances, HeldElsewhere;
        std::wstring Args; // %ID% stands for the application ID
        bool Opens;
    } cases[] = {
        {"first instance", false, false, L"", true},
        {"second ordinary start", false, true, L"", false},
        {"second start for a page's window", false, true, L"\"%ID%\" \"file:///help.html\"", true},
        {"the ID alone", false, true, L"\"%ID%\"", false},
        {"the ID in other letters", false, true, L"\"%UPPER%\" \"file:///help.html\"", false},
        {"three arguments", false, true, L"\"%ID%\" \"file:///help.html\" x", false},
        {"instances allowed", true, true, L"", true},
    };
    for (const auto& c : cases) {
        const fs::path exe = Package(c.AllowInstances ? "AllowInstances=1\n" : "");
        HANDLE held = c.HeldElsewhere ? CreateMutexW(nullptr, FALSE, WideId.c_str()) : nullptr;
        std::wstring args = c.Args;
        std::wstring upper = WideId;
        CharUpperW(upper.data());
        for (const auto& [mark, value] : {std::pair{L"%ID%", WideId}, std::pair{L"%UPPER%", upper}}) {
            const std::wstring m = mark;
            for (size_t at = args.find(m); at != std::wstring::npos; at = args.find(m)) {
                args.replace(at, m.size(), value);
            }
        }
        const TProcess process = Start(exe, args);
        HWND main = MainWindow(process);
        EXPECT_EQ(main != nullptr, c.Opens) << c.What;
        if (main) {
            if (!c.AllowInstances && !c.HeldElsewhere) {
                EXPECT_TRUE(MutexExists()) << c.What;
            }
            EXPECT_EQ(Close(process, main), 0u) << c.What;
        } else {
            EXPECT_EQ(process.WaitExit(20000), 0u) << c.What;
        }
        if (held) {
            CloseHandle(held);
        }
    }
}

TEST_F(Packaged, ANameTakenByAnotherKindOfObjectCountsAsAnotherInstance)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, WideId.c_str());
    ASSERT_NE(event, nullptr);
    const TProcess process = Start(Package(""), L"");
    EXPECT_EQ(MainWindow(process, 5000), nullptr);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    CloseHandle(event);
}

TEST_F(Packaged, TheMainWindowAsTheSettingsShapeIt)
{
    const auto hasStyle = [](HWND w, DWORD bits) { return (DWORD(GetWindowLongW(w, GWL_STYLE)) & bits) == bits; };
    const auto hasExStyle = [](HWND w, DWORD bits) { return (DWORD(GetWindowLongW(w, GWL_EXSTYLE)) & bits) == bits; };
    struct Case {
        const char* What;
        std::string Settings;
        std::function<void(HWND)> Check;
    } cases[] = {
        {"defaults", "",
         [&](HWND w) {
             RECT r{};
             GetWindowRect(w, &r);
             EXPECT_EQ(r.right - r.left, 800);
             EXPECT_EQ(r.bottom - r.top, 600);
             RECT work{};
             SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
             EXPECT_NEAR((r.left + r.right) / 2, (work.left + work.right) / 2, 1); // centred
             EXPECT_TRUE(hasStyle(w, WS_THICKFRAME | WS_CAPTION | WS_MAXIMIZEBOX));
             EXPECT_FALSE(hasExStyle(w, WS_EX_TOPMOST));
             EXPECT_FALSE(IsZoomed(w));
         }},
        {"full screen over border and state", "WindowStyle=1\nWindowBorder=2\nWindowState=0\n",
         [&](HWND w) {
             EXPECT_TRUE(IsZoomed(w));
             EXPECT_FALSE(hasStyle(w, WS_CAPTION));
             EXPECT_FALSE(hasStyle(w, WS_THICKFRAME));
         }},
        {"dialog border", "WindowBorder=3\n",
         [&](HWND w) {
             EXPECT_TRUE(hasStyle(w, WS_CAPTION));
             EXPECT_FALSE(hasStyle(w, WS_THICKFRAME));
             EXPECT_TRUE(hasExStyle(w, WS_EX_DLGMODALFRAME));
         }},
        {"tool window", "WindowBorder=5\n",
         [&](HWND w) { EXPECT_TRUE(hasExStyle(w, WS_EX_TOOLWINDOW) && hasStyle(w, WS_THICKFRAME)); }},
        {"maximised", "WindowState=1\n", [&](HWND w) { EXPECT_TRUE(IsZoomed(w)); }},
        {"state 2 is normal", "WindowState=2\n", [&](HWND w) { EXPECT_FALSE(IsZoomed(w) || IsIconic(w)); }},
        {"on top", "WindowOrder=1\n", [&](HWND w) { EXPECT_TRUE(hasExStyle(w, WS_EX_TOPMOST)); }},
        {"size and smallest width", "Width=300\nHeight=350\nMinWidth=400\n",
         [&](HWND w) {
             RECT r{};
             GetWindowRect(w, &r);
             EXPECT_GE(r.right - r.left, 400);
             SetWindowPos(w, nullptr, 0, 0, 200, 200, SWP_NOMOVE | SWP_NOZORDER);
             GetWindowRect(w, &r);
             EXPECT_GE(r.right - r.left, 400);
         }},
    };
    for (const auto& c : cases) {
        const TProcess process = Start(Package("AllowInstances=1\n" + c.Settings), L"");
        HWND main = MainWindow(process);
        ASSERT_NE(main, nullptr) << c.What;
        Sleep(200);
        EXPECT_EQ(TextOf(main), L"Main " + WideId) << c.What;
        SCOPED_TRACE(c.What);
        c.Check(main);
        EXPECT_EQ(Close(process, main), 0u) << c.What;
    }
}

TEST_F(Packaged, TheWindowComesBackWhereTheUserLeftIt)
{
    const fs::path state = LocalAppData() / Id / "window-state.txt";
    const auto rectOf = [](HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    const auto startAnd = [&](const fs::path& exe, const std::function<void(HWND)>& act) {
        const TProcess process = Start(exe, L"");
        HWND main = MainWindow(process);
        ASSERT_NE(main, nullptr);
        act(main);
        EXPECT_EQ(Close(process, main), 0u);
    };
    const auto moveTo = [](HWND w, int left, int top, int width, int height) {
        SetWindowPos(w, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    };

    // Without the setting the window forgets, as it always has.
    startAnd(Package(""), [&](HWND w) { moveTo(w, 100, 120, 640, 480); });
    EXPECT_FALSE(fs::exists(state));

    const fs::path exe = Package("RememberWindow=1\n");
    startAnd(exe, [&](HWND w) { moveTo(w, 100, 120, 640, 480); });
    startAnd(exe, [&](HWND w) {
        EXPECT_EQ(rectOf(w), (std::vector<LONG>{100, 120, 740, 600})) << ReadBytes(state);
        EXPECT_FALSE(IsZoomed(w));
        ShowWindow(w, SW_MAXIMIZE);
    });
    startAnd(exe, [&](HWND w) {
        EXPECT_TRUE(IsZoomed(w)) << ReadBytes(state);
        ShowWindow(w, SW_RESTORE);
        EXPECT_EQ(rectOf(w), (std::vector<LONG>{100, 120, 740, 600})) << "the normal bounds under the maximised window";
    });

    // A place on a monitor that has gone comes back onto the screen, at its size.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    WriteBytes(state, "window 1 -5000 -5000 -4360 -4520 0\n");
    startAnd(exe, [&](HWND w) {
        const auto r = rectOf(w);
        EXPECT_GE(r[0], work.left);
        EXPECT_GE(r[1], work.top);
        EXPECT_LE(r[2], work.right);
        EXPECT_LE(r[3], work.bottom);
        EXPECT_EQ(r[2] - r[0], 640);
        EXPECT_EQ(r[3] - r[1], 480);
    });

    // Damaged or hostile: the settings' place (800 by 600, centred).
    for (const std::string& damaged : {std::string("garbage"), std::string("window 1 0 0 99999999999 10 0\n"),
                                       std::string("window 1 0 0 10 10 7\n"), std::string(4096, '1')}) {
        WriteBytes(state, damaged);
        startAnd(exe, [&](HWND w) {
            const auto r = rectOf(w);
            EXPECT_EQ(r[2] - r[0], 800) << damaged.substr(0, 40);
            EXPECT_EQ(r[3] - r[1], 600) << damaged.substr(0, 40);
            EXPECT_NEAR((r[0] + r[2]) / 2, (work.left + work.right) / 2, 1);
        });
    }
}
