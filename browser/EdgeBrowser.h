// TCustomEdgeBrowser / TEdgeBrowser: the control that hosts one WebView2 web view. It
// creates environment, controller and web view asynchronously, registers for the
// runtime's events and passes them on to its handler slots. What is Windows-only reaches it
// through the ports of EdgeBrowserPorts.h.
#pragma once

#include "browser/EdgeBrowserPorts.h"
#include "browser/EdgeBrowserTypes.h"
#include "browser/WebView2.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace Folio::Shared {

class TCustomEdgeBrowser : private TEdgeBrowserWindowEvents {
public:
    TCustomEdgeBrowser(std::shared_ptr<TUiQueue> queue, std::unique_ptr<TEdgeBrowserSite> site);
    TCustomEdgeBrowser(const TCustomEdgeBrowser&) = delete;
    TCustomEdgeBrowser& operator=(const TCustomEdgeBrowser&) = delete;
    virtual ~TCustomEdgeBrowser();

    // Lifecycle. Giving the control a parent starts CreateWebView.
    void SetParentWindow(HWND parent);
    void SetBounds(const RECT& bounds);
    void CreateWebView();
    void CloseWebView();
    void CloseBrowserProcess();
    void ReinitializeWebView();
    void ReinitializeWebViewWithNewBrowser();
    void SetFocus();

    TBrowserControlState BrowserControlState() const noexcept { return FBrowserControlState; }
    HRESULT LastErrorCode() const noexcept { return FLastErrorCode.load(std::memory_order_relaxed); }
    bool WebViewCreated() const noexcept;
    ICoreWebView2* DefaultInterface() const noexcept { return FWebView.Get(); }
    ICoreWebView2Controller* ControllerInterface() const noexcept { return FWebViewController.Get(); }
    ICoreWebView2Environment* EnvironmentInterface() const noexcept { return FWebViewEnvironment.Get(); }
    ICoreWebView2Settings* SettingsInterface() const noexcept { return FWebViewSettings.Get(); }
    double SizeRatio() const noexcept { return FSizeRatio; }
    void SetSizeRatio(double ratio);
    const std::u16string& LastURL() const noexcept { return FLastURL; }
    void SetLastURL(const std::u16string& url) { FLastURL = url; }

