// Files start-up writes out of the package: the browser loader library, kept between
// runs, and the runtime installer, written afresh each time it is needed. A file is
// written under a temporary name and renamed over the target, so an interrupted write
// or two starts at once never leave a part of it under the real name.
#pragma once

#include "package/ZipArchive.h"
#include "platform/FileSystem.h"

#include <string>

namespace Folio::Runtime {

enum class TPackagedFile {
    Kept,            // the file on disk already held the entry's bytes
    Written,         // written (or replaced) from the package
    EntryMissing,    // the package has no such entry
    EntryUnreadable, // the entry is in the package but cannot be read
    NotWritten,      // the folder does not take the file; Error says why
    InUse,           // a different file is there and cannot be replaced (another start runs it)
};

struct TPackagedFileResult {
    TPackagedFile Outcome;
    std::string Error;
};

// Makes the file at path hold the entry's bytes. With keepMatching, a file whose size and
// CRC-32 equal the entry's is left as it is; any other file there is replaced.
TPackagedFileResult WritePackagedFile(const Shared::TZipArchive& archive, std::u16string_view entryName,
                                      const std::u16string& path, Platform::TFileSystem& files, bool keepMatching);

} // namespace Folio::Runtime
