// Checks a package's settings before it is built or after it is read: the keys the
// runtime needs, values of the wrong type, and keys the runtime does not know.
#pragma once

#include "package/AppSettings.h"

#include <string>
#include <vector>

namespace Folio::Shared {

struct TSettingsProblem {
    bool Error; // false: a warning
    std::string Message;
};

std::vector<TSettingsProblem> CheckSettings(const TAppSettings& settings);

} // namespace Folio::Shared
