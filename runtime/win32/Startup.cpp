// Start-up on Windows (see Startup.h).
#include "runtime/win32/Startup.h"

#include "browser/BuiltinLoader.h"
#include "browser/WebView2Loader.h"
#include "platform/DebugOutput.h"
#include "platform/FileSystem.h"
#include "platform/win32/Handles.h"
#include "platform/win32/InstanceChannel.h"
#include "platform/win32/SysUtils.h"
#include "platform/win32/WindowSlots.h"
#include "runtime/ExeZipLoader.h"
#include "runtime/LocalizedMessages.h"
#include "runtime/PackagedFile.h"
#include "runtime/StartupRules.h"
#include "runtime/win32/EdgeInstaller.h"
#include "runtime/win32/RequirePasswordForm.h"
#include "ui/themes/win32/StyleEngine.h"
#include "util/TextCodecs.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace Folio::Runtime {

using Win32::TSysUtils;
using Win32::W;

std::vector<std::u16string> CommandLineArguments()
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::u16string> args;
    for (int i = 1; argv && i < count; ++i) {
        args.push_back(Win32::U16(argv[i]));
    }
    LocalFree(argv);
    return args;
}

void ShowStartupError(const std::u16string& text)
{
    // {Yes} captioned "Accept": Escape does not press it, so the message is not dismissed by accident.
    ShowLocalizedDialog(text, TMsgDlgType::mtError, {TMsgDlgBtn::mbYes}, LocalizedMessage(1), {LocalizedMessage(3)});
}

namespace {

constexpr std::u16string_view kLoaderEntry = u"WebView2LoaderWin32.dll";

std::unique_ptr<Platform::THeldFile>& HeldLoader()
{
    static std::unique_ptr<Platform::THeldFile> held;
    return held;
}

// Ends start-up for a package that cannot serve: the message every such case shows.
bool NotAValidApplication()
{
    ShowStartupError(LocalizedMessage(5));
    return false;
}

bool PrepareWorkingFolder(TApplication& app, Platform::TFileSystem& files)
{
    const std::u16string localAppData = TSysUtils::GetLocalAppDataDirPath();
    // "\" alone means the folder is unknown: the ID would then name a folder at the root.
    if (localAppData.size() < 2) {
        ShowStartupError(u"Cannot find the local application-data folder.");
        return false;
    }
    app.AppDataFolder = localAppData + app.AppID + u"\\";
    files.ForceDirectories(app.AppDataFolder);
    app.LoaderFolder = app.AppDataFolder + u"Win32\\";
    files.ForceDirectories(app.LoaderFolder);

    // A package without Microsoft's loader library uses the built-in loader: nothing is
    // written, and the installed runtime is found through the registry.
    if (app.AppArchive.Find(kLoaderEntry) < 0) {
        Shared::LoaderSource = Shared::TLoaderSource::BuiltIn;
        Shared::LoaderPath.clear();
        return true;
    }
    Shared::LoaderSource = Shared::TLoaderSource::Library;
    Shared::LoaderPath = app.LoaderFolder + std::u16string(kLoaderEntry);

    auto loader = WritePackagedFile(app.AppArchive, kLoaderEntry, Shared::LoaderPath, files, true);
    if (loader.Outcome == TPackagedFile::InUse) {
        // A running instance of another version holds a different library (or the file
        // cannot be replaced): this version's goes beside it, under a name of its own.
        const auto& entry = app.AppArchive.Entry(size_t(app.AppArchive.Find(kLoaderEntry)));
        char tag[16];
        std::snprintf(tag, sizeof tag, "-%08x", unsigned(entry.Crc32));
        Shared::LoaderPath = app.LoaderFolder + u"WebView2LoaderWin32" + std::u16string(tag, tag + 9) + u".dll";
        loader = WritePackagedFile(app.AppArchive, kLoaderEntry, Shared::LoaderPath, files, true);
    }
    switch (loader.Outcome) {
    case TPackagedFile::Kept:
    case TPackagedFile::Written:
        // Held from the check until the process ends: the library loaded from this path
        // is the one compared with the package.
        HeldLoader() = std::move(loader.Held);
        return true;
    case TPackagedFile::EntryMissing:
    case TPackagedFile::EntryUnreadable:
        return NotAValidApplication();
    case TPackagedFile::NotWritten:
    case TPackagedFile::InUse:
        ShowStartupError(Shared::Utf8ToUtf16(loader.Error));
        return false;
    }
    return false;
}

// The look of the windows: the engine first, so that every window from here on wears
// the theme; a name other than exactly "Windows" is looked up without regard to case.
void ApplyStartupTheme(const std::u16string& name)
{
    Ui::InstallStyleEngine(&ShowStartupError);
    if (name != u"Windows") {
        Ui::StyleManager().TrySetStyle(name, true);
    }
}

void SetBrowserEnvironment(const TApplication& app)
{
    const auto arguments = app.AppSettings.ReadString(u"App", u"WebviewArguments", u"");
    for (const auto& [name, value] : BrowserEnvironment(app.LoaderFolder, arguments)) {
        const std::u16string variable(name);
        SetEnvironmentVariableW(W(variable), value.empty() ? nullptr : W(value));
    }
}

} // namespace

