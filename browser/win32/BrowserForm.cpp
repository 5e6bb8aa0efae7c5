// The browser form (see BrowserForm.h).
#include "browser/win32/BrowserForm.h"

#include "browser/ComBase.h"
#include "browser/RequestServing.h"
#include "browser/TopDocument.h"
#include "browser/win32/EdgeBrowserSite.h"
#include "browser/win32/EntryStream.h"
#include "platform/DebugOutput.h"
#include "platform/FileSystem.h"
#include "platform/SystemInfo.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SysUtils.h"
#include "platform/win32/WindowSlots.h"
#include "util/Case.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <commctrl.h>
#include <shlwapi.h>

namespace Folio::Shared {

using Browser::AsWide;
using Browser::TCoTaskString;
using Microsoft::WRL::ComPtr;

namespace {

constexpr int kProgressBarHeight = 4;
constexpr size_t kMostRecoveries = 3;
constexpr ULONGLONG kRecoveryWindowMs = 60 * 1000;
constexpr UINT kRecoverMessage = WM_APP + 1;
// How many new windows the pages of one window may open in a while.
constexpr size_t kMostNewWindows = 4;
constexpr uint64_t kNewWindowPeriodMs = 10 * 1000;

// The window.kiv library carried as a resource, UTF-8 with a byte order mark.
std::u16string ExternalScript()
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, L"KIV_EXTERNAL_JAVASCRIPT", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) {
        return {};
    }
    std::string_view text(bytes, SizeofResource(module, found));
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    return Utf8ToUtf16(text);
}

// The UI thread's queue, made by the first form (on the UI thread) and kept for the process.
std::shared_ptr<TUiQueue> UiQueue()
{
    static const std::shared_ptr<TUiQueue> queue = Win32::CreateUiQueue();
    return queue;
}

} // namespace

TBrowserForm::TBrowserForm()
    : FEdgeBrowser(std::make_unique<TEdgeBrowser>(UiQueue(), Win32::CreateEdgeBrowserSite())),
      FNewWindows(kMostNewWindows, kNewWindowPeriodMs)
{
    const std::u16string exe = Platform::SystemInfo().ExecutablePath();
    AppDirPath = exe.substr(0, exe.find_last_of(u"\\/") + 1);
    TEdgeBrowser& browser = *FEdgeBrowser;
    browser.OnCreateWebViewCompleted = [this](TCustomEdgeBrowser&, HRESULT result) {
        EdgeBrowserCreateWebViewCompleted(result);
    };
    browser.OnWebResourceRequested = [this](TCustomEdgeBrowser&, TWebResourceRequestedEventArgs& args) {
        EdgeBrowserWebResourceRequested(args);
    };
    browser.OnNewWindowRequested = [this](TCustomEdgeBrowser&, TNewWindowRequestedEventArgs& args) {
        EdgeBrowserNewWindowRequested(args);
    };
    browser.OnPermissionRequested = [this](TCustomEdgeBrowser&, TPermissionRequestedEventArgs& args) {
        EdgeBrowserPermissionRequested(args);
    };
    browser.OnProcessFailed = [this](TCustomEdgeBrowser&, COREWEBVIEW2_PROCESS_FAILED_KIND kind) {
        EdgeBrowserProcessFailed(kind);
    };
    browser.OnContentLoading = [this](TCustomEdgeBrowser&, bool, UINT64) { EdgeBrowserContentLoading(); };
    browser.OnNavigationCompleted = [this](TCustomEdgeBrowser&, bool, COREWEBVIEW2_WEB_ERROR_STATUS) {
        EdgeBrowserNavigationCompleted();
    };
    // The main window routes the page's messages to the bridge; until it does, and in
    // the runtime's own form, nothing answers them.
    browser.OnWebMessageReceived = [](TCustomEdgeBrowser&, TWebMessageReceivedEventArgs&) {};
}

TBrowserForm::~TBrowserForm()
{
    // The control goes first, while the window it lives in still exists.
    FEdgeBrowser.reset();
    Destroy();
}

bool TBrowserForm::CreateForm(HWND parent)
{
    RECT area{};
    GetClientRect(parent, &area);
    if (!Create(L"FolioBrowserForm", u"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, area.right, area.bottom,
                parent)) {
        return false;
    }
    FProgressBar = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_MARQUEE, 0, 0, 0, 0,
                                   Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (FProgressBar) {
        SendMessageW(FProgressBar, PBM_SETMARQUEE, TRUE, 30);
    }
    FEdgeBrowser->SetParentWindow(Handle());
    LayOut();
    return true;
}

