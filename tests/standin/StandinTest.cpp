// The stand-in browser, loaded as the runtime loads the WebView2 loader: its exports and
// version answers, each creation step failing on request, the threads its callbacks
// arrive on, and a scripted session whose log is read back line by line.
#include "platform/win32/ComHandler.h"
#include "tests/standin/StandinHost.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <atomic>
#include <thread>

using namespace FolioTest;

namespace {

const char IndexHtml[] = "<html><head><title>Hello</title></head><body>hi</body></html>";
const char AppJs[] = "console.log(1);";
const std::string DefaultVersion = "120.0.2210.91";

struct TLog {
    std::vector<rapidjson::Document> Lines;

    // Pointers into Lines: keep the log while they are used.
    std::vector<const rapidjson::Document*> Of(const char* event) const
    {
        std::vector<const rapidjson::Document*> found;
        for (const auto& line : Lines) {
            if (line["event"] == event) {
                found.push_back(&line);
            }
        }
        return found;
    }
    bool Has(const char* event) const { return !Of(event).empty(); }
};

std::string Str(const rapidjson::Value& line, const char* key)
{
    return line.HasMember(key) && line[key].IsString() ? line[key].GetString() : "<absent>";
}

class Standin : public ::testing::Test {
protected:
    TempDir FDir;
    std::wstring FLogPath = (FDir / "standin.log").wstring();
    TScopedVariable FLogVariable{L"FOLIO_STANDIN_LOG", FLogPath.c_str()};
    std::wstring FScenarioPath = (FDir / "scenario.txt").wstring();
    TScopedVariable FScenarioVariable{L"FOLIO_STANDIN_SCENARIO", FScenarioPath.c_str()};

    void SetUp() override { ASSERT_NE(StandinLoader().Module, nullptr) << "cannot load " << FOLIO_STANDIN_DLL; }
    void Scenario(const std::string& text) { WriteFile(FDir / "scenario.txt", text); }
    void ClearLog() { std::filesystem::remove(FDir / "standin.log"); }

    TLog Log() const
    {
        TLog log;
        std::error_code error;
        if (!std::filesystem::exists(FLogPath, error)) {
            return log;
        }
        std::istringstream lines(ReadFile(FLogPath));
        std::string text;
        while (std::getline(lines, text)) {
            rapidjson::Document line;
            line.Parse(text.c_str());
            EXPECT_TRUE(!line.HasParseError() && line.IsObject()) << text;
            if (!line.HasParseError() && line.IsObject()) {
                EXPECT_EQ(line["pid"].GetInt64(), static_cast<int64_t>(GetCurrentProcessId())) << text;
                log.Lines.push_back(std::move(line));
            }
        }
        return log;
    }
};

} // namespace

TEST(StandinExports, AreTheRealLoadersFour)
{
    const HMODULE module = StandinLoader().Module;
    ASSERT_NE(module, nullptr);
    for (const char* name : {"CreateCoreWebView2EnvironmentWithOptions", "CreateCoreWebView2Environment",
                             "GetAvailableCoreWebView2BrowserVersionString", "CompareBrowserVersions"}) {
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }
    EXPECT_EQ(GetProcAddress(module, "GetCoreWebView2BrowserVersionString"), nullptr);
}

TEST(StandinExports, CompareBrowserVersions)
{
    struct TCase {
        const wchar_t *A, *B;
        HRESULT Result;
        int Order;
    };
    const TCase cases[] = {
        {L"120.0.2210.91", L"120.0.2210.91", S_OK, 0},
        {L"120.0.2210.91", L"120.0.2210.100", S_OK, -1},
        {L"121.0.0.0", L"120.9.9999.9", S_OK, 1},
        {L"120.0", L"120.0.0.0", S_OK, 0},
        {L"120.x", L"120.0", E_INVALIDARG, 0},
    };
    for (const auto& c : cases) {
        int order = 99;
        EXPECT_EQ(StandinLoader().Compare(c.A, c.B, &order), c.Result) << c.A << L" " << c.B;
        if (c.Result == S_OK) {
            EXPECT_EQ(order, c.Order) << c.A << L" " << c.B;
        }
    }
}

