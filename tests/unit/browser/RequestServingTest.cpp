// Request serving: URLs in, the file chosen, its type and the status out, over a package
// written like folio-pack writes it and a disk that answers from memory.
#include "browser/RequestServing.h"
#include "browser/StreamedBody.h"

#include "package/ZipWriter.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace Folio::Browser;
using Folio::Shared::TStrUtils;
using Folio::Shared::TZipArchive;
using Folio::Shared::TZipWriter;
using Folio::Shared::Utf16ToUtf8;
using Folio::Shared::ZipError;

namespace {

const std::string kPassword = "serve-Pa55";

using FolioTest::MemoryFileSystem;

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Each file's content names where it came from, so a served body tells the source.
std::string Package()
{
    std::ostringstream out;
    TZipWriter writer(out, {kPassword, false});
    for (const char* name : {"app/index.html", "app/my page.html", "app/caf\xC3\xA9.txt", "app/100%zz.txt",
                             "app/a/b.txt", "app/img/logo.PNG", "app/lib/app.JS", "app/mod.mjs", "app/data.json",
                             "app/img.v2/logo", "other/index.html"}) {
        writer.AddBytes(name, std::string("entry:") + name, TZipWriter::DosDateTime(1600000000));
    }
    writer.Finish();
    return out.str();
}

struct Fixture {
    std::string Bytes = Package();
    TZipArchive Zip;
    MemoryFileSystem Disk;
    TServingContext Ctx;

    Fixture()
    {
        Zip.SetPasswordBytes(kPassword);
        EXPECT_EQ(Zip.Open(Span(Bytes)), ZipError::None);
        for (const std::u16string path : {u"C:\\App\\index.html", u"C:\\App\\beside.html", u"C:\\App\\sub\\page.htm",
                                          u"C:\\dir\\a.txt", u"C:\\App\\bad.txt", u"C:\\secret.txt",
                                          u"C:\\App\\add.WASM"}) {
            Disk.Files[path] = "disk:" + Utf16ToUtf8(path);
        }
        Disk.Unreadable.insert(u"C:\\App\\locked.txt");
        Ctx.Archive = &Zip;
        Ctx.AppDirName = u"app";
        Ctx.AppDirPath = u"C:\\App\\";
        Ctx.FileSystem = &Disk;
        Ctx.DiskFilesAllowed = true;
    }
};

// The bytes in the answer, or those of its streamed body read whole.
std::string Body(const TServedResponse& r)
{
    if (!r.Source) {
        return std::string(r.Body.begin(), r.Body.end());
    }
    TStreamedBody body(r.Source, r.SourceStart, r.SourceLength);
    std::string bytes(static_cast<size_t>(r.SourceLength), '\0');
    size_t read = 0;
    EXPECT_TRUE(body.Read(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), read));
    bytes.resize(read);
    return bytes;
}

} // namespace

