// FolioRuntime's program entry: start-up, the single-instance rule, then the main window
// and its message loop. Every end is exit code 0; no exception leaves the entry: an
// unexpected one is shown to the user as its text.
#include "runtime/ExeZipLoader.h"
#include "runtime/StartupRules.h"
#include "runtime/win32/Startup.h"
#include "ui/win32/MainForm.h"
#include "util/TextCodecs.h"

#include <float.h>
#include <ole2.h>
#include <windows.h>
#include <commctrl.h>

#include <exception>

namespace {

int Run()
{
    const auto args = Folio::Runtime::CommandLineArguments();
    if (!Folio::Runtime::LoadExeZip(args) || !Folio::Runtime::PassesSingleInstanceRule(args)) {
        return 0;
    }
    CoInitialize(nullptr);
    const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const Folio::Runtime::TApplication& app = Folio::Runtime::Application();
    Folio::Runtime::TMainForm mainForm({app.AppID, app.AppName, app.AppDirName, app.AppSettings, app.AppArchive,
                                        Folio::Runtime::StartPageUrl(args, app.AppID, app.AppIndexHtml),
                                        app.AppDataFolder});
    if (!mainForm.CreateForm()) {
        return 0;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // First thing: the current folder leaves the search for libraries named without a
    // path (ours are loaded by full path; this covers code of others in the process).
    // The rest of the default search stays: SetDefaultDllDirectories would also keep the
    // browser's libraries, loaded by their full paths, from finding their dependencies.
    SetDllDirectoryW(L"");
    // The browser and its scripts expect the floating-point exceptions masked.
    _control87(_MCW_EM, _MCW_EM);
    OleInitialize(nullptr);
    try {
        return Run();
    } catch (const std::exception& e) {
        Folio::Runtime::ShowStartupError(Folio::Shared::Utf8ToUtf16(e.what()));
    } catch (...) {
        Folio::Runtime::ShowStartupError(u"Unexpected error");
    }
    return 0;
}
