// Serving the package's files to the browser: which file a file:/// request names,
// where it is found (the package, the executable's folder, the disk) and the answer.
// Portable; the browser form wraps the answer in a COM stream and a WebView2 response.
#pragma once

#include "browser/ByteSource.h"
#include "package/ZipArchive.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
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

// The part of a body of a given size that a "Range" header asks for. One range of
// bytes ("bytes=a-b", "bytes=a-", "bytes=-n") is honoured; several ranges, another
// unit or text that does not parse ask for the whole body, as browsers accept.
struct TByteRange {
    enum class TKind { Whole, Part, Unsatisfiable };
    TKind Kind = TKind::Whole;
    uint64_t First = 0; // Part: first and last byte, inclusive, inside the body
    uint64_t Last = 0;
};
TByteRange ParseRangeHeader(std::u16string_view header, uint64_t size);

// Package entries and disk files larger than this are streamed as the browser reads
// them; smaller ones are read (the part asked for) and checked before the answer, so
// they never go out partial.
constexpr uint64_t kStreamedEntryMinimum = 1024 * 1024;

struct TServingContext {
    const Shared::TZipArchive* Archive = nullptr;  // the package; none: nothing from it
    std::u16string AppDirName;                     // archive folder of the web files
    std::u16string AppDirPath;                     // the executable's folder, trailing "\"
    Platform::TFileSystem* FileSystem = nullptr;   // none: nothing from the disk
    // Files outside the package are served only to pages of the package: true when
    // the top-level document is a file:/// page, or is being navigated to one.
    bool DiskFilesAllowed = false;
    std::u16string Range;  // the request's "Range" header; empty: none
    uint64_t StreamAbove = kStreamedEntryMinimum;  // entries and files of more bytes are streamed
};

struct TServedResponse {
    int StatusCode = 200;
    std::u16string ReasonPhrase;    // "OK", "Bad Request", ...
    // "Content-Type: text/html; charset=utf-8", further lines after "\r\n"; empty on
    // errors. Files that honour ranges say "Accept-Ranges: bytes".
    std::u16string Headers;
    std::vector<uint8_t> Body;      // the bytes answered; empty on errors and when streamed
    // A streamed body: SourceLength bytes of the entry or file from SourceStart, read
    // (and decoded) as the browser reads them (browser/StreamedBody.h). Null when the
    // body is in Body.
    std::shared_ptr<TByteSource> Source;
    uint64_t SourceStart = 0;
    uint64_t SourceLength = 0;
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
// Entries and disk files over ctx.StreamAbove bytes are answered with a source instead
// of bytes: a failure found while the browser reads (a CRC mismatch at the end, a file
// that became shorter) breaks the body. Only the part of a disk file that is answered
// is ever read, so memory does not grow with its size. A disk file that is there but
// cannot be opened answers 500.
// A Range (ctx.Range) is honoured for stored entries and disk files: 206 with
// "Content-Range: bytes a-b/SIZE" and "Content-Length", or 416 with
// "Content-Range: bytes */SIZE" when it lies beyond the end; compressed entries,
// which cannot seek, answer 200 with the whole file.
std::optional<TServedResponse> ServeFileRequest(std::u16string_view uri, const TServingContext& ctx);

} // namespace Folio::Browser
