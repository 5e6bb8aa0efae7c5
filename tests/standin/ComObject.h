// The stand-in's COM objects: TComObject (browser/ComBase.h) gives the reference count
// and QueryInterface for one or more interfaces, TEventList keeps the handlers of one
// event with the tokens that remove them.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include "browser/ComBase.h"
#include "browser/WebView2.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace Folio::Standin {

using Microsoft::WRL::ComPtr;

// The objects' IUnknown is the project's (browser/ComBase.h).
template <typename First, typename... Rest>
using TComObject = Browser::TComObject<First, Rest...>;

// Creates an object whose constructor left one reference; the ComPtr takes it over.
template <typename T, typename... Args>
ComPtr<T> MakeObject(Args&&... args)
{
    return Browser::MakeComObject<T>(std::forward<Args>(args)...);
}

// Tokens are unique in the process, so a token of one event never removes another's handler.
inline EventRegistrationToken NextToken() noexcept
{
    static std::atomic<int64_t> last{0};
    EventRegistrationToken token{};
    token.value = ++last;
    return token;
}

template <typename Handler>
class TEventList {
public:
    HRESULT Add(Handler* handler, EventRegistrationToken* token)
    {
        if (!handler || !token) {
            return E_POINTER;
        }
        *token = NextToken();
        std::lock_guard lock(FLock);
        FEntries.emplace_back(token->value, ComPtr<Handler>(handler));
        return S_OK;
    }
    HRESULT Remove(EventRegistrationToken token)
    {
        std::lock_guard lock(FLock);
        for (auto entry = FEntries.begin(); entry != FEntries.end(); ++entry) {
            if (entry->first == token.value) {
                FEntries.erase(entry);
                break;
            }
        }
        return S_OK; // as WebView2: an unknown token is not an error
    }
    // Calls every handler registered when the event is raised; a handler may remove
    // itself or others while this runs.
    template <typename... Args>
    void Raise(Args... args)
    {
        std::vector<ComPtr<Handler>> handlers;
        {
            std::lock_guard lock(FLock);
            for (auto& entry : FEntries) {
                handlers.push_back(entry.second);
            }
        }
        for (auto& handler : handlers) {
            handler->Invoke(args...);
        }
    }
    void Clear()
    {
        std::lock_guard lock(FLock);
        FEntries.clear();
    }

private:
    std::mutex FLock;
    std::vector<std::pair<int64_t, ComPtr<Handler>>> FEntries;
};

} // namespace Folio::Standin
