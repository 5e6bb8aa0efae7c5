// The browser control's lifecycle over the fake runtime: the state machine, the loader,
// the registrations and their removal, late and stale completions, window re-creation.
#include "BrowserHarness.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>

using namespace Folio::Test;
using Folio::Shared::EEdgeError;
using Folio::Shared::TBrowserControlState;

namespace {

constexpr HRESULT E_ACCESSDENIED_HR = static_cast<HRESULT>(0x80070005u);

const std::vector<std::string> RegistrationOrder = {"NavigationStarting",
                                                    "NavigationCompleted",
                                                    "SourceChanged",
                                                    "HistoryChanged",
                                                    "ContentLoading",
                                                    "DocumentTitleChanged",
                                                    "NewWindowRequested",
                                                    "FrameNavigationStarting",
                                                    "FrameNavigationCompleted",
                                                    "WebResourceRequested",
                                                    "ScriptDialogOpening",
                                                    "PermissionRequested",
                                                    "ProcessFailed",
                                                    "WebMessageReceived",
                                                    "ContainsFullScreenElementChanged",
                                                    "WindowCloseRequested",
                                                    "ZoomFactorChanged",
                                                    "MoveFocusRequested",
                                                    "AcceleratorKeyPressed",
                                                    "GotFocus",
                                                    "LostFocus"};

const std::vector<std::string> RemovalOrder = {"NavigationStarting",
                                               "NavigationCompleted",
                                               "SourceChanged",
                                               "HistoryChanged",
                                               "ContentLoading",
                                               "DocumentTitleChanged",
                                               "NewWindowRequested",
                                               "FrameNavigationStarting",
                                               "FrameNavigationCompleted",
                                               "WebResourceRequested",
                                               "ScriptDialogOpening",
                                               "PermissionRequested",
                                               "ProcessFailed",
                                               "WebMessageReceived",
                                               "WindowCloseRequested",
                                               "ContainsFullScreenElementChanged",
                                               "AcceleratorKeyPressed",
                                               "GotFocus",
                                               "LostFocus",
                                               "MoveFocusRequested",
                                               "ZoomFactorChanged"};

// "add_GotFocus=7" -> {"GotFocus", "7"}
std::pair<std::string, std::string> Split(const std::string& call)
{
    const auto underscore = call.find('_');
    const auto equals = call.find('=');
    return {call.substr(underscore + 1, equals - underscore - 1), call.substr(equals + 1)};
}

struct TCreationCase {
    const char* Name;
    std::function<void(TFakeRuntime&)> Arrange;
    HRESULT EnvironmentCompletion;
    HRESULT ControllerCompletion;
    TBrowserControlState State;
    std::vector<HRESULT> Completed;
    HRESULT LastError;
};

TEST(EdgeBrowserLifecycle, StateFollowsEachStepOfTheCreation)
{
    const TCreationCase cases[] = {
        {"all steps succeed", [](TFakeRuntime&) {}, S_OK, S_OK, TBrowserControlState::Created, {S_OK}, S_OK},
        {"environment call fails",
         [](TFakeRuntime& r) { r.CreateEnvironmentResult = E_ACCESSDENIED_HR; },
         S_OK,
         S_OK,
         TBrowserControlState::Creating,
         {E_ACCESSDENIED_HR},
         E_ACCESSDENIED_HR},
        {"environment completion fails",
         [](TFakeRuntime&) {},
         E_ABORT,
         S_OK,
         TBrowserControlState::Creating,
         {E_ABORT},
         E_ABORT},
        {"controller call fails",
         [](TFakeRuntime& r) { r.Environment->CreateControllerResult = E_OUTOFMEMORY; },
         S_OK,
         S_OK,
         TBrowserControlState::Creating,
         {},
         E_OUTOFMEMORY},
        {"controller completion fails",
         [](TFakeRuntime&) {},
         S_OK,
         E_ACCESSDENIED_HR,
         TBrowserControlState::Failed,
         {E_ACCESSDENIED_HR},
         E_ACCESSDENIED_HR},
        {"web view not obtained",
         [](TFakeRuntime& r) { r.Controller->WebViewResult = E_NOINTERFACE; },
         S_OK,
         S_OK,
         TBrowserControlState::Failed,
         {E_NOINTERFACE},
         E_NOINTERFACE},
        {"settings not obtained",
         [](TFakeRuntime& r) { r.WebView->SettingsResult = E_UNEXPECTED; },
         S_OK,
         S_OK,
         TBrowserControlState::Failed,
         {E_UNEXPECTED},
         E_UNEXPECTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TBrowserHarness h;
        c.Arrange(h.Runtime);
        EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::None);
        h.StartCreation();
        h.Runtime.CompleteEnvironment(c.EnvironmentCompletion);
        h.Runtime.CompleteController(c.ControllerCompletion);
        EXPECT_EQ(h.Browser->BrowserControlState(), c.State);
        EXPECT_EQ(h.Completed, c.Completed);
        EXPECT_EQ(h.Browser->LastErrorCode(), c.LastError);
        EXPECT_EQ(h.Browser->WebViewCreated(), c.State == TBrowserControlState::Created);
    }
}

TEST(EdgeBrowserLifecycle, MissingLoaderGivesEFailAndLeavesTheStateCreating)
{
    const std::pair<const char*, std::function<void(TBrowserHarness&)>> cases[] = {
        {"no library", [](TBrowserHarness&) { Folio::Shared::InstallHostLoader(std::nullopt); }},
        {"empty path", [](TBrowserHarness&) { Folio::Shared::LoaderPath.clear(); }},
        {"no CreateCoreWebView2Environment export",
         [](TBrowserHarness& h) {
             auto loader = h.Runtime.Loader();
             loader.CreateCoreWebView2Environment = nullptr;
             Folio::Shared::InstallHostLoader(loader);
         }},
    };
    for (const auto& [name, arrange] : cases) {
        SCOPED_TRACE(name);
        TBrowserHarness h;
        arrange(h);
        h.StartCreation();
        EXPECT_EQ(h.Completed, std::vector<HRESULT>{E_FAIL});
        EXPECT_EQ(h.Browser->LastErrorCode(), E_FAIL);
        EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Creating);
        EXPECT_TRUE(h.Runtime.Log.Starting("CreateCoreWebView2Environment").empty());
        // Still Creating: only ReinitializeWebView tries again.
        h.Browser->CreateWebView();
        EXPECT_EQ(h.Queue->Workers(), 0u);
    }
}

