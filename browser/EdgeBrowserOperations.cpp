// What the browser control offers once its web view exists: navigation, scripts,
// preview capture, request filters, DevTools subscriptions, the page's state, the zoom
// factor and the eight settings. Failing runtime calls are only recorded.
#include "browser/EdgeBrowser.h"

#include "browser/ComHandler.h"
#include "browser/WebView2Loader.h"
#include "util/Case.h"
#include "util/StrUtils.h"

namespace Folio::Shared {

using Folio::Browser::AsWide;
using Folio::Browser::FromWide;
using Folio::Browser::MakeComHandler;
using Folio::Browser::TCoTaskString;
using Microsoft::WRL::ComPtr;

namespace {

[[noreturn]] void RaiseNotInstantiated()
{
    throw EEdgeError("WebView2 not instantiated", E_FAIL);
}

} // namespace

bool TCustomEdgeBrowser::Navigate(const std::u16string& url)
{
    if (FWebView) {
        return RecordResult(FWebView->Navigate(AsWide(url)));
    }
    // Kept (untrimmed) for the controller completion, which navigates once the view exists.
    if (!Trim(url).empty()) {
        FLastURL = url;
    }
    return false;
}

bool TCustomEdgeBrowser::NavigateToString(const std::u16string& htmlContent)
{
    return FWebView && RecordResult(FWebView->NavigateToString(AsWide(htmlContent)));
}

void TCustomEdgeBrowser::GoBack()
{
    if (FWebView) {
        RecordResult(FWebView->GoBack());
    }
}

void TCustomEdgeBrowser::GoForward()
{
    if (FWebView) {
        RecordResult(FWebView->GoForward());
    }
}

void TCustomEdgeBrowser::Refresh()
{
    if (FWebView) {
        RecordResult(FWebView->Reload());
    }
}

void TCustomEdgeBrowser::Stop()
{
    if (FWebView) {
        RecordResult(FWebView->Stop());
    }
}

void TCustomEdgeBrowser::ExecuteScript(const std::u16string& javaScript)
{
    if (!FWebView) {
        return;
    }
    auto handler = MakeComHandler<ICoreWebView2ExecuteScriptCompletedHandler, HRESULT, LPCWSTR>(
        [link = TWeakLink(FLink)](HRESULT errorCode, LPCWSTR resultObjectAsJson) {
            const auto self = link.lock();
            if (self && self->OnExecuteScript) {
                auto slot = self->OnExecuteScript;
                slot(*self, errorCode, FromWide(resultObjectAsJson));
            }
            return S_OK;
        });
    // The immediate result is not recorded: the completion reports the outcome.
    FWebView->ExecuteScript(AsWide(javaScript), handler.Get());
}

void TCustomEdgeBrowser::StartCapture(IStream* stream, TPreviewFormat format)
{
    auto handler = MakeComHandler<ICoreWebView2CapturePreviewCompletedHandler, HRESULT>(
        [link = TWeakLink(FLink)](HRESULT errorCode) {
            const auto self = link.lock();
            if (self && self->OnCapturePreviewCompleted) {
                auto slot = self->OnCapturePreviewCompleted;
                slot(*self, errorCode);
            }
            return S_OK;
        });
    const auto imageFormat = format == TPreviewFormat::JPEG ? COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG
                                                            : COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG;
    RecordResult(FWebView->CapturePreview(imageFormat, stream, handler.Get()));
}

void TCustomEdgeBrowser::CapturePreview(const std::u16string& fileName, TPreviewFormat format)
{
    if (!FWebView) {
        return;
    }
    // The runtime holds the stream until it has written the image; its release closes the file.
    ComPtr<IStream> stream;
    if (!RecordResult(FSite->CreateFileStream(fileName, stream.GetAddressOf())) || !stream) {
        return;
    }
    StartCapture(stream.Get(), format);
}

void TCustomEdgeBrowser::CapturePreview(IStream* stream, TPreviewFormat format)
{
    if (!FWebView || !stream) {
        return;
    }
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    StartCapture(stream, format);
}

void TCustomEdgeBrowser::AddWebResourceRequestedFilter(const std::u16string& url,
                                                       COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
{
    if (FWebView) {
        RecordResult(FWebView->AddWebResourceRequestedFilter(AsWide(url), context));
    }
}

void TCustomEdgeBrowser::RemoveWebResourceRequestedFilter(const std::u16string& url,
                                                          COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
{
    if (FWebView) {
        RecordResult(FWebView->RemoveWebResourceRequestedFilter(AsWide(url), context));
    }
}

void TCustomEdgeBrowser::SubscribeToCDPEvent(const std::u16string& eventName)
{
    if (!FWebView) {
        return;
    }
    ComPtr<ICoreWebView2DevToolsProtocolEventReceiver> receiver;
    const HRESULT hr = FWebView->GetDevToolsProtocolEventReceiver(AsWide(eventName), receiver.GetAddressOf());
    if (!RecordResult(hr) || !receiver) {
        return;
    }
    // One live registration per name: a second subscription replaces the first.
    const auto known = FDevToolsProtocolEventReceivedTokenMap.find(eventName);
    if (known != FDevToolsProtocolEventReceivedTokenMap.end()) {
        receiver->remove_DevToolsProtocolEventReceived(known->second);
    }
    auto handler = MakeComHandler<ICoreWebView2DevToolsProtocolEventReceivedEventHandler, ICoreWebView2*,
                                  ICoreWebView2DevToolsProtocolEventReceivedEventArgs*>(
        [link = TWeakLink(FLink), eventName](ICoreWebView2*,
                                             ICoreWebView2DevToolsProtocolEventReceivedEventArgs* args) {
            const auto self = link.lock();
            if (self && self->OnDevToolsProtocolEventReceived && args) {
                TCoTaskString json;
                args->get_ParameterObjectAsJson(json.Put());
                auto slot = self->OnDevToolsProtocolEventReceived;
                slot(*self, eventName, json.Text());
            }
            return S_OK;
        });
    EventRegistrationToken token{};
    RecordResult(receiver->add_DevToolsProtocolEventReceived(handler.Get(), &token));
    FDevToolsProtocolEventReceivedTokenMap[eventName] = token;
}

UINT32 TCustomEdgeBrowser::BrowserProcessID()
{
    UINT32 id = 0;
    if (!FWebView || !RecordResult(FWebView->get_BrowserProcessId(&id))) {
        return 0;
    }
    return id;
}

std::u16string TCustomEdgeBrowser::BrowserVersionInfo()
{
    TCoTaskString version;
    if (FWebView && FWebViewEnvironment) {
        RecordResult(FWebViewEnvironment->get_BrowserVersionString(version.Put()));
    } else {
        RecordResult(LoaderBrowserVersion(version.Put()));
    }
    return SUCCEEDED(LastErrorCode()) ? version.Text() : std::u16string();
}

bool TCustomEdgeBrowser::CanGoBack()
{
    BOOL value = FALSE;
    return FWebView && RecordResult(FWebView->get_CanGoBack(&value)) && value;
}

bool TCustomEdgeBrowser::CanGoForward()
{
    BOOL value = FALSE;
    return FWebView && RecordResult(FWebView->get_CanGoForward(&value)) && value;
}

bool TCustomEdgeBrowser::ContainsFullScreenElement()
{
    BOOL value = FALSE;
    return FWebViewSettings && FWebView && RecordResult(FWebView->get_ContainsFullScreenElement(&value)) && value;
}

std::u16string TCustomEdgeBrowser::DocumentTitle()
{
    TCoTaskString title;
    if (!FWebView || !RecordResult(FWebView->get_DocumentTitle(title.Put()))) {
        return {};
    }
    return title.Text();
}

std::u16string TCustomEdgeBrowser::LocationURL()
{
    TCoTaskString source;
    if (!FWebView || !RecordResult(FWebView->get_Source(source.Put()))) {
        return {};
    }
    std::u16string url = source.Text();
    return SameTextAscii(url, u"about:blank") ? std::u16string() : url;
}

double TCustomEdgeBrowser::ZoomFactor()
{
    double factor = 0.0;
    if (!FWebViewController || !RecordResult(FWebViewController->get_ZoomFactor(&factor))) {
        return 0.0;
    }
    return factor;
}

void TCustomEdgeBrowser::SetZoomFactor(double factor)
{
    if (FWebViewController) {
        RecordResult(FWebViewController->put_ZoomFactor(factor));
    }
}

bool TCustomEdgeBrowser::GetSetting(HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*get)(BOOL*))
{
    BOOL value = FALSE;
    if (!FWebViewSettings || !RecordResult((FWebViewSettings.Get()->*get)(&value))) {
        RaiseNotInstantiated();
    }
    return value != FALSE;
}

void TCustomEdgeBrowser::PutSetting(HRESULT (STDMETHODCALLTYPE ICoreWebView2Settings::*put)(BOOL), bool value)
{
    if (!FWebViewSettings) {
        RaiseNotInstantiated();
    }
    RecordResult((FWebViewSettings.Get()->*put)(value ? TRUE : FALSE));
}

// clang-format off
bool TCustomEdgeBrowser::BuiltInErrorPageEnabled() { return GetSetting(&ICoreWebView2Settings::get_IsBuiltInErrorPageEnabled); }
void TCustomEdgeBrowser::SetBuiltInErrorPageEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_IsBuiltInErrorPageEnabled, v); }
bool TCustomEdgeBrowser::DefaultContextMenusEnabled() { return GetSetting(&ICoreWebView2Settings::get_AreDefaultContextMenusEnabled); }
void TCustomEdgeBrowser::SetDefaultContextMenusEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_AreDefaultContextMenusEnabled, v); }
bool TCustomEdgeBrowser::DefaultScriptDialogsEnabled() { return GetSetting(&ICoreWebView2Settings::get_AreDefaultScriptDialogsEnabled); }
void TCustomEdgeBrowser::SetDefaultScriptDialogsEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_AreDefaultScriptDialogsEnabled, v); }
bool TCustomEdgeBrowser::DevToolsEnabled() { return GetSetting(&ICoreWebView2Settings::get_AreDevToolsEnabled); }
void TCustomEdgeBrowser::SetDevToolsEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_AreDevToolsEnabled, v); }
bool TCustomEdgeBrowser::ScriptEnabled() { return GetSetting(&ICoreWebView2Settings::get_IsScriptEnabled); }
void TCustomEdgeBrowser::SetScriptEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_IsScriptEnabled, v); }
bool TCustomEdgeBrowser::StatusBarEnabled() { return GetSetting(&ICoreWebView2Settings::get_IsStatusBarEnabled); }
void TCustomEdgeBrowser::SetStatusBarEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_IsStatusBarEnabled, v); }
bool TCustomEdgeBrowser::WebMessageEnabled() { return GetSetting(&ICoreWebView2Settings::get_IsWebMessageEnabled); }
void TCustomEdgeBrowser::SetWebMessageEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_IsWebMessageEnabled, v); }
bool TCustomEdgeBrowser::ZoomControlEnabled() { return GetSetting(&ICoreWebView2Settings::get_IsZoomControlEnabled); }
void TCustomEdgeBrowser::SetZoomControlEnabled(bool v) { PutSetting(&ICoreWebView2Settings::put_IsZoomControlEnabled, v); }
// clang-format on

} // namespace Folio::Shared
