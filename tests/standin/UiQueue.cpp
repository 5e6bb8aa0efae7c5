// The per-thread queues behind the stand-in's callbacks.
#include "tests/standin/UiQueue.h"

#include "tests/standin/Log.h"

#include <string>

namespace Folio::Standin {

namespace {

constexpr UINT PostedMessage = WM_APP + 1;
const wchar_t QueueClass[] = L"FolioStandinQueue";

std::mutex QueuesLock;
// Windows belong to their threads: the queues live as long as the process.
std::map<DWORD, std::shared_ptr<TUiQueue>>& Queues()
{
    static auto* queues = new std::map<DWORD, std::shared_ptr<TUiQueue>>;
    return *queues;
}

HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

} // namespace

std::shared_ptr<TUiQueue> TUiQueue::ForCurrentThread()
{
    const DWORD threadId = GetCurrentThreadId();
    {
        std::lock_guard lock(QueuesLock);
        // A thread id can come back after its thread ended; that thread's window went with it.
        auto found = Queues().find(threadId);
        if (found != Queues().end() && IsWindow(found->second->FWindow) &&
            GetWindowThreadProcessId(found->second->FWindow, nullptr) == threadId) {
            return found->second;
        }
    }
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &TUiQueue::WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = QueueClass;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered) {
        LogError("cannot register the queue window class");
        return nullptr;
    }
    HWND window = CreateWindowExW(0, QueueClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
    if (!window) {
        LogError("cannot create a queue window: error " + std::to_string(GetLastError()));
        return nullptr;
    }
    auto queue = std::make_shared<TUiQueue>(window, threadId);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(queue.get()));
    std::lock_guard lock(QueuesLock);
    Queues()[threadId] = queue;
    return queue;
}

void TUiQueue::Post(Work work)
{
    {
        std::lock_guard lock(FLock);
        FPosted.push_back(std::move(work));
    }
    PostMessageW(FWindow, PostedMessage, 0, 0);
}

void TUiQueue::After(UINT milliseconds, Work work)
{
    UINT_PTR id = 0;
    {
        std::lock_guard lock(FLock);
        id = FNextTimer++;
        FTimers[id] = std::move(work);
    }
    SetTimer(FWindow, id, milliseconds, nullptr);
}

LRESULT CALLBACK TUiQueue::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* queue = reinterpret_cast<TUiQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (queue && message == PostedMessage) {
        queue->RunPosted();
        return 0;
    }
    if (queue && message == WM_TIMER) {
        queue->RunTimer(wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// One piece of work per message, so the order of posting is kept even when a piece
// of work pumps messages itself (a modal loop inside a handler).
void TUiQueue::RunPosted() noexcept
{
    Work work;
    {
        std::lock_guard lock(FLock);
        if (FPosted.empty()) {
            return;
        }
        work = std::move(FPosted.front());
        FPosted.pop_front();
    }
    try {
        work();
    } catch (...) {
        LogError("posted work threw an exception");
    }
}

void TUiQueue::RunTimer(UINT_PTR id) noexcept
{
    KillTimer(FWindow, id);
    Work work;
    {
        std::lock_guard lock(FLock);
        auto found = FTimers.find(id);
        if (found == FTimers.end()) {
            return;
        }
        work = std::move(found->second);
        FTimers.erase(found);
    }
    try {
        work();
    } catch (...) {
        LogError("timer work threw an exception");
    }
}

} // namespace Folio::Standin
