// What a web-resource request carries: the request, the response the runtime builds
// with CreateWebResourceResponse, their header collections, and the deferrals that let
// a handler answer after it returned.
#pragma once

#include "tests/standin/ComObject.h"
#include "tests/standin/UiQueue.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Folio::Standin {

using THeaderList = std::vector<std::pair<std::u16string, std::u16string>>;

// "Name: value" lines separated by CR LF (or LF) into pairs; lines without a colon are dropped.
THeaderList ParseHeaderText(std::u16string_view text);

HRESULT OutString(std::u16string_view text, LPWSTR* out) noexcept;

// One class for both header interfaces: their shared methods have the same signatures.
class THeaders final : public TComObject<ICoreWebView2HttpRequestHeaders, ICoreWebView2HttpResponseHeaders> {
public:
    explicit THeaders(THeaderList headers) : FHeaders(std::move(headers)) {}
    THeaderList List();

    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) noexcept override;
    HRESULT STDMETHODCALLTYPE GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** iterator) noexcept override;
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* contains) noexcept override;
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIterator(ICoreWebView2HttpHeadersCollectionIterator** iterator) noexcept override;
    HRESULT STDMETHODCALLTYPE AppendHeader(LPCWSTR name, LPCWSTR value) noexcept override;

private:
    std::mutex FLock;
    THeaderList FHeaders;
};

class TWebResourceRequest final : public TComObject<ICoreWebView2WebResourceRequest> {
public:
    // The request carries "Accept: */*" and then the given headers.
    explicit TWebResourceRequest(std::u16string uri, const THeaderList& headers = {});

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) noexcept override { return OutString(FUri, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) noexcept override { return OutString(u"GET", method); }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) noexcept override;

private:
    std::u16string FUri;
    ComPtr<THeaders> FHeaders;
};

class TWebResourceResponse final : public TComObject<ICoreWebView2WebResourceResponse> {
public:
    TWebResourceResponse(IStream* content, int status, std::u16string reason, std::u16string_view headers);

    ComPtr<IStream> Content();
    int Status();
    std::u16string Reason();
    THeaderList Headers() { return FHeaders->List(); }

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) noexcept override;
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) noexcept override;
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders** headers) noexcept override;
    HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) noexcept override;
    HRESULT STDMETHODCALLTYPE put_StatusCode(int status) noexcept override;
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reason) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) noexcept override;

private:
    std::mutex FLock;
    ComPtr<IStream> FContent;
    int FStatus;
    std::u16string FReason;
    ComPtr<THeaders> FHeaders;
};

// Counts the deferrals taken during one event; the raiser's follow-up runs on the UI
// thread once the handlers have returned and every deferral has been completed.
class TDeferralGate : public std::enable_shared_from_this<TDeferralGate> {
public:
    explicit TDeferralGate(std::shared_ptr<TUiQueue> queue) : FQueue(std::move(queue)) {}
    HRESULT Take(ICoreWebView2Deferral** deferral) noexcept;
    // Called once, after the handlers returned: runs `then` now or when the last deferral completes.
    void AfterHandlers(std::function<void()> then);

private:
    void Completed();

    std::shared_ptr<TUiQueue> FQueue;
    std::mutex FLock;
    int FOutstanding = 0;
    bool FHandlersDone = false;
    std::function<void()> FThen;
};

} // namespace Folio::Standin
