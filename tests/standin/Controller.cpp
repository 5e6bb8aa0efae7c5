// The environment's and the controller's calls.
#include "tests/standin/Controller.h"

#include "tests/standin/Log.h"
#include "tests/standin/Resource.h"

namespace Folio::Standin {

namespace {

constexpr HRESULT InvalidState = HRESULT_FROM_WIN32(ERROR_INVALID_STATE); // what WebView2 answers once closed

} // namespace

// --- TEnvironment ---

HRESULT TEnvironment::CreateCoreWebView2Controller(HWND parentWindow,
                                                   ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) noexcept
{
    if (!handler) {
        return E_POINTER;
    }
    try {
        TLogLine("create-controller").Bool("parentIsWindow", IsWindow(parentWindow) != FALSE).Write();
        if (!IsWindow(parentWindow)) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
        }
        // The thread that asks for the controller is the UI thread: every later callback goes there.
        auto queue = TUiQueue::ForCurrentThread();
        if (!queue) {
            return E_FAIL;
        }
        ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler> done(handler);
        if (const auto hr = FSession->Failure(EFailStep::Controller)) {
            queue->Post([done, hr = *hr] { done->Invoke(hr, nullptr); });
            return S_OK;
        }
        auto controller = MakeObject<TController>(FSession, queue, parentWindow);
        queue->Post([done, controller] { done->Invoke(S_OK, controller.Get()); });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TEnvironment::CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
                                                ICoreWebView2WebResourceResponse** response) noexcept
{
    if (!response) {
        return E_POINTER;
    }
    try {
        *response = MakeObject<TWebResourceResponse>(content, statusCode, FromWide(reasonPhrase), FromWide(headers)).Detach();
        return S_OK;
    } catch (...) {
        *response = nullptr;
        return E_OUTOFMEMORY;
    }
}

HRESULT TEnvironment::get_BrowserVersionString(LPWSTR* versionInfo) noexcept
{
    try {
        return OutString(FSession->Version, versionInfo);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// --- TController ---

TController::TController(std::shared_ptr<const TSession> session, std::shared_ptr<TUiQueue> queue, HWND parent)
    : FSession(std::move(session)), FQueue(std::move(queue)), FParent(parent),
      FView(std::make_shared<TViewWindow>(parent)), FWebView(MakeObject<TWebView>(FSession, FQueue, parent, FView))
{
}

HRESULT TController::get_IsVisible(BOOL* isVisible) noexcept
{
    if (!isVisible) {
        return E_POINTER;
    }
    *isVisible = FVisible ? TRUE : FALSE;
    return S_OK;
}

HRESULT TController::put_IsVisible(BOOL isVisible) noexcept
{
    TLogLine("visible").Bool("value", isVisible != FALSE).Write();
    if (FClosed) {
        return InvalidState;
    }
    FVisible = isVisible != FALSE;
    FView->SetVisible(FVisible);
    return S_OK;
}

HRESULT TController::get_Bounds(RECT* bounds) noexcept
{
    if (!bounds) {
        return E_POINTER;
    }
    *bounds = FBounds;
    return S_OK;
}

HRESULT TController::put_Bounds(RECT bounds) noexcept
{
    TLogLine("bounds")
        .Num("left", bounds.left)
        .Num("top", bounds.top)
        .Num("right", bounds.right)
        .Num("bottom", bounds.bottom)
        .Write();
    if (FClosed) {
        return InvalidState;
    }
    FBounds = bounds;
    FView->SetBounds(bounds);
    FWebView->BoundsChanged(bounds);
    return S_OK;
}

HRESULT TController::get_ZoomFactor(double* zoomFactor) noexcept
{
    if (!zoomFactor) {
        return E_POINTER;
    }
    *zoomFactor = FZoom;
    return S_OK;
}

HRESULT TController::put_ZoomFactor(double zoomFactor) noexcept
{
    TLogLine("zoom").Real("value", zoomFactor).Write();
    if (FClosed) {
        return InvalidState;
    }
    if (zoomFactor <= 0) {
        return E_INVALIDARG;
    }
    if (zoomFactor != FZoom) {
        FZoom = zoomFactor;
        ComPtr<TController> self(this);
        FQueue->Post([self] { self->FZoomFactorChanged.Raise(self.Get(), nullptr); });
    }
    return S_OK;
}

HRESULT TController::SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) noexcept
{
    const HRESULT hr = put_Bounds(bounds);
    return FAILED(hr) ? hr : put_ZoomFactor(zoomFactor);
}

HRESULT TController::MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) noexcept
{
    TLogLine("move-focus").Num("reason", reason).Write();
    return FClosed ? InvalidState : S_OK;
}

HRESULT TController::get_ParentWindow(HWND* parentWindow) noexcept
{
    if (!parentWindow) {
        return E_POINTER;
    }
    *parentWindow = FParent;
    return S_OK;
}

HRESULT TController::Close() noexcept
{
    if (FClosed) {
        return S_OK;
    }
    TLogLine("controller-closed").Write();
    FClosed = true;
    FWebView->Closed();
    FView.reset();
    FZoomFactorChanged.Clear();
    FMoveFocusRequested.Clear();
    FGotFocus.Clear();
    FLostFocus.Clear();
    FAcceleratorKeyPressed.Clear();
    return S_OK;
}

HRESULT TController::get_CoreWebView2(ICoreWebView2** coreWebView2) noexcept
{
    if (!coreWebView2) {
        return E_POINTER;
    }
    *coreWebView2 = nullptr;
    if (FClosed) {
        return InvalidState;
    }
    if (const auto hr = FSession->Failure(EFailStep::WebView)) {
        return *hr;
    }
    return FWebView.CopyTo(coreWebView2);
}

} // namespace Folio::Standin
