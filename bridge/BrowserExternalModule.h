// TBrowserExternalModule: the runtime's side of window.kiv. It receives every message
// the page posts, picks the native function by its id, runs it and posts the reply.
// The functions reach the system through ports, so all of it runs on the host as well.
#pragma once

#include "bridge/BrowserPort.h"
#include "bridge/Json.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace Folio::Bridge {

// The runtime's version, as hello() answers it.
inline constexpr std::u16string_view kRuntimeVersion = u"2023.19";

class TBrowserExternalModule {
public:
    struct TPorts {
        TBrowserPort* Browser = nullptr;
    };

    explicit TBrowserExternalModule(TPorts ports);

    // Handles one message the page posted (its JSON text) from the page at sourceUri.
    // Messages from pages that are not the package's (not "file:") are ignored. A
    // failure that escapes a function ends this message only; it is reported through
    // OnDispatchError and later messages are served as usual.
    void EdgeBrowserWebMessageReceived(std::u16string_view messageJson, std::u16string_view sourceUri) noexcept;

    void SendReply(std::u16string_view uuid, bool success, std::u16string_view result);
    void ReplySuccess(std::u16string_view uuid, std::u16string_view result) { SendReply(uuid, true, result); }
    void ReplyFailure(std::u16string_view uuid, std::u16string_view result) { SendReply(uuid, false, result); }

    // Where escaped failures go; the debugger output by default.
    std::function<void(const std::string&)> OnDispatchError;
    // Called when the page asks the application to close (app.close()).
    std::function<void()> FOnAppCloseRequest;

    bool FInFullscreen = false;

private:
    using THandler = void (TBrowserExternalModule::*)(const std::u16string& uuid, const TJsonValue& data);
    static const std::unordered_map<int32_t, THandler>& FunctionTable();
    void Dispatch(std::u16string_view messageJson);

    // 10001, 10002
    void Hello(const std::u16string& uuid, const TJsonValue& data);
    void IsRuntime(const std::u16string& uuid, const TJsonValue& data);

    TPorts FPorts;
};

} // namespace Folio::Bridge
