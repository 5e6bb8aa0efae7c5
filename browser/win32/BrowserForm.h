// TBrowserForm: the borderless child window that holds the browser control and makes a
// packaged web application run in it: it injects the runtime's scripts, applies the
// browser settings, answers every file:/// request from the package (or the disk), turns
// the page's new windows into new runtime processes and grants the package's pages
// their permissions. A marquee bar at the bottom shows until the first page is there.
#pragma once

#include "browser/EdgeBrowser.h"
#include "browser/RequestServing.h"
#include "browser/TopDocument.h"
#include "package/ZipArchive.h"
#include "platform/win32/Window.h"

#include <deque>
#include <memory>
#include <string>

namespace Folio::Shared {

class TBrowserForm : public Win32::TWindow {
public:
    TBrowserForm();
    ~TBrowserForm() override;

    // Creates the form as a child filling `parent`'s client area; giving the control its
    // parent starts the creation of the browser view.
    bool CreateForm(HWND parent);

    TEdgeBrowser& EdgeBrowser() { return *FEdgeBrowser; }
    bool ProgressBarVisible() const;
    // Whether the committed top-level document is one of the package's own pages (the
    // pages the bridge serves): only such a page takes part in the close handshake,
    // calls native functions, opens runtime windows, gets permissions and disk files.
    bool ShowsPackagePage();
    // The committed top-level document's id: replies go to the document that called.
    uint64_t DocumentId() const { return FTopDocument.Id(); }
    // Shows or hides the web view without changing the window (while minimised).
    void SetWebViewVisible(bool visible);

    // Set by the owner before the view is ready; read once, when it is.
    const TZipArchive* ExeZip = nullptr;
    bool IsRuntime = false;
    std::u16string AppDirPath; // the executable's folder, with its backslash
    std::u16string AppDirName;
    bool AllowDebug = false;
    bool AllowZoom = false;
    bool WithExternal = false;
    std::u16string RuntimeAppID;
    std::u16string StartPageURL;
    bool HandleRequests = false;
    bool AllowContextMenu = false;
    std::u16string WebviewJavascript;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void EdgeBrowserCreateWebViewCompleted(HRESULT result);
    void InjectScripts();
    void EdgeBrowserWebResourceRequested(TWebResourceRequestedEventArgs& args);
    void EdgeBrowserNewWindowRequested(TNewWindowRequestedEventArgs& args);
    void EdgeBrowserPermissionRequested(TPermissionRequestedEventArgs& args);
    void EdgeBrowserProcessFailed(COREWEBVIEW2_PROCESS_FAILED_KIND kind);
    void Recover(COREWEBVIEW2_PROCESS_FAILED_KIND kind);
    void EdgeBrowserContentLoading();
    void EdgeBrowserNavigationCompleted();
    // The rules that tell the package's pages, and serve them.
    Browser::TServingContext Pages() const;
    void LayOut();

    std::unique_ptr<TEdgeBrowser> FEdgeBrowser;
    HWND FProgressBar = nullptr;
    Browser::TTopDocument FTopDocument;
    Browser::TRateLimit FNewWindows; // the runtime windows the pages opened lately
    std::deque<ULONGLONG> FRecoveries; // when failed processes were last replaced or reloaded
};

} // namespace Folio::Shared
