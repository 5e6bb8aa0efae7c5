// The rules that turn a file:/// request into the bytes to answer it with (see
// RequestServing.h). Every decision is made on the decoded, resolved path, so what is
// checked is what is looked up.
#include "browser/RequestServing.h"

#include "util/Case.h"
#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <cstddef>
#include <new>

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

std::u16string ContentType(std::u16string_view type)
{
    std::u16string header = u"Content-Type: ";
    header += type;
    // Every type says UTF-8, but a WebAssembly module: browsers compile a streamed
    // module only when its type is exactly "application/wasm", without parameters.
    if (!Shared::SameTextAscii(type, u"application/wasm")) {
        header += u"; charset=utf-8";
    }
    return header;
}

std::u16string Decimal(uint64_t value) { return Shared::Utf8ToUtf16(std::to_string(value)); }

// How a file of size bytes is answered: status, headers and the bytes to send.
struct TAnswerPlan {
    TServedResponse Response;
    uint64_t First = 0;
    uint64_t Count = 0;
};

TAnswerPlan PlanAnswer(std::u16string_view type, uint64_t size, bool seekable, std::u16string_view range,
                       bool streamed)
{
    TAnswerPlan plan;
    plan.Response.ReasonPhrase = u"OK";
    plan.Response.Headers = ContentType(type);
    plan.Count = size;
    const TByteRange asked =
        seekable && !range.empty() ? ParseRangeHeader(range, size) : TByteRange{};
    if (seekable) {
        plan.Response.Headers += u"\r\nAccept-Ranges: bytes";
    }
    if (asked.Kind == TByteRange::TKind::Unsatisfiable) {
        plan.Response = Failure(416, u"Range Not Satisfiable");
        plan.Response.Headers = u"Content-Range: bytes */" + Decimal(size) + u"\r\nAccept-Ranges: bytes";
        plan.Count = 0;
        return plan;
    }
    if (asked.Kind == TByteRange::TKind::Part) {
        plan.Response.StatusCode = 206;
        plan.Response.ReasonPhrase = u"Partial Content";
        plan.First = asked.First;
        plan.Count = asked.Last - asked.First + 1;
        plan.Response.Headers += u"\r\nContent-Range: bytes " + Decimal(asked.First) + u"-" + Decimal(asked.Last) +
                                 u"/" + Decimal(size);
    }
    // A streamed body's length is not known to the browser otherwise.
    if (asked.Kind == TByteRange::TKind::Part || streamed) {
        plan.Response.Headers += u"\r\nContent-Length: " + Decimal(plan.Count);
    }
    return plan;
}

// The answer with the bytes the plan picked from a body held whole.
TServedResponse AnswerWith(std::vector<uint8_t> body, std::u16string_view type, bool seekable,
                           std::u16string_view range)
{
    TAnswerPlan plan = PlanAnswer(type, body.size(), seekable, range, false);
    if (plan.Count != body.size()) {
        body = std::vector<uint8_t>(body.begin() + static_cast<ptrdiff_t>(plan.First),
                                    body.begin() + static_cast<ptrdiff_t>(plan.First + plan.Count));
    }
    plan.Response.Body = std::move(body);
    return std::move(plan.Response);
}

bool ParseDecimal(std::u16string_view text, uint64_t& value)
{
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        const auto digit = static_cast<uint64_t>(c - u'0');
        if (value > (UINT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

std::u16string_view TrimBlanks(std::u16string_view text)
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
        text.remove_suffix(1);
    }
    return text;
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

TByteRange ParseRangeHeader(std::u16string_view header, uint64_t size)
{
    const TByteRange whole;
    TByteRange unsatisfiable;
    unsatisfiable.Kind = TByteRange::TKind::Unsatisfiable;
    const size_t equals = header.find(u'=');
    if (equals == std::u16string_view::npos || !Shared::SameTextAscii(TrimBlanks(header.substr(0, equals)), u"bytes")) {
        return whole;
    }
    const std::u16string_view set = header.substr(equals + 1);
    const size_t dash = set.find(u'-');
    if (set.find(u',') != std::u16string_view::npos || dash == std::u16string_view::npos) {
        return whole;
    }
    const std::u16string_view firstText = TrimBlanks(set.substr(0, dash));
    const std::u16string_view lastText = TrimBlanks(set.substr(dash + 1));
    uint64_t first = 0;
    uint64_t last = UINT64_MAX;
    TByteRange part;
    part.Kind = TByteRange::TKind::Part;
    if (firstText.empty()) {
        // The last n bytes; all of them when the body is shorter.
        if (!ParseDecimal(lastText, last)) {
            return whole;
        }
        if (last == 0 || size == 0) {
            return unsatisfiable;
        }
        part.First = size - std::min(last, size);
        part.Last = size - 1;
        return part;
    }
    if (!ParseDecimal(firstText, first) || (!lastText.empty() && (!ParseDecimal(lastText, last) || last < first))) {
        return whole;
    }
    if (first >= size) {
        return unsatisfiable;
    }
    part.First = first;
    part.Last = std::min(last, size - 1);
    return part;
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
            const auto& entry = ctx.Archive->Entry(static_cast<size_t>(index));
            if (entry.UncompressedSize > ctx.StreamAbove) {
                auto reader = std::make_shared<Shared::TZipEntryReader>(*ctx.Archive, static_cast<size_t>(index));
                if (reader->Status() != Shared::ZipEntryStatus::Ok) {
                    return Failure(500, u"Internal Server Error");
                }
                TAnswerPlan plan = PlanAnswer(ServedMimeType(fileName), reader->Size(), reader->CanSeek(), ctx.Range, true);
                if (plan.Response.StatusCode != 416) {
                    plan.Response.Source = EntrySource(std::move(reader));
                    plan.Response.SourceStart = plan.First;
                    plan.Response.SourceLength = plan.Count;
                }
                return std::move(plan.Response);
            }
            std::vector<uint8_t> body;
            if (ctx.Archive->Read(static_cast<size_t>(index), body) != Shared::ZipEntryStatus::Ok) {
                return Failure(500, u"Internal Server Error");
            }
            // Only stored entries seek when streamed; small ones answer alike.
            return AnswerWith(std::move(body), ServedMimeType(fileName), entry.Method == 0, ctx.Range);
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
    auto file = ctx.FileSystem->OpenForReading(diskPath);
    if (!file) {
        return Failure(500, u"Internal Server Error");
    }
    // A file too large for this process's memory is streamed whatever the threshold.
    const uint64_t size = file->Size();
    const bool streamed = size > ctx.StreamAbove || size > static_cast<uint64_t>(PTRDIFF_MAX);
    TAnswerPlan plan = PlanAnswer(ServedMimeType(fileName), size, true, ctx.Range, streamed);
    if (plan.Response.StatusCode == 416) {
        return std::move(plan.Response);
    }
    auto source = FileSource(std::move(file));
    if (streamed) {
        plan.Response.Source = std::move(source);
        plan.Response.SourceStart = plan.First;
        plan.Response.SourceLength = plan.Count;
        return std::move(plan.Response);
    }
    // The part answered, read now: a file that became shorter answers 500, not less.
    try {
        plan.Response.Body.resize(static_cast<size_t>(plan.Count));
    } catch (const std::bad_alloc&) {
        return Failure(500, u"Internal Server Error");
    }
    if (!source->ReadAt(plan.First, plan.Response.Body.data(), plan.Response.Body.size())) {
        return Failure(500, u"Internal Server Error");
    }
    return std::move(plan.Response);
}

} // namespace Folio::Browser
