// The browser control's operations, properties, settings and event handling over the
// fake runtime, before and after the web view exists.
#include "BrowserHarness.h"

#include <string>

using namespace Folio::Test;
using Folio::Shared::EEdgeError;
using Folio::Shared::TCustomEdgeBrowser;

namespace {

constexpr HRESULT AccessDenied = static_cast<HRESULT>(0x80070005u);

TEST(EdgeBrowserOperations, NavigateBeforeCreationKeepsOnlyUrlsThatAreNotBlank)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u"first"},
        {u" \t\r\n", u"first"},
        {u" https://a/ ", u" https://a/ "},
        {u"https://b/", u"https://b/"},
    };
    for (const auto& [url, kept] : cases) {
        SCOPED_TRACE(Narrow(url));
        TBrowserHarness h;
        h.Browser->SetLastURL(u"first");
        EXPECT_FALSE(h.Browser->Navigate(url));
        EXPECT_EQ(h.Browser->LastURL(), kept);
        EXPECT_TRUE(h.Runtime.Log.Calls.empty());
    }
}

TEST(EdgeBrowserOperations, SizeRatioSetsTheBoundsTruncated)
{
    struct TCase {
        RECT Client;
        double Ratio;
        RECT Bounds;
    };
    const TCase cases[] = {
        {{0, 0, 800, 600}, 0.5, {0, 0, 400, 300}},
        {{0, 0, 100, 100}, 0.333, {0, 0, 33, 33}},
        {{10, 20, 110, 220}, 0.5, {10, 20, 60, 120}},
        {{0, 0, 640, 480}, 1.0, {0, 0, 640, 480}},
    };
    TBrowserHarness h;
    h.Browser->SetSizeRatio(0.25); // replaced by 1.0 when the initialisation runs
    h.CreateFully();
    EXPECT_EQ(h.Browser->SizeRatio(), 1.0);
    EXPECT_EQ(h.Runtime.Controller->Bounds.right, 800);
    EXPECT_EQ(h.Runtime.Controller->Bounds.bottom, 600);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Ratio);
        h.Site->Client = c.Client;
        h.Browser->SetSizeRatio(c.Ratio);
        const RECT& b = h.Runtime.Controller->Bounds;
        EXPECT_EQ(b.left, c.Bounds.left);
        EXPECT_EQ(b.top, c.Bounds.top);
        EXPECT_EQ(b.right, c.Bounds.right);
        EXPECT_EQ(b.bottom, c.Bounds.bottom);
    }
    // The window's own resize runs the same step.
    h.Site->Client = {0, 0, 200, 100};
    h.Site->Events->Resized();
    EXPECT_EQ(h.Runtime.Controller->Bounds.right, 200);
}

struct TSettingCase {
    const char* Name; // the runtime's property
    bool (TCustomEdgeBrowser::*Get)();
    void (TCustomEdgeBrowser::*Set)(bool);
};

const TSettingCase SettingCases[] = {
    {"IsBuiltInErrorPageEnabled", &TCustomEdgeBrowser::BuiltInErrorPageEnabled,
     &TCustomEdgeBrowser::SetBuiltInErrorPageEnabled},
    {"AreDefaultContextMenusEnabled", &TCustomEdgeBrowser::DefaultContextMenusEnabled,
     &TCustomEdgeBrowser::SetDefaultContextMenusEnabled},
    {"AreDefaultScriptDialogsEnabled", &TCustomEdgeBrowser::DefaultScriptDialogsEnabled,
     &TCustomEdgeBrowser::SetDefaultScriptDialogsEnabled},
    {"AreDevToolsEnabled", &TCustomEdgeBrowser::DevToolsEnabled, &TCustomEdgeBrowser::SetDevToolsEnabled},
    {"IsScriptEnabled", &TCustomEdgeBrowser::ScriptEnabled, &TCustomEdgeBrowser::SetScriptEnabled},
    {"IsStatusBarEnabled", &TCustomEdgeBrowser::StatusBarEnabled, &TCustomEdgeBrowser::SetStatusBarEnabled},
    {"IsWebMessageEnabled", &TCustomEdgeBrowser::WebMessageEnabled, &TCustomEdgeBrowser::SetWebMessageEnabled},
    {"IsZoomControlEnabled", &TCustomEdgeBrowser::ZoomControlEnabled, &TCustomEdgeBrowser::SetZoomControlEnabled},
};

template <typename F> void ExpectNotInstantiated(F call)
{
    try {
        call();
        ADD_FAILURE() << "no EEdgeError";
    } catch (const EEdgeError& e) {
        EXPECT_STREQ(e.what(), "WebView2 not instantiated");
        EXPECT_EQ(e.ErrorCode(), E_FAIL);
    }
}