TEST(RequestServing, UrlsToFilesTypesAndStatus)
{
    struct Case {
        std::u16string uri;
        int status;           // 0: no answer, the browser handles it
        std::string body;     // which file was served
        std::u16string type;
    };
    const std::u16string html = u"text/html";
    const Case cases[] = {
        {u"file:///index.html", 200, "entry:app/index.html", html},  // the archive before the folder
        {u"FILE:///index.html", 200, "entry:app/index.html", html},
        {u"File:///INDEX.html", 200, "entry:app/index.html", html},  // entry names ignore case
        {u"file:///my%20page.html?x=1", 200, "entry:app/my page.html", html},
        {u"file:///caf%C3%A9.txt", 200, "entry:app/caf\xC3\xA9.txt", u"text/plain"},
        {u"file:///caf%c3%a9.txt", 200, "entry:app/caf\xC3\xA9.txt", u"text/plain"},
        {u"file:///caf\u00E9.txt", 200, "entry:app/caf\xC3\xA9.txt", u"text/plain"},
        {u"file:///100%zz.txt", 200, "entry:app/100%zz.txt", u"text/plain"},  // not an escape: kept
        {u"file:///index.html#top", 200, "entry:app/index.html", html},
        {u"file:///index.html#a?b", 200, "entry:app/index.html", html},
        {u"file:///index.html?q=%00#f", 200, "entry:app/index.html", html},  // the query is not decoded
        {u"file:///a/./b.txt", 200, "entry:app/a/b.txt", u"text/plain"},
        {u"file:///a/../a//b.txt", 200, "entry:app/a/b.txt", u"text/plain"},
        {u"file:///../../a/b.txt", 200, "entry:app/a/b.txt", u"text/plain"},  // no climbing above the root
        {u"file:///%2E%2E/a/%2e/b.txt", 200, "entry:app/a/b.txt", u"text/plain"},
        {u"file:///a\\..\\..\\index.html", 200, "entry:app/index.html", html},
        {u"file:///img/logo.PNG", 200, "entry:app/img/logo.PNG", TStrUtils::GetFileMIMEType(u"img/logo.PNG")},
        {u"file:///lib/app.JS", 200, "entry:app/lib/app.JS", u"application/javascript"},
        {u"file:///mod.mjs", 200, "entry:app/mod.mjs", u"application/javascript"},
        {u"file:///data.json", 200, "entry:app/data.json", TStrUtils::GetFileMIMEType(u"data.json")},
        {u"file:///img.v2/logo", 200, "entry:app/img.v2/logo", u"application/octet-stream"},
        // not in the package: the executable's folder, then drive paths as they are
        {u"file:///beside.html", 200, "disk:C:\\App\\beside.html", html},
        {u"file:///sub/page.htm", 200, "disk:C:\\App\\sub\\page.htm", html},
        {u"file:///add.WASM", 200, "disk:C:\\App\\add.WASM", u"application/wasm"},
        {u"file:///C:/dir/a.txt", 200, "disk:C:\\dir\\a.txt", u"text/plain"},
        {u"file:///C:/dir/../../dir/./a.txt", 200, "disk:C:\\dir\\a.txt", u"text/plain"},
        {u"file:///C:%5Cdir%5Ca.txt", 200, "disk:C:\\dir\\a.txt", u"text/plain"},
        {u"file:///C:/App/index.html", 200, "disk:C:\\App\\index.html", html},
        {u"file:///a/..%2F..%2Fsecret.txt", 0, "", u""},  // C:\App\secret.txt, which is not there
        {u"file:///..%2Fother%2Findex.html", 0, "", u""},  // app/other/index.html: no way out of "app"
        {u"file:///missing.html", 0, "", u""},
        {u"file:///", 0, "", u""},
        {u"file:///locked.txt", 500, "", u""},
        // not ours
        {u"file://server/share/index.html", 0, "", u""},
        {u"file://localhost/index.html", 0, "", u""},
        {u"https://example.org/index.html", 0, "", u""},
        {u"about:blank", 0, "", u""},
        {u"", 0, "", u""},
        // refused
        {u"file:///file:///x", 400, "", u""},  // "file:" is no drive; a colon elsewhere names a stream
        {u"file:///index.html:secret", 400, "", u""},
        {u"file:///index.html%00.txt", 400, "", u""},
        {std::u16string(u"file:///index.html\0.txt", 23), 400, "", u""},
        {u"file:///a%0Ab", 400, "", u""},
        {u"file:///a%7Fb", 400, "", u""},
        {u"file:///caf%C3.txt", 400, "", u""},      // a truncated sequence
        {u"file:///%FF.txt", 400, "", u""},
        {u"file:///%C0%AFsecret.txt", 400, "", u""},  // an overlong "/"
        {u"file:///%ED%A0%80.txt", 400, "", u""},     // a surrogate
        {u"file:///.../index.html", 400, "", u""},
        {u"file:///a/.. /index.html", 400, "", u""},
    };
    Fixture f;
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.uri));
        const auto r = ServeFileRequest(c.uri, f.Ctx);
        if (c.status == 0) {
            EXPECT_FALSE(r.has_value());
            continue;
        }
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->StatusCode, c.status);
        EXPECT_EQ(Body(*r), c.body);
        if (c.status == 200) {
            EXPECT_EQ(r->ReasonPhrase, u"OK");
            // A WebAssembly module's type stands alone: streamed compilation wants it exact.
            // Stored entries and disk files alike honour ranges.
            EXPECT_EQ(r->Headers, u"Content-Type: " + c.type + (c.type == u"application/wasm" ? u"" : u"; charset=utf-8") +
                                      u"\r\nAccept-Ranges: bytes");
        } else {
            EXPECT_EQ(r->Headers, u"");
        }
    }
}

