// Serving the package's files to the browser: which file a file:/// request names,
// where it is found (the package, the executable's folder, the disk) and the answer.
// Portable; the browser form wraps the answer in a COM stream and a WebView2 response.
#pragma once

#include "package/ZipArchive.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Browser {

// A file: URI with an empty host ("file:///..."), scheme in any case: a request these
// rules answer. "file://server/share/page.html" and other schemes are not.
bool IsPackagePageUri(std::u16string_view uri);

enum class TRequestKind {
    NotOurs,  // not a file:/// URI: the browser handles it
    Refused,  // names no file we would serve: control characters, bad escapes, stray ":"
    File,
};

// What a request URI names, before anything is looked up.
struct TRequestTarget {
    TRequestKind Kind = TRequestKind::NotOurs;
    // Decoded, with "." and ".." resolved and empty segments dropped, joined by "/":
    // "img/logo.png", "my page.html", "C:/dir/a.txt"; empty for the root itself.
    std::u16string Path;
    bool Absolute = false;  // starts with a drive ("C:"): a file anywhere on the disk
};

// The query and fragment are dropped, then the path is percent-decoded as UTF-8;
// escapes that are not two hex digits stay as they are. Invalid UTF-8, a control
// character (decoded or not) and a ":" anywhere but after a leading drive letter
// refuse the request. ".." never climbs above the root (or the drive).
TRequestTarget ParseRequestUri(std::u16string_view uri);

// The content type a file is served with: the MIME table's type for the file name's
// extension, with .js and .mjs always "application/javascript".
std::u16string ServedMimeType(std::u16string_view fileName);

struct TServingContext {
    const Shared::TZipArchive* Archive = nullptr;  // the package; none: nothing from it
    std::u16string AppDirName;                     // archive folder of the web files
    std::u16string AppDirPath;                     // the executable's folder, trailing "\"
    Platform::TFileSystem* FileSystem = nullptr;   // none: nothing from the disk
    // Files outside the package are served only to pages of the package: true when
    // the top-level document is a file:/// page, or is being navigated to one.
    bool DiskFilesAllowed = false;
};

struct TServedResponse {
    int StatusCode = 200;
    std::u16string ReasonPhrase;    // "OK", "Bad Request", ...
    std::u16string Headers;         // "Content-Type: text/html; charset=utf-8"; empty on errors
    std::vector<uint8_t> Body;      // the whole file; empty on errors
};

// Whether the page at uri is one of the package's own, the pages that get native
// functions: a file:/// URI that these rules resolve to an entry of the package, or to
// a file that exists below the executable's folder (given as a relative path, or as a
// drive path inside that folder). A local file elsewhere (one dropped on the window, a
// download) and a refused URI are not; DiskFilesAllowed plays no part.
bool IsPackagePage(std::u16string_view uri, const TServingContext& ctx);

// The answer to a request, or nothing when the browser should handle it itself (not
// a file:/// URI, or a file found nowhere). In order: the package entry
// AppDirName + "/" + path, then the executable's folder, then, for a drive path, the
// file itself. 200 with the bytes; 500 when a file that is there cannot be read (a
// damaged entry, a wrong password), never partial bytes; 400 for a refused URI; 403
// when a file outside the package is asked for while disk files are not allowed.
std::optional<TServedResponse> ServeFileRequest(std::u16string_view uri, const TServingContext& ctx);

} // namespace Folio::Browser
