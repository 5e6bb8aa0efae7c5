// A test fixture for packaged executables run with the stand-in browser: a package of a
// few pages (with the stand-in as its loader library, or none, for the built-in loader),
// a run with a scenario, and the stand-in's log read back.
#pragma once

#include "tests/e2e/Harness.h"
#include "tests/e2e/StandinLog.h"

#include <gtest/gtest.h>

namespace FolioE2E {

inline const fs::path kRuntime = FOLIO_RUNTIME_PATH;
inline const fs::path kStandin = FOLIO_STANDIN_PATH;

inline const std::string kIndex = "<!doctype html><title>Start page</title><p>Hello</p>";
inline const std::string kLogo = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3000, '\x7f');
inline const std::string kCloseAnswer =
    "on-script kiv.events.onCloseQuery(); file:///index.html {\"id\":50001,\"uuid\":\"c1\",\"data\":{}}\n";

inline bool IsMainWindow(HWND window) { return ClassOf(window) == L"FolioMainForm"; }

struct WithStandin : ::testing::Test {
    std::string Id = std::string("folio.e2e.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TWorkDir Work{Id};
    fs::path Log = Work / "standin.log";
    fs::path Scenario = Work / "scenario.txt";
    // The package carries the stand-in as its loader library; false: no loader at all.
    bool CarryLoader = true;

    ~WithStandin() override
    {
        std::error_code ec;
        fs::remove_all(LocalAppData() / Id, ec);
    }
    fs::path Package(const std::string& extra = "", const std::string& injected = "",
                     const std::vector<std::pair<std::string, std::string>>& more = {})
    {
        std::vector<std::pair<std::string, std::string>> entries = {
            {"kiv.ini", "[App]\nID=" + Id + "\nName=Browser " + Id + "\nDirName=web\n" + extra},
            {"web/index.html", kIndex},
            {"web/style.css", "body { color: red }"},
            {"web/img/logo.PNG", kLogo},
            {"web/my page.html", "<title>Mine</title>"},
            {"web/lib/app.JS", "console.log(1)"},
            {"web/mod.mjs", "export const a = 1;"},
            {"web/a.wasm", std::string("\0asm\1\0\0\0", 8)},
            {"web/data.json", "{\"a\": 1}"}};
        if (CarryLoader) {
            entries.push_back({"WebView2LoaderWin32.dll", ReadBytes(kStandin)});
        }
        if (!injected.empty()) {
            entries.push_back({"kiv-webviewjs", injected});
        }
        entries.insert(entries.end(), more.begin(), more.end());
        PackRaw(kRuntime, Work / "App.exe", entries);
        return Work / "App.exe";
    }
    TProcess Run(const fs::path& exe, const std::string& scenario, const std::wstring& args = L"",
                 const TEnvironment& more = {}, const fs::path& folder = {})
    {
        WriteBytes(Scenario, scenario);
        TEnvironment environment = {{L"FOLIO_STANDIN_LOG", Log.wstring()},
                                    {L"FOLIO_STANDIN_SCENARIO", Scenario.wstring()}};
        environment.insert(more.begin(), more.end());
        return Start(exe, args, environment, folder);
    }
    std::vector<TLogLine> Lines() const { return ParseLog(ReadBytes(Log)); }
    // Waits until the log has a line of `event` (from `pid` when given).
    bool WaitFor(const std::string& event, DWORD ms = 40000, unsigned long pid = 0) const
    {
        for (DWORD waited = 0; waited < ms; waited += 100) {
            for (const auto& line : Lines()) {
                if (line.Event == event && (pid == 0 || line.Pid == pid)) {
                    return true;
                }
            }
            Sleep(100);
        }
        return false;
    }
    static const TLogLine* Find(const std::vector<TLogLine>& lines, const std::string& event,
                                const std::string& field = "", const std::string& value = "")
    {
        for (const auto& line : lines) {
            if (line.Event == event && (field.empty() || line.Text(field.c_str()) == value)) {
                return &line;
            }
        }
        return nullptr;
    }
    static size_t Count(const std::vector<TLogLine>& lines, const std::string& event)
    {
        return size_t(std::count_if(lines.begin(), lines.end(), [&](const TLogLine& l) { return l.Event == event; }));
    }
};

} // namespace FolioE2E
