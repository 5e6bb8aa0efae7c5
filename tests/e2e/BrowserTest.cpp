// Packaged executables with the stand-in browser in the loader's place: the start page
// and every other file served from the package, the bridge's round trips and the pages
// it refuses, the title, the close handshake, new windows, permissions, failed
// creations and failed browser processes, all as the stand-in's log tells them.
#include "platform/win32/InstanceChannel.h"
#include "tests/e2e/StandinFixture.h"
#include "tests/wine/Screenshot.h"

#include <gtest/gtest.h>

using namespace FolioE2E;

namespace {

const fs::path kLibrary = FOLIO_KIV_JS_PATH;
const fs::path kArtifacts = FOLIO_ARTIFACTS_DIR;

std::string HeaderOf(const TLogLine& response)
{
    const auto headers = response.Strings("headers");
    return headers.empty() ? "(none)" : headers[0];
}

// 1600000 bytes that differ from one position to the next.
std::string Clip()
{
    std::string clip(1600000, '\0');
    for (size_t i = 0; i < clip.size(); ++i) {
        clip[i] = char((i * 2654435761u) >> 13);
    }
    return clip;
}

struct TExpectedResponse {
    std::string Url, Status;
    std::vector<std::string> Headers; // after Content-Type
    std::string Body;
};

// The responses the stand-in logged, but the start page's, are these, in this order.
template <size_t N>
void ExpectResponses(const std::vector<TLogLine>& lines, const TExpectedResponse (&expected)[N], const std::string& log)
{
    std::vector<const TLogLine*> responses;
    for (const auto& line : lines) {
        if (line.Event == "response" && line.Text("url") != "file:///index.html") {
            responses.push_back(&line);
        }
    }
    ASSERT_EQ(responses.size(), N) << log;
    for (size_t i = 0; i < N; ++i) {
        const auto& e = expected[i];
        const TLogLine& r = *responses[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.Text("url"), e.Url);
        EXPECT_EQ(r.Text("status"), e.Status);
        auto headers = r.Strings("headers");
        if (e.Status == "416") {
            EXPECT_EQ(headers, (std::vector<std::string>{"Content-Range: bytes */1600000", "Accept-Ranges: bytes"}));
        } else {
            ASSERT_FALSE(headers.empty());
            EXPECT_EQ(headers[0].rfind("Content-Type: ", 0), 0u) << headers[0];
            EXPECT_EQ(std::vector<std::string>(headers.begin() + 1, headers.end()), e.Headers);
        }
        EXPECT_EQ(r.Text("length"), std::to_string(e.Body.size()));
        EXPECT_EQ(r.Text("sha256"), Sha256Hex(e.Body));
        EXPECT_EQ(r.Text("readFailed"), "(absent)");
    }
}

} // namespace

