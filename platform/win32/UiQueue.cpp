// The UI queue on Windows: a message-only window of the user-interface thread; posting
// adds the work to a locked list and wakes the window, whose procedure runs the list.
// Its window class is its own: the browser's queue has another (FolioUiQueue).
#include "platform/UiQueue.h"

#include "platform/DebugOutput.h"

#include <windows.h>

#include <deque>
#include <mutex>

namespace Folio::Platform {

namespace {

constexpr UINT kRunMessage = WM_APP + 40;

class Win32UiQueue final : public TUiQueue {
public:
    Win32UiQueue();
    void Post(std::function<void()> work) override;
    void RunPosted() noexcept;

private:
    std::mutex FMutex;
    std::deque<std::function<void()>> FWork;
    HWND FWindow = nullptr;
};

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == kRunMessage) {
        reinterpret_cast<Win32UiQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA))->RunPosted();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

Win32UiQueue::Win32UiQueue()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = QueueWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"FolioBridgeQueue";
    RegisterClassW(&windowClass);
    FWindow = CreateWindowExW(0, L"FolioBridgeQueue", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
    if (FWindow) {
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

void Win32UiQueue::Post(std::function<void()> work)
{
    bool wake;
    {
        std::lock_guard lock(FMutex);
        wake = FWork.empty(); // one message runs everything posted before it is handled
        FWork.push_back(std::move(work));
    }
    if (wake && FWindow) {
        PostMessageW(FWindow, kRunMessage, 0, 0);
    }
}

void Win32UiQueue::RunPosted() noexcept
{
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(FMutex);
        work.swap(FWork);
    }
    for (auto& w : work) {
        try {
            w();
        } catch (const std::exception& e) {
            DebugOutput(std::string("Folio: posted work failed: ") + e.what());
        } catch (...) {
            DebugOutput("Folio: posted work failed");
        }
    }
}

} // namespace

TUiQueue& UiQueue()
{
    // Never destroyed: a command's thread may still post while the process exits.
    static auto* queue = new Win32UiQueue;
    return *queue;
}

} // namespace Folio::Platform
