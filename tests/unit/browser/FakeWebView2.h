// An in-process stand-in for the WebView2 runtime, as far as the browser control uses
// it: environment, controller, web view, settings and DevTools receivers that record
// their calls in one log, hand out tokens that remove registrations, answer strings in
// CoTaskMemAlloc'd memory, and complete asynchronous requests when the test says so.
#pragma once

#include "browser/WebView2.h"
#include "browser/WebView2Loader.h"

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Folio::Test {

using Microsoft::WRL::ComPtr;

// Every runtime call of interest, in order: "Navigate(about:x)", "add_GotFocus=7", ...
struct TCallLog {
    std::vector<std::string> Calls;
    void Add(std::string call) { Calls.push_back(std::move(call)); }
    // The calls that start with prefix, in order.
    std::vector<std::string> Starting(const std::string& prefix) const;
};

std::string Narrow(const char16_t* text); // ASCII test texts only
inline std::string Narrow(const std::u16string& text)
{
    return Narrow(text.c_str());
}

template <typename Interface> using TFakeCom = Folio::Browser::TComObject<Interface>;

// A new fake held by the returned pointer alone (mingw's Attach would add a reference).
template <typename T, typename... A> ComPtr<T> MakeFake(A&&... args)
{
    auto* created = new T(std::forward<A>(args)...);
    ComPtr<T> held(created);
    created->Release();
    return held;
}

// Registrations of one object's events; each add gets a token unique in the process.
class TEventTable {
public:
    explicit TEventTable(TCallLog& log, std::string owner = {}) : FLog(log), FOwner(std::move(owner)) {}
    HRESULT Add(const std::string& event, IUnknown* handler, EventRegistrationToken* token);
    HRESULT Remove(const std::string& event, EventRegistrationToken token);
    size_t LiveCount(const std::string& event) const;
    // The handler of the event's first live registration, or null.
    template <typename Handler> ComPtr<Handler> Live(const std::string& event) const
    {
        ComPtr<Handler> handler;
        for (const auto& entry : FEntries) {
            if (entry.Event == event) {
                entry.Handler.As(&handler);
                break;
            }
        }
        return handler;
    }
    INT64 LiveToken(const std::string& event) const;

private:
    struct TEntry {
        std::string Event;
        INT64 Token;
        ComPtr<IUnknown> Handler;
    };
    TCallLog& FLog;
    std::string FOwner;
    std::vector<TEntry> FEntries;
};

#define FOLIO_FAKE_EVENT(Name, HandlerType)                                                                            \
    HRESULT STDMETHODCALLTYPE add_##Name(HandlerType* handler, EventRegistrationToken* token) override                 \
    {                                                                                                                  \
        return Events.Add(#Name, handler, token);                                                                      \
    }                                                                                                                  \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken token) override                                     \
    {                                                                                                                  \
        return Events.Remove(#Name, token);                                                                            \
    }

class TFakeSettings final : public TFakeCom<ICoreWebView2Settings> {
public:
    explicit TFakeSettings(TCallLog& log) : FLog(log) {}
    std::map<std::string, BOOL> Values; // by property name; absent reads as FALSE
    HRESULT GetResult = S_OK;
    HRESULT PutResult = S_OK;

#define FOLIO_FAKE_SETTING(Name)                                                                                       \
    HRESULT STDMETHODCALLTYPE get_##Name(BOOL* value) override                                                         \
    {                                                                                                                  \
        return Get(#Name, value);                                                                                      \
    }                                                                                                                  \
    HRESULT STDMETHODCALLTYPE put_##Name(BOOL value) override                                                          \
    {                                                                                                                  \
        return Put(#Name, value);                                                                                      \
    }
    FOLIO_FAKE_SETTING(IsScriptEnabled)
    FOLIO_FAKE_SETTING(IsWebMessageEnabled)
    FOLIO_FAKE_SETTING(AreDefaultScriptDialogsEnabled)
    FOLIO_FAKE_SETTING(IsStatusBarEnabled)
    FOLIO_FAKE_SETTING(AreDevToolsEnabled)
    FOLIO_FAKE_SETTING(AreDefaultContextMenusEnabled)
    FOLIO_FAKE_SETTING(AreHostObjectsAllowed)
    FOLIO_FAKE_SETTING(IsZoomControlEnabled)
    FOLIO_FAKE_SETTING(IsBuiltInErrorPageEnabled)
#undef FOLIO_FAKE_SETTING

private:
    HRESULT Get(const char* name, BOOL* value);
    HRESULT Put(const char* name, BOOL value);
    TCallLog& FLog;
};

class TFakeDevToolsReceiver final : public TFakeCom<ICoreWebView2DevToolsProtocolEventReceiver> {
public:
    TFakeDevToolsReceiver(TCallLog& log, const std::string& eventName) : Events(log, eventName) {}
    TEventTable Events;
    FOLIO_FAKE_EVENT(DevToolsProtocolEventReceived, ICoreWebView2DevToolsProtocolEventReceivedEventHandler)
};

class TFakeWebView final : public TFakeCom<ICoreWebView2> {
public:
    explicit TFakeWebView(TCallLog& log) : Events(log), FLog(log) {}
    TEventTable Events;
    ComPtr<ICoreWebView2Settings> Settings;
    HRESULT SettingsResult = S_OK;
    HRESULT CallResult = S_OK; // of the navigation and state calls
    std::u16string Source = u"about:blank";
    std::u16string Title;
    UINT32 ProcessId = 4242;
    BOOL BackPossible = FALSE;
    BOOL FullScreen = FALSE;
    std::map<std::string, ComPtr<TFakeDevToolsReceiver>> Receivers;
    std::vector<ComPtr<ICoreWebView2ExecuteScriptCompletedHandler>> Scripts;

    HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) override;
    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) override;
    HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) override;
    HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR htmlContent) override;
    HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR javaScript,
                                            ICoreWebView2ExecuteScriptCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT format, IStream*,
                                             ICoreWebView2CapturePreviewCompletedHandler*) override
    {
        return Call(format == COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG ? "CapturePreview(JPEG)"
                                                                             : "CapturePreview(PNG)");
    }
    HRESULT STDMETHODCALLTYPE Reload() override { return Call("Reload"); }
    HRESULT STDMETHODCALLTYPE GoBack() override { return Call("GoBack"); }
    HRESULT STDMETHODCALLTYPE GoForward() override { return Call("GoForward"); }
    HRESULT STDMETHODCALLTYPE Stop() override { return Call("Stop"); }
    HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* value) override;
    HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) override;
    HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) override;
    HRESULT STDMETHODCALLTYPE
    GetDevToolsProtocolEventReceiver(LPCWSTR eventName, ICoreWebView2DevToolsProtocolEventReceiver** receiver) override;
    HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(const LPCWSTR uri,
                                                            const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) override;
    HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(const LPCWSTR,
                                                               const COREWEBVIEW2_WEB_RESOURCE_CONTEXT) override
    {
        return E_NOTIMPL;
    }

    FOLIO_FAKE_EVENT(NavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    FOLIO_FAKE_EVENT(ContentLoading, ICoreWebView2ContentLoadingEventHandler)
    FOLIO_FAKE_EVENT(SourceChanged, ICoreWebView2SourceChangedEventHandler)
    FOLIO_FAKE_EVENT(HistoryChanged, ICoreWebView2HistoryChangedEventHandler)
    FOLIO_FAKE_EVENT(NavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    FOLIO_FAKE_EVENT(FrameNavigationStarting, ICoreWebView2NavigationStartingEventHandler)
    FOLIO_FAKE_EVENT(FrameNavigationCompleted, ICoreWebView2NavigationCompletedEventHandler)
    FOLIO_FAKE_EVENT(ScriptDialogOpening, ICoreWebView2ScriptDialogOpeningEventHandler)
    FOLIO_FAKE_EVENT(PermissionRequested, ICoreWebView2PermissionRequestedEventHandler)
    FOLIO_FAKE_EVENT(ProcessFailed, ICoreWebView2ProcessFailedEventHandler)
    FOLIO_FAKE_EVENT(WebMessageReceived, ICoreWebView2WebMessageReceivedEventHandler)
    FOLIO_FAKE_EVENT(NewWindowRequested, ICoreWebView2NewWindowRequestedEventHandler)
    FOLIO_FAKE_EVENT(DocumentTitleChanged, ICoreWebView2DocumentTitleChangedEventHandler)
    FOLIO_FAKE_EVENT(ContainsFullScreenElementChanged, ICoreWebView2ContainsFullScreenElementChangedEventHandler)
    FOLIO_FAKE_EVENT(WebResourceRequested, ICoreWebView2WebResourceRequestedEventHandler)
    FOLIO_FAKE_EVENT(WindowCloseRequested, ICoreWebView2WindowCloseRequestedEventHandler)

    // Not used by the control.
    HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(
        LPCWSTR, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE
    CallDevToolsProtocolMethod(LPCWSTR, LPCWSTR, ICoreWebView2CallDevToolsProtocolMethodCompletedHandler*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() override { return E_NOTIMPL; }

private:
    HRESULT Call(const char* name);
    TCallLog& FLog;
};

class TFakeController final : public TFakeCom<ICoreWebView2Controller> {
public:
    explicit TFakeController(TCallLog& log, std::string name = "controller")
        : Events(log), Name(std::move(name)), FLog(log)
    {
    }
    TEventTable Events;
    std::string Name;
    ComPtr<ICoreWebView2> WebView;
    HRESULT WebViewResult = S_OK;
    HRESULT CallResult = S_OK; // of the bounds, visibility, zoom and focus calls
    RECT Bounds{};
    double Zoom = 1.0;
    bool Closed = false;

    HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** view) override;
    HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) override;
    HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) override;
    HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoom) override;
    HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoom) override;
    HRESULT STDMETHODCALLTYPE MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON reason) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    FOLIO_FAKE_EVENT(ZoomFactorChanged, ICoreWebView2ZoomFactorChangedEventHandler)
    FOLIO_FAKE_EVENT(MoveFocusRequested, ICoreWebView2MoveFocusRequestedEventHandler)
    FOLIO_FAKE_EVENT(GotFocus, ICoreWebView2FocusChangedEventHandler)
    FOLIO_FAKE_EVENT(LostFocus, ICoreWebView2FocusChangedEventHandler)
    FOLIO_FAKE_EVENT(AcceleratorKeyPressed, ICoreWebView2AcceleratorKeyPressedEventHandler)

    // Not used by the control.
    HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Bounds(RECT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT, double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() override { return E_NOTIMPL; }

private:
    TCallLog& FLog;
};

