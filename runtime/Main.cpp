// FolioRuntime's program entry. For now it runs the package steps of start-up and ends
// with a code that tells how far they got (0 when the settings were read); the window
// and the browser come on top of this.
#include "runtime/ExeZipLoader.h"
#include "util/TextCodecs.h"

#include <windows.h>

namespace {

// A line on standard output when there is one (a console or a pipe); for diagnostics.
void Report(const std::string& line)
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = "FolioRuntime: " + line + "\r\n";
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using Folio::Runtime::TLoadResult;
    using Folio::Shared::Utf16ToUtf8;

    Folio::Shared::TExeUtils exe;
    Folio::Runtime::TPackage package;
    const TLoadResult result = Folio::Runtime::LoadExeZip(exe, package);
    switch (result) {
    case TLoadResult::Loaded:
        Report("package loaded: ID=" + Utf16ToUtf8(package.AppID) + " Name=" + Utf16ToUtf8(package.AppName) +
               " DirName=" + Utf16ToUtf8(package.AppDirName) + " entries=" +
               std::to_string(package.AppArchive.Count()));
        break;
    case TLoadResult::NothingAttached: Report("nothing attached"); break;
    case TLoadResult::PackageUnreadable: Report("package unreadable: " + package.Error); break;
    case TLoadResult::ArchiveInvalid: Report("archive invalid: " + package.Error); break;
    case TLoadResult::NoSettings: Report("no settings"); break;
    case TLoadResult::IdentityMissing: Report("ID, Name or DirName missing"); break;
    }
    return static_cast<int>(result);
}
