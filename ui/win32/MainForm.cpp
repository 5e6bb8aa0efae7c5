// The main window (see MainForm.h).
#include "ui/win32/MainForm.h"

#include "bridge/MenuModel.h"
#include "browser/ComBase.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "platform/Power.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/UiQueue.h"
#include "platform/win32/InstanceChannel.h"
#include "platform/win32/Handles.h"
#include "ui/themes/win32/StyleEngine.h"
#include "util/TextCodecs.h"

namespace Folio::Runtime {

using Browser::AsWide;
using Browser::TCoTaskString;
using Platform::TWindowState;

namespace {

constexpr UINT kCloseMessage = WM_APP + 2;

struct TBorderStyle {
    DWORD Style, ExStyle;
};

// 0 none, 1 single, 2 sizeable, 3 dialog, 4 tool window, 5 sizeable tool window; any
// other code is taken as sizeable, the designed border. The tool-window frames keep the
// main window's taskbar button and its place in Alt+Tab (WS_EX_APPWINDOW), which a tool
// window alone would lose.
TBorderStyle BorderStyle(int code)
{
    constexpr DWORD caption = WS_CAPTION | WS_SYSMENU;
    switch (code) {
    case 0: return {WS_POPUP, 0};
    case 1: return {caption | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0};
    case 3: return {caption | DS_MODALFRAME, WS_EX_DLGMODALFRAME};
    case 4: return {caption, WS_EX_TOOLWINDOW | WS_EX_APPWINDOW};
    case 5: return {caption | WS_THICKFRAME, WS_EX_TOOLWINDOW | WS_EX_APPWINDOW};
    default: return {WS_OVERLAPPEDWINDOW, 0};
    }
}

constexpr DWORD kBorderBits = WS_POPUP | WS_OVERLAPPEDWINDOW | DS_MODALFRAME;
constexpr DWORD kBorderExBits = WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;

} // namespace

// What the bridge needs of the browser control.
class TMainForm::TBrowserAdapter final : public Bridge::TBrowserPort {
public:
    Shared::TBrowserForm* Form = nullptr;

