// TMainForm: the application's one top-level window. It builds the running application
// (the bridge module and the browser form that fills it), takes its caption, size,
// position, border and stacking from the settings, opens the start page (or the URL a
// page asked a new window for), follows the page's title when asked to, and closes only
// when the page agrees, or when no page is there to ask.
#pragma once

#include "bridge/BrowserExternalModule.h"
#include "browser/win32/BrowserForm.h"
#include "package/AppSettings.h"
#include "package/ZipArchive.h"
#include "platform/MainWindowHost.h"
#include "platform/win32/FileDialogs.h"
#include "platform/win32/RoundedWindow.h"
#include "ui/win32/BrowserExternalForm.h"
#include "util/ForwardedStart.h"
#include "util/SavedWindow.h"

#include <memory>
#include <string>

namespace Folio::Runtime {

// What the window shows, handed in by start-up: the package's identity, settings and
// files (which outlive the window), and the page it opens first.
struct TMainFormApp {
    std::u16string AppID, AppName, AppDirName;
    const Shared::TAppSettings& Settings;
    const Shared::TZipArchive& Archive;
    std::u16string StartPageURL;
    std::u16string AppDataFolder; // the app's own per-user folder, with its backslash
};

class TMainForm final : public Win32::TRoundedWindow, public Platform::TMainWindowHost {
public:
    explicit TMainForm(TMainFormApp app);
    ~TMainForm() override;

    // Creates and shows the window with everything in it; false when the window cannot
    // be made.
    bool CreateForm();
    void AppCloseRequest();
    bool CanClose() const noexcept { return FCanClose; }

    // TMainWindowHost, as the page's window functions see the window.
    bool OnTop() const override;
    void SetOnTop(bool onTop) override;
    Platform::TWindowState State() const override;
    void SetState(Platform::TWindowState state) override;
    std::u16string Title() const override;
    void SetTitle(const std::u16string& title) override;
    Platform::TBounds Bounds() const override;
    void SetBounds(int left, int top, int width, int height) override;
    int Border() const override { return FBorder; }
    void SetBorder(int code) override;
    void Show() override;
    void Hide() override;
    void BringToFront() override;
    bool TrayIconVisible() const override { return FBrowserExternalForm && FBrowserExternalForm->TrayIconVisible(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class TBrowserAdapter;

    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    // Another start, ended by the single-instance rule, handed over its command line.
    void SecondStart(const Shared::TForwardedStart& start);
    void EdgeBrowserDocumentTitleChanged(const std::u16string& title);
    void EdgeBrowserWebMessageReceived(Shared::TWebMessageReceivedEventArgs& args);
    bool PageCanAnswer();
    int ReadSetting(std::u16string_view key, int defaultValue) const;
    // The size within the window's limits.
    SIZE Constrained(int width, int height) const;

    TMainFormApp FApp;
    bool FCanClose = false;
    // Page messages being handled: a dialog's message loop inside one can bring a close
    // request, which then waits (FClosePending) until the outermost message is done.
    int FDispatching = 0;
    bool FClosePending = false;
    // The window's place between runs ([App] RememberWindow=1).
    std::u16string WindowStateFile() const;
    void RestoreWindowState(bool& maximize);
    void SaveWindowState();
    bool FRemember = false;
    RECT FNormalBounds{}; // the last bounds while neither maximised, minimised nor full screen
    int FBorder = 2;
    SIZE FMinSize{}, FMaxSize{}; // 0: no limit
    std::unique_ptr<TBrowserAdapter> FBrowserAdapter;
    Win32::TCommonItemDialogs FDialogs;
    std::unique_ptr<TBrowserExternalForm> FBrowserExternalForm; // menus and tray icon, for the bridge
    std::unique_ptr<Bridge::TBrowserExternalModule> FBrowserExternalModule;
    std::unique_ptr<Shared::TBrowserForm> FBrowserForm;
};

} // namespace Folio::Runtime
