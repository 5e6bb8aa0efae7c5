// TWebView: the stand-in's ICoreWebView2. It logs what the runtime asks of it, acts out
// navigations (events, then a request for the document) and plays the scenario once the
// first navigation has completed. Everything here runs on the UI thread, except the
// reading of response bodies.
#pragma once

#include "tests/standin/ComObject.h"
#include "tests/standin/Relay.h"
#include "tests/standin/Session.h"
#include "tests/standin/UiQueue.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Folio::Standin {

class TSettings final : public TComObject<ICoreWebView2Settings> {
public:
    // Told of every put_, after it was logged (the relay passes them on).
    std::function<void(const char* name, bool value)> Changed;

#define FOLIO_SETTING(name)                                                                                          \
    HRESULT STDMETHODCALLTYPE get_##name(BOOL* value) noexcept override { return Get(F##name, value); }             \
    HRESULT STDMETHODCALLTYPE put_##name(BOOL value) noexcept override { return Put(#name, F##name, value); }
    FOLIO_SETTING(IsScriptEnabled)
    FOLIO_SETTING(IsWebMessageEnabled)
    FOLIO_SETTING(AreDefaultScriptDialogsEnabled)
    FOLIO_SETTING(IsStatusBarEnabled)
    FOLIO_SETTING(AreDevToolsEnabled)
    FOLIO_SETTING(AreDefaultContextMenusEnabled)
    FOLIO_SETTING(AreHostObjectsAllowed)
    FOLIO_SETTING(IsZoomControlEnabled)
    FOLIO_SETTING(IsBuiltInErrorPageEnabled)
#undef FOLIO_SETTING

private:
    static HRESULT Get(BOOL field, BOOL* value) noexcept;
    HRESULT Put(const char* name, BOOL& field, BOOL value) noexcept;

    // WebView2's defaults: everything on.
    BOOL FIsScriptEnabled = TRUE, FIsWebMessageEnabled = TRUE, FAreDefaultScriptDialogsEnabled = TRUE,
         FIsStatusBarEnabled = TRUE, FAreDevToolsEnabled = TRUE, FAreDefaultContextMenusEnabled = TRUE,
         FAreHostObjectsAllowed = TRUE, FIsZoomControlEnabled = TRUE, FIsBuiltInErrorPageEnabled = TRUE;
};

class TWebView final : public TComObject<ICoreWebView2> {
public:
    TWebView(std::shared_ptr<const TSession> session, std::shared_ptr<TUiQueue> queue, HWND parent,
             std::shared_ptr<TViewWindow> view);

    ~TWebView() override;