TEST(EdgeBrowserLifecycle, SecondCreateWebViewWhileCreatingStartsNoWorker)
{
    TBrowserHarness h;
    h.Browser->SetParentWindow(TBrowserHarness::Parent());
    h.Browser->CreateWebView();
    EXPECT_EQ(h.Queue->Workers(), 1u);
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Creating);
}

TEST(EdgeBrowserLifecycle, EnvironmentIsAskedForOnTheUiThreadNotOnTheWorker)
{
    TBrowserHarness h;
    h.Browser->SetParentWindow(TBrowserHarness::Parent());
    h.Queue->RunWorkers();
    EXPECT_TRUE(h.Runtime.Log.Starting("CreateCoreWebView2Environment").empty());
    h.Queue->Pump();
    EXPECT_EQ(h.Runtime.Log.Starting("CreateCoreWebView2Environment").size(), 1u);
    ASSERT_TRUE(h.Runtime.CompleteEnvironment());
    ASSERT_EQ(h.Runtime.Environment->Requests.size(), 1u);
    EXPECT_EQ(h.Runtime.Environment->Requests[0].first, h.Site->Window);
}

TEST(EdgeBrowserLifecycle, RegistersInOrderAfterTheCompletionHandlerAndCloseRemovesByToken)
{
    TBrowserHarness h;
    size_t registeredWhenCompleted = 99;
    h.Browser->OnCreateWebViewCompleted = [&](Folio::Shared::TCustomEdgeBrowser&, HRESULT) {
        registeredWhenCompleted = h.Runtime.Log.Starting("add_").size();
    };
    h.CreateFully();
    EXPECT_EQ(registeredWhenCompleted, 0u);

    std::vector<std::string> added;
    std::map<std::string, std::string> tokens;
    for (const auto& call : h.Runtime.Log.Starting("add_")) {
        const auto [event, token] = Split(call);
        added.push_back(event);
        tokens[event] = token;
    }
    EXPECT_EQ(added, RegistrationOrder);
    std::set<std::string> distinct;
    for (const auto& [event, token] : tokens) {
        distinct.insert(token);
    }
    EXPECT_EQ(distinct.size(), 21u);

    h.Runtime.Log.Calls.clear();
    h.Browser->CloseWebView();
    std::vector<std::string> removed;
    for (const auto& call : h.Runtime.Log.Starting("remove_")) {
        const auto [event, token] = Split(call);
        removed.push_back(event);
        EXPECT_EQ(token, tokens[event]) << event;
    }
    EXPECT_EQ(removed, RemovalOrder);
    EXPECT_EQ(h.Runtime.Log.Calls.back(), "Close(controller)");
    EXPECT_EQ(h.Runtime.WebView->Events.LiveCount("NavigationStarting"), 0u);

    // The state stays; the environment and settings stay referenced; a new creation may start.
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Created);
    EXPECT_FALSE(h.Browser->WebViewCreated());
    EXPECT_NE(h.Browser->EnvironmentInterface(), nullptr);
    EXPECT_NE(h.Browser->SettingsInterface(), nullptr);
    h.Browser->CreateWebView();
    EXPECT_EQ(h.Queue->Workers(), 1u);
}

