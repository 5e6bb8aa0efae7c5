// Start-up: the package appended to the running executable, opened with the package
// password, and its settings. The steps report how far they got so that the program
// entry can end with a code that tells.
#pragma once

#include "package/AppSettings.h"
#include "package/ExeUtils.h"
#include "package/MemoryStream.h"
#include "package/ZipArchive.h"

#include <string>

namespace Folio::Runtime {

enum class TLoadResult {
    Loaded = 0,
    NothingAttached = 10,   // no package after the image
    PackageUnreadable = 11, // the executable file could not be read
    ArchiveInvalid = 12,    // the appended bytes are not an archive the reader opens
    NoSettings = 13,        // "kiv.ini" missing, unreadable or empty
    IdentityMissing = 14,   // ID, Name or DirName empty
};

// The process-wide package state; lives until the process ends.
struct TPackage {
    Shared::TMemoryStream Stream; // the archive's bytes; AppArchive reads from it
    Shared::TZipArchive AppArchive;
    Shared::TAppSettings AppSettings;
    std::u16string AppID, AppName, AppDirName, AppIndexHtml;
    std::string Error;            // what went wrong, for the user or a log
};

TLoadResult LoadExeZip(Shared::TExeUtils& exe, TPackage& package);

} // namespace Folio::Runtime