TEST_F(WithStandin, ServesThePackageAndClosesWhenThePageAgrees)
{
    const std::string injected = "window.injectedByThePackage = true;";
    const fs::path exe = Package("", injected);
    // A file beside the executable, not in the package.
    WriteBytes(Work / "beside.txt", "from the disk");
    const TProcess process = Run(exe,
                                 "request file:///style.css stylesheet\n"
                                 "request file:///img/logo.PNG image\n"
                                 "request file:///my%20page.html?x=1#top document\n"
                                 "request file:///lib/app.JS script\n"
                                 "request file:///mod.mjs script\n"
                                 "request file:///a.wasm fetch\n"
                                 "request file:///data.json fetch\n"
                                 "request file:///beside.txt fetch\n"
                                 "request file:///missing.txt fetch\n"
                                 "request https://example.com/x.js script\n"
                                 "request file://server/share/x.html document\n"
                                 "wait 1500\n" +
                                     kCloseAnswer + "close\n");
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("navigation-completed", 30000)) << ReadBytes(Log);
    Sleep(300); // the view paints the page's title
    // The web view is shown, over the whole window but for the frame.
    HWND view = FindWindowExW(FindWindowExW(FindWindowExW(main, nullptr, L"FolioBrowserForm", nullptr), nullptr,
                                            L"FolioEdgeBrowser", nullptr),
                              nullptr, L"FolioStandinView", nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(IsWindowVisible(view));
    Folio::Test::SaveScreenshot(main, kArtifacts / "main-window.png");
    ASSERT_TRUE(WaitFor("scenario-done", 30000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u) << "the page answered the close query";

    const auto lines = Lines();
    const auto* navigate = Find(lines, "navigate");
    ASSERT_NE(navigate, nullptr) << ReadBytes(Log);
    EXPECT_EQ(navigate->Text("url"), "file:///index.html");
    const auto* start = Find(lines, "response", "url", "file:///index.html");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->Text("status"), "200");
    EXPECT_EQ(start->Text("reason"), "OK");
    EXPECT_EQ(HeaderOf(*start), "Content-Type: text/html; charset=utf-8");
    EXPECT_EQ(start->Text("sha256"), Sha256Hex(kIndex));
    EXPECT_EQ(start->Text("length"), std::to_string(kIndex.size()));

    struct Expect {
        std::string Url, Status, Header, Body;
    } served[] = {
        {"file:///style.css", "200", "Content-Type: text/css; charset=utf-8", "body { color: red }"},
        {"file:///img/logo.PNG", "200", "Content-Type: image/x-png; charset=utf-8", kLogo}, // the table's type
        {"file:///my%20page.html?x=1#top", "200", "Content-Type: text/html; charset=utf-8", "<title>Mine</title>"},
        {"file:///lib/app.JS", "200", "Content-Type: application/javascript; charset=utf-8", "console.log(1)"},
        {"file:///mod.mjs", "200", "Content-Type: application/javascript; charset=utf-8", "export const a = 1;"},
        {"file:///a.wasm", "200", "Content-Type: application/wasm", std::string("\0asm\1\0\0\0", 8)},
        {"file:///data.json", "200", "Content-Type: application/json; charset=utf-8", "{\"a\": 1}"},
        {"file:///beside.txt", "200", "Content-Type: text/plain; charset=utf-8", "from the disk"},
    };
    for (const auto& e : served) {
        const auto* response = Find(lines, "response", "url", e.Url);
        ASSERT_NE(response, nullptr) << e.Url;
        EXPECT_EQ(response->Text("status"), e.Status) << e.Url;
        EXPECT_EQ(HeaderOf(*response), e.Header) << e.Url;
        EXPECT_EQ(response->Text("sha256"), Sha256Hex(e.Body)) << e.Url;
    }
    for (const std::string url : {"file:///missing.txt", "https://example.com/x.js", "file://server/share/x.html"}) {
        EXPECT_EQ(Find(lines, "response", "url", url), nullptr) << url;
        EXPECT_NE(Find(lines, "no-response", "url", url), nullptr) << url;
    }

    // The settings, the filter and the scripts the view got.
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"IsScriptEnabled", "true"}, {"IsStatusBarEnabled", "false"}, {"IsWebMessageEnabled", "true"},
             {"IsBuiltInErrorPageEnabled", "true"}, {"IsZoomControlEnabled", "false"},
             {"AreDevToolsEnabled", "false"}, {"AreDefaultContextMenusEnabled", "false"}}) {
        const auto* setting = Find(lines, "settings", "name", name);
        ASSERT_NE(setting, nullptr) << name;
        EXPECT_EQ(setting->Text("value"), value) << name;
    }
    const auto* filter = Find(lines, "filter-added");
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->Text("uri"), "*");
    EXPECT_EQ(filter->Text("context"), "all");
    std::string library = ReadBytes(kLibrary);
    if (library.starts_with("\xEF\xBB\xBF")) {
        library.erase(0, 3);
    }
    const std::string script = "\r" + library +
                               "\rwindow.addEventListener(\"dragover\", function(e){e.preventDefault();},false);"
                               "\rwindow.addEventListener(\"drop\", function(e){e.preventDefault();}, false);\r" +
                               injected;
    ASSERT_EQ(Count(lines, "script-injected"), 1u);
    EXPECT_EQ(Find(lines, "script-injected")->Text("sha256"), Sha256Hex(script));
    // The close query ran in the page.
    EXPECT_NE(Find(lines, "script-executed", "script", "kiv.events.onCloseQuery();"), nullptr);
}