TEST(EdgeBrowserOperations, SettingsRaiseWithoutSettingsOrWhenReadingFails)
{
    TBrowserHarness before;
    for (const auto& c : SettingCases) {
        SCOPED_TRACE(c.Name);
        TCustomEdgeBrowser& browser = *before.Browser;
        ExpectNotInstantiated([&] { (browser.*c.Get)(); });
        ExpectNotInstantiated([&] { (browser.*c.Set)(true); });
    }

    TBrowserHarness after;
    after.CreateFully();
    TCustomEdgeBrowser& browser = *after.Browser;
    for (const auto& c : SettingCases) {
        SCOPED_TRACE(c.Name);
        (browser.*c.Set)(true);
        EXPECT_EQ(after.Runtime.Settings->Values[c.Name], TRUE);
        EXPECT_TRUE((browser.*c.Get)());
        (browser.*c.Set)(false);
        EXPECT_FALSE((browser.*c.Get)());
    }
    // A failing put is only recorded; a failing get raises.
    after.Runtime.Settings->PutResult = AccessDenied;
    browser.SetScriptEnabled(true);
    EXPECT_EQ(browser.LastErrorCode(), AccessDenied);
    after.Runtime.Settings->GetResult = E_UNEXPECTED;
    ExpectNotInstantiated([&] { browser.ScriptEnabled(); });
}

TEST(EdgeBrowserOperations, WithoutControllerZoomIsZeroAndIgnoredAndNothingIsRecorded)
{
    TBrowserHarness h;
    h.Browser->SetZoomFactor(2.0);
    EXPECT_EQ(h.Browser->ZoomFactor(), 0.0);
    EXPECT_EQ(h.Browser->LastErrorCode(), S_OK);
    h.CreateFully();
    h.Browser->SetZoomFactor(1.5);
    EXPECT_EQ(h.Browser->ZoomFactor(), 1.5);
    h.Runtime.Controller->CallResult = E_UNEXPECTED;
    EXPECT_EQ(h.Browser->ZoomFactor(), 0.0);
    EXPECT_EQ(h.Browser->LastErrorCode(), E_UNEXPECTED);
}

TEST(EdgeBrowserOperations, LocationUrlHidesAboutBlankInAnyCase)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"about:blank", u""},
        {u"ABOUT:BLANK", u""},
        {u"About:Blank", u""},
        {u"about:blank#top", u"about:blank#top"},
        {u"file:///app/index.html", u"file:///app/index.html"},
    };
    TBrowserHarness h;
    EXPECT_EQ(h.Browser->LocationURL(), u"");
    h.CreateFully();
    for (const auto& [source, shown] : cases) {
        SCOPED_TRACE(Narrow(source));
        h.Runtime.WebView->Source = source;
        EXPECT_EQ(h.Browser->LocationURL(), shown);
    }
    h.Runtime.WebView->CallResult = E_UNEXPECTED;
    EXPECT_EQ(h.Browser->LocationURL(), u"");
    EXPECT_EQ(h.Browser->LastErrorCode(), E_UNEXPECTED);
}

TEST(EdgeBrowserOperations, ExecuteScriptNeedsTheWebViewAndReportsTheResult)
{
    TBrowserHarness h;
    std::vector<std::pair<HRESULT, std::u16string>> results;
    h.Browser->OnExecuteScript = [&](TCustomEdgeBrowser&, HRESULT hr, const std::u16string& json) {
        results.emplace_back(hr, json);
    };
    h.Browser->ExecuteScript(u"1+1");
    EXPECT_TRUE(h.Runtime.Log.Starting("ExecuteScript").empty());
    EXPECT_TRUE(results.empty());

    h.CreateFully();
    h.Browser->ExecuteScript(u"1+1");
    ASSERT_EQ(h.Runtime.WebView->Scripts.size(), 1u);
    h.Runtime.WebView->Scripts[0]->Invoke(S_OK, u"2");
    EXPECT_EQ(results, (std::vector<std::pair<HRESULT, std::u16string>>{{S_OK, u"2"}}));
}

