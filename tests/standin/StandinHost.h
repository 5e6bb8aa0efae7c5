// The runtime's part in the stand-in's own test: loads the DLL, creates the environment
// and the controller as the browser control does, configures the web view as the
// browser form does, answers requests, messages, new windows and permissions, and runs
// the close handshake of the main window. It records what its handlers saw.
#pragma once

#include "browser/WebView2.h"

#include <windows.h>
#include <wrl/client.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace FolioTest {

using Microsoft::WRL::ComPtr;

struct TLoader {
    HMODULE Module = nullptr;
    Folio::Browser::TCreateCoreWebView2Environment CreateEnvironment = nullptr;
    Folio::Browser::TGetAvailableCoreWebView2BrowserVersionString Version = nullptr;
    Folio::Browser::TCompareBrowserVersions Compare = nullptr;
};
// The stand-in from its build folder, loaded once and kept for the process.
const TLoader& StandinLoader();

// Sets (or with nullptr removes) an environment variable of this process, which the
// stand-in reads; restores the old value when it goes out of scope.
class TScopedVariable {
public:
    TScopedVariable(const wchar_t* name, const wchar_t* value);
    ~TScopedVariable();
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    std::wstring FName;
    std::wstring FOld;
    bool FHadOld = false;
};

// Pumps this thread's messages until `done` holds; false when it never did (a guard
// against a hang, not a measure of speed).
bool PumpUntil(const std::function<bool()>& done);
// Pumps until every message posted to this thread before the call has been handled.
void PumpPending();

class TRuntimeDouble {
public:
    TRuntimeDouble();
    ~TRuntimeDouble();
    TRuntimeDouble(const TRuntimeDouble&) = delete;
    TRuntimeDouble& operator=(const TRuntimeDouble&) = delete;

    // Starts the creation on this thread; the immediate result of the loader call.
    HRESULT Start();
    bool Closed() const { return FClosed; }
    HWND TopWindow() const { return FTop; }
    HWND BrowserWindow() const { return FBrowser; }

    // Files the request handler serves, by URL; others get no answer.
    std::map<std::wstring, std::string> Files;
    RECT Bounds{0, 0, 400, 300};

    // What happened, as the handlers saw it.
    bool EnvironmentCompleted = false, ControllerCompleted = false;
    HRESULT EnvironmentResult = S_OK, ControllerResult = S_OK, WebViewResult = S_OK, SettingsResult = S_OK;
    bool Ready = false;
    std::vector<std::wstring> Titles, Messages, NavigationsCompleted;
    std::vector<int> ProcessFailures;
    std::vector<DWORD> HandlerThreads;
    int RemovedHandlerCalls = 0;
    std::wstring InjectedScript;
    ComPtr<ICoreWebView2Environment> Environment;
    ComPtr<ICoreWebView2Controller> Controller;
    ComPtr<ICoreWebView2> WebView;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void ControllerReady();
    void Register();
    void Seen() { HandlerThreads.push_back(GetCurrentThreadId()); }

    HWND FTop = nullptr, FBrowser = nullptr;
    bool FCanClose = false, FClosed = false;
};

} // namespace FolioTest
