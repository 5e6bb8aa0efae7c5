// Themes in a packaged executable run for real with the stand-in browser: the "Theme"
// setting at start (an unknown name says so and the system look stays), the page's
// theme functions, and the main window's frame painted in the palette under a light
// and a dark theme (screenshots in build/artifacts). Wine is asked to leave the frame
// to the program (no window-manager decoration) so that the frame can be read back.
#include "tests/e2e/Harness.h"
#include "tests/e2e/StandinLog.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace FolioE2E;

namespace {

const fs::path kRuntime = FOLIO_RUNTIME_PATH;
const fs::path kStandin = FOLIO_STANDIN_PATH;
const fs::path kArtifacts = FOLIO_ARTIFACTS_DIR;
const std::string kExeName = "Themed.exe";

bool IsMainWindow(HWND window)
{
    return ClassOf(window) == L"FolioMainForm";
}

std::string Message(int id, const std::string& uuid, const std::string& data = "{}")
{
    return "message file:///index.html {\"id\":" + std::to_string(id) + ",\"uuid\":\"" + uuid + "\",\"data\":" + data +
           "}\nwait-reply 10000\n";
}

// Under Wine, frames are drawn by the window manager unless a program's are undecorated.
void LeaveFramesToTheProgram()
{
    const std::wstring key =
        L"Software\\Wine\\AppDefaults\\" + std::wstring(kExeName.begin(), kExeName.end()) + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(handle, L"Decorated", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
        RegCloseKey(handle);
    }
}

struct Themed : ::testing::Test {
    std::string Id = std::string("folio.e2e.theme.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TWorkDir Work{Id};
    fs::path Log = Work / "standin.log";

    ~Themed() override
    {
        std::error_code ec;
        fs::remove_all(LocalAppData() / Id, ec);
    }
    TProcess Run(const std::string& theme, const std::string& scenario)
    {
        PackRaw(kRuntime, Work / kExeName,
                {{"kiv.ini", "[App]\nID=" + Id + "\nName=Themed\nDirName=web\nTheme=" + theme + "\n"},
                 {"web/index.html", "<!doctype html><title>Themes</title>"},
                 {"WebView2LoaderWin32.dll", ReadBytes(kStandin)}});
        WriteBytes(Work / "scenario.txt", scenario);
        return Start(
            Work / kExeName, L"",
            {{L"FOLIO_STANDIN_LOG", Log.wstring()}, {L"FOLIO_STANDIN_SCENARIO", (Work / "scenario.txt").wstring()}});
    }
    // The reply the page got for `uuid`, waiting for it a bounded while.
    std::string Reply(const std::string& uuid) const
    {
        for (int i = 0; i < 300; ++i) {
            for (const auto& line : ParseLog(ReadBytes(Log))) {
                const std::string json = line.Event == "web-message-posted" ? line.Text("json") : "";
                if (json.find("\"uuid\": \"" + uuid + "\"") != std::string::npos) {
                    return json;
                }
            }
            Sleep(100);
        }
        return "no reply";
    }
};

std::string Result(const std::string& uuid, const std::string& result)
{
    return "{\"uuid\": \"" + uuid + "\", \"success\": true, \"result\": " + result + "}";
}

// The screen's colour (0x00BBGGRR) a few pixels into the title bar, left of the buttons.
uint32_t CaptionPixel(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    const int x = r.right - 6 * GetSystemMetrics(SM_CXSIZE), y = r.top + 3;
    const uint32_t rgb = Folio::Test::CaptureScreen({x, y, x + 1, y + 1}).at(0);
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
}

} // namespace

TEST_F(Themed, AnUnknownThemeAtStartIsReportedAndTheSystemLookStays)
{
    const TProcess process = Run("Nope", Message(80001, "a") + "wait 500\n");
    HWND dialog = WaitForWindow(process, IsDialog);
    ASSERT_NE(dialog, nullptr);
    Sleep(200);
    const auto texts = ChildTexts(dialog);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const std::wstring& t) { return Contains(t, L"Style 'Nope' not found"); }));
    ClickButton(dialog, L"Accept");
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Reply("a"), Result("a", "\"Windows\""));
    PostMessageW(main, WM_CLOSE, 0, 0);
    process.WaitExit(20000);
}

TEST_F(Themed, ThePageSwitchesAndTheFrameFollows)
{
    LeaveFramesToTheProgram();
    // Tablet Light's and Carbon's title bars (0x00BBGGRR).
    constexpr uint32_t kLightCaption = 0xEDEDED, kDarkCaption = 0x141414;
    const TProcess process =
        Run("tablet light", Message(80001, "a") + "wait 3000\n" + Message(80003, "b", R"({"name":"Carbon"})") +
                                Message(80001, "c") + Message(80002, "d") + "wait 3000\n");
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Reply("a"), Result("a", "\"Tablet Light\""));
    Sleep(800);
    Folio::Test::SaveScreenshot(main, kArtifacts / "main-window-tablet-light.png");
    EXPECT_EQ(CaptionPixel(main), kLightCaption);

    EXPECT_EQ(Reply("b"), Result("b", "true"));
    EXPECT_EQ(Reply("c"), Result("c", "\"Carbon\""));
    const std::string list = Reply("d");
    EXPECT_NE(list.find(R"(["Amakrits",)"), std::string::npos) << list;
    Sleep(800);
    Folio::Test::SaveScreenshot(main, kArtifacts / "main-window-carbon.png");
    EXPECT_EQ(CaptionPixel(main), kDarkCaption);
    PostMessageW(main, WM_CLOSE, 0, 0);
    process.WaitExit(20000);
}