    // The controller was closed: no more events, and the scenario stops.
    void Closed();
    // The controller's new bounds, for the relay's viewport.
    void BoundsChanged(const RECT& bounds);

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) noexcept override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) noexcept override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR) noexcept override { return E_NOTIMPL; }
#define FOLIO_EVENT(name, handler)                                                                                   \
    HRESULT STDMETHODCALLTYPE add_##name(handler* eventHandler, EventRegistrationToken* token) noexcept override     \
    {                                                                                                                \
        return F##name.Add(eventHandler, token);                                                                     \
    }                                                                                                                \
    HRESULT STDMETHODCALLTYPE remove_##name(EventRegistrationToken token) noexcept override                         \
    {                                                                                                                \
        return F##name.Remove(token);                                                                                \
    }
    FOLIO_EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    FOLIO_EVENT(ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    FOLIO_EVENT(SourceChanged, ICoreWebView2SourceChangedEventHandler)
    FOLIO_EVENT(HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    FOLIO_EVENT(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    FOLIO_EVENT(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    FOLIO_EVENT(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    FOLIO_EVENT(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler)
    FOLIO_EVENT(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler)
    FOLIO_EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler)
    FOLIO_EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler)
    FOLIO_EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler)
    FOLIO_EVENT(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler)
    FOLIO_EVENT(ContainsFullScreenElementChanged, ICoreWebView2ContainsFullScreenElementChangedEventHandler)
    FOLIO_EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler)
    FOLIO_EVENT(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler)
#undef FOLIO_EVENT
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR javaScript,
                                            ICoreWebView2ExecuteScriptCompletedHandler* handler) noexcept override;
    // Only in relay mode, where the harness answers with Chromium's screenshot; else E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT format, IStream* stream,
                                             ICoreWebView2CapturePreviewCompletedHandler* handler) noexcept override;
    HRESULT STDMETHODCALLTYPE Reload() noexcept override { return Logged("reload"); }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR webMessageAsJson) noexcept override;
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR,
                                                         ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) noexcept override
    {
        return E_NOTIMPL;
    }
    // No process of its own: 0 keeps a caller from waiting for or ending one.
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* canGoBack) noexcept override;
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* canGoForward) noexcept override;
    HRESULT STDMETHODCALLTYPE GoBack() noexcept override { return Logged("go-back"); }
    HRESULT STDMETHODCALLTYPE GoForward() noexcept override { return Logged("go-forward"); }
    HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR, ICoreWebView2DevToolsProtocolEventReceiver**) noexcept override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Stop() noexcept override { return Logged("stop"); }
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) noexcept override;
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* contains) noexcept override;
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(const LPCWSTR uri,
                                                            const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(const LPCWSTR uri,
                                                               const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) noexcept override;

private:
    struct TFilter {
        std::u16string Uri;
        COREWEBVIEW2_WEB_RESOURCE_CONTEXT Context;
    };
    struct TScriptAnswer {
        std::u16string Match, Source, Json;
    };
    // What a request's response held, once its body was read.
    struct TServed {
        int Status = 0;
        std::u16string Reason;
        std::vector<std::u16string> Headers;
        std::string Body;
    };
    using TResponded = std::function<void(bool responded, const TServed& served)>;

    static HRESULT Logged(const char* event) noexcept;

    // Navigation.cpp
    // `then`, when given, runs once the navigation completed.
    void RunNavigation(std::u16string uri, UINT64 id, std::function<void()> then = {});
    // range: the request's "Range" header; empty: none.
    void Request(std::u16string uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context, TResponded responded,
                 const std::u16string& range = {});
    void ReadResponse(std::u16string uri, ComPtr<ICoreWebView2WebResourceResponse> response, TResponded responded);
    void ChangeTitle(std::u16string title);
    void RaiseWebMessage(std::u16string source, std::u16string json);

    // RelayView.cpp
    void StartRelay();
    void RelayReceived(const std::string& line);
    void RelayRequest(UINT64 id, std::u16string uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context, bool navigation,
                      const std::u16string& range);
    void RelayLoaded(std::u16string uri);
    void RelayNewWindow(std::u16string uri);

    // Player.cpp
    void Next();
    void RunStep(const TStep& step);
    void ReplyArrived();

    std::shared_ptr<const TSession> FSession;
    std::shared_ptr<TUiQueue> FQueue;
    HWND FParent;
    std::shared_ptr<TViewWindow> FView;
    ComPtr<TSettings> FSettings;
    bool FClosed = false;
    std::u16string FSource = u"about:blank";
    std::u16string FTitle;
    UINT64 FNavigationId = 0;
    std::vector<TFilter> FFilters;
    int FInjectedScripts = 0;

    // The scenario: the next step, whether it has started, the script answers in force,
    // the replies since the last web message and the pending wait-reply (its number, or 0).
    size_t FNextStep = 0;
    bool FStarted = false;
    std::vector<TScriptAnswer> FAnswers;
    int FReplies = 0;
    int FWaitingReply = 0;
    int FWaits = 0;

    // Relay mode: the connection, the ExecuteScript and CapturePreview completions
    // waiting for the harness by number, and whether the current document was answered.
    std::unique_ptr<TRelay> FRelay;
    int64_t FRelayCalls = 0;
    std::map<int64_t, ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>> FScriptsRunning;
    std::map<int64_t, std::pair<ComPtr<IStream>, ComPtr<ICoreWebView2CapturePreviewCompletedHandler>>> FCaptures;
    bool FDocumentAnswered = false;
    UINT64 FRelayNavigation = 0;

    TEventList<ICoreWebView2NavigationStartingEventHandler> FNavigationStarting, FFrameNavigationStarting;
    TEventList<ICoreWebView2ContentLoadingEventHandler> FContentLoading;
    TEventList<ICoreWebView2SourceChangedEventHandler> FSourceChanged;
    TEventList<ICoreWebView2HistoryChangedEventHandler> FHistoryChanged;
    TEventList<ICoreWebView2NavigationCompletedEventHandler> FNavigationCompleted, FFrameNavigationCompleted;
    TEventList<ICoreWebView2ScriptDialogOpeningEventHandler> FScriptDialogOpening;
    TEventList<ICoreWebView2PermissionRequestedEventHandler> FPermissionRequested;
    TEventList<ICoreWebView2ProcessFailedEventHandler> FProcessFailed;
    TEventList<ICoreWebView2WebMessageReceivedEventHandler> FWebMessageReceived;
    TEventList<ICoreWebView2NewWindowRequestedEventHandler> FNewWindowRequested;
    TEventList<ICoreWebView2DocumentTitleChangedEventHandler> FDocumentTitleChanged;
    TEventList<ICoreWebView2ContainsFullScreenElementChangedEventHandler> FContainsFullScreenElementChanged;
    TEventList<ICoreWebView2WebResourceRequestedEventHandler> FWebResourceRequested;
    TEventList<ICoreWebView2WindowCloseRequestedEventHandler> FWindowCloseRequested;
};

} // namespace Folio::Standin
