// Requests, responses, header collections and deferrals of the stand-in.
#include "tests/standin/Resource.h"

#include "tests/standin/Log.h"

#include <algorithm>

namespace Folio::Standin {

namespace {

bool SameName(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

std::u16string_view Trimmed(std::u16string_view text)
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t' || text.back() == u'\r')) {
        text.remove_suffix(1);
    }
    return text;
}

class THeaderIterator final : public TComObject<ICoreWebView2HttpHeadersCollectionIterator> {
public:
    explicit THeaderIterator(THeaderList headers) : FHeaders(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE GetCurrentHeader(LPWSTR* name, LPWSTR* value) noexcept override
    {
        if (!name || !value) {
            return E_POINTER;
        }
        if (FIndex >= FHeaders.size()) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_INDEX);
        }
        const HRESULT hr = OutString(FHeaders[FIndex].first, name);
        if (FAILED(hr)) {
            return hr;
        }
        return OutString(FHeaders[FIndex].second, value);
    }
    HRESULT STDMETHODCALLTYPE get_HasCurrentHeader(BOOL* hasCurrent) noexcept override
    {
        if (!hasCurrent) {
            return E_POINTER;
        }
        *hasCurrent = FIndex < FHeaders.size();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasNext) noexcept override
    {
        if (!hasNext) {
            return E_POINTER;
        }
        if (FIndex < FHeaders.size()) {
            ++FIndex;
        }
        *hasNext = FIndex < FHeaders.size();
        return S_OK;
    }

private:
    THeaderList FHeaders;
    size_t FIndex = 0;
};

HRESULT MakeIterator(THeaderList headers, ICoreWebView2HttpHeadersCollectionIterator** iterator) noexcept
{
    if (!iterator) {
        return E_POINTER;
    }
    try {
        *iterator = MakeObject<THeaderIterator>(std::move(headers)).Detach();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

class TDeferral final : public TComObject<ICoreWebView2Deferral> {
public:
    explicit TDeferral(std::function<void()> completed) : FCompleted(std::move(completed)) {}
    HRESULT STDMETHODCALLTYPE Complete() noexcept override
    {
        if (!FCompleted) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_STATE); // completed twice
        }
        auto completed = std::move(FCompleted);
        FCompleted = nullptr;
        try {
            completed();
        } catch (...) {
            return E_UNEXPECTED;
        }
        return S_OK;
    }

private:
    std::function<void()> FCompleted;
};

} // namespace

THeaderList ParseHeaderText(std::u16string_view text)
{
    THeaderList headers;
    while (!text.empty()) {
        const size_t end = text.find(u'\n');
        const std::u16string_view line = text.substr(0, end);
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        const size_t colon = line.find(u':');
        if (colon != std::u16string_view::npos && colon > 0) {
            headers.emplace_back(Trimmed(line.substr(0, colon)), Trimmed(line.substr(colon + 1)));
        }
    }
    return headers;
}

HRESULT OutString(std::u16string_view text, LPWSTR* out) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = CoTaskString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// --- THeaders ---

THeaderList THeaders::List()
{
    std::lock_guard lock(FLock);
    return FHeaders;
}

HRESULT THeaders::GetHeader(LPCWSTR name, LPWSTR* value) noexcept
{
    if (!name || !value) {
        return E_POINTER;
    }
    std::lock_guard lock(FLock);
    for (const auto& [key, text] : FHeaders) {
        if (SameName(key, FromWide(name))) {
            return OutString(text, value);
        }
    }
    *value = nullptr;
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

HRESULT THeaders::GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) noexcept
{
    if (!name) {
        return E_POINTER;
    }
    THeaderList matching;
    for (auto& header : List()) {
        if (SameName(header.first, FromWide(name))) {
            matching.push_back(std::move(header));
        }
    }
    return MakeIterator(std::move(matching), iterator);
}

HRESULT THeaders::Contains(LPCWSTR name, BOOL* contains) noexcept
{
    if (!name || !contains) {
        return E_POINTER;
    }
    const auto all = List();
    *contains = std::any_of(all.begin(), all.end(), [&](const auto& h) { return SameName(h.first, FromWide(name)); });
    return S_OK;
}

HRESULT THeaders::SetHeader(LPCWSTR name, LPCWSTR value) noexcept
{
    if (!name || !value) {
        return E_POINTER;
    }
    RemoveHeader(name);
    return AppendHeader(name, value);
}

HRESULT THeaders::RemoveHeader(LPCWSTR name) noexcept
{
    if (!name) {
        return E_POINTER;
    }
    std::lock_guard lock(FLock);
    std::erase_if(FHeaders, [&](const auto& h) { return SameName(h.first, FromWide(name)); });
    return S_OK;
}

