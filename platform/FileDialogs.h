// Port: the system's file and folder dialogs, as the page's dialog functions use them.
// Each call answers the chosen path, or the empty text when the user cancels or the
// dialog cannot be shown.
#pragma once

#include <string>
#include <vector>

namespace Folio::Platform {

struct TFileType {
    std::u16string Name;
    std::u16string Mask;
};

class TFileDialogs {
public:
    virtual ~TFileDialogs() = default;
    // Empty title or file name: not given to the dialog; types only when there are some.
    virtual std::u16string OpenFile(const std::u16string& title, const std::u16string& fileName,
                                    const std::vector<TFileType>& types) = 0;
    virtual std::u16string SaveFile(const std::u16string& title, const std::u16string& fileName,
                                    const std::vector<TFileType>& types, bool overwritePrompt) = 0;
    // The chosen folder as the dialog gives it (no trailing backslash added here).
    virtual std::u16string SelectFolder(const std::u16string& title) = 0;
};

} // namespace Folio::Platform
