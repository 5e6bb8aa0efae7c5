// The runtime double of the stand-in's test; see StandinHost.h.
#include "tests/standin/StandinHost.h"

#include "platform/win32/ComHandler.h"
#include "platform/win32/Handles.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>

namespace FolioTest {

using Folio::Win32::MakeComHandler;
using Folio::Win32::UniqueCoTaskString;

namespace {

constexpr UINT PendingMarker = WM_APP + 77;

std::wstring Text(const wchar_t* text) { return text ? text : L""; }

} // namespace

const TLoader& StandinLoader()
{
    static const TLoader loader = [] {
        std::wstring path = FOLIO_STANDIN_DLL;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        TLoader result;
        result.Module = LoadLibraryW(path.c_str());
        if (result.Module) {
            result.CreateEnvironment = reinterpret_cast<Folio::Browser::TCreateCoreWebView2Environment>(
                reinterpret_cast<void*>(GetProcAddress(result.Module, "CreateCoreWebView2Environment")));
            result.Version = reinterpret_cast<Folio::Browser::TGetAvailableCoreWebView2BrowserVersionString>(
                reinterpret_cast<void*>(GetProcAddress(result.Module, "GetAvailableCoreWebView2BrowserVersionString")));
            result.Compare = reinterpret_cast<Folio::Browser::TCompareBrowserVersions>(
                reinterpret_cast<void*>(GetProcAddress(result.Module, "CompareBrowserVersions")));
        }
        return result;
    }();
    return loader;
}

TScopedVariable::TScopedVariable(const wchar_t* name, const wchar_t* value) : FName(name)
{
    wchar_t old[4096];
    const DWORD length = GetEnvironmentVariableW(name, old, 4096);
    FHadOld = length > 0 && length < 4096;
    if (FHadOld) {
        FOld.assign(old, length);
    }
    SetEnvironmentVariableW(name, value);
}

TScopedVariable::~TScopedVariable() { SetEnvironmentVariableW(FName.c_str(), FHadOld ? FOld.c_str() : nullptr); }

bool PumpUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

void PumpPending()
{
    PostThreadMessageW(GetCurrentThreadId(), PendingMarker, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == PendingMarker) {
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

TRuntimeDouble::TRuntimeDouble()
{
    static const bool registered = [] {
        WNDCLASSEXW top{};
        top.cbSize = sizeof top;
        top.lpfnWndProc = &TRuntimeDouble::WindowProc;
        top.hInstance = GetModuleHandleW(nullptr);
        top.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        top.lpszClassName = L"FolioStandinTestTop";
        WNDCLASSEXW browser = top;
        browser.lpfnWndProc = &DefWindowProcW;
        browser.lpszClassName = L"FolioStandinTestBrowser";
        return RegisterClassExW(&top) && RegisterClassExW(&browser);
    }();
    if (!registered) {
        return;
    }
    // Never shown: Wine under Xvfb takes seconds to destroy a mapped top-level window.
    FTop = CreateWindowExW(0, L"FolioStandinTestTop", L"Stand-in test", WS_OVERLAPPEDWINDOW, 50, 50, 640,
                           480, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    FBrowser = CreateWindowExW(0, L"FolioStandinTestBrowser", L"", WS_CHILD | WS_VISIBLE, 0, 0, 600, 400, FTop, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
}

TRuntimeDouble::~TRuntimeDouble()
{
    if (FTop && IsWindow(FTop)) {
        FCanClose = true;
        DestroyWindow(FTop);
    }
    PumpPending();
}

LRESULT CALLBACK TRuntimeDouble::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<TRuntimeDouble*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_CLOSE) {
        // The main window's close handshake: ask the page, close only once it agreed.
        if (self->WebView) {
            self->WebView->ExecuteScript(L"kiv.events.onCloseQuery();", nullptr);
        }
        if (self->FCanClose) {
            DestroyWindow(window);
        }
        return 0;
    }
    if (self && message == WM_DESTROY) {
        if (self->Controller) {
            self->Controller->Close();
        }
        self->FClosed = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT TRuntimeDouble::Start()
{
    if (!StandinLoader().CreateEnvironment) {
        return E_NOINTERFACE;
    }
    auto handler = MakeComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT,
                                  ICoreWebView2Environment*>([this](HRESULT result, ICoreWebView2Environment* created) {
        Seen();
        EnvironmentCompleted = true;
        EnvironmentResult = result;
        if (FAILED(result)) {
            return S_OK;
        }
        Environment = created;
        auto controllerDone =
            MakeComHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>(
                [this](HRESULT hr, ICoreWebView2Controller* controller) {
                    Seen();
                    ControllerCompleted = true;
                    ControllerResult = hr;
                    if (SUCCEEDED(hr)) {
                        Controller = controller;
                        ControllerReady();
                    }
                    return S_OK;
                });
        return Environment->CreateCoreWebView2Controller(FBrowser, controllerDone.Get());
    });
    return StandinLoader().CreateEnvironment(handler.Get());
}

// As the browser form when the view is ready: scripts, settings, the filter, the first
// navigation; then, as the browser control, the event registrations and the bounds.
void TRuntimeDouble::ControllerReady()
{
    WebViewResult = Controller->get_CoreWebView2(&WebView);
    if (FAILED(WebViewResult)) {
        return;
    }
    ComPtr<ICoreWebView2Settings> settings;
    SettingsResult = WebView->get_Settings(&settings);
    if (FAILED(SettingsResult)) {
        return;
    }
    Ready = true;
    InjectedScript = L"\rwindow.addEventListener(\"dragover\", function(e){e.preventDefault();},false);";
    WebView->AddScriptToExecuteOnDocumentCreated(InjectedScript.c_str(), nullptr);
    settings->put_IsScriptEnabled(TRUE);
    settings->put_IsStatusBarEnabled(FALSE);
    WebView->AddWebResourceRequestedFilter(L"*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    WebView->Navigate(L"file:///index.html");
    Register();
    Controller->put_Bounds(Bounds);
}

void TRuntimeDouble::Register()
{
    EventRegistrationToken token{};
    WebView->add_NavigationCompleted(
        MakeComHandler<ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2NavigationCompletedEventArgs* args) {
                Seen();
                BOOL success = FALSE;
                args->get_IsSuccess(&success);
                NavigationsCompleted.push_back(success ? L"success" : L"failure");
                return S_OK;
            }).Get(),
        &token);
    WebView->add_DocumentTitleChanged(
        MakeComHandler<ICoreWebView2DocumentTitleChangedEventHandler, ICoreWebView2*, IUnknown*>(
            [this](ICoreWebView2* sender, IUnknown*) {
                Seen();
                UniqueCoTaskString title;
                sender->get_DocumentTitle(title.Put());
                Titles.push_back(Text(title.Get()));
                return S_OK;
            }).Get(),
        &token);
    WebView->add_WebResourceRequested(
        MakeComHandler<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) {
                Seen();
                ComPtr<ICoreWebView2WebResourceRequest> request;
                UniqueCoTaskString uri;
                args->get_Request(&request);
                request->get_Uri(uri.Put());
                const auto file = Files.find(Text(uri.Get()));
                if (file == Files.end()) {
                    return S_OK;
                }
                ComPtr<IStream> stream;
                *stream.ReleaseAndGetAddressOf() = SHCreateMemStream(reinterpret_cast<const BYTE*>(file->second.data()),
                                                static_cast<UINT>(file->second.size()));
                ComPtr<ICoreWebView2WebResourceResponse> response;
                Environment->CreateWebResourceResponse(stream.Get(), 200, L"OK",
                                                       L"Content-Type: text/html; charset=utf-8", &response);
                return args->put_Response(response.Get());
            }).Get(),
        &token);
    // A second message handler, removed again at once: its token must take exactly it away.
    EventRegistrationToken removed{};
    WebView->add_WebMessageReceived(
        MakeComHandler<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*) {
                ++RemovedHandlerCalls;
                return S_OK;
            }).Get(),
        &removed);
    WebView->add_WebMessageReceived(
        MakeComHandler<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2*, ICoreWebView2WebMessageReceivedEventArgs*>(
            [this](ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) {
                Seen();
                UniqueCoTaskString json;
                args->get_WebMessageAsJson(json.Put());
                Messages.push_back(Text(json.Get()));
                if (Messages.back().find(L"50001") != std::wstring::npos) {
                    FCanClose = true; // the page asked the application to close
                    PostMessageW(FTop, WM_CLOSE, 0, 0);
                } else {
                    sender->PostWebMessageAsJson(L"{\"uuid\":\"u1\",\"success\":true,\"result\":\"2023.19\"}");
                }
                return S_OK;
            }).Get(),
        &token);
    WebView->remove_WebMessageReceived(removed);
    WebView->add_NewWindowRequested(
        MakeComHandler<ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) {
                Seen();
                UniqueCoTaskString uri;
                args->get_Uri(uri.Put());
                if (uri.Get() && std::wcsncmp(uri.Get(), L"file:", 5) == 0) {
                    args->put_Handled(TRUE);
                }
                return S_OK;
            }).Get(),
        &token);
    WebView->add_PermissionRequested(
        MakeComHandler<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2PermissionRequestedEventArgs* args) {
                Seen();
                return args->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
            }).Get(),
        &token);
    WebView->add_ProcessFailed(
        MakeComHandler<ICoreWebView2ProcessFailedEventHandler, ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs*>(
            [this](ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* args) {
                Seen();
                COREWEBVIEW2_PROCESS_FAILED_KIND kind{};
                args->get_ProcessFailedKind(&kind);
                ProcessFailures.push_back(kind);
                return S_OK;
            }).Get(),
        &token);
}

} // namespace FolioTest
