// Navigations and requests as a browser makes them: NavigationStarting, SourceChanged,
// ContentLoading, a WebResourceRequested for the document, the title of the served
// HTML, NavigationCompleted. Response bodies are read on a thread of their own, as the
// real browser reads them, then logged on the UI thread.
#include "platform/win32/Handles.h"
#include "tests/standin/EventArgs.h"
#include "tests/standin/Log.h"
#include "tests/standin/WebView.h"
#include "util/TextCodecs.h"

#include <cctype>
#include <optional>
#include <thread>

namespace Folio::Standin {

namespace {

// The filter pattern of AddWebResourceRequestedFilter: "*" stands for any run of characters.
bool Matches(std::u16string_view pattern, std::u16string_view text)
{
    size_t p = 0, t = 0, star = std::u16string_view::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

size_t FindNoCase(const std::string& text, std::string_view what, size_t from)
{
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && Lower(text[i + k]) == what[k]) {
            ++k;
        }
        if (k == what.size()) {
            return i;
        }
    }
    return std::string::npos;
}

// The text of the first <title> element, blanks trimmed; character references stay as written.
std::optional<std::u16string> FindTitle(const std::string& html)
{
    const size_t open = FindNoCase(html, "<title", 0);
    const size_t start = open == std::string::npos ? open : html.find('>', open);
    const size_t end = start == std::string::npos ? start : FindNoCase(html, "</title", start);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string_view title(html.data() + start + 1, end - start - 1);
    while (!title.empty() && std::isspace(static_cast<unsigned char>(title.front()))) {
        title.remove_prefix(1);
    }
    while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) {
        title.remove_suffix(1);
    }
    return Shared::Utf8ToUtf16(title);
}

} // namespace

void TWebView::RunNavigation(std::u16string uri, UINT64 id, std::function<void()> then)
{
    if (FClosed) {
        return;
    }
    ComPtr<TWebView> self(this);
    const auto complete = [self, uri, id, then](bool success, COREWEBVIEW2_WEB_ERROR_STATUS status) {
        if (self->FClosed) {
            return;
        }
        self->FNavigationCompleted.Raise(self.Get(), MakeObject<TNavigationCompletedArgs>(success, status, id).Get());
        TLogLine("navigation-completed").Str("url", uri).Bool("success", success).Write();
        if (then) {
            then();
        } else if (!self->FStarted) {
            self->FStarted = true;
            self->FQueue->Post([self] { self->Next(); });
        }
    };
    auto starting = MakeObject<TNavigationStartingArgs>(uri, id);
    FNavigationStarting.Raise(this, starting.Get());
    if (starting->Cancelled()) {
        complete(false, COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED);
        return;
    }
    FSource = uri;
    FSourceChanged.Raise(this, MakeObject<TSourceChangedArgs>().Get());
    FHistoryChanged.Raise(this, nullptr);
    FContentLoading.Raise(this, MakeObject<TContentLoadingArgs>(id).Get());
    Request(uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT, [self, complete](bool responded, const TServed& served) {
        if (self->FClosed) {
            return;
        }
        if (responded) {
            if (auto title = FindTitle(served.Body)) {
                self->ChangeTitle(std::move(*title));
            }
        }
        complete(responded, responded ? COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN
                                      : COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED);
    });
}

void TWebView::Request(std::u16string uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context, TResponded responded,
                       const std::u16string& range)
{
    bool filtered = false;
    for (const auto& filter : FFilters) {
        filtered = filtered || ((filter.Context == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL || filter.Context == context) &&
                                Matches(filter.Uri, uri));
    }
    if (!filtered || FClosed) {
        TLogLine("no-response").Str("url", uri).Str("reason", FClosed ? "closed" : "no filter").Write();
        responded(false, {});
        return;
    }
    auto gate = std::make_shared<TDeferralGate>(FQueue);
    THeaderList headers;
    if (!range.empty()) {
        headers.emplace_back(u"Range", range);
    }
    auto args = MakeObject<TWebResourceRequestedArgs>(uri, context, gate, headers);
    FWebResourceRequested.Raise(this, args.Get());
    ComPtr<TWebView> self(this);
    gate->AfterHandlers([self, args, uri, responded] {
        auto response = args->Response();
        if (!response) {
            TLogLine("no-response").Str("url", uri).Str("reason", "not answered").Write();
            responded(false, {});
            return;
        }
        self->ReadResponse(uri, response, responded);
    });
}