TEST_F(WithStandin, RangeRequestsGetTheirPartsFromTheMappedPackage)
{
    // Larger than what is read whole first: streamed from the package as it is read.
    const std::string clip = Clip();
    const TProcess process = Run(Package("", "", {{"web/clip.mp4", clip}, {"web/small.txt", "0123456789"}}),
                                 "request-range file:///clip.mp4 bytes=1000-1999\n"
                                 "request file:///clip.mp4 media\n"
                                 "request-range file:///clip.mp4 bytes=-100\n"
                                 "request-range file:///clip.mp4 bytes=800000-\n"
                                 "request-range file:///clip.mp4 bytes=1600000-\n"
                                 "request-range file:///small.txt bytes=2-4\n"
                                 "wait 500\n" +
                                     kCloseAnswer + "close\n");
    ASSERT_NE(WaitForWindow(process, IsMainWindow), nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);

    const TExpectedResponse expected[] = {
        {"file:///clip.mp4", "206", {"Accept-Ranges: bytes", "Content-Range: bytes 1000-1999/1600000", "Content-Length: 1000"},
         clip.substr(1000, 1000)},
        {"file:///clip.mp4", "200", {"Accept-Ranges: bytes", "Content-Length: 1600000"}, clip},
        {"file:///clip.mp4", "206",
         {"Accept-Ranges: bytes", "Content-Range: bytes 1599900-1599999/1600000", "Content-Length: 100"},
         clip.substr(1599900)},
        {"file:///clip.mp4", "206",
         {"Accept-Ranges: bytes", "Content-Range: bytes 800000-1599999/1600000", "Content-Length: 800000"},
         clip.substr(800000)},
        {"file:///clip.mp4", "416", {"Accept-Ranges: bytes"}, ""},
        {"file:///small.txt", "206", {"Accept-Ranges: bytes", "Content-Range: bytes 2-4/10", "Content-Length: 3"}, "234"},
    };
    ExpectResponses(Lines(), expected, ReadBytes(Log));
}

TEST_F(WithStandin, DiskFileBesideTheExecutableStreamedInParts)
{
    // Larger than what is read whole: read from the open file as the browser reads it.
    const std::string clip = Clip();
    const fs::path exe = Package();
    WriteBytes(Work / "beside.mp4", clip);
    const TProcess process = Run(exe,
                                 "request-range file:///beside.mp4 bytes=1000-1999\n"
                                 "request file:///beside.mp4 media\n"
                                 "request-range file:///beside.mp4 bytes=-100\n"
                                 "request-range file:///beside.mp4 bytes=1600000-\n"
                                 "wait 500\n" +
                                     kCloseAnswer + "close\n");
    ASSERT_NE(WaitForWindow(process, IsMainWindow), nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    const TExpectedResponse expected[] = {
        {"file:///beside.mp4", "206",
         {"Accept-Ranges: bytes", "Content-Range: bytes 1000-1999/1600000", "Content-Length: 1000"},
         clip.substr(1000, 1000)},
        {"file:///beside.mp4", "200", {"Accept-Ranges: bytes", "Content-Length: 1600000"}, clip},
        {"file:///beside.mp4", "206",
         {"Accept-Ranges: bytes", "Content-Range: bytes 1599900-1599999/1600000", "Content-Length: 100"},
         clip.substr(1599900)},
        {"file:///beside.mp4", "416", {"Accept-Ranges: bytes"}, ""},
    };
    ExpectResponses(Lines(), expected, ReadBytes(Log));
}

TEST_F(WithStandin, BridgeAnswersOnlyThePackagesPages)
{
    const TProcess process = Run(Package(),
                                 "message file:///index.html {\"id\":10001,\"uuid\":\"u1\",\"data\":{}}\n"
                                 "wait-reply 10000\n"
                                 "message https://evil.example/ {\"id\":10001,\"uuid\":\"u2\",\"data\":{}}\n"
                                 "wait-reply 1500\n"
                                 "message file://server/share/x.html {\"id\":10001,\"uuid\":\"u3\",\"data\":{}}\n"
                                 "wait-reply 1500\n"
                                 // A local file outside the executable's folder, as one dropped on the window.
                                 "message file:///C:/windows/win.ini {\"id\":10001,\"uuid\":\"u5\",\"data\":{}}\n"
                                 "wait-reply 1500\n"
                                 "message file:///index.html {\"id\":10002,\"uuid\":\"u4\",\"data\":{}}\n"
                                 "wait-reply 10000\n" +
                                     kCloseAnswer + "close\n");
    ASSERT_TRUE(WaitFor("scenario-done", 40000)) << ReadBytes(Log);
    EXPECT_EQ(process.WaitExit(20000), 0u);
    std::vector<std::string> posted;
    for (const auto& line : Lines()) {
        if (line.Event == "web-message-posted") {
            posted.push_back(line.Text("json"));
        }
    }
    EXPECT_EQ(posted, (std::vector<std::string>{R"({"uuid": "u1", "success": true, "result": "2023.19"})",
                                                R"({"uuid": "u4", "success": true, "result": true})"}));
    EXPECT_EQ(Count(Lines(), "timeout"), 3u);
}

TEST_F(WithStandin, TitleFollowsThePageOnlyWhenAsked)
{
    for (const bool dynamic : {true, false}) {
        fs::remove(Log);
        const TProcess process =
            Run(Package(dynamic ? "DynamicAppTitle=1\n" : ""), "title Help\nwait 1000\n" + kCloseAnswer);
        HWND main = WaitForWindow(process, IsMainWindow);
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitFor("scenario-done", 20000));
        const std::wstring expected = dynamic ? L"Help" : L"Browser " + std::wstring(Id.begin(), Id.end());
        EXPECT_EQ(TextOf(main), expected) << dynamic;
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.WaitExit(20000), 0u);
    }
}

