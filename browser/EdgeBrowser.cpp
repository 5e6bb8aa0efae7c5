// The browser control's lifecycle: creation of environment, controller and web view,
// the state machine, closing, and the window and focus notifications.
#include "browser/EdgeBrowser.h"

#include "browser/ComHandler.h"
#include "browser/WebView2Loader.h"

#include <utility>

namespace Folio::Shared {

using Folio::Browser::AsWide;
using Folio::Browser::MakeComHandler;
using Microsoft::WRL::ComPtr;

namespace {

constexpr UINT SC_MINIMIZE_COMMAND = 0xF020;
constexpr UINT SC_RESTORE_COMMAND = 0xF120;
constexpr DWORD BrowserProcessExitWaitMs = 2000;

// A runtime that reports success but hands out nothing has failed all the same.
HRESULT Outcome(HRESULT hr, const void* obtained) noexcept
{
    return SUCCEEDED(hr) && !obtained ? E_POINTER : hr;
}

} // namespace

TCustomEdgeBrowser::TCustomEdgeBrowser(std::shared_ptr<TUiQueue> queue, std::unique_ptr<TEdgeBrowserSite> site)
    : FQueue(std::move(queue)), FSite(std::move(site)), FLink(this, [](TCustomEdgeBrowser*) {})
{
    FSite->Attach(this);
}

TCustomEdgeBrowser::~TCustomEdgeBrowser()
{
    // Expire the link first: whatever the runtime calls back while closing, or later,
    // finds the control gone.
    FLink.reset();
    CloseWebView();
    FSite->Attach(nullptr);
}

bool TCustomEdgeBrowser::RecordResult(HRESULT hr) noexcept
{
    FLastErrorCode.store(hr, std::memory_order_relaxed);
    return SUCCEEDED(hr);
}

void TCustomEdgeBrowser::QueueToUi(std::function<void()> work)
{
    if (FQueue->IsUiThread()) {
        work();
    } else {
        FQueue->Post(std::move(work));
    }
}

bool TCustomEdgeBrowser::WebViewCreated() const noexcept
{
    return FWebViewEnvironment && FWebViewController && FWebView && FWebViewSettings;
}

void TCustomEdgeBrowser::SetParentWindow(HWND parent)
{
    FSite->SetParent(parent);
    if (FSite->HasParent()) {
        CreateWebView();
    }
}

void TCustomEdgeBrowser::SetBounds(const RECT& bounds)
{
    FSite->SetBounds(bounds);
}

void TCustomEdgeBrowser::CreateWebView()
{
    if (FWebView || FBrowserControlState == TBrowserControlState::Creating) {
        return;
    }
    FBrowserControlState = TBrowserControlState::Creating;
    // The worker thread only loads the loader library, which can take a while. The
    // environment is asked for on the UI thread: the runtime delivers its completions
    // through the message loop of the thread that asked, and the worker has none.
    FQueue->RunDetached([link = TWeakLink(FLink), queue = std::weak_ptr<TUiQueue>(FQueue)] {
        EnsureLoaderLoaded();
        if (const auto ui = queue.lock()) {
            ui->Post([link] {
                if (const auto self = link.lock()) {
                    self->InitializeWebView();
                }
            });
        }
    });
}

void TCustomEdgeBrowser::InitializeWebView()
{
    CloseWebView();
    FSizeRatio = 1.0;
    FWebViewFocusEventActive = false;
    const std::uint64_t generation = ++FGeneration;
    const TWeakLink link(FLink);
    auto handler =
        MakeComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT, ICoreWebView2Environment*>(
            [link, generation, queue = std::weak_ptr<TUiQueue>(FQueue)](HRESULT result,
                                                                        ICoreWebView2Environment* environment) {
                // This completion may come on any thread: it touches nothing of the control
                // there, but hands the result to the UI thread.
                const auto ui = queue.lock();
                if (!ui) {
                    return S_OK;
                }
                auto work = [link, generation, result, kept = ComPtr<ICoreWebView2Environment>(environment)] {
                    if (const auto self = link.lock()) {
                        self->CreateEnvironmentCompleted(generation, result, kept);
                    }
                };
                if (ui->IsUiThread()) {
                    work();
                } else {
                    ui->Post(std::move(work));
                }
                return S_OK;
            });
    const HRESULT hr = LoaderCreateEnvironment(handler.Get());
    if (!RecordResult(hr)) {
        // The state stays Creating: only ReinitializeWebView tries again.
        QueueToUi([link, hr] {
            const auto self = link.lock();
            if (self && self->OnCreateWebViewCompleted) {
                auto handler = self->OnCreateWebViewCompleted;
                handler(*self, hr);
            }
        });
    }
}

void TCustomEdgeBrowser::CreateEnvironmentCompleted(std::uint64_t generation, HRESULT result,
                                                    const ComPtr<ICoreWebView2Environment>& environment)
{
    if (generation != FGeneration) {
        return; // a newer initialisation has started; this environment is not wanted
    }
    if (!RecordResult(Outcome(result, environment.Get()))) {
        if (OnCreateWebViewCompleted) {
            auto handler = OnCreateWebViewCompleted;
            handler(*this, LastErrorCode());
        }
        return;
    }
    FWebViewEnvironment = environment;
    auto handler =
        MakeComHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>(
            [link = TWeakLink(FLink), generation](HRESULT hr, ICoreWebView2Controller* controller) {
                const auto self = link.lock();
                if (!self || generation != self->FGeneration) {
                    // The control is gone or has started over: this controller belongs to no
                    // one, so close it rather than leave a browser window behind.
                    if (controller) {
                        controller->Close();
                    }
                    return S_OK;
                }
                self->CreateControllerCompleted(hr, controller);
                return S_OK;
            });
    RecordResult(FWebViewEnvironment->CreateCoreWebView2Controller(FSite->Handle(), handler.Get()));
}

void TCustomEdgeBrowser::CreateControllerCompleted(HRESULT result, ICoreWebView2Controller* controller)
{
    if (!RecordResult(Outcome(result, controller))) {
        CreationFailed();
        return;
    }
    FWebViewController = controller;
    FWebView.Reset();
    const HRESULT viewResult = FWebViewController->get_CoreWebView2(FWebView.ReleaseAndGetAddressOf());
    if (!RecordResult(Outcome(viewResult, FWebView.Get()))) {
        CreationFailed();
        return;
    }
    FWebViewSettings.Reset();
    const HRESULT settingsResult = FWebView->get_Settings(FWebViewSettings.ReleaseAndGetAddressOf());
    if (!RecordResult(Outcome(settingsResult, FWebViewSettings.Get()))) {
        CreationFailed();
        return;
    }
    FBrowserControlState = TBrowserControlState::Created;
    // The handler configures the web view before the events are registered.
    if (OnCreateWebViewCompleted) {
        auto handler = OnCreateWebViewCompleted;
        handler(*this, result);
    }
    if (FWebView && FWebViewController) {
        RegisterEvents();
        ResizeWebView();
    }
    if (!FLastURL.empty()) {
        Navigate(FLastURL);
    }
}

void TCustomEdgeBrowser::CreationFailed()
{
    FBrowserControlState = TBrowserControlState::Failed;
    const HRESULT code = LastErrorCode();
    if (OnCreateWebViewCompleted) {
        auto handler = OnCreateWebViewCompleted;
        handler(*this, code);
        return;
    }
    // Posted even on the UI thread: raised here it would end inside the runtime's
    // callback, which swallows it. From the queue it reaches the application.
    FQueue->Post([code] { throw EEdgeError("Failed to create Edge browser control", code); });
}

void TCustomEdgeBrowser::CloseWebView()
{
    if (FWebView) {
        UnregisterWebViewEvents();
        for (const auto& [name, token] : FDevToolsProtocolEventReceivedTokenMap) {
            ComPtr<ICoreWebView2DevToolsProtocolEventReceiver> receiver;
            const HRESULT hr = FWebView->GetDevToolsProtocolEventReceiver(AsWide(name), receiver.GetAddressOf());
            if (RecordResult(hr) && receiver) {
                receiver->remove_DevToolsProtocolEventReceived(token);
            }
        }
        FDevToolsProtocolEventReceivedTokenMap.clear();
        FWebView.Reset();
    }
    if (FWebViewController) {
        UnregisterControllerEvents();
        FWebViewController->Close();
        FWebViewController.Reset();
    }
}

void TCustomEdgeBrowser::CloseBrowserProcess()
{
    const UINT32 processId = BrowserProcessID();
    CloseWebView();
    if (processId != 0) {
        FSite->EndProcess(processId, BrowserProcessExitWaitMs);
    }
}

void TCustomEdgeBrowser::ReinitializeWebView()
{
    InitializeWebView();
}

void TCustomEdgeBrowser::ReinitializeWebViewWithNewBrowser()
{
    CloseBrowserProcess();
    ReinitializeWebView();
}

void TCustomEdgeBrowser::SetSizeRatio(double ratio)
{
    FSizeRatio = ratio;
    ResizeWebView();
}

void TCustomEdgeBrowser::ResizeWebView()
{
    if (!FWebViewController) {
        return;
    }
    // The web view keeps the top-left corner and covers the ratio of width and height;
    // the conversion truncates toward zero.
    RECT bounds = FSite->ClientRect();
    bounds.bottom = static_cast<LONG>((bounds.bottom - bounds.top) * FSizeRatio + bounds.top);
    bounds.right = static_cast<LONG>((bounds.right - bounds.left) * FSizeRatio + bounds.left);
    RecordResult(FWebViewController->put_Bounds(bounds));
}

void TCustomEdgeBrowser::WindowCreated()
{
    if (FWebView) {
        ReinitializeWebView();
    }
}

void TCustomEdgeBrowser::Resized()
{
    ResizeWebView();
}

void TCustomEdgeBrowser::VisibilityChanged()
{
    if (FWebViewController) {
        RecordResult(FWebViewController->put_IsVisible(FSite->Visible() ? TRUE : FALSE));
    }
}

void TCustomEdgeBrowser::SysCommand(UINT command)
{
    if (!FWebViewController) {
        return;
    }
    if (command == SC_MINIMIZE_COMMAND) {
        RecordResult(FWebViewController->put_IsVisible(FALSE));
    } else if (command == SC_RESTORE_COMMAND) {
        RecordResult(FWebViewController->put_IsVisible(TRUE));
    }
}

void TCustomEdgeBrowser::SetFocus()
{
    FSite->Focus();
    if (FWebViewController) {
        RecordResult(FWebViewController->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
    }
}

void TCustomEdgeBrowser::FocusEntered()
{
    if (OnEnter) {
        auto handler = OnEnter;
        handler(*this);
    }
    if (!FWebViewFocusEventActive && FWebViewController) {
        RecordResult(FWebViewController->MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC));
    }
}

void TCustomEdgeBrowser::FocusExited()
{
    if (OnExit) {
        auto handler = OnExit;
        handler(*this);
    }
}

} // namespace Folio::Shared