void TBrowserForm::SetWebViewVisible(bool visible)
{
    if (ICoreWebView2Controller* controller = FEdgeBrowser->ControllerInterface()) {
        controller->put_IsVisible(visible ? TRUE : FALSE);
    }
}

bool TBrowserForm::ProgressBarVisible() const { return FProgressBar && IsWindowVisible(FProgressBar); }

void TBrowserForm::LayOut()
{
    RECT area{};
    GetClientRect(Handle(), &area);
    if (ProgressBarVisible()) {
        area.bottom -= kProgressBarHeight;
        MoveWindow(FProgressBar, 0, area.bottom, area.right, kProgressBarHeight, TRUE);
    }
    FEdgeBrowser->SetBounds(area);
}

LRESULT TBrowserForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SIZE) {
        LayOut();
        return 0;
    }
    if (message == kRecoverMessage) {
        Recover(COREWEBVIEW2_PROCESS_FAILED_KIND(wParam));
        return 0;
    }
    return TWindow::HandleMessage(message, wParam, lParam);
}

void TBrowserForm::EdgeBrowserCreateWebViewCompleted(HRESULT result)
{
    // A new view shows no document yet: whatever the last one asked for is not answered.
    FTopDocument.Commit(false);
    if (FAILED(result)) {
        return; // the page stays blank
    }
    InjectScripts();
    TEdgeBrowser& browser = *FEdgeBrowser;
    browser.SetScriptEnabled(true);
    browser.SetStatusBarEnabled(false);
    browser.SetWebMessageEnabled(true);
    browser.SetBuiltInErrorPageEnabled(true);
    browser.SetZoomControlEnabled(AllowZoom);
    browser.SetDevToolsEnabled(AllowDebug);
    browser.SetDefaultContextMenusEnabled(AllowContextMenu);
    browser.AddWebResourceRequestedFilter(u"*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
    if (!StartPageURL.empty()) {
        browser.Navigate(StartPageURL);
    }
}

void TBrowserForm::InjectScripts()
{
    std::u16string script;
    if (WithExternal) {
        script += u"\r" + ExternalScript();
    }
    script += u"\rwindow.addEventListener(\"dragover\", function(e){e.preventDefault();},false);";
    script += u"\rwindow.addEventListener(\"drop\", function(e){e.preventDefault();}, false);";
    if (IsRuntime && !Trim(WebviewJavascript).empty()) {
        script += u"\r" + WebviewJavascript;
    }
    if (ICoreWebView2* webView = FEdgeBrowser->DefaultInterface()) {
        webView->AddScriptToExecuteOnDocumentCreated(AsWide(script), nullptr);
    }
}

Browser::TServingContext TBrowserForm::Pages() const
{
    Browser::TServingContext pages;
    pages.Archive = ExeZip;
    pages.AppDirName = AppDirName;
    pages.AppDirPath = AppDirPath;
    pages.FileSystem = &Platform::SystemFileSystem();
    return pages;
}

bool TBrowserForm::ShowsPackagePage() { return FEdgeBrowser->WebViewCreated() && FTopDocument.PackagePage(); }

void TBrowserForm::EdgeBrowserContentLoading()
{
    // The new document is in place, with the URI it was committed with.
    FTopDocument.Commit(Browser::IsPackagePage(FEdgeBrowser->LocationURL(), Pages()));
}

void TBrowserForm::EdgeBrowserWebResourceRequested(TWebResourceRequestedEventArgs& args)
{
    if (!HandleRequests) {
        return;
    }
    ComPtr<ICoreWebView2WebResourceRequest> request;
    TCoTaskString uri;
    if (FAILED(args.ArgsInterface()->get_Request(&request)) || !request || FAILED(request->get_Uri(uri.Put()))) {
        return;
    }
    Browser::TServingContext context = Pages();
    // Files outside the package go to the package's pages only. The document a page of
    // the package is navigating to is asked for before it is committed: the start page
    // beside the executable is served before any document is there.
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT kind = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL;
    context.DiskFilesAllowed =
        FTopDocument.PackagePage() ||
        (SUCCEEDED(args.ArgsInterface()->get_ResourceContext(&kind)) &&
         kind == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT && Browser::IsPackagePage(uri.Text(), context));
    // Media elements ask for parts of a file as they play and seek.
    ComPtr<ICoreWebView2HttpRequestHeaders> headers;
    BOOL hasRange = FALSE;
    TCoTaskString range;
    if (SUCCEEDED(request->get_Headers(&headers)) && headers && SUCCEEDED(headers->Contains(L"Range", &hasRange)) &&
        hasRange && SUCCEEDED(headers->GetHeader(L"Range", range.Put()))) {
        context.Range = range.Text();
    }
    const auto served = Browser::ServeFileRequest(uri.Text(), context);
    ICoreWebView2Environment* environment = FEdgeBrowser->EnvironmentInterface();
    if (!served || !environment) {
        return; // the browser goes on with its own handling
    }
    // A streamed body is read as the browser reads it, on its threads; otherwise the
    // stream holds its own copy of the bytes, which lives until the browser lets go.
    ComPtr<IStream> stream;
    if (served->Source) {
        stream = Win32::CreateBodyStream(served->Source, served->SourceStart, served->SourceLength);
    } else {
        *stream.ReleaseAndGetAddressOf() = SHCreateMemStream(served->Body.data(), UINT(served->Body.size()));
    }
    if (!stream) {
        return;
    }
    ComPtr<ICoreWebView2WebResourceResponse> response;
    if (SUCCEEDED(environment->CreateWebResourceResponse(stream.Get(), served->StatusCode,
                                                         AsWide(served->ReasonPhrase), AsWide(served->Headers),
                                                         &response))) {
        args.ArgsInterface()->put_Response(response.Get());
    }
}

void TBrowserForm::EdgeBrowserNewWindowRequested(TNewWindowRequestedEventArgs& args)
{
    if (!IsRuntime) {
        return;
    }
    TCoTaskString uri;
    if (FAILED(args.ArgsInterface()->get_Uri(uri.Put()))) {
        return;
    }
    // Only a page of the package opens a page of the package in a runtime of its own;
    // every other window is the browser's own, without native functions.
    std::u16string target = uri.Text();
    if (!FTopDocument.PackagePage() || !Browser::IsPackagePage(target, Pages())) {
        return;
    }
    args.ArgsInterface()->put_Handled(TRUE);
    // Past the limits the request is swallowed: nothing opens.
    if (!FNewWindows.Allow(GetTickCount64()) || !Win32::WindowSlotFree(RuntimeAppID)) {
        Platform::DebugOutput("Folio: the page opens too many windows; this one stays closed");
        return;
    }
    // A quote would end the argument early and smuggle in others.
    for (size_t at = target.find(u'"'); at != std::u16string::npos; at = target.find(u'"', at)) {
        target.replace(at, 1, u"%22");
    }
    Win32::TSysUtils::ShellExec(Platform::SystemInfo().ExecutablePath(),
                                u"\"" + RuntimeAppID + u"\" \"" + target + u"\"");
}

void TBrowserForm::EdgeBrowserPermissionRequested(TPermissionRequestedEventArgs& args)
{
    // Granted without asking to the package's pages (and file:/// frames in them); for
    // any other page the browser's default stands.
    TCoTaskString uri;
    if (FTopDocument.PackagePage() && SUCCEEDED(args.ArgsInterface()->get_Uri(uri.Put())) &&
        Browser::IsPackagePageUri(uri.Text())) {
        args.ArgsInterface()->put_State(COREWEBVIEW2_PERMISSION_STATE_ALLOW);
    }
}

void TBrowserForm::EdgeBrowserProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND kind)
{
    // A dead window helps nobody: a new browser when the browser process is gone, a
    // reload when only the page's renderer is. Done from the message loop, not inside
    // the browser's own call. A page that is only busy (a long script) is left alone:
    // a reload would throw away what it is doing.
    PostMessageW(Handle(), kRecoverMessage, WPARAM(kind), 0);
}

void TBrowserForm::Recover(COREWEBVIEW2_PROCESS_FAILED_KIND kind)
{
    const bool browserGone = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED;
    if (!browserGone && kind != COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED) {
        return;
    }
    // A browser or page that fails at every start is not restarted forever: after a few
    // failures within a minute the dead view goes, so that no close query waits for it.
    const ULONGLONG now = GetTickCount64();
    while (!FRecoveries.empty() && now - FRecoveries.front() > kRecoveryWindowMs) {
        FRecoveries.pop_front();
    }
    if (FRecoveries.size() >= kMostRecoveries) {
        FEdgeBrowser->CloseWebView();
        return;
    }
    FRecoveries.push_back(now);
    if (browserGone) {
        // The browser process has ended already: a new one is made without waiting for,
        // or ending, a process id that may by now be another program's.
        FEdgeBrowser->ReinitializeWebView();
    } else {
        FEdgeBrowser->Refresh();
    }
}

void TBrowserForm::EdgeBrowserNavigationCompleted()
{
    if (ProgressBarVisible()) {
        ShowWindow(FProgressBar, SW_HIDE);
        LayOut();
    }
}

} // namespace Folio::Shared