TEST_F(WithStandin, ASilentPageKeepsTheWindowOpen)
{
    const TProcess process = Run(Package(), "close\nwait 1500\n");
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 20000));
    EXPECT_TRUE(process.Running());
    EXPECT_TRUE(IsWindow(main));
    EXPECT_NE(Find(Lines(), "script-executed", "script", "kiv.events.onCloseQuery();"), nullptr);
}

TEST_F(WithStandin, FailedCreationsLeaveAWindowThatCloses)
{
    for (const std::string step : {"environment-call", "environment", "controller", "webview", "settings"}) {
        fs::remove(Log);
        const TProcess process = Run(Package(), "fail " + step + " 0x80004005\n");
        HWND main = WaitForWindow(process, IsMainWindow);
        ASSERT_NE(main, nullptr) << step;
        ASSERT_TRUE(WaitFor("creation-failed", 20000)) << step << ReadBytes(Log);
        Sleep(300);
        EXPECT_EQ(Find(Lines(), "navigate"), nullptr) << step;
        // Nobody can answer the close query: the user's close wins.
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.WaitExit(20000), 0u) << step;
    }
}

TEST_F(WithStandin, NewWindowsAndPermissions)
{
    const fs::path exe = Package("", "", {{"web/help.html", "<title>Help</title>"}});
    const TProcess process = Run(exe,
                                 "new-window file:///help.html\n"
                                 "new-window https://example.com/\n"
                                 "permission camera file:///index.html\n"
                                 "permission microphone https://evil.example/\n"
                                 "wait 200\n" +
                                     kCloseAnswer +
                                     // The second process must not play the first one's steps again.
                                     "next-environment\n" + kCloseAnswer);
    ASSERT_TRUE(WaitFor("scenario-done", 40000, process.Id())) << ReadBytes(Log);

    const auto lines = Lines();
    EXPECT_EQ(Find(lines, "new-window", "uri", "file:///help.html")->Text("handled"), "true");
    EXPECT_EQ(Find(lines, "new-window", "uri", "https://example.com/")->Text("handled"), "false");
    EXPECT_EQ(Find(lines, "permission", "kind", "camera")->Text("state"), "allow");
    EXPECT_EQ(Find(lines, "permission", "kind", "microphone")->Text("state"), "default");

    // The page's window is a runtime of its own, opened on the URL.
    std::optional<std::pair<DWORD, std::string>> second; // its process id and the URL it opened
    for (int i = 0; i < 200 && !second; ++i) {
        Sleep(100);
        for (const auto& line : Lines()) {
            if (line.Event == "navigate" && line.Pid != process.Id()) {
                second = {DWORD(line.Pid), line.Text("url")};
            }
        }
    }
    ASSERT_TRUE(second) << ReadBytes(Log);
    EXPECT_EQ(second->second, "file:///help.html");
    const DWORD secondId = second->first;
    for (const DWORD id : {DWORD(process.Id()), secondId}) {
        for (HWND w : WindowsOf(id)) {
            if (IsMainWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
        }
    }
    EXPECT_EQ(process.WaitExit(20000), 0u);
    if (HANDLE other = OpenProcess(SYNCHRONIZE, FALSE, secondId)) {
        EXPECT_EQ(WaitForSingleObject(other, 20000), WAIT_OBJECT_0);
        CloseHandle(other);
    }
}

TEST_F(WithStandin, AFailedBrowserIsReplacedAndAFailedPageReloaded)
{
    const TProcess process = Run(Package(), "process-failed render-exited\nwait 500\nprocess-failed browser-exited\n"
                                            "next-environment\n" + // what the new browser plays
                                                kCloseAnswer);
    ASSERT_TRUE(WaitFor("reload", 20000)) << ReadBytes(Log);
    // The new browser: a second environment and the start page again.
    for (int i = 0; i < 200 && Count(Lines(), "navigate") < 2; ++i) {
        Sleep(100);
    }
    const auto lines = Lines();
    EXPECT_GE(Count(lines, "create-environment"), 2u) << ReadBytes(Log);
    EXPECT_EQ(Count(lines, "navigate"), 2u);
    EXPECT_NE(Find(lines, "controller-closed"), nullptr);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u);
}

