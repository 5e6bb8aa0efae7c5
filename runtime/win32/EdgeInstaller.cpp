// The browser-runtime installer branch (see EdgeInstaller.h).
#include "runtime/win32/EdgeInstaller.h"

#include "browser/WebView2Loader.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SysUtils.h"
#include "runtime/LocalizedMessages.h"
#include "runtime/PackagedFile.h"
#include "runtime/win32/EdgeInstallerForm.h"
#include "runtime/win32/Startup.h"

#include <windows.h>

namespace Folio::Runtime {

using Win32::TSysUtils;

namespace {

constexpr std::u16string_view kInstallerEntry = u"WebView2Installer.exe";

// Removes what start-up wrote and tells the user the application cannot go on. The ID
// may name a folder that holds files of others too (another program's, or "Temp"), and
// the browser keeps the app's own data (its storage, its caches) in the loader's folder:
// only the loader library and the installer go, and each folder only when nothing else
// is left in it.
void GiveUp(const TApplication& app, Platform::TFileSystem& files, int message)
{
    ReleaseLoaderFile();
    if (!Shared::LoaderPath.empty()) {
        files.RemoveFile(Shared::LoaderPath);
    }
    files.RemoveFile(app.AppDataFolder + std::u16string(kInstallerEntry));
    RemoveDirectoryW(Win32::W(app.LoaderFolder));
    RemoveDirectoryW(Win32::W(app.AppDataFolder));
    ShowStartupError(LocalizedMessage(message));
}

} // namespace

void RunInstallerBranch(TApplication& app, Platform::TFileSystem& files)
{
    // Without an installer in the package there is nothing to offer.
    if (!app.AppSettings.ReadBool(u"App", u"EdgeInstaller", true) || app.AppArchive.Find(kInstallerEntry) < 0) {
        ShowStartupError(LocalizedMessage(6));
        return;
    }
    const int answer = ShowLocalizedDialog(LocalizedMessage(7), TMsgDlgType::mtConfirmation,
                                           {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbCancel}, LocalizedMessage(2),
                                           {LocalizedMessage(3), LocalizedMessage(4)});
    if (answer == mrCancel) {
        GiveUp(app, files, 8);
        return;
    }

    // The installer runs elevated: it is always written afresh from the package, never
    // taken from a file that was already lying in the user's folder, and held from the
    // comparison with the package until its process runs, so that nothing can swap it
    // in between.
    const std::u16string installer = app.AppDataFolder + std::u16string(kInstallerEntry);
    auto written = WritePackagedFile(app.AppArchive, kInstallerEntry, installer, files, false);
    if (written.Outcome != TPackagedFile::Written) {
        GiveUp(app, files, 9);
        return;
    }

    TEdgeInstallerForm waitWindow;
    waitWindow.Create(static_cast<uint32_t>(app.AppSettings.ReadInteger(u"App", u"InstallFormColor", int32_t(0xFF00001A))),
                      app.AppSettings.ReadInteger(u"App", u"InstallIndicatorColor", 1),
                      app.AppSettings.ReadInteger(u"App", u"InstallIndicatorType", 0), nullptr);
    waitWindow.Show();
    TSysUtils::ShellExecAsAdminAndWait(GetActiveWindow(), installer, u"/silent /install",
                                       [&written] { written.Held.reset(); });
    written.Held.reset(); // also when it did not start

    if (BrowserRuntimeInstalled()) {
        files.RemoveFile(installer);
        TSysUtils::ShellExec(app.PackageReader->ExePath(), u"");
        return;
    }
    GiveUp(app, files, 9);
}

} // namespace Folio::Runtime