class TFakeEnvironment final : public TFakeCom<ICoreWebView2Environment> {
public:
    explicit TFakeEnvironment(TCallLog& log) : FLog(log) {}
    HRESULT CreateControllerResult = S_OK;
    std::u16string Version = u"120.0.2210.91";
    // Controller requests not yet completed, with the parent window each named.
    std::vector<std::pair<HWND, ComPtr<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>>> Requests;

    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) override;
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version) override;
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream*, int, LPCWSTR, LPCWSTR,
                                                        ICoreWebView2WebResourceResponse**) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(ICoreWebView2NewBrowserVersionAvailableEventHandler*,
                                                             EventRegistrationToken*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override { return E_NOTIMPL; }

private:
    TCallLog& FLog;
};

class TFakeKeyArgs final : public TFakeCom<ICoreWebView2AcceleratorKeyPressedEventArgs> {
public:
    COREWEBVIEW2_KEY_EVENT_KIND Kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    UINT Key = 0;
    INT KeyData = 0;
    HRESULT KindResult = S_OK;
    BOOL Handled = FALSE;
    HRESULT STDMETHODCALLTYPE get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* kind) override
    {
        *kind = Kind;
        return KindResult;
    }
    HRESULT STDMETHODCALLTYPE get_VirtualKey(UINT* key) override
    {
        *key = Key;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_KeyEventLParam(INT* data) override
    {
        *data = KeyData;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override
    {
        *handled = Handled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override
    {
        Handled = handled;
        return S_OK;
    }
};

class TFakeMoveFocusArgs final : public TFakeCom<ICoreWebView2MoveFocusRequestedEventArgs> {
public:
    COREWEBVIEW2_MOVE_FOCUS_REASON Reason = COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT;
    BOOL Handled = FALSE;
    HRESULT STDMETHODCALLTYPE get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* reason) override
    {
        *reason = Reason;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) override
    {
        *handled = Handled;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) override
    {
        Handled = handled;
        return S_OK;
    }
};

class TFakeDevToolsArgs final : public TFakeCom<ICoreWebView2DevToolsProtocolEventReceivedEventArgs> {
public:
    std::u16string Json;
    HRESULT STDMETHODCALLTYPE get_ParameterObjectAsJson(LPWSTR* json) override;
};

// The runtime behind the fake loader: one environment, controller, web view and settings,
// and the environment requests made through the loader, completed when the test says.
class TFakeRuntime {
public:
    TFakeRuntime();
    ~TFakeRuntime();
    TFakeRuntime(const TFakeRuntime&) = delete;
    TFakeRuntime& operator=(const TFakeRuntime&) = delete;

    TCallLog Log;
    ComPtr<TFakeSettings> Settings;
    ComPtr<TFakeWebView> WebView;
    ComPtr<TFakeController> Controller;
    ComPtr<TFakeEnvironment> Environment;
    HRESULT CreateEnvironmentResult = S_OK;
    HRESULT VersionResult = S_OK;
    std::u16string LoaderVersion = u"119.0.2151.58";
    std::vector<ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>> EnvironmentRequests;

    // The loader's entry points as the current loader exports them (no
    // GetCoreWebView2BrowserVersionString), bound to this runtime.
    Shared::TLoaderFunctions Loader() const;
    // Answers the oldest open environment request; false when there is none.
    bool CompleteEnvironment(HRESULT result = S_OK);
    // Answers the oldest open controller request with the given controller (default: ours).
    bool CompleteController(HRESULT result = S_OK, ICoreWebView2Controller* controller = nullptr);
};

} // namespace Folio::Test
