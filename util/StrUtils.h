// TStrUtils: stateless text operations shared by the runtime and the packer. The
// runtime writes JSON strings into bridge replies, types served files by their
// extension and splits dialog filter lists; the rest serve the packer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Folio::Shared {

using TArrayStrings = std::vector<std::u16string>;

enum class TStringSearchOption : unsigned {
    None = 0,
    MatchCase = 1,
    WholeWord = 2,
};
constexpr TStringSearchOption operator|(TStringSearchOption a, TStringSearchOption b)
{
    return static_cast<TStringSearchOption>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool HasOption(TStringSearchOption set, TStringSearchOption o)
{
    return (static_cast<unsigned>(set) & static_cast<unsigned>(o)) != 0;
}

// An OLE date: days since 1899-12-30, the fraction being the time of day.
struct TOleDate {
    double Value = 0;
};
using TOleVariant = std::variant<std::monostate, std::u16string, int64_t, double, TOleDate>;

class TStrUtils {
public:
    TStrUtils() = delete;

    // --- used by the runtime ---
    static std::u16string StringToJsonString(std::u16string_view value);
    static std::u16string GetFileMIMEType(std::u16string_view FileName);
    static TArrayStrings ExplodeStrings(std::u16string_view Separator, std::u16string_view Value);

    // --- used by the packer ---
    static std::u16string GetJavascriptArrayFromMultilineString(std::u16string_view Value);
    static std::u16string GetControlRandomSuffix(std::u16string_view Name);
    static std::u16string GetRandomString(int ALength, std::u16string_view ACharSequence);
    // The cache folder of an application file; FolderExists tells whether a folder is there.
    static std::u16string GetCacheFolder(std::u16string_view AppFilePath, std::u16string_view Suffix,
                                         std::u16string_view TempCache, std::u16string_view DefaultDir,
                                         const std::function<bool(const std::u16string&)>& FolderExists);
    static void GetUrlArguments(std::u16string_view URL, TArrayStrings& Arguments);
    static bool SubStringExists(std::u16string_view AString, std::u16string_view ASubString,
                                TStringSearchOption ASearchOptions);
    static std::u16string OleVarToStr(const TOleVariant& Value);
    static std::u16string AddLeadingZeroes(int64_t Number, int Length);
    static void StrToResolution(std::u16string_view Value, int& Width, int& Height);
    static std::u16string QuoteJavascript(std::u16string_view Value);
    static std::u16string UnquoteJavascript(std::u16string_view Value);
    static std::u16string QuoteArguments(std::u16string_view Value);
    static std::u16string UnquoteArguments(std::u16string_view Value);
    static std::u16string RepeatString(std::u16string_view Value, int Count);
    static std::u16string Capitalize(std::u16string_view Value);
    static bool FilePathIsHttpUrl(std::u16string_view Path);
    static bool FilePathIsAppRelative(std::u16string_view Path);
    static bool FilePathIsPluginRelative(std::u16string_view Path);
    static std::u16string ImplodeStrings(std::u16string_view Separator, const TArrayStrings& ArrayString);
};

// A byte count for people: "#.## bytes" up to 1024, then KB, MB above 1 MiB, GB above
// 1 GiB, with at most two decimals and no trailing zeros.
std::u16string FormatByteSize(int64_t Bytes);

// Every occurrence of From replaced by To, scanning left to right without overlap.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view From, std::u16string_view To);
// Delphi-style trimming: characters up to U+0020 (blanks and controls) removed.
std::u16string_view Trim(std::u16string_view text);
std::u16string_view TrimLeft(std::u16string_view text);
std::u16string_view TrimRight(std::u16string_view text);

} // namespace Folio::Shared
