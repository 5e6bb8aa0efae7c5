// The web view's calls that answer at once or log: settings, scripts, filters, messages.
#include "tests/standin/WebView.h"

#include "tests/standin/Log.h"
#include "tests/standin/Resource.h"
#include "util/TextCodecs.h"

namespace Folio::Standin {

HRESULT TSettings::Get(BOOL field, BOOL* value) noexcept
{
    if (!value) {
        return E_POINTER;
    }
    *value = field;
    return S_OK;
}

HRESULT TSettings::Put(const char* name, BOOL& field, BOOL value) noexcept
{
    field = value;
    TLogLine("settings").Str("name", name).Bool("value", value != FALSE).Write();
    if (Changed) {
        Changed(name, value != FALSE);
    }
    return S_OK;
}

TWebView::TWebView(std::shared_ptr<const TSession> session, std::shared_ptr<TUiQueue> queue, HWND parent,
                   std::shared_ptr<TViewWindow> view)
    : FSession(std::move(session)), FQueue(std::move(queue)), FParent(parent), FView(std::move(view)),
      FSettings(MakeObject<TSettings>()), FRelay(TRelay::Connect())
{
    if (FRelay) {
        StartRelay();
    }
}

void TWebView::Closed()
{
    FClosed = true;
    FView.reset();
    FNavigationStarting.Clear();
    FFrameNavigationStarting.Clear();
    FContentLoading.Clear();
    FSourceChanged.Clear();
    FHistoryChanged.Clear();
    FNavigationCompleted.Clear();
    FFrameNavigationCompleted.Clear();
    FScriptDialogOpening.Clear();
    FPermissionRequested.Clear();
    FProcessFailed.Clear();
    FWebMessageReceived.Clear();
    FNewWindowRequested.Clear();
    FDocumentTitleChanged.Clear();
    FContainsFullScreenElementChanged.Clear();
    FWebResourceRequested.Clear();
    FWindowCloseRequested.Clear();
    FScriptsRunning.clear();
    FCaptures.clear();
    if (FRelay) {
        FRelay->Send(TRelayMessage("closed").Text());
        FRelay->Stop();
    }
}

HRESULT TWebView::Logged(const char* event) noexcept
{
    TLogLine(event).Write();
    return S_OK;
}

HRESULT TWebView::get_Settings(ICoreWebView2Settings** settings) noexcept
{
    if (!settings) {
        return E_POINTER;
    }
    *settings = nullptr;
    if (const auto hr = FSession->Failure(EFailStep::Settings)) {
        return *hr;
    }
    return FSettings.CopyTo(settings);
}

HRESULT TWebView::get_Source(LPWSTR* uri) noexcept { return OutString(FSource, uri); }

HRESULT TWebView::Navigate(LPCWSTR uri) noexcept
{
    if (!uri) {
        return E_INVALIDARG;
    }
    try {
        TLogLine("navigate").Str("url", FromWide(uri)).Write();
        if (FClosed) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_STATE);
        }
        if (FRelay) {
            // Chromium navigates; its request for the document raises the events.
            FRelay->Send(TRelayMessage("navigate").Str("url", FromWide(uri)).Text());
            return S_OK;
        }
        const UINT64 id = ++FNavigationId;
        ComPtr<TWebView> self(this);
        FQueue->Post([self, target = FromWide(uri), id] { self->RunNavigation(target, id); });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebView::AddScriptToExecuteOnDocumentCreated(
    LPCWSTR javaScript, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* handler) noexcept
{
    if (!javaScript) {
        return E_INVALIDARG;
    }
    try {
        const std::u16string script = FromWide(javaScript);
        const std::string bytes = Shared::Utf16ToUtf8(script);
        TLogLine("script-injected")
            .Num("length", static_cast<int64_t>(script.size()))
            .Str("sha256", Sha256Hex(bytes.data(), bytes.size()))
            .Str("start", std::u16string_view(script).substr(0, 60))
            .Write();
        if (FRelay) {
            FRelay->Send(TRelayMessage("inject").Str("script", script).Text());
        }
        const std::u16string id = Shared::Utf8ToUtf16(std::to_string(++FInjectedScripts));
        if (handler) {
            ComPtr<ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler> done(handler);
            FQueue->Post([done, id] { done->Invoke(S_OK, reinterpret_cast<LPCWSTR>(id.c_str())); });
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebView::ExecuteScript(LPCWSTR javaScript, ICoreWebView2ExecuteScriptCompletedHandler* handler) noexcept
{
    if (!javaScript) {
        return E_INVALIDARG;
    }
    try {
        const std::u16string script = FromWide(javaScript);
        std::vector<TScriptAnswer> answers;
        for (const auto& answer : FAnswers) {
            if (script.find(answer.Match) != std::u16string::npos) {
                answers.push_back(answer);
            }
        }
        TLogLine("script-executed").Str("script", script).Num("answers", static_cast<int64_t>(answers.size())).Write();
        ComPtr<TWebView> self(this);
        ComPtr<ICoreWebView2ExecuteScriptCompletedHandler> done(handler);
        if (FRelay) {
            // The page runs it; the harness sends the result back with this number.
            const int64_t id = ++FRelayCalls;
            FScriptsRunning[id] = done;
            FRelay->Send(TRelayMessage("execute").Num("id", id).Str("script", script).Text());
            done = nullptr;
        }
        FQueue->Post([self, done, answers] {
            if (done) {
                done->Invoke(S_OK, L"null");
            }
            for (const auto& answer : answers) {
                self->RaiseWebMessage(answer.Source, answer.Json);
            }
        });
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebView::PostWebMessageAsJson(LPCWSTR webMessageAsJson) noexcept
{
    if (!webMessageAsJson) {
        return E_INVALIDARG;
    }
    try {
        TLogLine("web-message-posted").Str("json", FromWide(webMessageAsJson)).Write();
        if (FRelay) {
            FRelay->Send(TRelayMessage("post").Str("json", FromWide(webMessageAsJson)).Text());
        }
        ReplyArrived();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebView::get_BrowserProcessId(UINT32* value) noexcept
{
    if (!value) {
        return E_POINTER;
    }
    *value = 0;
    return S_OK;
}

HRESULT TWebView::get_CanGoBack(BOOL* canGoBack) noexcept
{
    if (!canGoBack) {
        return E_POINTER;
    }
    *canGoBack = FALSE;
    return S_OK;
}

HRESULT TWebView::get_CanGoForward(BOOL* canGoForward) noexcept { return get_CanGoBack(canGoForward); }

HRESULT TWebView::get_DocumentTitle(LPWSTR* title) noexcept { return OutString(FTitle, title); }

HRESULT TWebView::get_ContainsFullScreenElement(BOOL* contains) noexcept
{
    if (!contains) {
        return E_POINTER;
    }
    *contains = FALSE;
    return S_OK;
}

HRESULT TWebView::AddWebResourceRequestedFilter(const LPCWSTR uri, const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) noexcept
{
    if (!uri) {
        return E_INVALIDARG;
    }
    try {
        TLogLine("filter-added").Str("uri", FromWide(uri)).Str("context", ResourceContextName(context)).Write();
        FFilters.push_back({FromWide(uri), context});
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebView::RemoveWebResourceRequestedFilter(const LPCWSTR uri,
                                                   const COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) noexcept
{
    if (!uri) {
        return E_INVALIDARG;
    }
    try {
        TLogLine("filter-removed").Str("uri", FromWide(uri)).Str("context", ResourceContextName(context)).Write();
        for (auto filter = FFilters.begin(); filter != FFilters.end(); ++filter) {
            if (filter->Uri == FromWide(uri) && filter->Context == context) {
                FFilters.erase(filter);
                return S_OK;
            }
        }
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace Folio::Standin