    uint64_t DocumentId() const override { return Form ? Form->DocumentId() : 0; }
    void PostWebMessageAsJson(const std::u16string& json) override
    {
        if (ICoreWebView2* webView = Form ? Form->EdgeBrowser().DefaultInterface() : nullptr) {
            webView->PostWebMessageAsJson(AsWide(json));
        }
    }
    void ExecuteScript(const std::u16string& script) override
    {
        if (Form) {
            Form->EdgeBrowser().ExecuteScript(script);
        }
    }
    double ZoomFactor() const override { return Form ? Form->EdgeBrowser().ZoomFactor() : 0.0; }
    void SetZoomFactor(double factor) override
    {
        if (Form) {
            Form->EdgeBrowser().SetZoomFactor(factor);
        }
    }
};

TMainForm::TMainForm(TMainFormApp app)
    : FApp(std::move(app)), FBrowserAdapter(std::make_unique<TBrowserAdapter>())
{
}

TMainForm::~TMainForm()
{
    FormClose();
    Destroy();
}

int TMainForm::ReadSetting(std::u16string_view key, int defaultValue) const
{
    return FApp.Settings.ReadInteger(u"App", key, defaultValue);
}

bool TMainForm::CreateForm()
{
    const bool fullScreen = ReadSetting(u"WindowStyle", 0) == 1;
    FBorder = fullScreen ? 0 : ReadSetting(u"WindowBorder", 2);
    const TBorderStyle border = BorderStyle(FBorder);
    const bool centred = ReadSetting(u"WindowPosition", 0) == 0;
    FMinSize = {ReadSetting(u"MinWidth", 0), ReadSetting(u"MinHeight", 0)};
    FMaxSize = {ReadSetting(u"MaxWidth", 0), ReadSetting(u"MaxHeight", 0)};
    const SIZE size = Constrained(ReadSetting(u"Width", 800), ReadSetting(u"Height", 600));
    const int width = size.cx, height = size.cy;
    int left = ReadSetting(u"Left", 50), top = ReadSetting(u"Top", 50);
    if (centred) {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + (work.right - work.left - width) / 2;
        top = work.top + (work.bottom - work.top - height) / 2;
    }
    const DWORD exStyle = border.ExStyle | (ReadSetting(u"WindowOrder", 0) == 1 ? WS_EX_TOPMOST : 0);
    if (!Create(L"FolioMainForm", FApp.AppName, border.Style | WS_CLIPCHILDREN, exStyle,
                centred ? left : CW_USEDEFAULT, centred ? top : CW_USEDEFAULT, width, height)) {
        return false;
    }
    FormCreate();
    if (fullScreen) {
        FBrowserExternalModule->FInFullscreen = true;
    }
    const int state = ReadSetting(u"WindowState", 0);
    bool maximize = fullScreen || state == 1;
    GetWindowRect(Handle(), &FNormalBounds);
    FRemember = FApp.Settings.ReadBool(u"App", u"RememberWindow", false);
    if (FRemember) {
        RestoreWindowState(maximize);
        if (fullScreen) {
            maximize = true; // full screen stays full screen; its normal bounds come back
        }
    }
    ShowWindow(Handle(), maximize ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(Handle());
    return true;
}

void TMainForm::FormCreate()
{
    FCanClose = false;
    Bridge::TBrowserExternalModule::TPorts ports;
    ports.Browser = FBrowserAdapter.get();
    ports.FileSystem = &Platform::SystemFileSystem();
    FDialogs.SetOwner(Handle()); // the page's dialogs belong to this window, active or not
    ports.Dialogs = &FDialogs;
    ports.MainWindow = this;
    ports.System = &Platform::SystemInfo();
    ports.Themes = &Ui::StyleManager();
    ports.Archive = &FApp.Archive;
    ports.Settings = &FApp.Settings;
    const std::u16string exe = Platform::SystemInfo().ExecutablePath();
    ports.AppDirPath = exe.substr(0, exe.find_last_of(u"\\/") + 1);
    FBrowserExternalForm = std::make_unique<TBrowserExternalForm>();
    // The tooltip is the title the application had before the window took AppName.
    if (FBrowserExternalForm->CreateForm(Handle(), Bridge::TrayTooltip(exe))) {
        ports.Menus = FBrowserExternalForm.get();
    }
    ports.Shell = &Platform::SystemShell();
    ports.Power = &Platform::SystemPower();
    ports.Registry = &Platform::CurrentUserRegistry();
    ports.UiQueue = &Platform::UiQueue();
    ports.Notifications = &Platform::SystemNotifications(); // the toast notifier is made here, once
    FBrowserExternalModule = std::make_unique<Bridge::TBrowserExternalModule>(ports);
    FBrowserExternalModule->FOnAppCloseRequest = [this] { AppCloseRequest(); };
    Win32::SetSecondStartHandler([this](const Shared::TForwardedStart& start) { SecondStart(start); });

    FBrowserForm = std::make_unique<Shared::TBrowserForm>();
    FBrowserAdapter->Form = FBrowserForm.get();
    Shared::TBrowserForm& form = *FBrowserForm;
    form.ExeZip = &FApp.Archive;
    form.IsRuntime = true;
    form.AppDirName = FApp.AppDirName;
    form.HandleRequests = true;
    form.RuntimeAppID = FApp.AppID;
    form.WithExternal = true;
    form.AllowDebug = FApp.Settings.ReadBool(u"App", u"AllowDebug", false);
    form.AllowZoom = FApp.Settings.ReadBool(u"App", u"AllowZoom", false);
    form.AllowContextMenu = FApp.Settings.ReadBool(u"App", u"AllowContextMenu", false);
    Shared::TMemoryStream script;
    FApp.Archive.Extract(u"kiv-webviewjs", script);
    form.WebviewJavascript =
        Shared::Utf8ToUtf16({reinterpret_cast<const char*>(script.Bytes().data()), script.Size()});
    form.StartPageURL = FApp.StartPageURL;

    Shared::TEdgeBrowser& browser = form.EdgeBrowser();
    browser.OnWebMessageReceived = [this](Shared::TCustomEdgeBrowser&, Shared::TWebMessageReceivedEventArgs& args) {
        EdgeBrowserWebMessageReceived(args);
    };
    browser.OnDocumentTitleChanged = [this](Shared::TCustomEdgeBrowser&, const std::u16string& title) {
        EdgeBrowserDocumentTitleChanged(title);
    };
    // Giving the form its window starts the browser view, which navigates once ready.
    form.CreateForm(Handle());
}

void TMainForm::EdgeBrowserWebMessageReceived(Shared::TWebMessageReceivedEventArgs& args)
{
    // Only the package's pages call native functions: the committed document must be
    // one, whatever source the message names.
    TCoTaskString source, json;
    if (!FBrowserForm || !FBrowserForm->ShowsPackagePage() || FAILED(args.ArgsInterface()->get_Source(source.Put())) ||
        FAILED(args.ArgsInterface()->get_WebMessageAsJson(json.Put()))) {
        return;
    }
    ++FDispatching;
    FBrowserExternalModule->EdgeBrowserWebMessageReceived(json.Text(), source.Text());
    if (--FDispatching == 0 && FClosePending) {
        FClosePending = false;
        PostMessageW(Handle(), kCloseMessage, 0, 0);
    }
}

void TMainForm::EdgeBrowserDocumentTitleChanged(const std::u16string& title)
{
    if (FApp.Settings.ReadBool(u"App", u"DynamicAppTitle", false)) {
        SetTitle(title);
    }
}

void TMainForm::AppCloseRequest()
{
    // Called from inside the browser's message callback: the bridge and the control
    // are on the stack, so the close comes later, from the message loop.
    FCanClose = true;
    PostMessageW(Handle(), kCloseMessage, 0, 0);
}

bool TMainForm::PageCanAnswer()
{
    // Without a live web view nobody can answer the close query: the user's request wins.
    return FBrowserForm && FBrowserForm->EdgeBrowser().WebViewCreated();
}

bool TMainForm::FormCloseQuery()
{
    // Only a page of the package can agree to the close (app.close() from any other page
    // is ignored by the bridge): a window showing anything else closes without asking.
    if (!FCanClose && PageCanAnswer() && !FBrowserForm->ShowsPackagePage()) {
        return true;
    }
    const bool canClose = FCanClose || !PageCanAnswer();
    if (FBrowserForm) {
        FBrowserForm->EdgeBrowser().ExecuteScript(u"kiv.events.onCloseQuery();");
    }
    return canClose;
}

std::u16string TMainForm::WindowStateFile() const
{
    return FApp.AppDataFolder.empty() ? std::u16string() : FApp.AppDataFolder + u"window-state.txt";
}

void TMainForm::RestoreWindowState(bool& maximize)
{
    // A few bytes at most are read, whatever size the file has.
    const std::u16string file = WindowStateFile();
    std::string bytes(257, '\0');
    std::optional<size_t> read;
    try {
        if (const auto opened = file.empty() ? nullptr : Platform::SystemFileSystem().OpenForReading(file)) {
            read = opened->ReadAt(0, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
        }
    } catch (...) {
    }
    const auto saved = read && *read < bytes.size() ? Shared::ParseSavedWindow(std::string_view(bytes).substr(0, *read))
                                                    : std::nullopt;
    if (!saved) {
        return; // none, or damaged: the settings' place stands
    }
    // Back onto the work area of the nearest monitor, should that one have gone.
    const Shared::TWindowRect& n = saved->Normal;
    const RECT wanted{n.Left, n.Top, n.Right, n.Bottom};
    MONITORINFO monitor{sizeof(monitor)};
    if (!GetMonitorInfoW(MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& w = monitor.rcWork;
    const Shared::TWindowRect kept = Shared::KeepOnArea(n, {w.left, w.top, w.right, w.bottom});
    MoveWindow(Handle(), kept.Left, kept.Top, kept.Width(), kept.Height(), FALSE);
    GetWindowRect(Handle(), &FNormalBounds);
    maximize = saved->Maximized;
}

void TMainForm::SaveWindowState()
{
    if (!FRemember || !Handle()) {
        return;
    }
    FRemember = false; // once, at the first of the closing paths
    const bool fullScreen = FBrowserExternalModule && FBrowserExternalModule->FInFullscreen;
    WINDOWPLACEMENT placement{sizeof(placement)};
    GetWindowPlacement(Handle(), &placement);
    const bool maximized = !fullScreen && (IsZoomed(Handle()) || (IsIconic(Handle()) && (placement.flags & WPF_RESTORETOMAXIMIZED)));
    if (!IsZoomed(Handle()) && !IsIconic(Handle()) && !fullScreen) {
        GetWindowRect(Handle(), &FNormalBounds);
    }
    const RECT& b = FNormalBounds;
    const std::string text = Shared::FormatSavedWindow({{b.left, b.top, b.right, b.bottom}, maximized});
    const std::u16string file = WindowStateFile();
    try {
        if (!file.empty() && Shared::ParseSavedWindow(text)) {
            Platform::SystemFileSystem().WriteFile(file, text);
        }
    } catch (...) {
        // not kept: the next start opens where the settings say
    }
}

void TMainForm::FormClose()
{
    SaveWindowState();
    Win32::SetSecondStartHandler(nullptr);
    FBrowserExternalModule.reset();
    FBrowserExternalForm.reset(); // takes the tray icon away
    FBrowserAdapter->Form = nullptr;
    FBrowserForm.reset();
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (FBrowserExternalForm && FBrowserExternalForm->MainWindowMessage(message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
    case WM_CLOSE:
    case kCloseMessage:
        if (FormCloseQuery()) {
            if (FDispatching > 0) {
                // The bridge and the control are on the stack below this message loop:
                // freeing them now would pull them out from under the call in progress.
                FClosePending = true;
            } else {
                FormClose();
                DestroyWindow(Handle());
            }
        }
        return 0;
    case WM_WINDOWPOSCHANGED:
        if (!IsZoomed(Handle()) && !IsIconic(Handle()) &&
            !(FBrowserExternalModule && FBrowserExternalModule->FInFullscreen)) {
            GetWindowRect(Handle(), &FNormalBounds);
        }
        return TRoundedWindow::HandleMessage(message, wParam, lParam);
    case WM_DESTROY:
        FormClose();
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (FBrowserForm && FBrowserForm->Handle()) {
            MoveWindow(FBrowserForm->Handle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        }
        return 0;
    case WM_SYSCOMMAND:
        // The web view is hidden while the window is minimised and shown again on restore.
        if (FBrowserForm && (wParam & 0xFFF0) == SC_MINIMIZE) {
            FBrowserForm->SetWebViewVisible(false);
        } else if (FBrowserForm && (wParam & 0xFFF0) == SC_RESTORE) {
            FBrowserForm->SetWebViewVisible(true);
        }
        return TRoundedWindow::HandleMessage(message, wParam, lParam);
    case WM_SETFOCUS:
        if (FBrowserForm) {
            FBrowserForm->EdgeBrowser().SetFocus();
        }
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (FMinSize.cx > 0) info->ptMinTrackSize.x = FMinSize.cx;
        if (FMinSize.cy > 0) info->ptMinTrackSize.y = FMinSize.cy;
        if (FMaxSize.cx > 0) info->ptMaxTrackSize.x = FMaxSize.cx;
        if (FMaxSize.cy > 0) info->ptMaxTrackSize.y = FMaxSize.cy;
        return 0;
    }
    default:
        return TRoundedWindow::HandleMessage(message, wParam, lParam);
    }
}

bool TMainForm::OnTop() const { return (GetWindowLongW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void TMainForm::SetOnTop(bool onTop)
{
    SetWindowPos(Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TMainForm::State() const
{
    return IsIconic(Handle()) ? TWindowState::Minimized
                              : (IsZoomed(Handle()) ? TWindowState::Maximized : TWindowState::Normal);
}

void TMainForm::SetState(TWindowState state)
{
    ShowWindow(Handle(), state == TWindowState::Maximized   ? SW_MAXIMIZE
                         : state == TWindowState::Minimized ? SW_MINIMIZE
                                                            : SW_RESTORE);
}

std::u16string TMainForm::Title() const
{
    const int length = GetWindowTextLengthW(Handle());
    std::u16string title(size_t(length) + 1, u'\0');
    title.resize(size_t(GetWindowTextW(Handle(), reinterpret_cast<wchar_t*>(title.data()), length + 1)));
    return title;
}

void TMainForm::SetTitle(const std::u16string& title) { SetWindowTextW(Handle(), Win32::W(title)); }

Platform::TBounds TMainForm::Bounds() const
{
    RECT r{};
    GetWindowRect(Handle(), &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

SIZE TMainForm::Constrained(int width, int height) const
{
    if (FMinSize.cx > 0) width = std::max<int>(width, FMinSize.cx);
    if (FMinSize.cy > 0) height = std::max<int>(height, FMinSize.cy);
    if (FMaxSize.cx > 0) width = std::min<int>(width, FMaxSize.cx);
    if (FMaxSize.cy > 0) height = std::min<int>(height, FMaxSize.cy);
    return {width, height};
}

void TMainForm::SetBounds(int left, int top, int width, int height)
{
    const SIZE size = Constrained(width, height);
    MoveWindow(Handle(), left, top, size.cx, size.cy, TRUE);
}

void TMainForm::SetBorder(int code)
{
    FBorder = code;
    const TBorderStyle border = BorderStyle(code);
    const auto style = DWORD(GetWindowLongW(Handle(), GWL_STYLE));
    const auto exStyle = DWORD(GetWindowLongW(Handle(), GWL_EXSTYLE));
    SetWindowLongW(Handle(), GWL_STYLE, LONG((style & ~kBorderBits) | border.Style));
    SetWindowLongW(Handle(), GWL_EXSTYLE, LONG((exStyle & ~kBorderExBits) | border.ExStyle));
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TMainForm::Show() { ShowWindow(Handle(), SW_SHOW); }
void TMainForm::Hide() { ShowWindow(Handle(), SW_HIDE); }

void TMainForm::SecondStart(const Shared::TForwardedStart& start)
{
    // Out of the tray or the taskbar, and to the front; then the page hears of it, if it
    // is a page of the package.
    if (!IsWindowVisible(Handle())) {
        Show();
    }
    BringToFront();
    if (FBrowserExternalModule && FBrowserForm && FBrowserForm->ShowsPackagePage()) {
        FBrowserExternalModule->SecondInstance(start.Args, start.Folder);
    }
}

void TMainForm::BringToFront()
{
    if (IsIconic(Handle())) {
        ShowWindow(Handle(), SW_RESTORE);
    }
    SetForegroundWindow(Handle());
}

} // namespace Folio::Runtime