    // Operations; without a web view they do nothing and record nothing. The boolean
    // results tell whether the web view took the call.
    bool Navigate(const std::u16string& url);
    bool NavigateToString(const std::u16string& htmlContent);
    void GoBack();
    void GoForward();
    void Refresh();
    void Stop();
    void ExecuteScript(const std::u16string& javaScript);
    void CapturePreview(const std::u16string& fileName, TPreviewFormat format);
    // The image is written from the start of the stream; keep it alive until
    // OnCapturePreviewCompleted.
    void CapturePreview(IStream* stream, TPreviewFormat format);
    void AddWebResourceRequestedFilter(const std::u16string& url, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
    void RemoveWebResourceRequestedFilter(const std::u16string& url, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context);
    void SubscribeToCDPEvent(const std::u16string& eventName);

    // The page's state; the runtime calls are recorded in LastErrorCode.
    UINT32 BrowserProcessID();
    std::u16string BrowserVersionInfo();
    bool CanGoBack();
    bool CanGoForward();
    bool ContainsFullScreenElement();
    std::u16string DocumentTitle();
    std::u16string LocationURL();
    double ZoomFactor();
    void SetZoomFactor(double factor);

    // The settings; without settings they raise EEdgeError "WebView2 not instantiated".
    bool BuiltInErrorPageEnabled();
    void SetBuiltInErrorPageEnabled(bool value);
    bool DefaultContextMenusEnabled();
    void SetDefaultContextMenusEnabled(bool value);
    bool DefaultScriptDialogsEnabled();
    void SetDefaultScriptDialogsEnabled(bool value);
    bool DevToolsEnabled();
    void SetDevToolsEnabled(bool value);
    bool ScriptEnabled();
    void SetScriptEnabled(bool value);
    bool StatusBarEnabled();
    void SetStatusBarEnabled(bool value);
    bool WebMessageEnabled();
    void SetWebMessageEnabled(bool value);
    bool ZoomControlEnabled();
    void SetZoomControlEnabled(bool value);

    // Handler slots: assigned or cleared at any time, called only when set.
    TWebViewStatusEvent OnCapturePreviewCompleted;
    TContainsFullScreenElementChangedEvent OnContainsFullScreenElementChanged;
    TContentLoadingEvent OnContentLoading;
    TWebViewStatusEvent OnCreateWebViewCompleted;
    TDevToolsProtocolEventReceivedEvent OnDevToolsProtocolEventReceived;
    TDocumentTitleChangedEvent OnDocumentTitleChanged;
    TExecuteScriptEvent OnExecuteScript;
    TNavigationStartingEvent OnFrameNavigationStarting;
    TNavigationCompletedEvent OnFrameNavigationCompleted;
    THistoryChangedEvent OnHistoryChanged;
    TNavigationStartingEvent OnNavigationStarting;
    TNavigationCompletedEvent OnNavigationCompleted;
    TNewWindowRequestedEvent OnNewWindowRequested;
    TPermissionRequestedEvent OnPermissionRequested;
    TProcessFailedEvent OnProcessFailed;
    TScriptDialogOpeningEvent OnScriptDialogOpening;
    TSourceChangedEvent OnSourceChanged;
    TWebMessageReceivedEvent OnWebMessageReceived;
    TWebResourceRequestedEvent OnWebResourceRequested;
    TNotifyEvent OnWindowCloseRequested;
    TZoomFactorChangedEvent OnZoomFactorChanged;
    // The control's own focus notifications.
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

private:
    using TWeakLink = std::weak_ptr<TCustomEdgeBrowser>;

    // TEdgeBrowserWindowEvents
    void WindowCreated() override;
    void Resized() override;
    void VisibilityChanged() override;
    void SysCommand(UINT command) override;
    void FocusEntered() override;
    void FocusExited() override;

    bool RecordResult(HRESULT hr) noexcept;
    void QueueToUi(std::function<void()> work);
    void InitializeWebView();
    void CreateEnvironmentCompleted(std::uint64_t generation, HRESULT result,
                                    const Microsoft::WRL::ComPtr<ICoreWebView2Environment>& environment);
    void CreateControllerCompleted(HRESULT result, ICoreWebView2Controller* controller);
    void CreationFailed();
    void RegisterEvents();
    void UnregisterWebViewEvents();
    void UnregisterControllerEvents();
    void ResizeWebView();

    // Runtime event handlers (EdgeBrowserEvents.cpp).
    void NavigationStarting(ICoreWebView2NavigationStartingEventArgs* args, bool frame);
    void NavigationCompleted(ICoreWebView2NavigationCompletedEventArgs* args, bool frame);
    void ContainsFullScreenElementChanged(ICoreWebView2* sender);
    void AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventArgs* args);
    void MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventArgs* args);
    void GotFocus();
    bool GetSetting(HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*get)(BOOL*));
    void PutSetting(HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*put)(BOOL), bool value);
    void StartCapture(IStream* stream, TPreviewFormat format);

    std::shared_ptr<TUiQueue> FQueue;
    std::unique_ptr<TEdgeBrowserSite> FSite;
    // Handed to every completion and event handler: one that runs after the control is
    // gone finds the link expired. Only locked on the UI thread, where the control dies.
    std::shared_ptr<TCustomEdgeBrowser> FLink;

    TBrowserControlState FBrowserControlState = TBrowserControlState::None;
    Microsoft::WRL::ComPtr<ICoreWebView2Environment> FWebViewEnvironment;
    Microsoft::WRL::ComPtr<ICoreWebView2Controller> FWebViewController;
    Microsoft::WRL::ComPtr<ICoreWebView2> FWebView;
    Microsoft::WRL::ComPtr<ICoreWebView2Settings> FWebViewSettings;
    double FSizeRatio = 0.0;
    // Written on the UI thread only in this design; atomic so that no read is a race.
    std::atomic<HRESULT> FLastErrorCode{S_OK};
    bool FWebViewFocusEventActive = false;
    std::u16string FLastURL;
    // Each initialisation starts a new generation; completions of an older one are stale.
    std::uint64_t FGeneration = 0;

    EventRegistrationToken FAcceleratorKeyPressedToken{};
    EventRegistrationToken FContainsFullScreenElementChangedToken{};
    EventRegistrationToken FContentLoadingToken{};
    EventRegistrationToken FDocumentTitleChangedToken{};
    EventRegistrationToken FFrameNavigationStartingToken{};
    EventRegistrationToken FFrameNavigationCompletedToken{};
    EventRegistrationToken FGotFocusToken{};
    EventRegistrationToken FHistoryChangedToken{};
    EventRegistrationToken FLostFocusToken{};
    EventRegistrationToken FMoveFocusRequestedToken{};
    EventRegistrationToken FNavigationStartingToken{};
    EventRegistrationToken FNavigationCompletedToken{};
    EventRegistrationToken FNewWindowRequestedToken{};
    EventRegistrationToken FPermissionRequestedToken{};
    EventRegistrationToken FProcessFailedToken{};
    EventRegistrationToken FScriptDialogOpeningToken{};
    EventRegistrationToken FSourceChangedToken{};
    EventRegistrationToken FWebResourceRequestedToken{};
    EventRegistrationToken FWebMessageReceivedToken{};
    EventRegistrationToken FWindowCloseRequestedToken{};
    EventRegistrationToken FZoomFactorChangedToken{};
    std::map<std::u16string, EventRegistrationToken> FDevToolsProtocolEventReceivedTokenMap;
};

// The control the program instantiates; all of it is TCustomEdgeBrowser's.
class TEdgeBrowser : public TCustomEdgeBrowser {
public:
    using TCustomEdgeBrowser::TCustomEdgeBrowser;
};

} // namespace Folio::Shared