void TWebView::ReadResponse(std::u16string uri, ComPtr<ICoreWebView2WebResourceResponse> response,
                            TResponded responded)
{
    int status = 0;
    response->get_StatusCode(&status);
    Win32::UniqueCoTaskString reason;
    response->get_ReasonPhrase(reason.Put());
    std::vector<std::u16string> headers;
    ComPtr<ICoreWebView2HttpResponseHeaders> headerList;
    ComPtr<ICoreWebView2HttpHeadersCollectionIterator> iterator;
    if (SUCCEEDED(response->get_Headers(&headerList)) && headerList &&
        SUCCEEDED(headerList->GetIterator(&iterator)) && iterator) {
        BOOL more = FALSE;
        while (SUCCEEDED(iterator->get_HasCurrentHeader(&more)) && more) {
            Win32::UniqueCoTaskString name, value;
            if (SUCCEEDED(iterator->GetCurrentHeader(name.Put(), value.Put()))) {
                headers.push_back(FromWide(name.Get()) + u": " + FromWide(value.Get()));
            }
            iterator->MoveNext(&more);
        }
    }
    ComPtr<IStream> content;
    response->get_Content(&content);

    // Everything the reader thread holds moves back with the result, so the web view is
    // only ever released on the UI thread.
    struct TRead {
        ComPtr<TWebView> Self;
        std::u16string Uri;
        TResponded Responded;
        TServed Served;
        bool ReadFailed = false;
    };
    auto read = std::make_unique<TRead>(TRead{ComPtr<TWebView>(this), std::move(uri), std::move(responded),
                                              TServed{status, FromWide(reason.Get()), std::move(headers), {}}});
    auto finish = [](std::unique_ptr<TRead> done) {
        auto queue = done->Self->FQueue;
        queue->Post([shared = std::shared_ptr<TRead>(std::move(done))] {
            TLogLine line("response");
            const TServed& served = shared->Served;
            line.Str("url", shared->Uri).Num("status", served.Status).Str("reason", served.Reason);
            line.Strings("headers", served.Headers).Num("length", static_cast<int64_t>(served.Body.size()));
            line.Str("sha256", Sha256Hex(served.Body.data(), served.Body.size()));
            if (shared->ReadFailed) {
                line.Bool("readFailed", true);
            }
            line.Write();
            shared->Responded(true, served);
        });
    };
    try {
        std::thread([content, read = std::move(read), finish]() mutable {
            char buffer[65536];
            while (content) {
                ULONG got = 0;
                const HRESULT hr = content->Read(buffer, sizeof buffer, &got);
                if (FAILED(hr)) {
                    read->ReadFailed = true;
                    break;
                }
                read->Served.Body.append(buffer, got);
                if (got == 0 || hr == S_FALSE) {
                    break;
                }
            }
            content.Reset();
            finish(std::move(read));
        }).detach();
    } catch (...) {
        LogError("cannot start the thread that reads a response");
    }
}

void TWebView::ChangeTitle(std::u16string title)
{
    FTitle = std::move(title);
    if (FView) {
        FView->SetTitle(FTitle);
    }
    FDocumentTitleChanged.Raise(this, nullptr);
}

void TWebView::RaiseWebMessage(std::u16string source, std::u16string json)
{
    if (FClosed) {
        return;
    }
    FWebMessageReceived.Raise(this, MakeObject<TWebMessageReceivedArgs>(std::move(source), std::move(json)).Get());
}

} // namespace Folio::Standin
