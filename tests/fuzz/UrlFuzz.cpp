// libFuzzer target: request URIs through the serving rules and the decision which pages
// get native functions. Besides not crashing, a resolved path must be in normal form (no
// dot segments, no empty ones, no control characters, a colon only in a leading drive),
// be its own resolution when written back as a URL, the disk is only asked about places
// under the folder or a drive, and a page trusted is one the package or the folder holds.
#include "browser/RequestServing.h"
#include "package/ZipWriter.h"
#include "tests/support/MemoryFileSystem.h"
#include "util/Case.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

using namespace Folio::Browser;

namespace {

// The executable's folder holds beside.html and a file that cannot be read.
FolioTest::MemoryFileSystem Disk()
{
    FolioTest::MemoryFileSystem disk;
    disk.Files[u"C:\\App\\beside.html"] = "ok";
    disk.Unreadable.insert(u"C:\\App\\locked");
    return disk;
}

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

void CheckNormalForm(const TRequestTarget& t)
{
    const bool startsWithDrive = t.Path.size() >= 2 && t.Path[1] == u':' && (t.Path.size() == 2 || t.Path[2] == u'/');
    Require(t.Absolute == startsWithDrive);
    size_t start = 0;
    bool first = true;
    while (start <= t.Path.size() && !t.Path.empty()) {
        size_t end = t.Path.find(u'/', start);
        if (end == std::u16string::npos) {
            end = t.Path.size();
        }
        const std::u16string_view segment = std::u16string_view(t.Path).substr(start, end - start);
        Require(!segment.empty() && segment != u"." && segment != u"..");
        Require(segment.find_first_not_of(u". ") != std::u16string_view::npos);
        const bool drive = segment.size() == 2 && segment[1] == u':';
        Require(segment.find(u':') == std::u16string_view::npos || (first && drive && t.Absolute));
        first = false;
        start = end + 1;
    }
    for (const char16_t c : t.Path) {
        Require(c >= 0x20 && c != 0x7F && c != u'\\');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string package = [] {
        std::ostringstream out;
        Folio::Shared::TZipWriter writer(out, {"pw", false});
        writer.AddBytes("app/index.html", "<p>hello</p>", 0);
        writer.AddBytes("app/a/b c.js", "let x;", 0);
        writer.Finish();
        return out.str();
    }();
    static Folio::Shared::TZipArchive zip = [] {
        Folio::Shared::TZipArchive z;
        z.SetPasswordBytes("pw");
        z.Open({reinterpret_cast<const uint8_t*>(package.data()), package.size()});
        return z;
    }();
    static FolioTest::MemoryFileSystem disk = Disk();

    const std::u16string uri = Folio::Shared::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    const TRequestTarget target = ParseRequestUri(uri);
    Require(IsPackagePageUri(uri) == (target.Kind != TRequestKind::NotOurs));
    if (target.Kind == TRequestKind::File) {
        CheckNormalForm(target);
        // Written back as a URL (only what would be read as an escape, query or
        // fragment escaped), the path resolves to itself.
        std::u16string again = u"file:///";
        for (const char16_t c : target.Path) {
            again += c == u'%' ? u"%25" : c == u'?' ? u"%3F" : c == u'#' ? u"%23" : std::u16string(1, c);
        }
        const TRequestTarget twice = ParseRequestUri(again);
        Require(twice.Kind == TRequestKind::File && twice.Path == target.Path && twice.Absolute == target.Absolute);
    }

    TServingContext ctx;
    ctx.Archive = &zip;
    ctx.AppDirName = u"app";
    ctx.AppDirPath = u"C:\\App\\";
    ctx.FileSystem = &disk;
    ctx.DiskFilesAllowed = size % 2 == 0;
    disk.Asked.clear();
    const auto response = ServeFileRequest(uri, ctx);
    if (response) {
        const int s = response->StatusCode;
        Require(s == 200 || s == 400 || s == 403 || s == 500);
        Require(s == 200 || response->Body.empty());
    }
    for (const auto& asked : disk.Asked) {
        Require(ctx.DiskFilesAllowed && target.Kind == TRequestKind::File);
        Require(asked.rfind(u"C:\\App\\", 0) == 0 || target.Absolute);
        Require(asked.find(u"\\..\\") == std::u16string::npos);
    }

    disk.Asked.clear();
    const bool trusted = IsPackagePage(uri, ctx);
    for (const auto& asked : disk.Asked) {
        Require(Folio::Shared::StartsTextAscii(asked, u"C:\\App\\") && asked.size() > 7);
    }
    if (trusted) {
        Require(target.Kind == TRequestKind::File && !target.Path.empty());
        const bool entry = !target.Absolute && zip.Find(u"app/" + target.Path) >= 0;
        Require(entry || disk.Asked.size() == 1);
        // What is trusted is served from the package or the folder, never refused.
        ctx.DiskFilesAllowed = true;
        const auto served = ServeFileRequest(uri, ctx);
        Require(served && (served->StatusCode == 200 || served->StatusCode == 500));
    }
    return 0;
}