TEST(EdgeBrowserOperations, SubscribingTwiceLeavesOneLiveRegistrationWhichCloseRemoves)
{
    TBrowserHarness h;
    h.CreateFully();
    std::vector<std::u16string> received;
    h.Browser->OnDevToolsProtocolEventReceived = [&](TCustomEdgeBrowser&, const std::u16string& name,
                                                     const std::u16string& json) {
        received.push_back(name + u" " + json);
    };
    h.Browser->SubscribeToCDPEvent(u"Network.requestWillBeSent");
    h.Browser->SubscribeToCDPEvent(u"Network.requestWillBeSent");
    const auto& receiver = h.Runtime.WebView->Receivers.at("Network.requestWillBeSent");
    EXPECT_EQ(receiver->Events.LiveCount("DevToolsProtocolEventReceived"), 1u);

    auto args = MakeFake<TFakeDevToolsArgs>();
    args->Json = u"{\"requestId\":\"1\"}";
    receiver->Events.Live<ICoreWebView2DevToolsProtocolEventReceivedEventHandler>("DevToolsProtocolEventReceived")
        ->Invoke(h.Runtime.WebView.Get(), args.Get());
    EXPECT_EQ(received, std::vector<std::u16string>{u"Network.requestWillBeSent {\"requestId\":\"1\"}"});

    // The map held the live token: closing removes exactly that registration.
    h.Browser->CloseWebView();
    EXPECT_EQ(receiver->Events.LiveCount("DevToolsProtocolEventReceived"), 0u);
}

TEST(EdgeBrowserOperations, AcceleratorKeyIsOfferedToTheFormAndHandledWhenTheFormTakesIt)
{
    struct TCase {
        COREWEBVIEW2_KEY_EVENT_KIND Kind;
        bool FormTakes;
        UINT Message;
    };
    const TCase cases[] = {
        {COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN, true, 0x0100},
        {COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP, false, 0x0101},
        {COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN, true, 0x0104},
        {COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP, false, 0x0105},
    };
    TBrowserHarness h;
    h.CreateFully();
    const auto handler =
        h.Runtime.Controller->Events.Live<ICoreWebView2AcceleratorKeyPressedEventHandler>("AcceleratorKeyPressed");
    ASSERT_TRUE(handler);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        h.Site->FormTakesShortcuts = c.FormTakes;
        auto args = MakeFake<TFakeKeyArgs>();
        args->Kind = c.Kind;
        args->Key = 0x4F; // 'O'
        args->KeyData = 0x180001;
        EXPECT_EQ(handler->Invoke(h.Runtime.Controller.Get(), args.Get()), S_OK);
        ASSERT_FALSE(h.Site->OfferedShortcuts.empty());
        EXPECT_EQ(h.Site->OfferedShortcuts.back(), std::make_tuple(c.Message, 0x4Fu, 0x180001));
        EXPECT_EQ(args->Handled, c.FormTakes ? TRUE : FALSE);
    }
    // A read that fails stops before the form is asked.
    auto failing = MakeFake<TFakeKeyArgs>();
    failing->KindResult = E_UNEXPECTED;
    h.Site->OfferedShortcuts.clear();
    handler->Invoke(h.Runtime.Controller.Get(), failing.Get());
    EXPECT_TRUE(h.Site->OfferedShortcuts.empty());
    EXPECT_EQ(h.Browser->LastErrorCode(), E_UNEXPECTED);
}

TEST(EdgeBrowserOperations, FocusFromThePageFiresOnEnterWithoutMovingTheFocusBack)
{
    TBrowserHarness h;
    h.CreateFully();
    int entered = 0;
    int exited = 0;
    h.Browser->OnEnter = [&](TCustomEdgeBrowser&) { ++entered; };
    h.Browser->OnExit = [&](TCustomEdgeBrowser&) { ++exited; };
    auto* controller = h.Runtime.Controller.Get();
    h.Runtime.Log.Calls.clear();

    controller->Events.Live<ICoreWebView2FocusChangedEventHandler>("GotFocus")->Invoke(controller, nullptr);
    EXPECT_EQ(entered, 1);
    EXPECT_TRUE(h.Runtime.Log.Starting("MoveFocus").empty());
    // Focus that reaches the control's own window is passed into the web view.
    h.Site->Events->FocusEntered();
    EXPECT_EQ(entered, 2);
    EXPECT_EQ(h.Runtime.Log.Starting("MoveFocus"), std::vector<std::string>{"MoveFocus=0"});
    controller->Events.Live<ICoreWebView2FocusChangedEventHandler>("LostFocus")->Invoke(controller, nullptr);
    EXPECT_EQ(exited, 1);

    // Tabbing out of the page moves along the tab order; other reasons do nothing.
    const auto moveFocus = controller->Events.Live<ICoreWebView2MoveFocusRequestedEventHandler>("MoveFocusRequested");
    for (const auto reason : {COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT, COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS,
                              COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC}) {
        auto args = MakeFake<TFakeMoveFocusArgs>();
        args->Reason = reason;
        moveFocus->Invoke(controller, args.Get());
        EXPECT_FALSE(args->Handled);
    }
    EXPECT_EQ(h.Site->TabMoves, (std::vector<bool>{true, false}));
}