TEST(EdgeBrowserLifecycle, UrlAskedForBeforeCreationIsNavigatedAfterTheRegistrations)
{
    TBrowserHarness h;
    h.Browser->Navigate(u"  file:///app/index.html ");
    h.CreateFully();
    const auto& calls = h.Runtime.Log.Calls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "Navigate(  file:///app/index.html )");
    EXPECT_EQ(h.Runtime.Log.Starting("Navigate").size(), 1u);
}

TEST(EdgeBrowserLifecycle, FailedControllerWithoutHandlerRaisesThroughTheUiQueue)
{
    TBrowserHarness h(false);
    h.StartCreation();
    ASSERT_TRUE(h.Runtime.CompleteEnvironment());
    ASSERT_TRUE(h.Runtime.CompleteController(E_ACCESSDENIED_HR));
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Failed);
    ASSERT_EQ(h.Queue->Pending(), 1u);
    try {
        h.Queue->Pump();
        FAIL() << "no EEdgeError";
    } catch (const EEdgeError& e) {
        EXPECT_STREQ(e.what(), "Failed to create Edge browser control");
        EXPECT_EQ(e.ErrorCode(), E_ACCESSDENIED_HR);
    }
}

TEST(EdgeBrowserLifecycle, CompletionsAfterTheControlIsGoneTouchNothing)
{
    // Controller completion after destruction: the orphan controller is closed, nothing else.
    {
        TBrowserHarness h;
        h.StartCreation();
        ASSERT_TRUE(h.Runtime.CompleteEnvironment());
        h.Browser.reset();
        h.Runtime.Log.Calls.clear();
        ASSERT_TRUE(h.Runtime.CompleteController());
        EXPECT_EQ(h.Runtime.Log.Calls, std::vector<std::string>{"Close(controller)"});
        EXPECT_TRUE(h.Completed.empty());
    }
    // Environment completion after destruction, from another thread and on the UI thread.
    for (const bool otherThread : {false, true}) {
        SCOPED_TRACE(otherThread ? "other thread" : "UI thread");
        TBrowserHarness h;
        h.StartCreation();
        h.Browser.reset();
        h.Runtime.Log.Calls.clear();
        if (otherThread) {
            std::thread([&] { h.Runtime.CompleteEnvironment(); }).join();
        } else {
            h.Runtime.CompleteEnvironment();
        }
        h.Queue->Pump();
        EXPECT_TRUE(h.Runtime.Log.Calls.empty());
        EXPECT_TRUE(h.Completed.empty());
    }
}

TEST(EdgeBrowserLifecycle, EnvironmentCompletionOnAnotherThreadContinuesOnTheUiThread)
{
    TBrowserHarness h;
    h.StartCreation();
    std::thread([&] { h.Runtime.CompleteEnvironment(); }).join();
    EXPECT_TRUE(h.Runtime.Environment->Requests.empty());
    EXPECT_EQ(h.Browser->EnvironmentInterface(), nullptr);
    h.Queue->Pump();
    EXPECT_EQ(h.Runtime.Environment->Requests.size(), 1u);
    ASSERT_TRUE(h.Runtime.CompleteController());
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Created);
}