TEST(RequestServing, ResolvedPaths)
{
    const std::tuple<std::u16string, TRequestKind, std::u16string, bool> cases[] = {
        {u"file:///index.html", TRequestKind::File, u"index.html", false},
        {u"file:////server/share/x.html", TRequestKind::File, u"server/share/x.html", false},  // no UNC path
        {u"file:///dir/", TRequestKind::File, u"dir", false},
        {u"file:///./..", TRequestKind::File, u"", false},
        {u"file:///c:/x/../..", TRequestKind::File, u"c:", true},
        {u"file:///x/C:/y", TRequestKind::Refused, u"", false},
        {u"file:///CC:/y", TRequestKind::Refused, u"", false},
        {u"file:///100%", TRequestKind::File, u"100%", false},
        {u"file:///%4", TRequestKind::File, u"%4", false},
        {u"http://x/", TRequestKind::NotOurs, u"", false},
    };
    for (const auto& [uri, kind, path, absolute] : cases) {
        SCOPED_TRACE(Utf16ToUtf8(uri));
        const auto t = ParseRequestUri(uri);
        EXPECT_EQ(t.Kind, kind);
        EXPECT_EQ(t.Path, path);
        EXPECT_EQ(t.Absolute, absolute);
    }
}

TEST(RequestServing, EntryServedByteForByte)
{
    const std::string blob = FolioTest::NoiseBytes(100 * 1024, 3);
    for (const bool deflated : {false, true}) {
        SCOPED_TRACE(deflated ? "deflated" : "stored, encrypted");
        std::string bytes;
        if (deflated) {
            bytes = FolioTest::BuildZip({FolioTest::Deflated("web/blob.bin", blob)}).Bytes;
        } else {
            std::ostringstream out;
            TZipWriter writer(out, {kPassword, false});
            writer.AddBytes("web/blob.bin", blob, 0);
            writer.Finish();
            bytes = out.str();
        }
        TZipArchive zip;
        zip.SetPasswordBytes(kPassword);
        ASSERT_EQ(zip.Open(Span(bytes)), ZipError::None);
        TServingContext ctx;
        ctx.Archive = &zip;
        ctx.AppDirName = u"web";
        const auto r = ServeFileRequest(u"file:///blob.bin", ctx);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->StatusCode, 200);
        EXPECT_EQ(r->ReasonPhrase, u"OK");
        // A deflated entry cannot seek, so it takes no ranges.
        EXPECT_EQ(r->Headers, std::u16string(u"Content-Type: application/octet-stream; charset=utf-8") +
                                  (deflated ? u"" : u"\r\nAccept-Ranges: bytes"));
        EXPECT_TRUE(Body(*r) == blob);
    }
}

