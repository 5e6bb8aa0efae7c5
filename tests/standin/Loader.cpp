// The four exports of Microsoft's loader, with its names and calling convention. The
// environment call reads the scenario and completes through the calling thread's
// message queue; with no version to answer it fails at once, as the real loader does
// when no browser runtime is installed.
#include "browser/WebView2.h"
#include "platform/win32/Handles.h"
#include "tests/standin/Controller.h"
#include "tests/standin/Log.h"
#include "tests/standin/Resource.h"


using namespace Folio::Standin;

namespace {

constexpr HRESULT NoRuntime = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

std::string ReadWholeFile(const std::u16string& path, bool& opened)
{
    std::string text;
    Folio::Win32::UniqueFile file(CreateFileW(Folio::Win32::W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    opened = bool(file);
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

// How many environments were created before this one, in every process that shares
// the log: the log is the one record that the runtime and the programs it starts share.
size_t EnvironmentsBefore()
{
    const auto path = EnvironmentVariable(L"FOLIO_STANDIN_LOG");
    if (!path || path->empty()) {
        return 0;
    }
    bool opened = false;
    const std::string log = ReadWholeFile(*path, opened);
    const std::string_view marker = "\"event\":\"create-environment\"";
    size_t count = 0;
    for (size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + marker.size())) {
        ++count;
    }
    return count;
}

std::shared_ptr<TSession> ReadSession(std::u16string version)
{
    auto session = std::make_shared<TSession>();
    session->Version = std::move(version);
    const auto path = EnvironmentVariable(L"FOLIO_STANDIN_SCENARIO");
    if (!path || path->empty()) {
        return session;
    }
    bool opened = false;
    const std::string text = ReadWholeFile(*path, opened);
    if (!opened) {
        LogError("cannot open the scenario file");
        return session;
    }
    session->Scenario = ParseScenario(text, EnvironmentsBefore());
    for (const auto& error : session->Scenario.Errors) {
        LogError("scenario " + error);
    }
    return session;
}

// Compares dotted version numbers part by part; a missing part counts as 0.
bool CompareVersions(std::u16string_view a, std::u16string_view b, int& result)
{
    const auto next = [](std::u16string_view& text, unsigned long long& part) {
        part = 0;
        size_t digits = 0;
        while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9') {
            part = part * 10 + (text[digits] - u'0');
            ++digits;
        }
        if (digits == 0 || digits > 9) {
            return false;
        }
        text.remove_prefix(digits);
        if (!text.empty()) {
            if (text.front() != u'.' || text.size() == 1) {
                return false;
            }
            text.remove_prefix(1);
        }
        return true;
    };
    result = 0;
    while (!a.empty() || !b.empty()) {
        unsigned long long x = 0, y = 0;
        if ((!a.empty() && !next(a, x)) || (!b.empty() && !next(b, y))) {
            return false;
        }
        if (result == 0 && x != y) {
            result = x < y ? -1 : 1;
        }
    }
    return true;
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler)
{
    try {
        const auto version = BrowserVersion();
        const auto session = ReadSession(version.value_or(u""));
        TLogLine line("create-environment");
        line.Bool("withOptions", browserExecutableFolder || userDataFolder || environmentOptions);
        if (!environmentCreatedHandler) {
            line.Hresult("result", E_POINTER).Write();
            return E_POINTER;
        }
        if (!version) {
            line.Hresult("result", NoRuntime).Write();
            return NoRuntime;
        }
        line.Hresult("result", session->Scenario.Failure(EFailStep::EnvironmentCall).value_or(S_OK)).Write();
        if (const auto hr = session->Failure(EFailStep::EnvironmentCall)) {
            return *hr;
        }
        auto queue = TUiQueue::ForCurrentThread();
        if (!queue) {
            return E_FAIL;
        }
        ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> done(environmentCreatedHandler);
        if (const auto hr = session->Failure(EFailStep::Environment)) {
            queue->Post([done, hr = *hr] { done->Invoke(hr, nullptr); });
            return S_OK;
        }
        auto environment = MakeObject<TEnvironment>(session);
        queue->Post([done, environment] { done->Invoke(S_OK, environment.Get()); });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE CreateCoreWebView2Environment(
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler)
{
    return CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, environmentCreatedHandler);
}

extern "C" HRESULT STDAPICALLTYPE GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder,
                                                                               LPWSTR* versionInfo)
{
    if (!versionInfo) {
        return E_POINTER;
    }
    *versionInfo = nullptr;
    try {
        const auto version = BrowserVersion();
        TLogLine line("version");
        line.Bool("withFolder", browserExecutableFolder != nullptr);
        if (!version) {
            line.Null("answer").Write();
            return NoRuntime;
        }
        line.Str("answer", *version).Write();
        return OutString(*version, versionInfo);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT STDAPICALLTYPE CompareBrowserVersions(PCWSTR version1, PCWSTR version2, int* result)
{
    if (!version1 || !version2 || !result) {
        return E_POINTER;
    }
    try {
        return CompareVersions(FromWide(version1), FromWide(version2), *result) ? S_OK : E_INVALIDARG;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
