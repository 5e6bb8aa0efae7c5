// Port: the process's looks as the page's theme functions see them: the active
// theme's name, the names there are, and switching by name.
#pragma once

#include <string>
#include <vector>

namespace Folio::Platform {

class TThemeEngine {
public:
    virtual ~TThemeEngine() = default;
    virtual std::u16string GetActiveTheme() = 0;
    // The system look's name first, then every registered theme's; sorted when asked
    // (without regard to case, in the user's order).
    virtual std::vector<std::u16string> GetAvailables(bool sorted) = 0;
    // Activates the theme whose name matches without regard to case; false when none
    // does (with showError, after telling the user "Style '%s' not found").
    virtual bool TrySetStyle(const std::u16string& name, bool showError) = 0;
};

} // namespace Folio::Platform
