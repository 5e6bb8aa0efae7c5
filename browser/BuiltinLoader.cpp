// The built-in loader's search for the installed runtime (see BuiltinLoader.h).
#include "browser/BuiltinLoader.h"

#include <algorithm>
#include <vector>

namespace Folio::Browser {

const std::array<TRuntimeChannel, 4> kRuntimeChannels = {{
    {u"stable", u"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", u""},
    {u"beta", u"{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}", u" beta"},
    {u"dev", u"{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}", u" dev"},
    {u"canary", u"{65C35B14-6C1D-4122-AC46-7148CC9D6497}", u" canary"},
}};

namespace {

// The four numbers of a version, or nothing: each part one to nine digits.
std::optional<std::array<uint32_t, 4>> ParseVersion(std::u16string_view text)
{
    std::array<uint32_t, 4> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        size_t digits = 0;
        uint32_t value = 0;
        while (digits < text.size() && text[digits] >= u'0' && text[digits] <= u'9') {
            value = value * 10 + uint32_t(text[digits] - u'0');
            if (++digits > 9) {
                return std::nullopt;
            }
        }
        if (digits == 0) {
            return std::nullopt;
        }
        text.remove_prefix(digits);
        if (i + 1 < parts.size()) {
            if (text.empty() || text.front() != u'.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        parts[i] = value;
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    return parts;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// "C:\..." or "\\server\...": a relative folder would make the library's path one that
// the system searches for.
bool IsFullPath(std::u16string_view path)
{
    if (path.size() >= 3 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
        path[1] == u':' && IsSeparator(path[2])) {
        return true;
    }
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

} // namespace

std::u16string ClientStateKey(const TRuntimeChannel& channel)
{
    return u"SOFTWARE\\Microsoft\\EdgeUpdate\\ClientState\\" + std::u16string(channel.Guid);
}

std::u16string ClientLibraryPath(std::u16string_view versionFolder, TClientArchitecture architecture)
{
    while (!versionFolder.empty() && IsSeparator(versionFolder.back())) {
        versionFolder.remove_suffix(1);
    }
    const std::u16string_view folder = architecture == TClientArchitecture::X64     ? u"x64"
                                       : architecture == TClientArchitecture::Arm64 ? u"arm64"
                                                                                    : u"x86";
    // The library loader wants backslashes when it searches beside the library.
    std::u16string path = std::u16string(versionFolder) + u"\\EBWebView\\" + std::u16string(folder) +
                          u"\\EmbeddedBrowserWebView.dll";
    std::replace(path.begin(), path.end(), u'/', u'\\');
    return path;
}

std::optional<std::u16string> VersionOfFolder(std::u16string_view folder)
{
    while (!folder.empty() && IsSeparator(folder.back())) {
        folder.remove_suffix(1);
    }
    const auto slash = std::find_if(folder.rbegin(), folder.rend(), IsSeparator);
    const std::u16string_view last = folder.substr(size_t(folder.rend() - slash));
    if (!ParseVersion(last)) {
        return std::nullopt;
    }
    return std::u16string(last);
}

bool VersionAtLeast(std::u16string_view version, std::u16string_view minimum)
{
    const auto a = ParseVersion(version);
    const auto b = ParseVersion(minimum);
    return a && b && *a >= *b;
}

bool PrefersPreviewChannels(std::u16string_view releaseChannelPreference) { return releaseChannelPreference == u"1"; }

std::optional<TInstalledRuntime> FindInstalledRuntime(const TRuntimeSearch& search)
{
    std::vector<const TRuntimeChannel*> order;
    for (const auto& channel : kRuntimeChannels) {
        order.push_back(&channel);
    }
    if (search.PreferPreviewChannels) {
        std::reverse(order.begin(), order.end());
    }
    for (const TRuntimeChannel* channel : order) {
        const std::u16string key = ClientStateKey(*channel);
        for (const auto registry : {TRuntimeRegistry::LocalMachine32, TRuntimeRegistry::CurrentUser}) {
            const auto folder = search.ReadVersionFolder(registry, key);
            if (!folder || !IsFullPath(*folder)) {
                continue;
            }
            const auto version = VersionOfFolder(*folder);
            if (!version || !VersionAtLeast(*version, kMinimumRuntimeVersion)) {
                continue;
            }
            std::u16string client = ClientLibraryPath(*folder, search.Architecture);
            if (!search.FileExists(client)) {
                continue;
            }
            return TInstalledRuntime{*folder, *version, *version + std::u16string(channel->Suffix), std::move(client),
                                     channel};
        }
    }
    return std::nullopt;
}

} // namespace Folio::Browser
