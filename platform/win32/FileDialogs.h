// The file dialogs of Windows (common item dialogs) behind the TFileDialogs port.
#pragma once

#include "platform/FileDialogs.h"

#include <windows.h>
#include <shobjidl.h>

#include <string>

namespace Folio::Win32 {

class TCommonItemDialogs final : public Platform::TFileDialogs {
public:
    std::u16string OpenFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types) override;
    std::u16string SaveFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types, bool overwritePrompt) override;
    std::u16string SelectFolder(const std::u16string& title) override;

    // The window the dialogs belong to (the main window), so that they stay in front of
    // it and it waits for them, also when the application is not the active one. None:
    // the dialogs have no owner.
    void SetOwner(HWND owner) noexcept { FOwner = owner; }

private:
    std::u16string FLastFolder; // the folder dialog starts with the name chosen last
    HWND FOwner = nullptr;
};

// Gives a dialog the system's default options for its kind with `add` set and `remove`
// cleared. False when the dialog does not take them.
bool AdjustDialogOptions(IFileDialog* dialog, FILEOPENDIALOGOPTIONS add, FILEOPENDIALOGOPTIONS remove) noexcept;

} // namespace Folio::Win32
