// The browser control's registrations for the runtime's events, in their fixed order,
// their removal, and what each event does: page events go to the handler slots, focus
// and keyboard events to the control's window and the form around it.
#include "browser/EdgeBrowser.h"

#include "browser/ComHandler.h"

namespace Folio::Shared {

using Folio::Browser::MakeComHandler;
using Microsoft::WRL::ComPtr;

namespace {

using TControl = TCustomEdgeBrowser;

// An event handler object that forwards to the control while it lives and answers S_OK.
template <typename Handler, typename Sender, typename Args, typename F>
ComPtr<Handler> Bind(const std::weak_ptr<TControl>& link, F forward)
{
    return MakeComHandler<Handler, Sender*, Args*>([link, forward](Sender* sender, Args* args) -> HRESULT {
        if (const auto self = link.lock()) {
            forward(*self, sender, args);
        }
        return S_OK;
    });
}

// Calls a copy of the slot, so that a handler may reassign its own slot meanwhile.
template <typename Slot, typename... A> bool Fire(const Slot& slot, TControl& sender, A&&... args)
{
    if (!slot) {
        return false;
    }
    auto handler = slot;
    handler(sender, std::forward<A>(args)...);
    return true;
}

// Wraps the runtime's arguments for the one call of the handler.
template <typename Wrapper, typename Slot, typename Args>
void FireWrapped(const Slot& slot, TControl& sender, Args* args)
{
    if (slot) {
        Wrapper wrapper(args);
        Fire(slot, sender, wrapper);
    }
}

} // namespace

void TCustomEdgeBrowser::RegisterEvents()
{
    const TWeakLink link(FLink);
    ICoreWebView2* view = FWebView.Get();
    ICoreWebView2Controller* controller = FWebViewController.Get();
    // Registration results are not checked: an event that cannot be had is simply absent.
    view->add_NavigationStarting(
        Bind<ICoreWebView2NavigationStartingEventHandler, ICoreWebView2, ICoreWebView2NavigationStartingEventArgs>(
            link, [](TControl& c, ICoreWebView2*, auto* a) { c.NavigationStarting(a, false); })
            .Get(),
        &FNavigationStartingToken);
    view->add_NavigationCompleted(
        Bind<ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2, ICoreWebView2NavigationCompletedEventArgs>(
            link, [](TControl& c, ICoreWebView2*, auto* a) { c.NavigationCompleted(a, false); })
            .Get(),
        &FNavigationCompletedToken);
    view->add_SourceChanged(
        Bind<ICoreWebView2SourceChangedEventHandler, ICoreWebView2, ICoreWebView2SourceChangedEventArgs>(
            link,
            [](TControl& c, ICoreWebView2*, ICoreWebView2SourceChangedEventArgs* a) {
                if (c.OnSourceChanged) {
                    BOOL isNew = FALSE;
                    if (FAILED(a->get_IsNewDocument(&isNew))) {
                        isNew = FALSE;
                    }
                    Fire(c.OnSourceChanged, c, isNew != FALSE);
                }
            })
            .Get(),
        &FSourceChangedToken);
    view->add_HistoryChanged(Bind<ICoreWebView2HistoryChangedEventHandler, ICoreWebView2, IUnknown>(
                                 link, [](TControl& c, ICoreWebView2*, IUnknown*) { Fire(c.OnHistoryChanged, c); })
                                 .Get(),
                             &FHistoryChangedToken);
    view->add_ContentLoading(
        Bind<ICoreWebView2ContentLoadingEventHandler, ICoreWebView2, ICoreWebView2ContentLoadingEventArgs>(
            link,
            [](TControl& c, ICoreWebView2*, ICoreWebView2ContentLoadingEventArgs* a) {
                if (c.OnContentLoading) {
                    BOOL isErrorPage = FALSE;
                    UINT64 navigationId = 0;
                    if (FAILED(a->get_IsErrorPage(&isErrorPage))) {
                        isErrorPage = FALSE;
                    }
                    if (FAILED(a->get_NavigationId(&navigationId))) {
                        navigationId = 0;
                    }
                    Fire(c.OnContentLoading, c, isErrorPage != FALSE, navigationId);
                }
            })
            .Get(),
        &FContentLoadingToken);
    view->add_DocumentTitleChanged(Bind<ICoreWebView2DocumentTitleChangedEventHandler, ICoreWebView2, IUnknown>(
                                       link,
                                       [](TControl& c, ICoreWebView2*, IUnknown*) {
                                           if (c.OnDocumentTitleChanged) {
                                               Fire(c.OnDocumentTitleChanged, c, c.DocumentTitle());
                                           }
                                       })
                                       .Get(),
                                   &FDocumentTitleChangedToken);
    view->add_NewWindowRequested(
        Bind<ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2, ICoreWebView2NewWindowRequestedEventArgs>(
            link, [](TControl& c, ICoreWebView2*,
                     auto* a) { FireWrapped<TNewWindowRequestedEventArgs>(c.OnNewWindowRequested, c, a); })
            .Get(),
        &FNewWindowRequestedToken);
    view->add_FrameNavigationStarting(
        Bind<ICoreWebView2NavigationStartingEventHandler, ICoreWebView2, ICoreWebView2NavigationStartingEventArgs>(
            link, [](TControl& c, ICoreWebView2*, auto* a) { c.NavigationStarting(a, true); })
            .Get(),
        &FFrameNavigationStartingToken);
    view->add_FrameNavigationCompleted(
        Bind<ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2, ICoreWebView2NavigationCompletedEventArgs>(
            link, [](TControl& c, ICoreWebView2*, auto* a) { c.NavigationCompleted(a, true); })
            .Get(),
        &FFrameNavigationCompletedToken);
    view->add_WebResourceRequested(
        Bind<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2, ICoreWebView2WebResourceRequestedEventArgs>(
            link, [](TControl& c, ICoreWebView2*,
                     auto* a) { FireWrapped<TWebResourceRequestedEventArgs>(c.OnWebResourceRequested, c, a); })
            .Get(),
        &FWebResourceRequestedToken);
    view->add_ScriptDialogOpening(
        Bind<ICoreWebView2ScriptDialogOpeningEventHandler, ICoreWebView2, ICoreWebView2ScriptDialogOpeningEventArgs>(
            link, [](TControl& c, ICoreWebView2*,
                     auto* a) { FireWrapped<TScriptDialogOpeningEventArgs>(c.OnScriptDialogOpening, c, a); })
            .Get(),
        &FScriptDialogOpeningToken);
    view->add_PermissionRequested(
        Bind<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2, ICoreWebView2PermissionRequestedEventArgs>(
            link, [](TControl& c, ICoreWebView2*,
                     auto* a) { FireWrapped<TPermissionRequestedEventArgs>(c.OnPermissionRequested, c, a); })
            .Get(),
        &FPermissionRequestedToken);
    view->add_ProcessFailed(
        Bind<ICoreWebView2ProcessFailedEventHandler, ICoreWebView2, ICoreWebView2ProcessFailedEventArgs>(
            link,
            [](TControl& c, ICoreWebView2*, ICoreWebView2ProcessFailedEventArgs* a) {
                if (c.OnProcessFailed) {
                    auto kind = COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED;
                    if (FAILED(a->get_ProcessFailedKind(&kind))) {
                        kind = COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED;
                    }
                    Fire(c.OnProcessFailed, c, kind);
                }
            })
            .Get(),
        &FProcessFailedToken);
    view->add_WebMessageReceived(
        Bind<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2, ICoreWebView2WebMessageReceivedEventArgs>(
            link, [](TControl& c, ICoreWebView2*,
                     auto* a) { FireWrapped<TWebMessageReceivedEventArgs>(c.OnWebMessageReceived, c, a); })
            .Get(),
        &FWebMessageReceivedToken);
    view->add_ContainsFullScreenElementChanged(
        Bind<ICoreWebView2ContainsFullScreenElementChangedEventHandler, ICoreWebView2, IUnknown>(
            link, [](TControl& c, ICoreWebView2* sender, IUnknown*) { c.ContainsFullScreenElementChanged(sender); })
            .Get(),
        &FContainsFullScreenElementChangedToken);
    view->add_WindowCloseRequested(
        Bind<ICoreWebView2WindowCloseRequestedEventHandler, ICoreWebView2, IUnknown>(
            link, [](TControl& c, ICoreWebView2*, IUnknown*) { Fire(c.OnWindowCloseRequested, c); })
            .Get(),
        &FWindowCloseRequestedToken);

    controller->add_ZoomFactorChanged(
        Bind<ICoreWebView2ZoomFactorChangedEventHandler, ICoreWebView2Controller, IUnknown>(
            link,
            [](TControl& c, ICoreWebView2Controller*, IUnknown*) {
                if (c.OnZoomFactorChanged) {
                    Fire(c.OnZoomFactorChanged, c, c.ZoomFactor());
                }
            })
            .Get(),
        &FZoomFactorChangedToken);
    controller->add_MoveFocusRequested(
        Bind<ICoreWebView2MoveFocusRequestedEventHandler, ICoreWebView2Controller,
             ICoreWebView2MoveFocusRequestedEventArgs>(
            link, [](TControl& c, ICoreWebView2Controller*, auto* a) { c.MoveFocusRequested(a); })
            .Get(),
        &FMoveFocusRequestedToken);
    controller->add_AcceleratorKeyPressed(
        Bind<ICoreWebView2AcceleratorKeyPressedEventHandler, ICoreWebView2Controller,
             ICoreWebView2AcceleratorKeyPressedEventArgs>(
            link, [](TControl& c, ICoreWebView2Controller*, auto* a) { c.AcceleratorKeyPressed(a); })
            .Get(),
        &FAcceleratorKeyPressedToken);
    controller->add_GotFocus(Bind<ICoreWebView2FocusChangedEventHandler, ICoreWebView2Controller, IUnknown>(
                                 link, [](TControl& c, ICoreWebView2Controller*, IUnknown*) { c.GotFocus(); })
                                 .Get(),
                             &FGotFocusToken);
    controller->add_LostFocus(Bind<ICoreWebView2FocusChangedEventHandler, ICoreWebView2Controller, IUnknown>(
                                  link, [](TControl& c, ICoreWebView2Controller*, IUnknown*) { c.FocusExited(); })
                                  .Get(),
                              &FLostFocusToken);
}

void TCustomEdgeBrowser::UnregisterWebViewEvents()
{
    ICoreWebView2* view = FWebView.Get();
    view->remove_NavigationStarting(FNavigationStartingToken);
    view->remove_NavigationCompleted(FNavigationCompletedToken);
    view->remove_SourceChanged(FSourceChangedToken);
    view->remove_HistoryChanged(FHistoryChangedToken);
    view->remove_ContentLoading(FContentLoadingToken);
    view->remove_DocumentTitleChanged(FDocumentTitleChangedToken);
    view->remove_NewWindowRequested(FNewWindowRequestedToken);
    view->remove_FrameNavigationStarting(FFrameNavigationStartingToken);
    view->remove_FrameNavigationCompleted(FFrameNavigationCompletedToken);
    view->remove_WebResourceRequested(FWebResourceRequestedToken);
    view->remove_ScriptDialogOpening(FScriptDialogOpeningToken);
    view->remove_PermissionRequested(FPermissionRequestedToken);
    view->remove_ProcessFailed(FProcessFailedToken);
    view->remove_WebMessageReceived(FWebMessageReceivedToken);
    view->remove_WindowCloseRequested(FWindowCloseRequestedToken);
    view->remove_ContainsFullScreenElementChanged(FContainsFullScreenElementChangedToken);
}

void TCustomEdgeBrowser::UnregisterControllerEvents()
{
    ICoreWebView2Controller* controller = FWebViewController.Get();
    controller->remove_AcceleratorKeyPressed(FAcceleratorKeyPressedToken);
    controller->remove_GotFocus(FGotFocusToken);
    controller->remove_LostFocus(FLostFocusToken);
    controller->remove_MoveFocusRequested(FMoveFocusRequestedToken);
    controller->remove_ZoomFactorChanged(FZoomFactorChangedToken);
}

void TCustomEdgeBrowser::NavigationStarting(ICoreWebView2NavigationStartingEventArgs* args, bool frame)
{
    FireWrapped<TNavigationStartingEventArgs>(frame ? OnFrameNavigationStarting : OnNavigationStarting, *this, args);
}

void TCustomEdgeBrowser::NavigationCompleted(ICoreWebView2NavigationCompletedEventArgs* args, bool frame)
{
    const TNavigationCompletedEvent& slot = frame ? OnFrameNavigationCompleted : OnNavigationCompleted;
    if (!slot) {
        return;
    }
    BOOL isSuccess = FALSE;
    auto status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    if (FAILED(args->get_IsSuccess(&isSuccess))) {
        isSuccess = FALSE;
    }
    if (FAILED(args->get_WebErrorStatus(&status))) {
        status = COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN;
    }
    Fire(slot, *this, isSuccess != FALSE, status);
}

void TCustomEdgeBrowser::ContainsFullScreenElementChanged(ICoreWebView2* sender)
{
    if (!OnContainsFullScreenElementChanged || !sender) {
        return;
    }
    BOOL contains = FALSE;
    if (RecordResult(sender->get_ContainsFullScreenElement(&contains))) {
        Fire(OnContainsFullScreenElementChanged, *this, contains != FALSE);
    }
}

void TCustomEdgeBrowser::MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventArgs* args)
{
    auto reason = COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC;
    if (!RecordResult(args->get_Reason(&reason))) {
        return;
    }
    // Not marked handled: the runtime's own handling still follows.
    if (reason == COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT) {
        FSite->SelectNextControl(true);
    } else if (reason == COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS) {
        FSite->SelectNextControl(false);
    }
}

void TCustomEdgeBrowser::AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventArgs* args)
{
    auto kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN;
    UINT virtualKey = 0;
    INT keyData = 0;
    if (!RecordResult(args->get_KeyEventKind(&kind)) || !RecordResult(args->get_VirtualKey(&virtualKey)) ||
        !RecordResult(args->get_KeyEventLParam(&keyData))) {
        return;
    }
    // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP in the order of the event kinds.
    static constexpr UINT Messages[] = {0x0100, 0x0101, 0x0104, 0x0105};
    const auto index = static_cast<unsigned>(kind);
    if (index >= 4) {
        return;
    }
    // A key that runs a command of the form does not reach the page.
    if (FSite->OfferShortcut(Messages[index], virtualKey, keyData)) {
        RecordResult(args->put_Handled(TRUE));
    }
}

void TCustomEdgeBrowser::GotFocus()
{
    // Focus that starts inside the web view: OnEnter without moving the focus again.
    struct TActive {
        bool& Flag;
        explicit TActive(bool& flag) : Flag(flag) { Flag = true; }
        ~TActive() { Flag = false; }
    } active(FWebViewFocusEventActive);
    FocusEntered();
}

} // namespace Folio::Shared
