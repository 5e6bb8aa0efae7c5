// The user's language away from Windows: the POSIX locale variables.
#include "platform/Locale.h"

#include <cstdlib>
#include <string>

namespace Folio::Platform {

std::u16string UserLanguageCode()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) {
            continue;
        }
        const std::string locale = value;
        if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) {
            return u"en";
        }
        const size_t end = locale.find_first_of("_.@");
        const std::string language = locale.substr(0, end);
        return std::u16string(language.begin(), language.end());
    }
    return u"en";
}

} // namespace Folio::Platform