TEST_F(WithStandin, WindowFunctionsReachTheMainWindow)
{
    const TProcess process =
        Run(Package(),
            "message file:///index.html {\"id\":60006,\"uuid\":\"t\",\"data\":{\"title\":\"Renamed\"}}\n"
            "wait-reply 10000\n"
            "message file:///index.html "
            "{\"id\":60010,\"uuid\":\"s\",\"data\":{\"top\":\"10\",\"left\":\"20\",\"width\":\"640\",\"height\":\"480\"}}\n"
            "wait-reply 10000\n"
            "message file:///index.html {\"id\":60009,\"uuid\":\"g\",\"data\":{}}\n"
            "wait-reply 10000\n" +
                kCloseAnswer);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 30000)) << ReadBytes(Log);
    EXPECT_EQ(TextOf(main), L"Renamed");
    RECT r{};
    GetWindowRect(main, &r);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    EXPECT_NE(Find(Lines(), "web-message-posted", "json",
                   R"({"uuid": "g", "success": true, "result": {"top": 10, "left": 20, "width": 640, "height": 480}})"),
              nullptr)
        << ReadBytes(Log);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u);
}

TEST_F(WithStandin, ABrowserThatKeepsFailingLeavesAWindowTheUserCanClose)
{
    // Every browser fails once its page is there; the runtime gives up after three
    // replacements. The dead view cannot answer the close query, so the user's close wins.
    const TProcess process = Run(Package(), "process-failed browser-exited\n");
    for (int i = 0; i < 300 && Count(Lines(), "scenario-done") < 4; ++i) {
        Sleep(100);
    }
    const auto lines = Lines();
    ASSERT_EQ(Count(lines, "process-failed"), 4u) << ReadBytes(Log);
    EXPECT_EQ(Count(lines, "navigate"), 4u);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u) << ReadBytes(Log);
}

TEST_F(WithStandin, APageThatClosesWhileItsFileDialogIsOpenGetsItsAnswerFirst)
{
    // The dialog's own message loop delivers the page's close while the bridge is still
    // inside the call that showed it: the window must outlive that call.
    const TProcess process = Run(Package(), kCloseAnswer + "message file:///index.html "
                                                           "{\"id\":20001,\"uuid\":\"d1\",\"data\":{}}\n");
    HWND dialog = WaitForWindow(process, IsDialog);
    ASSERT_NE(dialog, nullptr) << ReadBytes(Log);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor("script-executed", 20000)) << ReadBytes(Log);
    if (IsWindow(dialog)) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    EXPECT_EQ(process.WaitExit(20000), 0u) << ReadBytes(Log);
    EXPECT_NE(Find(Lines(), "web-message-posted", "json", R"({"uuid": "d1", "success": true, "result": ""})"),
              nullptr)
        << ReadBytes(Log);
}

TEST_F(WithStandin, MenusAndTrayIconReportClicksToThePage)
{
    const TProcess process = Run(
        Package(),
        R"(message file:///index.html {"id":12001,"uuid":"m1","data":{"items":"[{\"id\":1,\"caption\":\"File\",\"items\":[{\"id\":70000,\"caption\":\"Quit\"}]}]"}})"
        "\nwait-reply 10000\n"
        R"(message file:///index.html {"id":14001,"uuid":"t1","data":{}})"
        "\nwait-reply 10000\n" +
            kCloseAnswer);
    HWND main = WaitForWindow(process, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 30000)) << ReadBytes(Log);
    EXPECT_NE(Find(Lines(), "web-message-posted", "json", R"({"uuid": "m1", "success": true, "result": true})"), nullptr)
        << ReadBytes(Log);
    EXPECT_NE(Find(Lines(), "web-message-posted", "json", R"({"uuid": "t1", "success": true, "result": true})"), nullptr)
        << ReadBytes(Log);
    EXPECT_NE(GetMenu(main), nullptr);
    Folio::Test::SaveScreenshot(main, kArtifacts / "runtime-main-menu-bar.png");

    // The menu's first leaf is command 1; the tray icon's messages go to the hidden holder.
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(1, 0), 0);
    HWND holder = nullptr; // hidden: found by its class, among the runtime's windows
    while ((holder = FindWindowExW(nullptr, holder, L"FolioBrowserExternalForm", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(holder, &owner);
        if (owner == process.Id()) {
            break;
        }
    }
    ASSERT_NE(holder, nullptr);
    PostMessageW(holder, WM_USER + 1, 1, WM_LBUTTONDOWN);
    PostMessageW(holder, WM_USER + 1, 1, WM_LBUTTONUP);
    for (int i = 0; i < 200 && !Find(Lines(), "script-executed", "script", "kiv.events.onTrayIconClick();"); ++i) {
        Sleep(100);
    }
    const auto lines = Lines();
    EXPECT_NE(Find(lines, "script-executed", "script", "kiv.events.onMainMenuItemClick(\"70000\");"), nullptr)
        << ReadBytes(Log);
    EXPECT_NE(Find(lines, "script-executed", "script", "kiv.events.onTrayIconClick();"), nullptr) << ReadBytes(Log);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitExit(20000), 0u);
}

