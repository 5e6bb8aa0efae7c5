// The web view in relay mode: what the harness reports of Chromium (requests, documents
// loaded, messages from the page, titles, script results, screenshots, new windows)
// raised as WebView2 events on the UI thread, and the runtime's answers sent back.
#include "tests/standin/EventArgs.h"
#include "tests/standin/Log.h"
#include "tests/standin/WebView.h"
#include "util/TextCodecs.h"

#include <rapidjson/document.h>

namespace Folio::Standin {

namespace {

std::u16string Text(const rapidjson::Value& message, const char* key)
{
    const auto found = message.FindMember(key);
    if (found == message.MemberEnd() || !found->value.IsString()) {
        return {};
    }
    return Shared::Utf8ToUtf16(std::string_view(found->value.GetString(), found->value.GetStringLength()));
}

int64_t Number(const rapidjson::Value& message, const char* key)
{
    const auto found = message.FindMember(key);
    return found != message.MemberEnd() && found->value.IsInt64() ? found->value.GetInt64() : 0;
}

bool Flag(const rapidjson::Value& message, const char* key)
{
    const auto found = message.FindMember(key);
    return found != message.MemberEnd() && found->value.IsBool() && found->value.GetBool();
}

std::string FromBase64(std::string_view text)
{
    std::string bytes;
    uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        int v = c >= 'A' && c <= 'Z' ? c - 'A'
              : c >= 'a' && c <= 'z' ? c - 'a' + 26
              : c >= '0' && c <= '9' ? c - '0' + 52
              : c == '+' ? 62 : c == '/' ? 63 : -1;
        if (v < 0) {
            continue;
        }
        bits = bits << 6 | uint32_t(v);
        if ((count += 6) >= 8) {
            count -= 8;
            bytes += char(bits >> count & 0xFF);
        }
    }
    return bytes;
}

} // namespace

TWebView::~TWebView()
{
    if (FRelay) {
        FRelay->Stop();
    }
}

void TWebView::StartRelay()
{
    FSettings->Changed = [relay = FRelay.get()](const char* name, bool value) {
        relay->Send(TRelayMessage("settings").Utf8("name", name).Bool("value", value).Text());
    };
    FRelay->Start([self = this, queue = FQueue](std::optional<std::string> line) {
        if (!line) {
            TLogLine("relay-closed").Write();
            return;
        }
        queue->Post([self = ComPtr<TWebView>(self), line = std::move(*line)] { self->RelayReceived(line); });
    });
    FRelay->Send(TRelayMessage("hello").Num("pid", GetCurrentProcessId()).Text());
}

void TWebView::RelayReceived(const std::string& line)
{
    rapidjson::Document message;
    message.Parse(line.data(), line.size());
    if (message.HasParseError() || !message.IsObject() || FClosed) {
        if (!FClosed) {
            LogError("relay: unreadable line " + line.substr(0, 200));
        }
        return;
    }
    const std::u16string op = Text(message, "op");
    if (op == u"request") {
        RelayRequest(UINT64(Number(message, "id")), Text(message, "url"),
                     static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(Number(message, "context")), Flag(message, "navigation"),
                     Text(message, "range"));
    } else if (op == u"loaded") {
        RelayLoaded(Text(message, "url"));
    } else if (op == u"message") {
        RaiseWebMessage(Text(message, "source"), Text(message, "json"));
    } else if (op == u"title") {
        ChangeTitle(Text(message, "title"));
    } else if (op == u"executed") {
        const auto running = FScriptsRunning.find(Number(message, "id"));
        if (running != FScriptsRunning.end()) {
            const auto done = running->second;
            FScriptsRunning.erase(running);
            const std::u16string result = Text(message, "result");
            if (done) {
                done->Invoke(S_OK, reinterpret_cast<LPCWSTR>(result.c_str()));
            }
        }
    } else if (op == u"captured") {
        const auto capture = FCaptures.find(Number(message, "id"));
        if (capture != FCaptures.end()) {
            auto [stream, done] = capture->second;
            FCaptures.erase(capture);
            const std::string png = FromBase64(Shared::Utf16ToUtf8(Text(message, "png")));
            ULONG written = 0;
            const HRESULT hr = png.empty() ? E_FAIL : stream->Write(png.data(), ULONG(png.size()), &written);
            if (done) {
                done->Invoke(hr);
            }
        }
    } else if (op == u"new-window") {
        RelayNewWindow(Text(message, "uri"));
    } else if (op == u"close") {
        // As a click on the close box of the window that holds the browser.
        PostMessageW(GetAncestor(FParent, GA_ROOT), WM_CLOSE, 0, 0);
    }
}

