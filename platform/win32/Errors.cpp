// Error texts (see Errors.h).
#include "platform/win32/Errors.h"

#include "util/TextCodecs.h"

#include <cstdio>

namespace Folio::Win32 {

std::string ErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (n > 0 && buffer) {
        text.assign(reinterpret_cast<const char16_t*>(buffer), n);
        while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                                 text.back() == u'.')) {
            text.pop_back();
        }
    }
    if (buffer) {
        LocalFree(buffer);
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    return text.empty() ? std::string("error ") + hex : Shared::Utf16ToUtf8(text) + " (" + hex + ")";
}

std::u16string SystemErrorText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (n > 0 && buffer) {
        text.assign(reinterpret_cast<const char16_t*>(buffer), n);
    }
    if (buffer) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) {
        text.pop_back();
    }
    if (text.empty()) { // a code the system has no message for still says something
        const std::string fallback = "System error " + std::to_string(code);
        text.assign(fallback.begin(), fallback.end());
    }
    return text;
}

} // namespace Folio::Win32