TEST_F(WithStandin, ASecondStartBringsTheFirstForwardWithItsArguments)
{
    const fs::path exe = Package();
    const TProcess first = Run(exe, kCloseAnswer);
    HWND main = WaitForWindow(first, IsMainWindow);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 30000, first.Id())) << ReadBytes(Log);
    const auto forwarded = [&] {
        std::vector<std::string> scripts;
        for (const auto& line : Lines()) {
            const std::string script = line.Text("script");
            if (line.Event == "script-executed" && script.starts_with("kiv.events.onSecondInstance(")) {
                scripts.push_back(script);
            }
        }
        return scripts;
    };

    // What another program of the user could write to the channel changes nothing.
    const std::wstring channel = Folio::Win32::SecondStartChannelName(Folio::Shared::Utf8ToUtf16(Id));
    ASSERT_FALSE(channel.empty());
    for (const std::string& bytes : {std::string("garbage"), std::string("FS1\0", 4) + std::string(200000, 'x'),
                                     std::string("FS1\0\xff\xff\xff\xff", 8)}) {
        HANDLE pipe = INVALID_HANDLE_VALUE;
        for (int i = 0; i < 50 && pipe == INVALID_HANDLE_VALUE; ++i) {
            pipe = CreateFileW(channel.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (pipe == INVALID_HANDLE_VALUE) {
                WaitNamedPipeW(channel.c_str(), 200);
            }
        }
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        WriteFile(pipe, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(pipe);
    }

    // The user starts the app again from another folder, with arguments.
    ShowWindow(main, SW_MINIMIZE);
    TWorkDir elsewhere{Id + ".elsewhere"};
    const TProcess second = Start(exe, L"a \"b c\"", {{L"FOLIO_STANDIN_LOG", Log.wstring()}}, elsewhere.Path());
    EXPECT_EQ(second.WaitExit(20000), 0u);
    for (int i = 0; i < 100 && forwarded().empty(); ++i) {
        Sleep(100);
    }
    const auto scripts = forwarded();
    ASSERT_EQ(scripts.size(), 1u) << ReadBytes(Log);
    std::string folder;
    for (const char c : elsewhere.Path().string()) {
        folder += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    EXPECT_EQ(scripts[0], "kiv.events.onSecondInstance([\"a\",\"b c\"], \"" + folder + "\");");
    EXPECT_FALSE(IsIconic(main)) << "the first window is restored";
    EXPECT_TRUE(IsWindowVisible(main));
    const auto lines = Lines();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [&](const TLogLine& l) {
        return l.Pid == second.Id() && l.Event == "create-controller";
    })) << "the second start shows nothing";

    // A page's window (the ID and a URL) still opens beside it.
    const TProcess page = Start(exe, L"\"" + fs::path(Id).wstring() + L"\" \"file:///my%20page.html\"",
                                {{L"FOLIO_STANDIN_LOG", Log.wstring()}, {L"FOLIO_STANDIN_SCENARIO", Scenario.wstring()}});
    HWND pageWindow = WaitForWindow(page, IsMainWindow);
    EXPECT_NE(pageWindow, nullptr);
    ASSERT_TRUE(WaitFor("scenario-done", 30000, page.Id())) << ReadBytes(Log);
    PostMessageW(pageWindow, WM_CLOSE, 0, 0);
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitExit(20000), 0u);
    EXPECT_EQ(page.WaitExit(20000), 0u);
}
