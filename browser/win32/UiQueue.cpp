// The UI thread's queue: work posted from any thread runs in order through a message-only
// window. Window messages, unlike thread messages, are not lost in modal loops.
#include "browser/win32/EdgeBrowserSite.h"

#include "platform/win32/Window.h"

#include <deque>
#include <mutex>
#include <thread>

namespace Folio::Win32 {

namespace {

constexpr UINT WM_RUN_QUEUED = WM_APP + 0x51;
constexpr wchar_t QueueClassName[] = L"FolioUiQueue";

class TUiQueue final : public Shared::TUiQueue {
public:
    explicit TUiQueue(std::function<void(std::exception_ptr)> onException)
        : FOnException(std::move(onException)), FThreadId(GetCurrentThreadId())
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW existing{sizeof(existing)};
        if (!GetClassInfoExW(instance, QueueClassName, &existing)) {
            WNDCLASSEXW wc{sizeof(wc)};
            wc.lpfnWndProc = &TUiQueue::WindowProc;
            wc.hInstance = instance;
            wc.lpszClassName = QueueClassName;
            RegisterClassExW(&wc);
        }
        FWindow = CreateWindowExW(0, QueueClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
        if (FWindow) {
            SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }

    ~TUiQueue() override
    {
        if (!FWindow) {
            return;
        }
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);
        if (GetCurrentThreadId() == FThreadId) {
            DestroyWindow(FWindow);
        } else {
            // Only its own thread may destroy the window; WM_CLOSE does it there.
            PostMessageW(FWindow, WM_CLOSE, 0, 0);
        }
    }

    void Post(std::function<void()> work) override
    {
        {
            std::lock_guard lock(FLock);
            FWork.push_back(std::move(work));
        }
        PostMessageW(FWindow, WM_RUN_QUEUED, 0, 0);
    }

    bool IsUiThread() const override { return GetCurrentThreadId() == FThreadId; }

    void RunDetached(std::function<void()> work) override
    {
        std::thread([work = std::move(work)] {
            try {
                work();
            } catch (...) {
                ReportCaughtException("a worker thread");
            }
        }).detach();
    }

private:
    // One queued call per message, so that the order of posting is kept.
    void RunOne() noexcept
    {
        std::function<void()> work;
        {
            std::lock_guard lock(FLock);
            if (FWork.empty()) {
                return;
            }
            work = std::move(FWork.front());
            FWork.pop_front();
        }
        try {
            work();
        } catch (...) {
            if (FOnException) {
                try {
                    FOnException(std::current_exception());
                    return;
                } catch (...) {
                }
            }
            ReportCaughtException("a queued call");
        }
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
    {
        if (message == WM_RUN_QUEUED) {
            if (auto* self = reinterpret_cast<TUiQueue*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
                self->RunOne();
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    std::function<void(std::exception_ptr)> FOnException;
    DWORD FThreadId;
    HWND FWindow = nullptr;
    std::mutex FLock;
    std::deque<std::function<void()>> FWork;
};

} // namespace

std::shared_ptr<Shared::TUiQueue> CreateUiQueue(std::function<void(std::exception_ptr)> onException)
{
    return std::make_shared<TUiQueue>(std::move(onException));
}

} // namespace Folio::Win32
