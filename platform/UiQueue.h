// Port: carries work to the user-interface thread. Threads of the system (notification
// clicks) and of the runtime (commands that have ended) post here; the work runs later
// on the user-interface thread, in the order posted, where the browser may be called.
#pragma once

#include <functional>

namespace Folio::Platform {

class TUiQueue {
public:
    virtual ~TUiQueue() = default;
    // Safe from any thread.
    virtual void Post(std::function<void()> work) = 0;
};

// The process's queue; first called on the user-interface thread.
TUiQueue& UiQueue();

} // namespace Folio::Platform
