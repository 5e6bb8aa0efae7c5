// TUiQueue: work handed to one thread through its message queue. Each thread that the
// stand-in calls back gets a message-only window; posted work and timers run when that
// thread's message loop dispatches them, never inside the call that queued them, and
// never at all on a thread that does not pump messages (as with the real browser).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace Folio::Standin {

class TUiQueue {
public:
    using Work = std::function<void()>;

    // The queue of the calling thread, made on first use. Null if its window cannot be made.
    static std::shared_ptr<TUiQueue> ForCurrentThread();

    // From any thread: run `work` later on the queue's thread.
    void Post(Work work);
    // On the queue's thread: run `work` once after `milliseconds`, from a timer.
    void After(UINT milliseconds, Work work);
    DWORD ThreadId() const noexcept { return FThreadId; }

    TUiQueue(HWND window, DWORD threadId) : FWindow(window), FThreadId(threadId) {}
    TUiQueue(const TUiQueue&) = delete;
    TUiQueue& operator=(const TUiQueue&) = delete;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void RunPosted() noexcept;
    void RunTimer(UINT_PTR id) noexcept;

    HWND FWindow;
    DWORD FThreadId;
    std::mutex FLock;
    std::deque<Work> FPosted;
    std::map<UINT_PTR, Work> FTimers;
    UINT_PTR FNextTimer = 1;
};

} // namespace Folio::Standin
