// TStyleManager: the process's one set of looks. The system look "Windows" is always
// there; the themes the executable carries are registered, under the name inside each
// file, the first time they are needed. Activating a theme tells the listeners, which
// repaint the windows (ui/themes/win32/StyleEngine.h on Windows).
#pragma once

#include "platform/ThemeEngine.h"
#include "ui/themes/ThemeFile.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Folio::Ui {

// "Unable to load style '%s'", "Unable to load styles: %s", "Style '%s' already registered".
class EStyleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::u16string_view kSystemStyleName = u"Windows";

struct TStyleResource {
    std::u16string ResourceName;
    std::string Bytes;
};

class TStyleManager final : public Platform::TThemeEngine {
public:
    struct THooks {
        // The theme files the process carries, in the order they are found.
        std::function<std::vector<TStyleResource>()> FindResources;
        // Tells the user a theme name matched nothing; by default nothing is shown.
        std::function<void(const std::u16string& message)> ShowError;
        // <0, 0, >0 without regard to case, in the user's order; ASCII-folding by default.
        std::function<int(std::u16string_view, std::u16string_view)> CompareText;
    };
    using TListener = std::function<void(const TPalette* palette)>;

    explicit TStyleManager(THooks hooks);

    std::u16string GetActiveTheme() override;
    std::vector<std::u16string> GetAvailables(bool sorted) override;
    bool TrySetStyle(const std::u16string& name, bool showError) override;

    // Registers one theme file; raises EStyleError for bytes that are no theme file
    // ("Unable to load style '<resourceName>'") or a name taken already.
    void RegisterStyle(const std::u16string& resourceName, std::string_view bytes);
    // The active theme's colours; nothing for the system look.
    const TPalette* ActivePalette() const;
    // Called after the active theme changed, with the new colours (nullptr: system look).
    int AddListener(TListener listener);
    void RemoveListener(int id);
    // Duplicates refused while discovering, with the message of each refusal.
    const std::vector<std::u16string>& Refused() const { return FRefused; }

private:
    struct TStyle {
        std::u16string Name;
        TPalette Palette;
        bool System = false;
    };
    void Discover();
    void Activate(const TStyle& style);
    bool SameName(std::u16string_view a, std::u16string_view b) const { return FHooks.CompareText(a, b) == 0; }

    THooks FHooks;
    bool FDiscovered = false;
    std::vector<TStyle> FRegistered;
    std::vector<std::u16string> FLoaded; // names, in the order they were first activated
    TStyle FActive;
    std::vector<std::pair<int, TListener>> FListeners;
    int FNextListener = 1;
    std::vector<std::u16string> FRefused;
};

} // namespace Folio::Ui
