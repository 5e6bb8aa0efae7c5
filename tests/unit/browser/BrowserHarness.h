// One browser control over the fake runtime and fake ports, with the loader installed,
// and the steps that take it through creation.
#pragma once

#include "FakeBrowserHost.h"
#include "FakeWebView2.h"

#include "browser/EdgeBrowser.h"
#include "browser/host/HostLoader.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Folio::Test {

struct TBrowserHarness {
    // Declared first, destroyed last: the fakes log into it until the control is gone.
    TFakeRuntime Runtime;
    std::shared_ptr<TFakeUiQueue> Queue = std::make_shared<TFakeUiQueue>();
    TFakeSite* Site = nullptr;
    std::vector<HRESULT> Completed; // what OnCreateWebViewCompleted received
    std::unique_ptr<Shared::TEdgeBrowser> Browser;

    explicit TBrowserHarness(bool completionHandler = true)
    {
        Shared::LoaderPath = u"C:\\Folio\\WebView2LoaderWin32.dll";
        Shared::InstallHostLoader(Runtime.Loader());
        auto site = std::make_unique<TFakeSite>();
        Site = site.get();
        Browser = std::make_unique<Shared::TEdgeBrowser>(Queue, std::move(site));
        if (completionHandler) {
            Browser->OnCreateWebViewCompleted = [this](Shared::TCustomEdgeBrowser&, HRESULT hr) {
                Completed.push_back(hr);
            };
        }
    }
    ~TBrowserHarness()
    {
        Browser.reset();
        Shared::InstallHostLoader(std::nullopt);
        Shared::LoaderPath.clear();
    }

    static HWND Parent() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7000)); }

    // A parent starts the creation; the worker loads the loader, the UI thread asks for
    // the environment.
    void StartCreation()
    {
        Browser->SetParentWindow(Parent());
        Queue->RunWorkers();
        Queue->Pump();
    }
    void CreateFully()
    {
        StartCreation();
        ASSERT_TRUE(Runtime.CompleteEnvironment());
        ASSERT_TRUE(Runtime.CompleteController());
        ASSERT_EQ(Browser->BrowserControlState(), Shared::TBrowserControlState::Created);
    }
};

} // namespace Folio::Test