TEST(RequestServing, UnreadableEntryAnswers500WithoutBytes)
{
    const std::string text = "<p>a page long enough to be worth deflating, a page, a page</p>";
    auto badCrc = FolioTest::Stored("app/bad.txt", text);
    badCrc.Crc ^= 1;
    auto method = FolioTest::Stored("app/method.txt", text);
    method.Method = 12; // bzip2: not read
    auto truncated = FolioTest::Deflated("app/cut.html", text);
    truncated.Data.resize(truncated.Data.size() / 2);
    const auto z = FolioTest::BuildZip({FolioTest::Deflated("app/good.html", text), badCrc, method, truncated});
    TZipArchive zip;
    ASSERT_EQ(zip.Open(Span(z.Bytes)), ZipError::None);

    Fixture f;  // its disk has C:\App\bad.txt: an entry that is there is never replaced by it
    f.Ctx.Archive = &zip;
    const auto good = ServeFileRequest(u"file:///good.html", f.Ctx);
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(good->StatusCode, 200);
    EXPECT_EQ(Body(*good), text);
    for (const std::u16string uri : {u"file:///bad.txt", u"file:///method.txt", u"file:///cut.html"}) {
        SCOPED_TRACE(Utf16ToUtf8(uri));
        const auto r = ServeFileRequest(uri, f.Ctx);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->StatusCode, 500);
        EXPECT_EQ(r->ReasonPhrase, u"Internal Server Error");
        EXPECT_TRUE(r->Body.empty());
    }

    // The package opened with another password: every entry fails its check byte.
    TZipArchive wrong;
    wrong.SetPasswordBytes("not-it");
    ASSERT_EQ(wrong.Open(Span(f.Bytes)), ZipError::None);
    f.Ctx.Archive = &wrong;
    const auto r = ServeFileRequest(u"file:///index.html", f.Ctx);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->StatusCode, 500);
    EXPECT_TRUE(r->Body.empty());
}

TEST(RequestServing, DiskOnlyForPagesOfThePackage)
{
    Fixture f;
    f.Ctx.DiskFilesAllowed = false;
    const auto page = ServeFileRequest(u"file:///index.html", f.Ctx);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(Body(*page), "entry:app/index.html");
    for (const std::u16string uri : {u"file:///beside.html", u"file:///C:/dir/a.txt", u"file:///missing.html"}) {
        SCOPED_TRACE(Utf16ToUtf8(uri));
        const auto r = ServeFileRequest(uri, f.Ctx);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->StatusCode, 403);
        EXPECT_TRUE(r->Body.empty());
    }
    EXPECT_TRUE(f.Disk.Asked.empty()); // not even whether a file is there
}

TEST(RequestServing, WithoutPackageTheFolderServes)
{
    Fixture f;
    for (const bool noArchive : {true, false}) {
        TServingContext ctx = f.Ctx;
        if (noArchive) {
            ctx.Archive = nullptr;
        } else {
            ctx.AppDirName.clear();
        }
        const auto r = ServeFileRequest(u"file:///index.html", ctx);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(Body(*r), "disk:C:\\App\\index.html");
    }
}

TEST(RequestServing, FilesOfTheRealDisk)
{
    FolioTest::TempDir dir;
    FolioTest::WriteFile(dir / "sub" / "page.html", "<p>beside</p>");
    std::filesystem::create_directories(dir / "folder.html");
    TServingContext ctx;
    ctx.FileSystem = &Folio::Platform::SystemFileSystem();
    ctx.AppDirPath = dir.Path().u16string() + u"/";
    ctx.DiskFilesAllowed = true;
    const auto r = ServeFileRequest(u"file:///sub/page.html", ctx);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->StatusCode, 200);
    EXPECT_EQ(Body(*r), "<p>beside</p>");
    EXPECT_FALSE(ServeFileRequest(u"file:///folder.html", ctx).has_value());
    EXPECT_FALSE(ctx.FileSystem->ReadFile(ctx.AppDirPath + u"folder.html").has_value());
    EXPECT_FALSE(ctx.FileSystem->ReadFile(ctx.AppDirPath + u"none.html").has_value());
    EXPECT_FALSE(ctx.FileSystem->OpenForReading(ctx.AppDirPath + u"folder.html"));
    EXPECT_FALSE(ctx.FileSystem->OpenForReading(ctx.AppDirPath + u"none.html"));
}