HRESULT THeaders::GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) noexcept
{
    return MakeIterator(List(), iterator);
}

HRESULT THeaders::AppendHeader(LPCWSTR name, LPCWSTR value) noexcept
{
    if (!name || !value) {
        return E_POINTER;
    }
    std::lock_guard lock(FLock);
    FHeaders.emplace_back(FromWide(name), FromWide(value));
    return S_OK;
}

// --- request and response ---

namespace {

THeaderList RequestHeaders(const THeaderList& headers)
{
    THeaderList all{{u"Accept", u"*/*"}};
    all.insert(all.end(), headers.begin(), headers.end());
    return all;
}

} // namespace

TWebResourceRequest::TWebResourceRequest(std::u16string uri, const THeaderList& headers)
    : FUri(std::move(uri)), FHeaders(MakeObject<THeaders>(RequestHeaders(headers)))
{
}

HRESULT TWebResourceRequest::get_Content(IStream** content) noexcept
{
    if (!content) {
        return E_POINTER;
    }
    *content = nullptr; // a GET has no body
    return S_OK;
}

HRESULT TWebResourceRequest::get_Headers(ICoreWebView2HttpRequestHeaders** headers) noexcept
{
    if (!headers) {
        return E_POINTER;
    }
    return FHeaders.CopyTo(headers);
}

TWebResourceResponse::TWebResourceResponse(IStream* content, int status, std::u16string reason,
                                           std::u16string_view headers)
    : FContent(content), FStatus(status), FReason(std::move(reason)),
      FHeaders(MakeObject<THeaders>(ParseHeaderText(headers)))
{
}

ComPtr<IStream> TWebResourceResponse::Content()
{
    std::lock_guard lock(FLock);
    return FContent;
}

int TWebResourceResponse::Status()
{
    std::lock_guard lock(FLock);
    return FStatus;
}

std::u16string TWebResourceResponse::Reason()
{
    std::lock_guard lock(FLock);
    return FReason;
}

HRESULT TWebResourceResponse::get_Content(IStream** content) noexcept
{
    if (!content) {
        return E_POINTER;
    }
    std::lock_guard lock(FLock);
    *content = FContent.Get();
    if (*content) {
        (*content)->AddRef();
    }
    return S_OK;
}

HRESULT TWebResourceResponse::put_Content(IStream* content) noexcept
{
    std::lock_guard lock(FLock);
    FContent = content;
    return S_OK;
}

HRESULT TWebResourceResponse::get_Headers(ICoreWebView2HttpResponseHeaders** headers) noexcept
{
    if (!headers) {
        return E_POINTER;
    }
    return FHeaders.CopyTo(headers);
}

HRESULT TWebResourceResponse::get_StatusCode(int* status) noexcept
{
    if (!status) {
        return E_POINTER;
    }
    *status = Status();
    return S_OK;
}

HRESULT TWebResourceResponse::put_StatusCode(int status) noexcept
{
    std::lock_guard lock(FLock);
    FStatus = status;
    return S_OK;
}

HRESULT TWebResourceResponse::get_ReasonPhrase(LPWSTR* reason) noexcept
{
    try {
        return OutString(Reason(), reason);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT TWebResourceResponse::put_ReasonPhrase(LPCWSTR reason) noexcept
{
    if (!reason) {
        return E_POINTER;
    }
    try {
        std::lock_guard lock(FLock);
        FReason = FromWide(reason);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// --- deferrals ---

HRESULT TDeferralGate::Take(ICoreWebView2Deferral** deferral) noexcept
{
    if (!deferral) {
        return E_POINTER;
    }
    try {
        {
            std::lock_guard lock(FLock);
            ++FOutstanding;
        }
        // The deferral keeps the gate alive: the follow-up waits in it until Complete.
        *deferral = MakeObject<TDeferral>([gate = shared_from_this()] { gate->Completed(); }).Detach();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void TDeferralGate::AfterHandlers(std::function<void()> then)
{
    {
        std::lock_guard lock(FLock);
        FHandlersDone = true;
        if (FOutstanding > 0) {
            FThen = std::move(then);
            return;
        }
    }
    then();
}

// A deferral may be completed on any thread; the follow-up always runs on the UI thread.
void TDeferralGate::Completed()
{
    std::function<void()> then;
    {
        std::lock_guard lock(FLock);
        if (--FOutstanding > 0 || !FHandlersDone || !FThen) {
            return;
        }
        then = std::move(FThen);
        FThen = nullptr;
    }
    FQueue->Post(std::move(then));
}

} // namespace Folio::Standin