TEST(EdgeBrowserOperations, MinimiseAndRestoreHideAndShowTheWebView)
{
    const std::pair<UINT, std::vector<std::string>> cases[] = {
        {0xF020, {"put_IsVisible=0"}}, {0xF120, {"put_IsVisible=1"}}, {0xF030, {}}, // maximise
    };
    TBrowserHarness h;
    h.CreateFully();
    for (const auto& [command, calls] : cases) {
        SCOPED_TRACE(command);
        h.Runtime.Log.Calls.clear();
        h.Site->Events->SysCommand(command);
        EXPECT_EQ(h.Runtime.Log.Calls, calls);
    }
    h.Runtime.Log.Calls.clear();
    h.Site->IsVisible = false;
    h.Site->Events->VisibilityChanged();
    EXPECT_EQ(h.Runtime.Log.Calls, std::vector<std::string>{"put_IsVisible=0"});
}

TEST(EdgeBrowserOperations, PageEventsReachOnlyTheSlotsThatAreSet)
{
    TBrowserHarness h;
    h.CreateFully();
    auto* view = h.Runtime.WebView.Get();
    const auto titleChanged = view->Events.Live<ICoreWebView2DocumentTitleChangedEventHandler>("DocumentTitleChanged");
    view->Title = u"Hello";
    EXPECT_EQ(titleChanged->Invoke(view, nullptr), S_OK); // no slot: nothing read
    EXPECT_EQ(h.Browser->LastErrorCode(), S_OK);

    std::vector<std::u16string> titles;
    h.Browser->OnDocumentTitleChanged = [&](TCustomEdgeBrowser&, const std::u16string& title) {
        titles.push_back(title);
    };
    titleChanged->Invoke(view, nullptr);
    EXPECT_EQ(titles, std::vector<std::u16string>{u"Hello"});

    int closeRequests = 0;
    h.Browser->OnWindowCloseRequested = [&](TCustomEdgeBrowser&) { ++closeRequests; };
    view->Events.Live<ICoreWebView2WindowCloseRequestedEventHandler>("WindowCloseRequested")->Invoke(view, nullptr);
    EXPECT_EQ(closeRequests, 1);
}

TEST(EdgeBrowserOperations, PreviewToAFileThatCannotBeCreatedRecordsWhyAndCapturesNothing)
{
    constexpr HRESULT PathNotFound = static_cast<HRESULT>(0x80070003u);
    TBrowserHarness h;
    int completions = 0;
    h.Browser->OnCapturePreviewCompleted = [&](TCustomEdgeBrowser&, HRESULT) { ++completions; };
    h.Browser->CapturePreview(u"C:\\missing\\shot.png", Folio::Shared::TPreviewFormat::PNG);
    EXPECT_TRUE(h.Site->StreamPaths.empty()); // no web view: nothing at all

    h.CreateFully();
    h.Site->StreamResult = PathNotFound;
    h.Browser->CapturePreview(u"C:\\missing\\shot.png", Folio::Shared::TPreviewFormat::PNG);
    EXPECT_EQ(h.Site->StreamPaths, std::vector<std::u16string>{u"C:\\missing\\shot.png"});
    EXPECT_EQ(h.Browser->LastErrorCode(), PathNotFound);
    EXPECT_TRUE(h.Runtime.Log.Starting("CapturePreview").empty());
    EXPECT_EQ(completions, 0);
}

TEST(EdgeBrowserOperations, BrowserVersionComesFromTheLoaderBeforeCreation)
{
    TBrowserHarness h;
    // The current loader has no GetCoreWebView2BrowserVersionString: its successor answers.
    EXPECT_EQ(h.Browser->BrowserVersionInfo(), u"119.0.2151.58");
    EXPECT_EQ(h.Runtime.Log.Calls, std::vector<std::string>{"GetAvailableCoreWebView2BrowserVersionString(null)"});
    h.CreateFully();
    EXPECT_EQ(h.Browser->BrowserVersionInfo(), u"120.0.2210.91");

    TBrowserHarness none;
    Folio::Shared::InstallHostLoader(std::nullopt);
    EXPECT_EQ(none.Browser->BrowserVersionInfo(), u"");
    EXPECT_EQ(none.Browser->LastErrorCode(), E_FAIL);
}

} // namespace
