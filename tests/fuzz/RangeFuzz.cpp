// libFuzzer target: Range headers against bodies of any size, and the answers they get
// for a packaged file read whole and streamed. A part must lie inside the body; a 206
// must say in Content-Range and Content-Length exactly the bytes it gives, a 416 give
// none, and a 200 give the whole file.
#include "browser/RequestServing.h"
#include "browser/StreamedBody.h"
#include "package/ZipWriter.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

using namespace Folio::Browser;

namespace {

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

const std::string& Clip()
{
    static const std::string clip = [] {
        std::string bytes(3000, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
        }
        return bytes;
    }();
    return clip;
}

// The body as the browser gets it; nothing when a streamed read fails.
std::string BodyOf(const TServedResponse& r)
{
    if (!r.Source) {
        return std::string(r.Body.begin(), r.Body.end());
    }
    TStreamedBody body(r.Source, r.SourceStart, r.SourceLength);
    std::string out(static_cast<size_t>(r.SourceLength), '\0');
    size_t read = 0;
    Require(body.Read(reinterpret_cast<uint8_t*>(out.data()), out.size(), read) && read == out.size());
    Require(body.Read(reinterpret_cast<uint8_t*>(out.data()), out.size(), read) && read == 0);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string package = [] {
        std::ostringstream out;
        Folio::Shared::TZipWriter writer(out, {"", false});
        writer.AddBytes("app/clip.bin", Clip(), 0);
        writer.AddBytes("app/empty.bin", "", 0);
        writer.Finish();
        return out.str();
    }();
    static Folio::Shared::TZipArchive zip = [] {
        Folio::Shared::TZipArchive z;
        z.Open({reinterpret_cast<const uint8_t*>(package.data()), package.size()});
        return z;
    }();
    if (size < 9) {
        return 0;
    }
    uint64_t bodySize = 0;
    std::memcpy(&bodySize, data + 1, sizeof bodySize);
    // Mostly small sizes, where the edges are; sometimes any.
    if ((data[0] & 3) != 0) {
        bodySize %= 4000;
    }
    const std::u16string header =
        Folio::Shared::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data) + 9, size - 9));

    const TByteRange range = ParseRangeHeader(header, bodySize);
    if (range.Kind == TByteRange::TKind::Part) {
        Require(range.First <= range.Last && range.Last < bodySize);
        // The part, asked for as such, is itself.
        const std::u16string again = Folio::Shared::Utf8ToUtf16("bytes=" + std::to_string(range.First) + "-" +
                                                                std::to_string(range.Last));
        const TByteRange twice = ParseRangeHeader(again, bodySize);
        Require(twice.Kind == TByteRange::TKind::Part && twice.First == range.First && twice.Last == range.Last);
    }

    TServingContext ctx;
    ctx.Archive = &zip;
    ctx.AppDirName = u"app";
    ctx.Range = header;
    ctx.StreamAbove = (data[0] & 4) != 0 ? 0 : kStreamedEntryMinimum;
    const bool empty = (data[0] & 8) != 0;
    const std::string& clip = empty ? std::string() : Clip();
    const auto r = ServeFileRequest(empty ? u"file:///empty.bin" : u"file:///clip.bin", ctx);
    Require(r.has_value());
    const std::string body = BodyOf(*r);
    const std::u16string& h = r->Headers;
    if (r->StatusCode == 200) {
        Require(body == clip && h.find(u"Content-Range") == std::u16string::npos);
    } else if (r->StatusCode == 206) {
        const TByteRange part = ParseRangeHeader(header, clip.size());
        Require(part.Kind == TByteRange::TKind::Part);
        const uint64_t count = part.Last - part.First + 1;
        const std::string expected = "\r\nContent-Range: bytes " + std::to_string(part.First) + "-" +
                                     std::to_string(part.Last) + "/" + std::to_string(clip.size()) +
                                     "\r\nContent-Length: " + std::to_string(count);
        Require(Folio::Shared::Utf16ToUtf8(h).find(expected) != std::string::npos);
        Require(body == clip.substr(static_cast<size_t>(part.First), static_cast<size_t>(count)));
    } else {
        Require(r->StatusCode == 416 && body.empty() && !r->Source);
        Require(Folio::Shared::Utf16ToUtf8(h).find("Content-Range: bytes */" + std::to_string(clip.size())) == 0);
    }
    return 0;
}
