// The rules that turn a file:/// request into the bytes to answer it with (see
// RequestServing.h). Every decision is made on the decoded, resolved path, so what is
// checked is what is looked up.
#include "browser/RequestServing.h"

#include "util/Case.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

namespace Folio::Browser {

namespace {

constexpr std::u16string_view kFilePrefix = u"file:///";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Percent-escapes decoded to bytes; a "%" not followed by two hex digits is kept.
std::string PercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

bool IsDrive(std::u16string_view segment)
{
    return segment.size() == 2 && segment[1] == u':' &&
           ((segment[0] >= u'a' && segment[0] <= u'z') || (segment[0] >= u'A' && segment[0] <= u'Z'));
}

// Windows drops trailing dots and blanks from a name, so "..." or ".. " could act as
// ".." there; such names are refused rather than guessed at.
bool OnlyDotsAndBlanks(std::u16string_view segment)
{
    return segment.find_first_not_of(u". ") == std::u16string_view::npos;
}

TServedResponse Failure(int status, std::u16string reason)
{
    TServedResponse r;
    r.StatusCode = status;
    r.ReasonPhrase = std::move(reason);
    return r;
}

TServedResponse Success(std::vector<uint8_t> body, std::u16string_view type)
{
    TServedResponse r;
    r.ReasonPhrase = u"OK";
    r.Headers = u"Content-Type: ";
    r.Headers += type;
    // Every type says UTF-8, but a WebAssembly module: browsers compile a streamed
    // module only when its type is exactly "application/wasm", without parameters.
    if (!Shared::SameTextAscii(type, u"application/wasm")) {
        r.Headers += u"; charset=utf-8";
    }
    r.Body = std::move(body);
    return r;
}

std::u16string WithBackslashes(std::u16string path)
{
    for (auto& c : path) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return path;
}

} // namespace

bool IsPackagePageUri(std::u16string_view uri)
{
    return Shared::StartsTextAscii(uri, kFilePrefix);
}

TRequestTarget ParseRequestUri(std::u16string_view uri)
{
    TRequestTarget target;
    if (!IsPackagePageUri(uri)) {
        return target;
    }
    target.Kind = TRequestKind::Refused;
    std::u16string_view rest = uri.substr(kFilePrefix.size());
    rest = rest.substr(0, rest.find_first_of(u"?#"));

    const std::string bytes = PercentDecode(Shared::Utf16ToUtf8(rest));
    const std::u16string decoded = Shared::Utf8ToUtf16(bytes);
    if (Shared::Utf16ToUtf8(decoded) != bytes) {
        return target; // invalid UTF-8 came back as replacement characters
    }
    for (const char16_t c : decoded) {
        if (c < 0x20 || c == 0x7F) {
            return target;
        }
    }

    std::vector<std::u16string_view> segments;
    bool absolute = false;
    const std::u16string_view path = decoded;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find_first_of(u"/\\", start);
        if (end == std::u16string_view::npos) {
            end = path.size();
        }
        const std::u16string_view segment = path.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == u".") {
            continue;
        }
        if (segment == u"..") {
            if (segments.size() > (absolute ? 1u : 0u)) {
                segments.pop_back();
            }
            continue;
        }
        if (OnlyDotsAndBlanks(segment)) {
            return target;
        }
        if (segment.find(u':') != std::u16string_view::npos) {
            // Only a leading drive; elsewhere a colon would name a stream of a file.
            if (!segments.empty() || absolute || !IsDrive(segment)) {
                return target;
            }
            absolute = true;
        }
        segments.push_back(segment);
    }

    target.Kind = TRequestKind::File;
    target.Absolute = absolute;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            target.Path += u'/';
        }
        target.Path += segments[i];
    }
    return target;
}

std::u16string ServedMimeType(std::u16string_view fileName)
{
    // The registry may give scripts a type that stops them from running (text/plain,
    // say); scripts and module scripts alike run with this one.
    const size_t dot = fileName.rfind(u'.');
    if (dot != std::u16string_view::npos) {
        const std::u16string_view extension = fileName.substr(dot);
        if (Shared::SameTextAscii(extension, u".js") || Shared::SameTextAscii(extension, u".mjs")) {
            return u"application/javascript";
        }
    }
    return Shared::TStrUtils::GetFileMIMEType(fileName);
}

bool IsPackagePage(std::u16string_view uri, const TServingContext& ctx)
{
    const TRequestTarget target = ParseRequestUri(uri);
    if (target.Kind != TRequestKind::File || target.Path.empty()) {
        return false;
    }
    if (!target.Absolute && ctx.Archive != nullptr && !ctx.AppDirName.empty() &&
        ctx.Archive->Find(ctx.AppDirName + u"/" + target.Path) >= 0) {
        return true;
    }
    if (ctx.FileSystem == nullptr || ctx.AppDirPath.empty()) {
        return false;
    }
    const std::u16string folder = WithBackslashes(ctx.AppDirPath);
    const std::u16string diskPath = WithBackslashes(target.Absolute ? target.Path : folder + target.Path);
    // The path is resolved ("..", "." and empty segments gone), so a prefix is a place.
    const bool belowFolder =
        folder.back() == u'\\' && diskPath.size() > folder.size() && Shared::StartsTextAscii(diskPath, folder);
    return belowFolder && ctx.FileSystem->FileExists(diskPath);
}

std::optional<TServedResponse> ServeFileRequest(std::u16string_view uri, const TServingContext& ctx)
{
    const TRequestTarget target = ParseRequestUri(uri);
    if (target.Kind == TRequestKind::NotOurs) {
        return std::nullopt;
    }
    if (target.Kind == TRequestKind::Refused) {
        return Failure(400, u"Bad Request");
    }
    const std::u16string_view fileName = std::u16string_view(target.Path).substr(target.Path.rfind(u'/') + 1);

    if (!target.Absolute && !target.Path.empty() && ctx.Archive != nullptr && !ctx.AppDirName.empty()) {
        const int index = ctx.Archive->Find(ctx.AppDirName + u"/" + target.Path);
        if (index >= 0) {
            std::vector<uint8_t> body;
            if (ctx.Archive->Read(static_cast<size_t>(index), body) != Shared::ZipEntryStatus::Ok) {
                return Failure(500, u"Internal Server Error");
            }
            return Success(std::move(body), ServedMimeType(fileName));
        }
    }

    if (!ctx.DiskFilesAllowed) {
        return Failure(403, u"Forbidden");
    }
    if (ctx.FileSystem == nullptr) {
        return std::nullopt;
    }
    const std::u16string diskPath = WithBackslashes(target.Absolute ? target.Path : ctx.AppDirPath + target.Path);
    if (!ctx.FileSystem->FileExists(diskPath)) {
        return std::nullopt;
    }
    auto bytes = ctx.FileSystem->ReadFile(diskPath);
    if (!bytes) {
        return Failure(500, u"Internal Server Error");
    }
    return Success(std::move(*bytes), ServedMimeType(fileName));
}

} // namespace Folio::Browser
