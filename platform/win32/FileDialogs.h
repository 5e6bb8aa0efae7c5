// The file dialogs of Windows (common item dialogs) behind the TFileDialogs port.
#pragma once

#include "platform/FileDialogs.h"

#include <string>

namespace Folio::Win32 {

class TCommonItemDialogs final : public Platform::TFileDialogs {
public:
    std::u16string OpenFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types) override;
    std::u16string SaveFile(const std::u16string& title, const std::u16string& fileName,
                            const std::vector<Platform::TFileType>& types, bool overwritePrompt) override;
    std::u16string SelectFolder(const std::u16string& title) override;

private:
    std::u16string FLastFolder; // the folder dialog starts with the name chosen last
};

} // namespace Folio::Win32
