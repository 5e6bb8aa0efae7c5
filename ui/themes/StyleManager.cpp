// The style manager (see StyleManager.h): registration, lookup and activation.
#include "ui/themes/StyleManager.h"

#include "util/Case.h"
#include "util/TextCodecs.h"

#include <algorithm>

namespace Folio::Ui {

namespace {

int CompareFolded(std::u16string_view a, std::u16string_view b)
{
    const auto x = Shared::ToLower(a), y = Shared::ToLower(b);
    return x < y ? -1 : x == y ? 0 : 1;
}

std::string Narrow(std::u16string_view text)
{
    return Shared::Utf16ToUtf8(text);
}

} // namespace

TStyleManager::TStyleManager(THooks hooks) : FHooks(std::move(hooks))
{
    if (!FHooks.CompareText) {
        FHooks.CompareText = CompareFolded;
    }
    FActive = {std::u16string(kSystemStyleName), {}, true};
    FLoaded.push_back(FActive.Name);
}

void TStyleManager::RegisterStyle(const std::u16string& resourceName, std::string_view bytes)
{
    const auto theme = ReadThemeFile(bytes);
    if (!theme) {
        throw EStyleError("Unable to load style '" + Narrow(resourceName) + "'");
    }
    const bool taken = SameName(theme->Name, kSystemStyleName) ||
                       std::any_of(FRegistered.begin(), FRegistered.end(),
                                   [&](const TStyle& s) { return SameName(s.Name, theme->Name); });
    if (taken) {
        throw EStyleError("Style '" + Narrow(theme->Name) + "' already registered");
    }
    FRegistered.push_back({theme->Name, theme->Palette, false});
}

void TStyleManager::Discover()
{
    if (FDiscovered) {
        return;
    }
    FDiscovered = true;
    std::vector<std::u16string> broken;
    for (const auto& resource : FHooks.FindResources ? FHooks.FindResources() : std::vector<TStyleResource>{}) {
        if (!ReadThemeFile(resource.Bytes)) {
            broken.push_back(resource.ResourceName);
            continue;
        }
        try {
            RegisterStyle(resource.ResourceName, resource.Bytes);
        } catch (const EStyleError& e) {
            FRefused.push_back(Shared::Utf8ToUtf16(e.what())); // a duplicate: the first one stays
        }
    }
    if (broken.size() == 1) {
        throw EStyleError("Unable to load style '" + Narrow(broken[0]) + "'");
    }
    if (broken.size() > 1) {
        std::string names;
        for (const auto& name : broken) {
            names += (names.empty() ? "" : ", ") + Narrow(name);
        }
        throw EStyleError("Unable to load styles: " + names);
    }
}

std::u16string TStyleManager::GetActiveTheme()
{
    return FActive.Name;
}

std::vector<std::u16string> TStyleManager::GetAvailables(bool sorted)
{
    Discover();
    std::vector<std::u16string> names{std::u16string(kSystemStyleName)};
    for (const auto& style : FRegistered) {
        names.push_back(style.Name);
    }
    if (sorted) {
        std::stable_sort(names.begin(), names.end(),
                         [this](const auto& a, const auto& b) { return FHooks.CompareText(a, b) < 0; });
    }
    return names;
}

bool TStyleManager::TrySetStyle(const std::u16string& name, bool showError)
{
    Discover();
    const auto byName = [&](const std::u16string& candidate) { return SameName(candidate, name); };
    // The loaded looks first, then the registered ones, as the user's order compares them.
    const TStyle* found = nullptr;
    if (const auto loaded = std::find_if(FLoaded.begin(), FLoaded.end(), byName); loaded != FLoaded.end()) {
        if (*loaded == kSystemStyleName) {
            static const TStyle system{std::u16string(kSystemStyleName), {}, true};
            found = &system;
        } else {
            found = &*std::find_if(FRegistered.begin(), FRegistered.end(),
                                   [&](const TStyle& s) { return s.Name == *loaded; });
        }
    } else if (const auto registered = std::find_if(FRegistered.begin(), FRegistered.end(),
                                                    [&](const TStyle& s) { return byName(s.Name); });
               registered != FRegistered.end()) {
        found = &*registered;
    }
    if (!found) {
        if (showError && FHooks.ShowError) {
            FHooks.ShowError(u"Style '" + name + u"' not found");
        }
        return false;
    }
    if (found->Name != FActive.Name) {
        Activate(*found);
    }
    return true;
}

void TStyleManager::Activate(const TStyle& style)
{
    FActive = style;
    if (std::find(FLoaded.begin(), FLoaded.end(), style.Name) == FLoaded.end()) {
        FLoaded.push_back(style.Name);
    }
    const TPalette* palette = ActivePalette();
    const auto listeners = FListeners; // a listener may remove itself
    for (const auto& [id, listener] : listeners) {
        listener(palette);
    }
}

const TPalette* TStyleManager::ActivePalette() const
{
    return FActive.System ? nullptr : &FActive.Palette;
}

int TStyleManager::AddListener(TListener listener)
{
    FListeners.emplace_back(FNextListener, std::move(listener));
    return FNextListener++;
}

void TStyleManager::RemoveListener(int id)
{
    std::erase_if(FListeners, [id](const auto& entry) { return entry.first == id; });
}

} // namespace Folio::Ui