TEST_F(Standin, AnswersTheVersionAsTheVariablesSay)
{
    const std::wstring marker = (FDir / "runtime-installed").wstring();
    struct TCase {
        const wchar_t* Version;
        const wchar_t* Marker; // FOLIO_STANDIN_VERSION_MARKER, or none
        bool MarkerExists;
        const char* Expected; // null: no runtime
    };
    const TCase cases[] = {
        {nullptr, nullptr, false, "120.0.2210.91"},
        {L"121.0.1.2", nullptr, false, "121.0.1.2"},
        {L"missing", nullptr, false, nullptr},
        {nullptr, marker.c_str(), false, nullptr},
        {nullptr, marker.c_str(), true, "120.0.2210.91"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected ? c.Expected : "no runtime");
        ClearLog();
        Scenario("");
        if (c.MarkerExists) {
            WriteFile(FDir / "runtime-installed", "");
        } else {
            std::filesystem::remove(FDir / "runtime-installed");
        }
        TScopedVariable version(L"FOLIO_STANDIN_VERSION", c.Version);
        TScopedVariable markerVariable(L"FOLIO_STANDIN_VERSION_MARKER", c.Marker);

        wchar_t* answer = reinterpret_cast<wchar_t*>(1);
        const HRESULT hr = StandinLoader().Version(nullptr, &answer);
        TRuntimeDouble runtime;
        const HRESULT started = runtime.Start();
        PumpPending();
        if (c.Expected) {
            EXPECT_EQ(hr, S_OK);
            ASSERT_NE(answer, nullptr);
            EXPECT_EQ(std::wstring(answer), std::wstring(c.Expected, c.Expected + strlen(c.Expected)));
            EXPECT_EQ(started, S_OK);
            EXPECT_TRUE(PumpUntil([&] { return runtime.Ready; }))
                << "environment " << runtime.EnvironmentCompleted << " controller " << runtime.ControllerCompleted;
        } else {
            // As Microsoft's loader with no runtime installed: an error at once, no handler call.
            EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
            EXPECT_EQ(answer, nullptr);
            EXPECT_EQ(started, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
            EXPECT_FALSE(runtime.EnvironmentCompleted);
        }
        CoTaskMemFree(answer);
        const TLog log = Log();
        const auto versions = log.Of("version");
        ASSERT_EQ(versions.size(), 1u);
        if (c.Expected) {
            EXPECT_EQ(Str(*versions[0], "answer"), c.Expected);
        } else {
            EXPECT_TRUE((*versions[0])["answer"].IsNull());
        }
    }
}

TEST_F(Standin, EnvironmentCompletesOnlyThroughTheCallingThreadsMessageLoop)
{
    Scenario("");
    TRuntimeDouble runtime;
    ASSERT_EQ(runtime.Start(), S_OK);
    EXPECT_FALSE(runtime.EnvironmentCompleted) << "completed inside the call";
    ASSERT_TRUE(PumpUntil([&] { return runtime.Ready; }));
    for (DWORD thread : runtime.HandlerThreads) {
        EXPECT_EQ(thread, GetCurrentThreadId());
    }

    // A thread that never pumps messages never hears back, as with the real runtime.
    std::atomic<bool> called{false};
    std::atomic<HRESULT> result{E_PENDING};
    HANDLE called_back = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread silent([&] {
        auto handler = Folio::Win32::MakeComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
                                                    ICoreWebView2Environment*>([&](HRESULT, ICoreWebView2Environment*) {
            called = true;
            return S_OK;
        });
        result = StandinLoader().CreateEnvironment(handler.Get());
        SetEvent(called_back);
        WaitForSingleObject(finish, INFINITE);
    });
    WaitForSingleObject(called_back, INFINITE);
    PumpPending();
    SetEvent(finish);
    silent.join();
    CloseHandle(called_back);
    CloseHandle(finish);
    EXPECT_EQ(result.load(), S_OK);
    EXPECT_FALSE(called.load());
}

TEST_F(Standin, FailsEachCreationStepOnRequest)
{
    struct TCase {
        const char* Step;
        HRESULT Hr;
    };
    const TCase cases[] = {
        {"environment-call", static_cast<HRESULT>(0x80070057)}, {"environment", static_cast<HRESULT>(0x80004004)},
        {"controller", static_cast<HRESULT>(0x80070005)},       {"webview", static_cast<HRESULT>(0x8007000E)},
        {"settings", static_cast<HRESULT>(0x80004005)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Step);
        ClearLog();
        char text[80];
        snprintf(text, sizeof text, "# creation\nfail %s 0x%08lX\n", c.Step, static_cast<unsigned long>(c.Hr));
        Scenario(text);
        TRuntimeDouble runtime;
        const HRESULT started = runtime.Start();
        const std::string step = c.Step;
        if (step == "environment-call") {
            EXPECT_EQ(started, c.Hr);
            PumpPending();
            EXPECT_FALSE(runtime.EnvironmentCompleted);
        } else {
            EXPECT_EQ(started, S_OK);
            ASSERT_TRUE(PumpUntil([&] { return runtime.EnvironmentCompleted && (runtime.ControllerCompleted ||
                                                                                FAILED(runtime.EnvironmentResult)); }));
            EXPECT_EQ(runtime.EnvironmentResult, step == "environment" ? c.Hr : S_OK);
            EXPECT_EQ(runtime.Environment == nullptr, step == "environment");
            EXPECT_EQ(runtime.ControllerResult, step == "controller" ? c.Hr : S_OK);
            EXPECT_EQ(runtime.WebViewResult, step == "webview" ? c.Hr : S_OK);
            EXPECT_EQ(runtime.SettingsResult, step == "settings" ? c.Hr : S_OK);
            EXPECT_FALSE(runtime.Ready);
        }
        const TLog log = Log();
        const auto failed = log.Of("creation-failed");
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(Str(*failed[0], "step"), c.Step);
        char hresult[16];
        snprintf(hresult, sizeof hresult, "0x%08lX", static_cast<unsigned long>(c.Hr));
        EXPECT_EQ(Str(*failed[0], "hresult"), hresult);
    }
}

TEST_F(Standin, PlaysAScenarioAndLogsWhatTheRuntimeDid)
{
    Scenario("# a short session\n"
             "request file:///app.js script\n"
             "request file:///missing.png image\n"
             "message file:///index.html {\"id\":10001,\"uuid\":\"u1\",\"data\":{}}\n"
             "wait-reply 20000\n"
             "title Second title\n"
             "new-window file:///other.html\n"
             "new-window https://example.com/\n"
             "permission camera file:///index.html\n"
             "process-failed render-exited\n"
             "wait 10\n"
             "on-script kiv.events.onCloseQuery(); file:///index.html {\"id\":50001,\"uuid\":\"c1\",\"data\":{}}\n"
             "close\n");
    TRuntimeDouble runtime;
    runtime.Files = {{L"file:///index.html", IndexHtml}, {L"file:///app.js", AppJs}};
    ASSERT_EQ(runtime.Start(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return runtime.Closed() && Log().Has("scenario-done"); }));
    const TLog log = Log();

    // What the runtime's handlers saw, all on this (the UI) thread.
    EXPECT_EQ(runtime.NavigationsCompleted, std::vector<std::wstring>{L"success"});
    EXPECT_EQ(runtime.Titles, (std::vector<std::wstring>{L"Hello", L"Second title"}));
    ASSERT_EQ(runtime.Messages.size(), 2u);
    EXPECT_EQ(runtime.Messages[0], L"{\"id\":10001,\"uuid\":\"u1\",\"data\":{}}");
    EXPECT_EQ(runtime.Messages[1], L"{\"id\":50001,\"uuid\":\"c1\",\"data\":{}}");
    EXPECT_EQ(runtime.RemovedHandlerCalls, 0);
    EXPECT_EQ(runtime.ProcessFailures, std::vector<int>{COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED});
    for (DWORD thread : runtime.HandlerThreads) {
        EXPECT_EQ(thread, GetCurrentThreadId());
    }

    // What the stand-in logged of the runtime's calls.
    EXPECT_FALSE(log.Has("error"));
    EXPECT_FALSE(log.Has("timeout"));
    const auto injected = log.Of("script-injected");
    ASSERT_EQ(injected.size(), 1u);
    EXPECT_EQ((*injected[0])["length"].GetInt(), 77);
    EXPECT_EQ(Str(*injected[0], "sha256"), "d1c565068e304dab99ee43fc9f9b908353bf3702fbb19cb522003705fe8ce1df");
    EXPECT_EQ(Str(*injected[0], "start"), "\rwindow.addEventListener(\"dragover\", function(e){e.preventDe");
    const auto settings = log.Of("settings");
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(Str(*settings[0], "name"), "IsScriptEnabled");
    EXPECT_TRUE((*settings[0])["value"].GetBool());
    EXPECT_EQ(Str(*settings[1], "name"), "IsStatusBarEnabled");
    EXPECT_FALSE((*settings[1])["value"].GetBool());
    const auto filters = log.Of("filter-added");
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(Str(*filters[0], "uri"), "*");
    EXPECT_EQ(Str(*filters[0], "context"), "all");
    const auto navigations = log.Of("navigate");
    ASSERT_EQ(navigations.size(), 1u);
    EXPECT_EQ(Str(*navigations[0], "url"), "file:///index.html");
    const auto bounds = log.Of("bounds");
    ASSERT_EQ(bounds.size(), 1u);
    EXPECT_EQ((*bounds[0])["right"].GetInt(), 400);
    EXPECT_EQ((*bounds[0])["bottom"].GetInt(), 300);

    const auto responses = log.Of("response");
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(Str(*responses[0], "url"), "file:///index.html");
    EXPECT_EQ((*responses[0])["status"].GetInt(), 200);
    EXPECT_EQ(Str(*responses[0], "reason"), "OK");
    ASSERT_EQ((*responses[0])["headers"].Size(), 1u);
    EXPECT_STREQ((*responses[0])["headers"][0].GetString(), "Content-Type: text/html; charset=utf-8");
    EXPECT_EQ((*responses[0])["length"].GetInt(), 61);
    EXPECT_EQ(Str(*responses[0], "sha256"), "d9d8e74fda520640b5e7f08638b1bce1c6ec84561f20e28ce9c314fd91ae7790");
    EXPECT_EQ(Str(*responses[1], "url"), "file:///app.js");
    EXPECT_EQ((*responses[1])["length"].GetInt(), 15);
    EXPECT_EQ(Str(*responses[1], "sha256"), "35c146f76e129477c64061bc84511e1090f3d4d8059713e6663dd4b35b1f7642");
    const auto unanswered = log.Of("no-response");
    ASSERT_EQ(unanswered.size(), 1u);
    EXPECT_EQ(Str(*unanswered[0], "url"), "file:///missing.png");

    const auto posted = log.Of("web-message-posted");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(Str(*posted[0], "json"), "{\"uuid\":\"u1\",\"success\":true,\"result\":\"2023.19\"}");
    const auto windows = log.Of("new-window");
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(Str(*windows[0], "uri"), "file:///other.html");
    EXPECT_TRUE((*windows[0])["handled"].GetBool());
    EXPECT_EQ(Str(*windows[1], "uri"), "https://example.com/");
    EXPECT_FALSE((*windows[1])["handled"].GetBool());
    const auto permissions = log.Of("permission");
    ASSERT_EQ(permissions.size(), 1u);
    EXPECT_EQ(Str(*permissions[0], "kind"), "camera");
    EXPECT_EQ(Str(*permissions[0], "uri"), "file:///index.html");
    EXPECT_EQ(Str(*permissions[0], "state"), "allow");
    const auto failures = log.Of("process-failed");
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(Str(*failures[0], "kind"), "render-exited");

    // The close handshake: the close box ran the close script, the page's answer let
    // the window close (and the script ran once more), then the controller was closed.
    const auto scripts = log.Of("script-executed");
    ASSERT_EQ(scripts.size(), 2u);
    EXPECT_EQ(Str(*scripts[0], "script"), "kiv.events.onCloseQuery();");
    EXPECT_EQ((*scripts[0])["answers"].GetInt(), 1);
    EXPECT_EQ(log.Of("controller-closed").size(), 1u);
    const auto done = log.Of("scenario-done");
    ASSERT_EQ(done.size(), 1u);
    EXPECT_TRUE((*done[0])["completed"].GetBool());
}

