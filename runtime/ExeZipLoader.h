// Start-up: the package appended to the running executable, opened with the package
// password, its settings, and the process-wide values that the rest of the runtime
// reads. They live until the process ends.
#pragma once

#include "package/AppSettings.h"
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/ZipArchive.h"

#include <memory>
#include <string>

namespace Folio::Runtime {

// The process-wide values of start-up. Members go in reverse order of their clean-up:
// the archive first, then the mapping it reads, the package reader and the settings,
// then the texts.
struct TApplication {
    std::u16string AppID, AppName, AppDirName, AppIndexHtml;
    std::u16string AppDataFolder; // the local application-data folder, AppID and "\"
    std::u16string LoaderFolder;  // AppDataFolder and "Win32\"
    Shared::TAppSettings AppSettings;
    std::unique_ptr<Shared::TExeUtils> PackageReader;
    Shared::TMappedFile Mapping;  // the executable, mapped read-only; AppArchive reads in place
    Shared::TZipArchive AppArchive;
    std::string Error;            // why the package could not be opened
};

// The one of this process; it lives until the process ends (never destroyed).
TApplication& Application();

enum class TLoadResult {
    Loaded,
    NothingAttached,   // no package after the image
    PackageUnreadable, // the executable file could not be mapped, or the package cannot fit in memory
    ArchiveInvalid,    // the appended bytes are not an archive the reader opens
    NoSettings,        // "kiv.ini" missing, unreadable or empty
    IdentityMissing,   // ID, Name or DirName empty, or an ID that cannot name a folder
};

// Opens the package of `exe` into `app` and reads its identity. Error says why the
// package could not be read.
TLoadResult OpenPackage(Shared::TExeUtils& exe, TApplication& app);

} // namespace Folio::Runtime
