// The argument objects of the events the stand-in raises. Each holds what the browser
// would report and records what the runtime's handler set (cancel, handled, state,
// response), which the raiser reads back once the handlers have returned.
#pragma once

#include "tests/standin/Resource.h"

namespace Folio::Standin {

#define FOLIO_OUT(type, name, value)                                                                                 \
    HRESULT STDMETHODCALLTYPE name(type* out) noexcept override                                                      \
    {                                                                                                                \
        if (!out) {                                                                                                  \
            return E_POINTER;                                                                                        \
        }                                                                                                            \
        *out = (value);                                                                                              \
        return S_OK;                                                                                                 \
    }

class TNavigationStartingArgs final : public TComObject<ICoreWebView2NavigationStartingEventArgs> {
public:
    TNavigationStartingArgs(std::u16string uri, UINT64 id) : FUri(std::move(uri)), FId(id) {}
    bool Cancelled() const noexcept { return FCancel; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) noexcept override { return OutString(FUri, uri); }
    FOLIO_OUT(BOOL, get_IsUserInitiated, FALSE)
    FOLIO_OUT(BOOL, get_IsRedirected, FALSE)
    HRESULT STDMETHODCALLTYPE get_RequestHeaders(ICoreWebView2HttpRequestHeaders** headers) noexcept override
    {
        if (!headers) {
            return E_POINTER;
        }
        *headers = MakeObject<THeaders>(THeaderList{}).Detach();
        return S_OK;
    }
    FOLIO_OUT(BOOL, get_Cancel, FCancel)
    HRESULT STDMETHODCALLTYPE put_Cancel(BOOL cancel) noexcept override
    {
        FCancel = cancel != FALSE;
        return S_OK;
    }
    FOLIO_OUT(UINT64, get_NavigationId, FId)

private:
    std::u16string FUri;
    UINT64 FId;
    bool FCancel = false;
};

class TNavigationCompletedArgs final : public TComObject<ICoreWebView2NavigationCompletedEventArgs> {
public:
    TNavigationCompletedArgs(bool success, COREWEBVIEW2_WEB_ERROR_STATUS status, UINT64 id)
        : FSuccess(success), FStatus(status), FId(id) {}
    FOLIO_OUT(BOOL, get_IsSuccess, FSuccess ? TRUE : FALSE)
    FOLIO_OUT(COREWEBVIEW2_WEB_ERROR_STATUS, get_WebErrorStatus, FStatus)
    FOLIO_OUT(UINT64, get_NavigationId, FId)

private:
    bool FSuccess;
    COREWEBVIEW2_WEB_ERROR_STATUS FStatus;
    UINT64 FId;
};

class TSourceChangedArgs final : public TComObject<ICoreWebView2SourceChangedEventArgs> {
public:
    FOLIO_OUT(BOOL, get_IsNewDocument, TRUE)
};

class TContentLoadingArgs final : public TComObject<ICoreWebView2ContentLoadingEventArgs> {
public:
    explicit TContentLoadingArgs(UINT64 id) : FId(id) {}
    FOLIO_OUT(BOOL, get_IsErrorPage, FALSE)
    FOLIO_OUT(UINT64, get_NavigationId, FId)

private:
    UINT64 FId;
};

class TWebResourceRequestedArgs final : public TComObject<ICoreWebView2WebResourceRequestedEventArgs> {
public:
    TWebResourceRequestedArgs(std::u16string uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context,
                              std::shared_ptr<TDeferralGate> gate, const THeaderList& headers = {})
        : FRequest(MakeObject<TWebResourceRequest>(std::move(uri), headers)), FContext(context), FGate(std::move(gate)) {}
    ComPtr<ICoreWebView2WebResourceResponse> Response() const { return FResponse; }

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) noexcept override
    {
        return request ? FRequest.CopyTo(request) : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) noexcept override
    {
        if (!response) {
            return E_POINTER;
        }
        *response = FResponse.Get();
        if (*response) {
            (*response)->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) noexcept override
    {
        FResponse = response;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) noexcept override { return FGate->Take(deferral); }
    FOLIO_OUT(COREWEBVIEW2_WEB_RESOURCE_CONTEXT, get_ResourceContext, FContext)

private:
    ComPtr<TWebResourceRequest> FRequest;
    ComPtr<ICoreWebView2WebResourceResponse> FResponse;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT FContext;
    std::shared_ptr<TDeferralGate> FGate;
};

class TNewWindowRequestedArgs final : public TComObject<ICoreWebView2NewWindowRequestedEventArgs> {
public:
    TNewWindowRequestedArgs(std::u16string uri, std::shared_ptr<TDeferralGate> gate)
        : FUri(std::move(uri)), FGate(std::move(gate)) {}
    bool Handled() const noexcept { return FHandled; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) noexcept override { return OutString(FUri, uri); }
    HRESULT STDMETHODCALLTYPE put_NewWindow(ICoreWebView2*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_NewWindow(ICoreWebView2** window) noexcept override
    {
        if (!window) {
            return E_POINTER;
        }
        *window = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) noexcept override
    {
        FHandled = handled != FALSE;
        return S_OK;
    }
    FOLIO_OUT(BOOL, get_Handled, FHandled ? TRUE : FALSE)
    FOLIO_OUT(BOOL, get_IsUserInitiated, TRUE)
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) noexcept override { return FGate->Take(deferral); }
    HRESULT STDMETHODCALLTYPE get_WindowFeatures(ICoreWebView2WindowFeatures**) noexcept override { return E_NOTIMPL; }

private:
    std::u16string FUri;
    std::shared_ptr<TDeferralGate> FGate;
    bool FHandled = false;
};

class TPermissionRequestedArgs final : public TComObject<ICoreWebView2PermissionRequestedEventArgs> {
public:
    TPermissionRequestedArgs(std::u16string uri, COREWEBVIEW2_PERMISSION_KIND kind, std::shared_ptr<TDeferralGate> gate)
        : FUri(std::move(uri)), FKind(kind), FGate(std::move(gate)) {}
    COREWEBVIEW2_PERMISSION_STATE State() const noexcept { return FState; }

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) noexcept override { return OutString(FUri, uri); }
    FOLIO_OUT(COREWEBVIEW2_PERMISSION_KIND, get_PermissionKind, FKind)
    FOLIO_OUT(BOOL, get_IsUserInitiated, TRUE)
    FOLIO_OUT(COREWEBVIEW2_PERMISSION_STATE, get_State, FState)
    HRESULT STDMETHODCALLTYPE put_State(COREWEBVIEW2_PERMISSION_STATE state) noexcept override
    {
        FState = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral** deferral) noexcept override { return FGate->Take(deferral); }

private:
    std::u16string FUri;
    COREWEBVIEW2_PERMISSION_KIND FKind;
    std::shared_ptr<TDeferralGate> FGate;
    COREWEBVIEW2_PERMISSION_STATE FState = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
};

class TProcessFailedArgs final : public TComObject<ICoreWebView2ProcessFailedEventArgs> {
public:
    explicit TProcessFailedArgs(COREWEBVIEW2_PROCESS_FAILED_KIND kind) : FKind(kind) {}
    FOLIO_OUT(COREWEBVIEW2_PROCESS_FAILED_KIND, get_ProcessFailedKind, FKind)

private:
    COREWEBVIEW2_PROCESS_FAILED_KIND FKind;
};

class TWebMessageReceivedArgs final : public TComObject<ICoreWebView2WebMessageReceivedEventArgs> {
public:
    TWebMessageReceivedArgs(std::u16string source, std::u16string json)
        : FSource(std::move(source)), FJson(std::move(json)) {}

    HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) noexcept override { return OutString(FSource, source); }
    HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) noexcept override { return OutString(FJson, json); }
    // The message as a string when it is a JSON string, E_INVALIDARG otherwise (as WebView2).
    HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) noexcept override;

private:
    std::u16string FSource;
    std::u16string FJson;
};

#undef FOLIO_OUT

} // namespace Folio::Standin
