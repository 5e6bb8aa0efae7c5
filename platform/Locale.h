// Port: the user's language as Windows reports it for the user's default locale.
#pragma once

#include <string>

namespace Folio::Platform {

// The two-letter ISO 639 code ("en", "es"); empty when it cannot be read. On Windows
// from GetLocaleInfoW; elsewhere from LC_ALL, LC_MESSAGES or LANG ("es_ES.UTF-8" is "es").
std::u16string UserLanguageCode();

} // namespace Folio::Platform
