// The stand-in's environment and controller. The environment hands out controllers
// (their completion always comes later, from the message loop of the thread that asked)
// and responses; the controller places the view window and owns the web view.
#pragma once

#include "tests/standin/ComObject.h"
#include "tests/standin/Session.h"
#include "tests/standin/UiQueue.h"
#include "tests/standin/WebView.h"

#include <memory>

namespace Folio::Standin {

class TEnvironment final : public TComObject<ICoreWebView2Environment> {
public:
    explicit TEnvironment(std::shared_ptr<const TSession> session) : FSession(std::move(session)) {}

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                                        LPCWSTR headers,
                                                        ICoreWebView2WebResourceResponse** response) noexcept override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* versionInfo) noexcept override;
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                             EventRegistrationToken*) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) noexcept override
    {
        return E_NOTIMPL;
    }

private:
    std::shared_ptr<const TSession> FSession;
};

class TController final : public TComObject<ICoreWebView2Controller> {
public:
    TController(std::shared_ptr<const TSession> session, std::shared_ptr<TUiQueue> queue, HWND parent);

    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* isVisible) noexcept override;
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL isVisible) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoomFactor) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoomFactor) noexcept override;
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoomFactor) noexcept override;
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) noexcept override;
#define FOLIO_EVENT(name, handler)                                                                                   \
    HRESULT STDMETHODCALLTYPE add_##name(handler* eventHandler, EventRegistrationToken* token) noexcept override     \
    {                                                                                                                \
        return F##name.Add(eventHandler, token);                                                                     \
    }                                                                                                                \
    HRESULT STDMETHODCALLTYPE remove_##name(EventRegistrationToken token) noexcept override                         \
    {                                                                                                                \
        return F##name.Remove(token);                                                                                \
    }
    FOLIO_EVENT(ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler)
    FOLIO_EVENT(MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler)
    FOLIO_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler)
    FOLIO_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler)
    FOLIO_EVENT(AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler)
#undef FOLIO_EVENT
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* parentWindow) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close() noexcept override;
    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** coreWebView2) noexcept override;

private:
    std::shared_ptr<const TSession> FSession;
    std::shared_ptr<TUiQueue> FQueue;
    HWND FParent;
    std::shared_ptr<TViewWindow> FView;
    ComPtr<TWebView> FWebView;
    bool FClosed = false;
    bool FVisible = true;
    RECT FBounds{};
    double FZoom = 1.0;

    TEventList<ICoreWebView2ZoomFactorChangedEventHandler> FZoomFactorChanged;
    TEventList<ICoreWebView2MoveFocusRequestedEventHandler> FMoveFocusRequested;
    TEventList<ICoreWebView2FocusChangedEventHandler> FGotFocus, FLostFocus;
    TEventList<ICoreWebView2AcceleratorKeyPressedEventHandler> FAcceleratorKeyPressed;
};

} // namespace Folio::Standin
