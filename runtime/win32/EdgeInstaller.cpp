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

// Deletes the working folder and tells the user the application cannot go on. The ID may
// name a folder that holds files of others too (another program's, or "Temp"): only what
// start-up put there goes, and the folder itself when nothing else is left in it.
void GiveUp(const TApplication& app, Platform::TFileSystem& files, int message)
{
    files.DeleteTree(app.LoaderFolder);
    files.RemoveFile(app.AppDataFolder + std::u16string(kInstallerEntry));
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
    // taken from a file that was already lying in the user's folder.
    const std::u16string installer = app.AppDataFolder + std::u16string(kInstallerEntry);
    const auto written = WritePackagedFile(app.AppArchive, kInstallerEntry, installer, files, false);
    if (written.Outcome != TPackagedFile::Written) {
        GiveUp(app, files, 9);
        return;
    }

    TEdgeInstallerForm waitWindow;
    waitWindow.Create(static_cast<uint32_t>(app.AppSettings.ReadInteger(u"App", u"InstallFormColor", int32_t(0xFF00001A))),
                      app.AppSettings.ReadInteger(u"App", u"InstallIndicatorColor", 1),
                      app.AppSettings.ReadInteger(u"App", u"InstallIndicatorType", 0), nullptr);
    waitWindow.Show();
    TSysUtils::ShellExecAsAdminAndWait(GetActiveWindow(), installer, u"/silent /install");

    if (TSysUtils::CheckEdgeIsInstalled(Shared::LoaderPath)) {
        files.RemoveFile(installer);
        TSysUtils::ShellExec(app.PackageReader->ExePath(), u"");
        return;
    }
    GiveUp(app, files, 9);
}

} // namespace Folio::Runtime
