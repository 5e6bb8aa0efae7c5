// Port: the system's notifications (toasts) that the page sends, and their clicks.
#pragma once

#include <functional>
#include <string>

namespace Folio::Platform {

class TNotifications {
public:
    using TClickHandler = std::function<void(const std::u16string& name)>;
    virtual ~TNotifications() = default;
    // Whether the system has a notification service for this process.
    virtual bool Available() = 0;
    // Shows a notification under the page's name for it, replacing one of the same name;
    // false when it could not be shown (Windows could not be told of the application).
    virtual bool Show(const std::u16string& name, const std::u16string& title, const std::u16string& body) = 0;
    // Who hears of clicks: called on a thread of the system's, never the caller's. An
    // empty handler stops the reports; once SetClickHandler returns, the old handler is
    // no longer running and will not be called again.
    virtual void SetClickHandler(TClickHandler handler) = 0;
};

TNotifications& SystemNotifications();

} // namespace Folio::Platform
