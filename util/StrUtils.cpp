// TStrUtils (see StrUtils.h).
#include "util/StrUtils.h"

#include "util/Case.h"
#include "util/MimeTable.h"
#include "util/Numbers.h"
#include "util/TextCodecs.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>

namespace Folio::Shared {

namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

std::u16string Ascii(std::string_view s) { return std::u16string(s.begin(), s.end()); }

bool IsWordChar(char16_t c)
{
    return (c >= u'0' && c <= u'9') || c == u'_' || ToLowerChar(c) != c || (c >= u'a' && c <= u'z') ||
           (c >= 0xDF && c <= 0xFF && c != 0xF7) || (c >= 0x100 && c <= 0x24F) || (c >= 0x3B1 && c <= 0x3C9) ||
           (c >= 0x430 && c <= 0x45F);
}

std::mt19937& Random()
{
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}

std::u16string WithTrailingBackslash(std::u16string_view path)
{
    std::u16string out(path);
    if (!out.empty() && out.back() != u'\\') {
        out.push_back(u'\\');
    }
    return out;
}

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Percent-decoding: %XX sequences give bytes, read together as UTF-8; "+" is a blank.
std::u16string UrlDecode(std::u16string_view text)
{
    std::string bytes;
    // Unescaped text is converted a run at a time, so that a surrogate pair (a character
    // beyond the BMP) is converted whole rather than as two halves.
    size_t run = 0;
    auto flush = [&](size_t end) { bytes += Utf16ToUtf8(text.substr(run, end - run)); };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            flush(i);
            bytes.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
            run = i + 1;
        } else if (c == u'+') {
            flush(i);
            bytes.push_back(' ');
            run = i + 1;
        }
    }
    flush(text.size());
    return Utf8ToUtf16(bytes);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += (m <= 2);
}

std::u16string FormatOleDate(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 3e6) {
        return {};
    }
    const double whole = std::trunc(value);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(value - whole) * 86400.0));
    auto days = static_cast<int64_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += value < 0 ? -1 : 1;
    }
    int64_t y;
    unsigned m, d;
    CivilFromDays(days - 25569, y, m, d); // 25569 days from 1899-12-30 to 1970-01-01
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
    if (seconds != 0) {
        n += std::snprintf(buf + n, sizeof buf - n, " %02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60),
                           int(seconds % 60));
    }
    return Ascii(std::string_view(buf, static_cast<size_t>(n)));
}

} // namespace

std::u16string_view TrimLeft(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && text[i] <= u' ') {
        ++i;
    }
    return text.substr(i);
}

std::u16string_view TrimRight(std::u16string_view text)
{
    size_t n = text.size();
    while (n > 0 && text[n - 1] <= u' ') {
        --n;
    }
    return text.substr(0, n);
}

std::u16string_view Trim(std::u16string_view text) { return TrimRight(TrimLeft(text)); }

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view From, std::u16string_view To)
{
    if (From.empty()) {
        return std::u16string(text);
    }
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    for (size_t hit; (hit = text.find(From, pos)) != std::u16string_view::npos; pos = hit + From.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(To);
    }
    out.append(text.substr(pos));
    return out;
}