// A sparse file of 5 GiB on the host's disk, through the host adapter: a range past
// 4 GiB is read at its 64-bit offset, the whole file is streamed.
TEST(RequestServing, LargeSparseFileOfTheRealDisk)
{
    FolioTest::TempDir dir;
    const auto path = dir / "big.mp4";
    constexpr uint64_t kSize = uint64_t{5} << 30;
    constexpr uint64_t kAt = (uint64_t{9} << 29) - 3; // 4.5 GiB, less 3
    const std::string marker = "marker bytes past four gigabytes";
    FolioTest::WriteFile(path, "head");
    std::filesystem::resize_file(path, kSize);
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(kAt));
        out.write(marker.data(), static_cast<std::streamsize>(marker.size()));
        ASSERT_TRUE(out.good());
    }
    TServingContext ctx;
    ctx.FileSystem = &Folio::Platform::SystemFileSystem();
    ctx.AppDirPath = dir.Path().u16string() + u"/";
    ctx.DiskFilesAllowed = true;
    ctx.Range = Folio::Shared::Utf8ToUtf16("bytes=" + std::to_string(kAt) + "-" + std::to_string(kAt + marker.size() - 1));
    const auto part = ServeFileRequest(u"file:///big.mp4", ctx);
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(part->StatusCode, 206);
    EXPECT_TRUE(part->Source); // a part of a large file is read as the browser reads it
    EXPECT_EQ(Body(*part), marker);

    ctx.Range.clear();
    const auto whole = ServeFileRequest(u"file:///big.mp4", ctx);
    ASSERT_TRUE(whole && whole->Source);
    EXPECT_EQ(whole->StatusCode, 200);
    EXPECT_EQ(whole->SourceLength, kSize);
    TStreamedBody body(whole->Source, whole->SourceStart, whole->SourceLength);
    std::string piece(64, '\0');
    size_t read = 0;
    ASSERT_TRUE(body.Read(reinterpret_cast<uint8_t*>(piece.data()), 6, read));
    EXPECT_EQ(piece.substr(0, read), std::string("head\0\0", 6));
    ASSERT_TRUE(body.Seek(kAt - 2));
    ASSERT_TRUE(body.Read(reinterpret_cast<uint8_t*>(piece.data()), piece.size(), read));
    EXPECT_EQ(piece.substr(0, read), std::string(2, '\0') + marker + std::string(30, '\0'));
}

// A file of the real disk cut short while the browser streams it. The host lets the cut
// happen, and the read fails; Windows lets nobody write to the file while it is open for
// serving, so the cut fails and the body reads on whole.
TEST(RequestServing, RealDiskFileCutWhileStreamed)
{
    FolioTest::TempDir dir;
    const std::string bytes = FolioTest::NoiseBytes(3 << 20, 9);
    FolioTest::WriteFile(dir / "clip.mp4", bytes);
    TServingContext ctx;
    ctx.FileSystem = &Folio::Platform::SystemFileSystem();
    ctx.AppDirPath = dir.Path().u16string() + u"/";
    ctx.DiskFilesAllowed = true;
    const auto r = ServeFileRequest(u"file:///clip.mp4", ctx);
    ASSERT_TRUE(r && r->Source);
    TStreamedBody body(r->Source, r->SourceStart, r->SourceLength);
    std::string piece(1 << 20, '\0');
    size_t read = 0;
    ASSERT_TRUE(body.Read(reinterpret_cast<uint8_t*>(piece.data()), piece.size(), read));
    EXPECT_TRUE(piece == bytes.substr(0, piece.size()));
    std::error_code cut;
    std::filesystem::resize_file(dir / "clip.mp4", (3 << 20) / 2, cut);
    // Another program may write to a file that is being served, as it may to one read whole.
    ASSERT_FALSE(cut) << cut.message();
    EXPECT_FALSE(body.Read(reinterpret_cast<uint8_t*>(piece.data()), piece.size(), read));
    EXPECT_EQ(read, 0u);
}

TEST(RequestServing, PackagePages)
{
    for (const std::u16string uri : {u"file:///index.html", u"FILE:///C:/app/page.html", u"file:///"}) {
        EXPECT_TRUE(IsPackagePageUri(uri)) << Utf16ToUtf8(uri);
    }
    for (const std::u16string uri : {u"file://server/share/page.html", u"file://localhost/index.html", u"file:/x.html",
                                     u"file:", u"https://example.org/", u"about:blank", u""}) {
        EXPECT_FALSE(IsPackagePageUri(uri)) << Utf16ToUtf8(uri);
    }
}