void TWebView::RelayRequest(UINT64 id, std::u16string uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context, bool navigation,
                            const std::u16string& range)
{
    ComPtr<TWebView> self(this);
    if (navigation) {
        // A document of the main frame: the navigation's events come before its request.
        const UINT64 navigationId = FRelayNavigation = ++FNavigationId;
        FDocumentAnswered = false;
        auto starting = MakeObject<TNavigationStartingArgs>(uri, navigationId);
        FNavigationStarting.Raise(this, starting.Get());
        if (starting->Cancelled()) {
            FRelay->Send(TRelayMessage("no-response").Num("id", int64_t(id)).Bool("cancelled", true).Text());
            FNavigationCompleted.Raise(
                this, MakeObject<TNavigationCompletedArgs>(false, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED, navigationId).Get());
            TLogLine("navigation-completed").Str("url", uri).Bool("success", false).Write();
            return;
        }
        FSource = uri;
        FSourceChanged.Raise(this, MakeObject<TSourceChangedArgs>().Get());
        FHistoryChanged.Raise(this, nullptr);
        FContentLoading.Raise(this, MakeObject<TContentLoadingArgs>(navigationId).Get());
    }
    Request(uri, context, [self, id, navigation](bool responded, const TServed& served) {
        if (navigation) {
            self->FDocumentAnswered = responded;
        }
        if (!self->FRelay) {
            return;
        }
        if (!responded) {
            self->FRelay->Send(TRelayMessage("no-response").Num("id", int64_t(id)).Text());
            return;
        }
        self->FRelay->Send(TRelayMessage("response")
                               .Num("id", int64_t(id))
                               .Num("status", served.Status)
                               .Str("reason", served.Reason)
                               .Strings("headers", served.Headers)
                               .Base64("body", served.Body)
                               .Text());
    }, range);
}

void TWebView::RelayLoaded(std::u16string uri)
{
    const bool success = FDocumentAnswered;
    FNavigationCompleted.Raise(
        this, MakeObject<TNavigationCompletedArgs>(success, success ? COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN
                                                                    : COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED,
                                                   FRelayNavigation)
                  .Get());
    TLogLine("navigation-completed").Str("url", uri).Bool("success", success).Write();
    if (!FStarted) {
        FStarted = true;
        ComPtr<TWebView> self(this);
        FQueue->Post([self] { self->Next(); });
    }
}

void TWebView::RelayNewWindow(std::u16string uri)
{
    auto gate = std::make_shared<TDeferralGate>(FQueue);
    auto args = MakeObject<TNewWindowRequestedArgs>(uri, gate);
    FNewWindowRequested.Raise(this, args.Get());
    ComPtr<TWebView> self(this);
    gate->AfterHandlers([self, args, uri] {
        TLogLine("new-window").Str("uri", uri).Bool("handled", args->Handled()).Write();
        if (self->FRelay) {
            self->FRelay->Send(TRelayMessage("new-window").Str("uri", uri).Bool("handled", args->Handled()).Text());
        }
    });
}

void TWebView::BoundsChanged(const RECT& bounds)
{
    if (FRelay) {
        FRelay->Send(TRelayMessage("bounds")
                         .Num("width", bounds.right - bounds.left)
                         .Num("height", bounds.bottom - bounds.top)
                         .Text());
    }
}

HRESULT TWebView::CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT format, IStream* stream,
                                 ICoreWebView2CapturePreviewCompletedHandler* handler) noexcept
{
    if (!FRelay || format != COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG) {
        return E_NOTIMPL;
    }
    if (!stream) {
        return E_INVALIDARG;
    }
    try {
        TLogLine("capture-preview").Write();
        const int64_t id = ++FRelayCalls;
        FCaptures[id] = {ComPtr<IStream>(stream), ComPtr<ICoreWebView2CapturePreviewCompletedHandler>(handler)};
        FRelay->Send(TRelayMessage("capture").Num("id", id).Text());
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace Folio::Standin
