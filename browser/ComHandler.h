// TComHandler: completion and event handlers, over TComObject (browser/ComBase.h) for
// the reference count and QueryInterface; the handler calls a std::function, so
// callers write a lambda:
//
//     auto handler = MakeComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler,
//                                   HRESULT, ICoreWebView2Environment*>(
//         [](HRESULT result, ICoreWebView2Environment* env) { ...; return S_OK; });
//
// The callback runs inside a COM call: it must not throw. Exceptions are caught here
// and turned into E_UNEXPECTED, so that none crosses the COM boundary. Written over
// browser/ComBase.h, so it builds on the host as well as on Windows.
#pragma once

#include "browser/ComBase.h"

#include <functional>
#include <utility>

namespace Folio::Browser {

template <typename Interface, typename... Args>
class TComHandler final : public TComObject<Interface> {
public:
    using Callback = std::function<HRESULT(Args...)>;
    explicit TComHandler(Callback callback) : FCallback(std::move(callback)) {}

    HRESULT STDMETHODCALLTYPE Invoke(Args... args) noexcept override
    {
        try {
            return FCallback ? FCallback(args...) : S_OK;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }

private:
    Callback FCallback;
};

// Wraps a callback in a new handler object; the ComPtr holds the only reference.
template <typename Interface, typename... Args, typename F>
Microsoft::WRL::ComPtr<Interface> MakeComHandler(F&& callback)
{
    // Not ComPtr::Attach: mingw-w64's Attach adds a reference where Microsoft's does not.
    auto* created = new TComHandler<Interface, Args...>(std::forward<F>(callback));
    Microsoft::WRL::ComPtr<Interface> handler(created);
    created->Release();
    return handler;
}

} // namespace Folio::Browser
