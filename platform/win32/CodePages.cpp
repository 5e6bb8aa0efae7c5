// ANSI and OEM code pages on Windows: the system's own, through the Win32 converters.
#include "util/TextCodecs.h"

#include <windows.h>

namespace Folio::Shared {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace {

std::u16string Decode(UINT codePage, std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0) {
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(out.data()), n);
    }
    return out;
}

std::string Encode(UINT codePage, std::u16string_view text)
{
    if (text.empty()) {
        return {};
    }
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(codePage, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    }
    return out;
}

} // namespace

std::u16string AnsiToUtf16(std::string_view text) { return Decode(CP_ACP, text); }
std::string Utf16ToAnsi(std::u16string_view text) { return Encode(CP_ACP, text); }
std::u16string OemToUtf16(std::string_view text) { return Decode(CP_OEMCP, text); }
std::string Utf16ToOem(std::u16string_view text) { return Encode(CP_OEMCP, text); }

} // namespace Folio::Shared
