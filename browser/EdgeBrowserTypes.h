// The browser control's state, its exception, the event-argument wrappers and the
// handler types of its events.
#pragma once

#include "browser/WebView2.h"

#include <functional>
#include <stdexcept>
#include <string>

namespace Folio::Shared {

class TCustomEdgeBrowser;

enum class TBrowserControlState { None, Creating, Created, Failed };

// Passed to the runtime as its capture image format (0 and 1).
enum class TPreviewFormat { PNG, JPEG };

class EEdgeError : public std::runtime_error {
public:
    EEdgeError(const std::string& message, HRESULT errorCode) : std::runtime_error(message), FErrorCode(errorCode) {}
    HRESULT ErrorCode() const noexcept { return FErrorCode; }

private:
    HRESULT FErrorCode;
};

// The runtime's arguments of one event call. The control makes one for the call of a
// handler and destroys it when the handler returns: copy out what is needed later.
template <typename Interface> class TEventArgsWrapper {
public:
    explicit TEventArgsWrapper(Interface* args) : FArgsInterface(args) {}
    TEventArgsWrapper(const TEventArgsWrapper&) = delete;
    TEventArgsWrapper& operator=(const TEventArgsWrapper&) = delete;

    Interface* ArgsInterface() const noexcept { return FArgsInterface.Get(); }

private:
    Microsoft::WRL::ComPtr<Interface> FArgsInterface;
};

class TNavigationStartingEventArgs : public TEventArgsWrapper<ICoreWebView2NavigationStartingEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};
class TNewWindowRequestedEventArgs : public TEventArgsWrapper<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};
class TPermissionRequestedEventArgs : public TEventArgsWrapper<ICoreWebView2PermissionRequestedEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};
class TScriptDialogOpeningEventArgs : public TEventArgsWrapper<ICoreWebView2ScriptDialogOpeningEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};
class TWebMessageReceivedEventArgs : public TEventArgsWrapper<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};
class TWebResourceRequestedEventArgs : public TEventArgsWrapper<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    using TEventArgsWrapper::TEventArgsWrapper;
};

// Handler types; the first argument is always the control that raises the event.
using TNotifyEvent = std::function<void(TCustomEdgeBrowser& sender)>;
using THistoryChangedEvent = TNotifyEvent;
using TWebViewStatusEvent = std::function<void(TCustomEdgeBrowser& sender, HRESULT result)>;
using TContainsFullScreenElementChangedEvent =
    std::function<void(TCustomEdgeBrowser& sender, bool containsFullScreenElement)>;
using TContentLoadingEvent = std::function<void(TCustomEdgeBrowser& sender, bool isErrorPage, UINT64 navigationId)>;
using TDevToolsProtocolEventReceivedEvent = std::function<void(
    TCustomEdgeBrowser& sender, const std::u16string& eventName, const std::u16string& parameterObjectAsJson)>;
using TDocumentTitleChangedEvent = std::function<void(TCustomEdgeBrowser& sender, const std::u16string& documentTitle)>;
using TExecuteScriptEvent =
    std::function<void(TCustomEdgeBrowser& sender, HRESULT result, const std::u16string& resultObjectAsJson)>;
using TNavigationStartingEvent = std::function<void(TCustomEdgeBrowser& sender, TNavigationStartingEventArgs& args)>;
using TNavigationCompletedEvent =
    std::function<void(TCustomEdgeBrowser& sender, bool isSuccess, COREWEBVIEW2_WEB_ERROR_STATUS webErrorStatus)>;
using TNewWindowRequestedEvent = std::function<void(TCustomEdgeBrowser& sender, TNewWindowRequestedEventArgs& args)>;
using TPermissionRequestedEvent = std::function<void(TCustomEdgeBrowser& sender, TPermissionRequestedEventArgs& args)>;
using TProcessFailedEvent = std::function<void(TCustomEdgeBrowser& sender, COREWEBVIEW2_PROCESS_FAILED_KIND kind)>;
using TScriptDialogOpeningEvent = std::function<void(TCustomEdgeBrowser& sender, TScriptDialogOpeningEventArgs& args)>;
using TSourceChangedEvent = std::function<void(TCustomEdgeBrowser& sender, bool isNewDocument)>;
using TWebMessageReceivedEvent = std::function<void(TCustomEdgeBrowser& sender, TWebMessageReceivedEventArgs& args)>;
using TWebResourceRequestedEvent =
    std::function<void(TCustomEdgeBrowser& sender, TWebResourceRequestedEventArgs& args)>;
using TZoomFactorChangedEvent = std::function<void(TCustomEdgeBrowser& sender, double zoomFactor)>;

} // namespace Folio::Shared