TEST(EdgeBrowserLifecycle, StaleControllerCompletionClosesItsControllerAndChangesNothing)
{
    TBrowserHarness h;
    h.StartCreation();
    ASSERT_TRUE(h.Runtime.CompleteEnvironment()); // first controller request open
    h.Browser->ReinitializeWebView();             // a second generation starts
    ASSERT_TRUE(h.Runtime.CompleteEnvironment()); // second controller request open
    ASSERT_EQ(h.Runtime.Environment->Requests.size(), 2u);

    auto older = MakeFake<TFakeController>(h.Runtime.Log, "older");
    older->WebView = h.Runtime.WebView;
    ASSERT_TRUE(h.Runtime.CompleteController(S_OK, older.Get()));
    EXPECT_TRUE(older->Closed);
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Creating);
    EXPECT_EQ(h.Browser->ControllerInterface(), nullptr);
    EXPECT_TRUE(h.Completed.empty());
    EXPECT_EQ(older->Events.LiveCount("GotFocus"), 0u);

    ASSERT_TRUE(h.Runtime.CompleteController());
    EXPECT_EQ(h.Browser->BrowserControlState(), TBrowserControlState::Created);
    EXPECT_EQ(h.Browser->ControllerInterface(), h.Runtime.Controller.Get());
    EXPECT_FALSE(h.Runtime.Controller->Closed);
    EXPECT_EQ(h.Completed, std::vector<HRESULT>{S_OK});
}

TEST(EdgeBrowserLifecycle, WindowRecreationRunsTheInitialisationAgain)
{
    TBrowserHarness h;
    h.CreateFully();
    h.Runtime.Log.Calls.clear();
    h.Site->Events->WindowCreated();
    ASSERT_FALSE(h.Runtime.Log.Calls.empty());
    EXPECT_EQ(Split(h.Runtime.Log.Calls.front()).first, "NavigationStarting");
    EXPECT_EQ(h.Runtime.Log.Starting("CreateCoreWebView2Environment").size(), 1u);
    EXPECT_TRUE(h.Runtime.Controller->Closed);
    EXPECT_EQ(h.Browser->DefaultInterface(), nullptr);

    auto fresh = MakeFake<TFakeController>(h.Runtime.Log, "fresh");
    fresh->WebView = h.Runtime.WebView;
    ASSERT_TRUE(h.Runtime.CompleteEnvironment());
    ASSERT_TRUE(h.Runtime.CompleteController(S_OK, fresh.Get()));
    EXPECT_EQ(h.Browser->ControllerInterface(), fresh.Get());
    EXPECT_EQ(h.Runtime.WebView->Events.LiveCount("WebMessageReceived"), 1u);
    EXPECT_EQ(fresh->Events.LiveCount("AcceleratorKeyPressed"), 1u);
    EXPECT_EQ(h.Completed, (std::vector<HRESULT>{S_OK, S_OK}));
}

TEST(EdgeBrowserLifecycle, DestroyingTheControlClosesItsWebView)
{
    TBrowserHarness h;
    h.CreateFully();
    h.Browser.reset();
    EXPECT_TRUE(h.Runtime.Controller->Closed);
    EXPECT_EQ(h.Runtime.WebView->Events.LiveCount("WebResourceRequested"), 0u);
    EXPECT_EQ(h.Runtime.Controller->Events.LiveCount("GotFocus"), 0u);
}

TEST(EdgeBrowserLifecycle, CloseBrowserProcessEndsTheProcessItHad)
{
    TBrowserHarness h;
    h.CreateFully();
    h.Browser->CloseBrowserProcess();
    EXPECT_FALSE(h.Browser->WebViewCreated());
    EXPECT_EQ(h.Site->EndedProcesses, (std::vector<std::pair<UINT32, DWORD>>{{4242u, 2000u}}));
    // Without a web view there is no process to end.
    h.Browser->CloseBrowserProcess();
    EXPECT_EQ(h.Site->EndedProcesses.size(), 1u);
}

} // namespace