std::u16string FormatByteSize(int64_t Bytes)
{
    const double kib = 1024.0, mib = kib * 1024, gib = mib * 1024;
    const auto value = static_cast<double>(Bytes);
    const char* unit = "bytes";
    double shown = value;
    if (Bytes > int64_t(gib)) {
        unit = "GB", shown = value / gib;
    } else if (Bytes > int64_t(mib)) {
        unit = "MB", shown = value / mib;
    } else if (Bytes > 1024) {
        unit = "KB", shown = value / kib;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", shown);
    std::string text = buf;
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return Ascii(text + " " + unit);
}

std::u16string TStrUtils::StringToJsonString(std::u16string_view value)
{
    std::u16string out;
    out.reserve(value.size() + 2);
    out.push_back(u'"');
    for (const char16_t c : value) {
        switch (c) {
        case u'"': out += u"\\\""; break;
        case u'\\': out += u"\\\\"; break;
        case u'/': out += u"\\/"; break;
        case 0x08: out += u"\\b"; break;
        case 0x09: out += u"\\t"; break;
        case 0x0A: out += u"\\n"; break;
        case 0x0C: out += u"\\f"; break;
        case 0x0D: out += u"\\r"; break;
        default:
            if (c < 0x20 || c >= 0x20AC) {
                out += u"\\u";
                out.push_back(kHexDigits[(c >> 12) & 0xF]);
                out.push_back(kHexDigits[(c >> 8) & 0xF]);
                out.push_back(kHexDigits[(c >> 4) & 0xF]);
                out.push_back(kHexDigits[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back(u'"');
    return out;
}

std::u16string TStrUtils::GetFileMIMEType(std::u16string_view FileName)
{
    const size_t dot = FileName.rfind(u'.');
    if (dot != std::u16string_view::npos) {
        const auto extension = FileName.substr(dot);
        if (extension.find_first_of(u"\\:") == std::u16string_view::npos) {
            auto type = TMimeTable::System().Find(extension);
            if (!type.empty()) {
                return type;
            }
        }
    }
    return u"application/octet-stream";
}

TArrayStrings TStrUtils::ExplodeStrings(std::u16string_view Separator, std::u16string_view Value)
{
    TArrayStrings out;
    if (Separator.empty()) {
        // An empty separator never occurs: the whole value is the one element.
        out.emplace_back(Value);
        return out;
    }
    size_t pos = 0;
    for (size_t hit; (hit = Value.find(Separator, pos)) != std::u16string_view::npos; pos = hit + Separator.size()) {
        out.emplace_back(Value.substr(pos, hit - pos));
    }
    out.emplace_back(Value.substr(pos));
    return out;
}

std::u16string TStrUtils::ImplodeStrings(std::u16string_view Separator, const TArrayStrings& ArrayString)
{
    std::u16string out;
    for (size_t i = 0; i < ArrayString.size(); ++i) {
        if (i > 0) {
            out.append(Separator);
        }
        out.append(ArrayString[i]);
    }
    return out;
}

std::u16string TStrUtils::GetJavascriptArrayFromMultilineString(std::u16string_view Value)
{
    TArrayStrings items;
    for (const auto& line : ExplodeStrings(u"\n", Value)) {
        const auto trimmed = Trim(line);
        if (!trimmed.empty()) {
            items.push_back(u"\"" + QuoteJavascript(trimmed) + u"\"");
        }
    }
    return ImplodeStrings(u", ", items);
}

std::u16string TStrUtils::GetRandomString(int ALength, std::u16string_view ACharSequence)
{
    std::u16string out;
    if (ALength <= 0 || ACharSequence.empty()) {
        return out;
    }
    std::uniform_int_distribution<size_t> pick(0, ACharSequence.size() - 1);
    out.reserve(static_cast<size_t>(ALength));
    for (int i = 0; i < ALength; ++i) {
        out.push_back(ACharSequence[pick(Random())]);
    }
    return out;
}

std::u16string TStrUtils::GetControlRandomSuffix(std::u16string_view Name)
{
    return std::u16string(Name) + u"-" + GetRandomString(10, u"abcdefghijklmnopqrstuvwxyz1234567890");
}

std::u16string TStrUtils::GetCacheFolder(std::u16string_view AppFilePath, std::u16string_view Suffix,
                                         std::u16string_view TempCache, std::u16string_view DefaultDir,
                                         const std::function<bool(const std::u16string&)>& FolderExists)
{
    if (AppFilePath.empty()) {
        return WithTrailingBackslash(WithTrailingBackslash(DefaultDir) + std::u16string(TempCache));
    }
    const size_t sep = AppFilePath.find_last_of(u"\\/:");
    const std::u16string folder(sep == std::u16string_view::npos ? u"" : AppFilePath.substr(0, sep + 1));
    std::u16string name(sep == std::u16string_view::npos ? AppFilePath : AppFilePath.substr(sep + 1));
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos) {
        name.resize(dot);
    }
    const bool besideApp = !folder.empty() && FolderExists && FolderExists(folder);
    const std::u16string base = WithTrailingBackslash(besideApp ? std::u16string_view(folder) : DefaultDir);
    return WithTrailingBackslash(base + name + std::u16string(Suffix));
}

void TStrUtils::GetUrlArguments(std::u16string_view URL, TArrayStrings& Arguments)
{
    Arguments.clear();
    const size_t question = URL.find(u'?');
    if (question == std::u16string_view::npos) {
        return;
    }
    auto query = URL.substr(question + 1);
    query = query.substr(0, query.find(u'#'));
    for (const auto& part : ExplodeStrings(u"&", query)) {
        if (!part.empty()) {
            Arguments.push_back(UrlDecode(part));
        }
    }
}

bool TStrUtils::SubStringExists(std::u16string_view AString, std::u16string_view ASubString,
                                TStringSearchOption ASearchOptions)
{
    if (ASubString.empty() || ASubString.size() > AString.size()) {
        return false;
    }
    const bool matchCase = HasOption(ASearchOptions, TStringSearchOption::MatchCase);
    const bool wholeWord = HasOption(ASearchOptions, TStringSearchOption::WholeWord);
    for (size_t i = 0; i + ASubString.size() <= AString.size(); ++i) {
        const auto candidate = AString.substr(i, ASubString.size());
        if (matchCase ? candidate != ASubString : !SameText(candidate, ASubString)) {
            continue;
        }
        if (wholeWord) {
            const size_t end = i + ASubString.size();
            if ((i > 0 && IsWordChar(AString[i - 1])) || (end < AString.size() && IsWordChar(AString[end]))) {
                continue;
            }
        }
        return true;
    }
    return false;
}

std::u16string TStrUtils::OleVarToStr(const TOleVariant& Value)
{
    if (const auto* s = std::get_if<std::u16string>(&Value)) {
        return *s;
    }
    if (const auto* i = std::get_if<int64_t>(&Value)) {
        return Ascii(std::to_string(*i));
    }
    if (const auto* d = std::get_if<double>(&Value)) {
        if (!std::isfinite(*d)) {
            return Ascii(std::isnan(*d) ? "NAN" : (*d > 0 ? "INF" : "-INF"));
        }
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, *d);
        return Ascii(std::string_view(buf, static_cast<size_t>(r.ptr - buf)));
    }
    if (const auto* date = std::get_if<TOleDate>(&Value)) {
        return FormatOleDate(date->Value);
    }
    return {};
}

std::u16string TStrUtils::AddLeadingZeroes(int64_t Number, int Length)
{
    char buf[96];
    const int precision = Length < 0 ? 0 : (Length > 64 ? 64 : Length);
    const int n = std::snprintf(buf, sizeof buf, "%.*lld", precision, static_cast<long long>(Number));
    return Ascii(std::string_view(buf, static_cast<size_t>(n)));
}

void TStrUtils::StrToResolution(std::u16string_view Value, int& Width, int& Height)
{
    Width = -1;
    Height = -1;
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    for (size_t i = 0; i < Value.size();) {
        if (!isDigit(Value[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < Value.size() && isDigit(Value[j])) {
            ++j;
        }
        if (j + 1 < Value.size() && Value[j] == u'x' && isDigit(Value[j + 1])) {
            size_t k = j + 1;
            while (k < Value.size() && isDigit(Value[k])) {
                ++k;
            }
            const auto w = ParseSettingsInteger(Value.substr(i, j - i));
            const auto h = ParseSettingsInteger(Value.substr(j + 1, k - j - 1));
            if (w && h) {
                Width = *w;
                Height = *h;
            }
            return;
        }
        i = j; // a later start inside the same run of digits cannot match either
    }
}

std::u16string TStrUtils::QuoteJavascript(std::u16string_view Value)
{
    return ReplaceAll(ReplaceAll(Value, u"'", u"\\x27"), u"\"", u"\\x22");
}

std::u16string TStrUtils::UnquoteJavascript(std::u16string_view Value)
{
    return ReplaceAll(ReplaceAll(Value, u"\\x27", u"'"), u"\\x22", u"\"");
}

std::u16string TStrUtils::QuoteArguments(std::u16string_view Value)
{
    return ReplaceAll(ReplaceAll(QuoteJavascript(Value), u":", u"\\x3a"), u"|", u"\\x7c");
}

std::u16string TStrUtils::UnquoteArguments(std::u16string_view Value)
{
    return UnquoteJavascript(ReplaceAll(ReplaceAll(Value, u"\\x3a", u":"), u"\\x7c", u"|"));
}

std::u16string TStrUtils::RepeatString(std::u16string_view Value, int Count)
{
    std::u16string out;
    if (Count > 0) {
        out.reserve(Value.size() * static_cast<size_t>(Count));
        for (int i = 0; i < Count; ++i) {
            out.append(Value);
        }
    }
    return out;
}

std::u16string TStrUtils::Capitalize(std::u16string_view Value)
{
    std::u16string out(Value);
    if (!out.empty() && out[0] >= u'a' && out[0] <= u'z') {
        out[0] = char16_t(out[0] - 32);
    }
    return out;
}

bool TStrUtils::FilePathIsHttpUrl(std::u16string_view Path)
{
    return StartsTextAscii(Path, u"http://") || StartsTextAscii(Path, u"https://");
}

bool TStrUtils::FilePathIsAppRelative(std::u16string_view Path) { return StartsTextAscii(Path, u"app/files/"); }

bool TStrUtils::FilePathIsPluginRelative(std::u16string_view Path) { return StartsTextAscii(Path, u"app/plugins/"); }

} // namespace Folio::Shared
