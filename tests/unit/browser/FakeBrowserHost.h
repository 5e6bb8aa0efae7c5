// Fakes of the browser control's ports: a UI queue the test pumps (worker jobs run on a
// real thread, joined at once) and a site that records what the control asked of its
// window, its form and the browser process.
#pragma once

#include "browser/EdgeBrowserPorts.h"

#include <deque>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace Folio::Test {

class TFakeUiQueue final : public Shared::TUiQueue {
public:
    void Post(std::function<void()> work) override
    {
        std::lock_guard lock(FLock);
        FWork.push_back(std::move(work));
    }
    bool IsUiThread() const override { return std::this_thread::get_id() == FUiThread; }
    void RunDetached(std::function<void()> work) override { FWorkers.push_back(std::move(work)); }

    size_t Pending()
    {
        std::lock_guard lock(FLock);
        return FWork.size();
    }
    size_t Workers() const { return FWorkers.size(); }
    // Each worker job on a thread of its own, one after the other.
    void RunWorkers()
    {
        auto workers = std::move(FWorkers);
        FWorkers.clear();
        for (auto& work : workers) {
            std::thread(std::move(work)).join();
        }
    }
    // Runs posted work in order until none is left; what it throws reaches the caller.
    void Pump()
    {
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(FLock);
                if (FWork.empty()) {
                    return;
                }
                work = std::move(FWork.front());
                FWork.pop_front();
            }
            work();
        }
    }

private:
    std::thread::id FUiThread = std::this_thread::get_id();
    std::mutex FLock;
    std::deque<std::function<void()>> FWork;
    std::vector<std::function<void()>> FWorkers;
};

class TFakeSite final : public Shared::TEdgeBrowserSite {
public:
    Shared::TEdgeBrowserWindowEvents* Events = nullptr;
    HWND Parent = nullptr;
    HWND Window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x5150));
    RECT Client{0, 0, 800, 600};
    bool IsVisible = true;
    int FocusCalls = 0;
    bool FormTakesShortcuts = false;
    std::vector<std::tuple<UINT, UINT, INT>> OfferedShortcuts;
    std::vector<bool> TabMoves;
    std::vector<std::pair<UINT32, DWORD>> EndedProcesses;
    std::vector<std::u16string> StreamPaths;
    HRESULT StreamResult = E_NOTIMPL; // no file streams on the host

    void Attach(Shared::TEdgeBrowserWindowEvents* events) override { Events = events; }
    void SetParent(HWND parent) override { Parent = parent; }
    bool HasParent() const override { return Parent != nullptr; }
    HWND Handle() override { return Window; }
    RECT ClientRect() const override { return Client; }
    bool Visible() const override { return IsVisible; }
    void SetBounds(const RECT& bounds) override
    {
        Client = {0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
    }
    void Focus() override { ++FocusCalls; }
    bool OfferShortcut(UINT message, UINT key, INT keyData) override
    {
        OfferedShortcuts.emplace_back(message, key, keyData);
        return FormTakesShortcuts;
    }
    void SelectNextControl(bool forward) override { TabMoves.push_back(forward); }
    HRESULT CreateFileStream(const std::u16string& path, IStream** stream) override
    {
        StreamPaths.push_back(path);
        *stream = nullptr;
        return StreamResult;
    }
    void EndProcess(UINT32 processId, DWORD timeoutMs) override { EndedProcesses.emplace_back(processId, timeoutMs); }
};

} // namespace Folio::Test
