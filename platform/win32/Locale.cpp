// The user's language on Windows: LOCALE_SISO639LANGNAME of the user's default locale.
#include "platform/Locale.h"

#include "platform/win32/Handles.h"

#include <windows.h>

namespace Folio::Platform {

std::u16string UserLanguageCode()
{
    const int size = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring buffer(static_cast<size_t>(size), L'\0');
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, buffer.data(), size) <= 0) {
        return {};
    }
    return Win32::U16(buffer.c_str()); // up to the terminating zero
}

} // namespace Folio::Platform
