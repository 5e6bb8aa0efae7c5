// Files start-up writes out of the package: the browser loader library, kept between
// runs, and the runtime installer, written afresh each time it is needed. A file is
// written under a temporary name and renamed over the target, so an interrupted write
// or two starts at once never leave a part of it under the real name. The file is then
// held open without write or delete sharing and compared byte for byte with the entry:
// what the caller loads or runs while it keeps the hold is exactly the package's entry,
// whatever another program of the user did to the folder before.
#pragma once

#include "package/ZipArchive.h"
#include "platform/FileSystem.h"

#include <memory>
#include <string>

namespace Folio::Runtime {

enum class TPackagedFile {
    Kept,            // the file on disk already held the entry's bytes
    Written,         // written (or replaced) from the package
    EntryMissing,    // the package has no such entry
    EntryUnreadable, // the entry is in the package but cannot be read
    NotWritten,      // the folder does not take the file, or it changed as it was written; Error says why
    InUse,           // a different file is there and cannot be replaced (another start runs it); Error says so
};

struct TPackagedFileResult {
    TPackagedFile Outcome;
    std::string Error;
    // Kept or Written: the file, held until this is dropped.
    std::unique_ptr<Platform::THeldFile> Held;
};

// Makes the file at path hold the entry's bytes. With keepMatching, a file whose bytes
// equal the entry's is left as it is; any other file there is replaced.
TPackagedFileResult WritePackagedFile(const Shared::TZipArchive& archive, std::u16string_view entryName,
                                      const std::u16string& path, Platform::TFileSystem& files, bool keepMatching);

} // namespace Folio::Runtime