TEST_F(Standin, WaitReplyGivesUpAndShowsTheViewWhereTheBoundsSay)
{
    Scenario("title Layout\nwait-reply 10\n");
    TRuntimeDouble runtime;
    runtime.Bounds = {10, 20, 210, 170};
    runtime.Files = {{L"file:///index.html", IndexHtml}};
    ASSERT_EQ(runtime.Start(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return Log().Has("scenario-done"); }));
    const TLog log = Log();
    const auto timeouts = log.Of("timeout");
    ASSERT_EQ(timeouts.size(), 1u);
    EXPECT_EQ((*timeouts[0])["line"].GetInt(), 2);
    EXPECT_EQ(Str(*timeouts[0], "command"), "wait-reply");

    HWND view = FindWindowExW(runtime.BrowserWindow(), nullptr, L"FolioStandinView", nullptr);
    ASSERT_NE(view, nullptr);
    RECT placed{};
    GetWindowRect(view, &placed);
    MapWindowPoints(HWND_DESKTOP, runtime.BrowserWindow(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right, 210);
    EXPECT_EQ(placed.bottom, 170);
    EXPECT_TRUE(GetWindowLongW(view, GWL_STYLE) & WS_VISIBLE);
}

// A relay nobody listens on: logged, and the stand-in acts the browser itself.
TEST_F(Standin, UnreachableRelayLeavesTheBrowserToTheStandin)
{
    TScopedVariable relay(L"FOLIO_STANDIN_RELAY", L"127.0.0.1:1");
    Scenario("");
    TRuntimeDouble runtime;
    runtime.Files = {{L"file:///index.html", IndexHtml}};
    ASSERT_EQ(runtime.Start(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return !runtime.NavigationsCompleted.empty(); }));
    EXPECT_EQ(runtime.NavigationsCompleted, std::vector<std::wstring>{L"success"});
    EXPECT_EQ(runtime.Titles, std::vector<std::wstring>{L"Hello"});
    const TLog log = Log();
    const auto errors = log.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(Str(*errors[0], "message"), "relay: cannot connect to 127.0.0.1:1");
    EXPECT_FALSE(log.Has("relay-connected"));
}
