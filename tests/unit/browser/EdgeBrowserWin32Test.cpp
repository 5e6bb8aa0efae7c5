// The browser control's Win32 adapters for real (under Wine): the UI queue keeps the
// order of work posted from another thread, and the site's child window reports size,
// visibility and creation and offers keys to the form's shortcut handling.
#include "browser/win32/EdgeBrowserSite.h"
#include "platform/win32/Window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace Folio::Win32;

namespace {

void RunPendingMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

TEST(EdgeBrowserWin32, QueueRunsWorkFromAnotherThreadInOrderOnTheUiThread)
{
    std::vector<std::string> caught;
    auto queue = CreateUiQueue([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            caught.push_back(e.what());
        }
    });
    EXPECT_TRUE(queue->IsUiThread());
    std::vector<int> ran;
    bool workerOnUi = true;
    std::thread([&] {
        workerOnUi = queue->IsUiThread();
        for (int i = 0; i < 5; ++i) {
            queue->Post([&ran, i, q = queue.get()] {
                EXPECT_TRUE(q->IsUiThread());
                ran.push_back(i);
            });
        }
        queue->Post([] { throw std::runtime_error("raised in the queue"); });
    }).join();
    EXPECT_FALSE(workerOnUi);
    EXPECT_TRUE(ran.empty()); // posted, never run at once
    RunPendingMessages();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(caught, std::vector<std::string>{"raised in the queue"});
}

class TForm final : public TWindow {
public:
    std::vector<std::pair<UINT, WPARAM>> Offered;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == FormShortcutMessage()) {
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            Offered.emplace_back(key->message, key->wParam);
            return key->wParam == 'O' ? 1 : 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }
};

class TRecorder final : public Folio::Shared::TEdgeBrowserWindowEvents {
public:
    Folio::Shared::TEdgeBrowserSite* Site = nullptr;
    int Created = 0, Resizes = 0;
    std::vector<bool> Visibility; // what the site answered at each change
    std::vector<UINT> Commands;
    void WindowCreated() override { ++Created; }
    void Resized() override { ++Resizes; }
    void VisibilityChanged() override { Visibility.push_back(Site->Visible()); }
    void SysCommand(UINT command) override { Commands.push_back(command); }
    void FocusEntered() override {}
    void FocusExited() override {}
};

TEST(EdgeBrowserWin32, SiteWindowIsAChildOfTheFormAndReportsToTheControl)
{
    TForm form;
    ASSERT_TRUE(form.Create(L"FolioEdgeTestForm", u"form", WS_OVERLAPPEDWINDOW, 0, 0, 0, 400, 300));
    auto site = CreateEdgeBrowserSite();
    TRecorder events;
    events.Site = site.get();
    site->Attach(&events);
    EXPECT_FALSE(site->HasParent());
    site->SetParent(form.Handle());
    ASSERT_TRUE(site->HasParent());
    const HWND child = site->Handle();
    EXPECT_TRUE(IsChild(form.Handle(), child));
    EXPECT_EQ(events.Created, 1);

    events.Resizes = 0;
    site->SetBounds({10, 10, 310, 210});
    EXPECT_GE(events.Resizes, 1);
    const RECT client = site->ClientRect();
    EXPECT_EQ(client.right - client.left, 300);
    EXPECT_EQ(client.bottom - client.top, 200);

    EXPECT_TRUE(site->Visible());
    events.Visibility.clear();
    ShowWindow(child, SW_HIDE);
    EXPECT_FALSE(site->Visible());
    ShowWindow(child, SW_SHOW);
    EXPECT_EQ(events.Visibility, (std::vector<bool>{false, true}));

    SendMessageW(child, WM_SYSCOMMAND, 0xF020, 0);
    EXPECT_EQ(events.Commands, std::vector<UINT>{0xF020u});

    EXPECT_TRUE(site->OfferShortcut(WM_KEYDOWN, 'O', 0x180001));
    EXPECT_FALSE(site->OfferShortcut(WM_SYSKEYUP, 'P', 0));
    EXPECT_EQ(form.Offered, (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, 'O'}, {WM_SYSKEYUP, 'P'}}));
    site->Attach(nullptr);
}

} // namespace
