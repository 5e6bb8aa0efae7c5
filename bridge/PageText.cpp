// Text rules of the page's functions (see PageText.h).
#include "bridge/PageText.h"

#include "util/StrUtils.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Folio::Bridge {

std::u16string ResolvePagePath(std::u16string_view path, std::u16string_view exeDir)
{
    std::u16string resolved(path);
    ResolvePagePathInPlace(resolved, exeDir);
    return resolved;
}

void ResolvePagePathInPlace(std::u16string& path, std::u16string_view exeDir)
{
    const bool drive = path.size() >= 2 && path[1] == u':';
    const bool network = path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\';
    if (drive || network) {
        return;
    }
    std::replace(path.begin(), path.end(), u'/', u'\\');
    path.insert(0, exeDir);
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view line)
{
    std::vector<std::u16string> arguments;
    size_t i = 0;
    auto next = [&](std::u16string& out) {
        out.clear();
        for (;;) {
            while (i < line.size() && line[i] <= u' ') {
                ++i;
            }
            if (i + 1 < line.size() && line[i] == u'"' && line[i + 1] == u'"') {
                i += 2;
            } else {
                break;
            }
        }
        const size_t start = i;
        while (i < line.size() && line[i] > u' ') {
            if (line[i] == u'"') {
                ++i;
                while (i < line.size() && line[i] != u'"') {
                    out.push_back(line[i++]);
                }
                if (i < line.size()) {
                    ++i;
                }
            } else {
                out.push_back(line[i++]);
            }
        }
        return i > start;
    };
    std::u16string argument;
    bool first = true;
    while (next(argument)) {
        if (!first) {
            arguments.push_back(argument);
        }
        first = false;
    }
    return arguments;
}

std::optional<double> ParseZoomFactor(std::u16string_view text)
{
    // [blanks] [sign] digits [. digits] [e [sign] digits] [blanks], or with digits only after the point.
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
        }
        return i - start;
    };
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    const size_t begin = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    size_t mantissa = digits();
    if (i < text.size() && text[i] == u'.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            ++i;
        }
        if (digits() == 0) {
            return std::nullopt;
        }
    }
    const size_t end = i;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    const std::string ascii(text.begin() + static_cast<std::ptrdiff_t>(begin), text.begin() + static_cast<std::ptrdiff_t>(end));
    char* stop = nullptr;
    const double value = std::strtod(ascii.c_str(), &stop);
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::u16string FormatZoomFactor(double factor, char16_t decimalSeparator)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", factor);
    std::u16string out;
    for (const char* p = buf; *p; ++p) {
        out.push_back(*p == '.' ? decimalSeparator : static_cast<char16_t>(*p));
    }
    return out;
}

std::string DecodeBase64(std::u16string_view text)
{
    auto value = [](char16_t c) -> uint32_t {
        if (c >= u'A' && c <= u'Z') return c - u'A';
        if (c >= u'a' && c <= u'z') return c - u'a' + 26;
        if (c >= u'0' && c <= u'9') return c - u'0' + 52;
        if (c == u'+') return 62;
        if (c == u'/') return 63;
        return 0; // "=" and anything outside the alphabet
    };
    std::string out;
    const size_t groups = text.size() / 4;
    out.reserve(groups * 3);
    for (size_t g = 0; g < groups; ++g) {
        const char16_t* p = text.data() + g * 4;
        const uint32_t bits = (value(p[0]) << 18) | (value(p[1]) << 12) | (value(p[2]) << 6) | value(p[3]);
        out.push_back(static_cast<char>(bits >> 16));
        out.push_back(static_cast<char>((bits >> 8) & 0xFF));
        out.push_back(static_cast<char>(bits & 0xFF));
    }
    if (groups > 0 && text[groups * 4 - 1] == u'=') {
        out.pop_back();
        if (text[groups * 4 - 2] == u'=') {
            out.pop_back();
        }
    }
    return out;
}

std::string TextFileBytes(std::u16string_view contents)
{
    contents = contents.substr(0, contents.find(u'\0'));
    std::string out = "\xEF\xBB\xBF";
    size_t i = 0;
    while (i < contents.size()) {
        size_t end = contents.find_first_of(u"\r\n", i);
        if (end == std::u16string_view::npos) {
            end = contents.size();
        }
        out += Shared::Utf16ToUtf8(contents.substr(i, end - i));
        out += "\r\n";
        i = end;
        if (i < contents.size()) {
            i += (contents[i] == u'\r' && i + 1 < contents.size() && contents[i + 1] == u'\n') ? 2 : 1;
        }
    }
    return out;
}

std::vector<Platform::TFileType> ParseFileTypes(std::u16string_view text)
{
    std::vector<Platform::TFileType> types;
    for (const auto& entry : Shared::TStrUtils::ExplodeStrings(u";", text)) {
        const auto parts = Shared::TStrUtils::ExplodeStrings(u"|", entry);
        if (parts.size() == 2) {
            types.push_back({parts[0], parts[1]});
        }
    }
    return types;
}

std::u16string FolderOf(std::u16string_view path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash));
}

} // namespace Folio::Bridge