void ReleaseLoaderFile() { HeldLoader().reset(); }

bool BrowserRuntimeInstalled()
{
    if (Shared::LoaderSource == Shared::TLoaderSource::BuiltIn) {
        return Browser::FindSystemRuntime().has_value();
    }
    return TSysUtils::CheckEdgeIsInstalled(Shared::LoaderPath);
}

bool LoadExeZip(const std::vector<std::u16string>& args)
{
    TApplication& app = Application();
    app.PackageReader = std::make_unique<Shared::TExeUtils>();
    switch (OpenPackage(*app.PackageReader, app)) {
    case TLoadResult::Loaded: break;
    case TLoadResult::NothingAttached: return NotAValidApplication();
    case TLoadResult::PackageUnreadable:
    case TLoadResult::ArchiveInvalid: ShowStartupError(Shared::Utf8ToUtf16(app.Error)); return false;
    case TLoadResult::NoSettings:
    case TLoadResult::IdentityMissing: return false;
    }

    ApplyStartupTheme(app.AppSettings.ReadString(u"App", u"Theme", u"Windows"));

    Platform::TFileSystem& files = Platform::SystemFileSystem();
    if (!PrepareWorkingFolder(app, files)) {
        return false;
    }
    SetBrowserEnvironment(app);

    if (!BrowserRuntimeInstalled()) {
        RunInstallerBranch(app, files);
        return false;
    }

    if (!ClassifyArguments(args, app.AppID).SkipPassword) {
        const auto password = app.AppSettings.ReadString(u"App", u"Password", u"");
        if (!password.empty() && !AskApplicationPassword(app.AppName, password)) {
            return false;
        }
    }
    return true;
}

bool PassesSingleInstanceRule(const std::vector<std::u16string>& args)
{
    const TApplication& app = Application();
    const bool opensUrl = ClassifyArguments(args, app.AppID).OpensUrl;
    // A window a page opened takes one of the few slots of such windows, or does not
    // open: a page, or a chain of windows opening windows, cannot flood the desktop.
    if (opensUrl && !Win32::ClaimWindowSlot(app.AppID)) {
        Platform::DebugOutput("Folio: too many windows opened by pages are open; this one does not start");
        return false;
    }
    if (app.AppSettings.ReadBool(u"App", u"AllowInstances", false)) {
        return true;
    }
    // The handle stays open until the process ends: it is the mark of this instance.
    static Win32::UniqueKernelHandle mutex;
    HANDLE created = CreateMutexW(nullptr, FALSE, W(app.AppID));
    const DWORD error = GetLastError();
    mutex.Reset(created);
    // A mutex that cannot be made (the name taken by another kind of object, or by a
    // process of higher rights) is treated as another instance, never as none.
    const bool another = !created || error == ERROR_ALREADY_EXISTS;
    if (!another) {
        // The first instance: later starts hand it their command line.
        if (!Win32::ListenForSecondStarts(app.AppID)) {
            Platform::DebugOutput("Folio: later starts cannot reach this instance (the channel's name is taken)");
        }
        return true;
    }
    if (opensUrl) {
        return true;
    }
    // Ended by the rule: the running instance comes forward and hears what this start
    // was given and where, so that a file or link opened with the app is not lost.
    wchar_t folder[MAX_PATH * 4] = {};
    const DWORD length = GetCurrentDirectoryW(DWORD(std::size(folder)), folder);
    Win32::ForwardToRunningInstance(
        app.AppID, {args, length > 0 && length < std::size(folder) ? Win32::U16(folder) : std::u16string()});
    return false;
}

} // namespace Folio::Runtime
