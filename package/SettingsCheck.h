// Checks a package's settings before it is built or after it is read: the keys the
// runtime needs, values of the wrong type, and keys the runtime does not know.
#pragma once

#include "package/AppSettings.h"

#include <string>
#include <vector>

namespace Folio::Shared {

struct TSettingsProblem {
    bool Error; // false: a warning
    std::string Message; // values and key names from the file escaped (ShownText), safe to print
};

std::vector<TSettingsProblem> CheckSettings(const TAppSettings& settings);

// Whether an application ID can name a folder, a file-name component and a mutex on
// Windows without meaning anything else: not blank; none of the characters Windows
// refuses in names (\ / : * ? " < > |) nor control characters; no trailing dot or blank
// (Windows would drop them, so "." and ".." are out too); not a device name (CON,
// NUL, COM1...); at most 128 characters.
bool IsPlainAppId(std::u16string_view id);

} // namespace Folio::Shared
