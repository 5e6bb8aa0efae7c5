// Common item dialogs (see FileDialogs.h). A dialog object is made for each showing,
// since a dialog takes its file types only once. The system's default options stay (an
// open dialog only returns files that exist), and every dialog asks for file-system
// items, so that a library or another virtual place answers with a real path.
#include "platform/win32/FileDialogs.h"

#include "platform/win32/Handles.h"

#include <wrl/client.h>

#include <vector>

namespace Folio::Win32 {

using Microsoft::WRL::ComPtr;

namespace {

// Shows a prepared dialog owned by `owner`; the chosen path, or empty text.
std::u16string Show(IFileDialog* dialog, HWND owner, const std::u16string& title, const std::u16string& fileName,
                    const std::vector<Platform::TFileType>& types, FILEOPENDIALOGOPTIONS add,
                    FILEOPENDIALOGOPTIONS remove = 0)
{
    if (!AdjustDialogOptions(dialog, add | FOS_FORCEFILESYSTEM, remove)) {
        return {};
    }
    if (!title.empty()) {
        dialog->SetTitle(W(title));
    }
    if (!fileName.empty()) {
        dialog->SetFileName(W(fileName));
    }
    if (!types.empty()) {
        std::vector<COMDLG_FILTERSPEC> specs;
        for (const auto& t : types) {
            specs.push_back({W(t.Name), W(t.Mask)});
        }
        dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
        dialog->SetFileTypeIndex(1);
    }
    if (FAILED(dialog->Show(owner && IsWindow(owner) ? owner : nullptr))) {
        return {}; // cancelled, or the dialog could not be shown
    }
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(&item))) {
        return {};
    }
    UniqueCoTaskString path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path) {
        return {};
    }
    return U16(path.Get());
}

template <typename Interface>
ComPtr<Interface> Create(REFCLSID clsid)
{
    ComPtr<Interface> dialog;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog));
    return dialog;
}

} // namespace

bool AdjustDialogOptions(IFileDialog* dialog, FILEOPENDIALOGOPTIONS add, FILEOPENDIALOGOPTIONS remove) noexcept
{
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog->GetOptions(&options))) {
        return false;
    }
    return SUCCEEDED(dialog->SetOptions((options & ~remove) | add));
}

std::u16string TCommonItemDialogs::OpenFile(const std::u16string& title, const std::u16string& fileName,
                                            const std::vector<Platform::TFileType>& types)
{
    const auto dialog = Create<IFileOpenDialog>(CLSID_FileOpenDialog);
    return dialog ? Show(dialog.Get(), FOwner, title, fileName, types, FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST)
                  : std::u16string();
}

std::u16string TCommonItemDialogs::SaveFile(const std::u16string& title, const std::u16string& fileName,
                                            const std::vector<Platform::TFileType>& types, bool overwritePrompt)
{
    const auto dialog = Create<IFileSaveDialog>(CLSID_FileSaveDialog);
    if (!dialog) {
        return {};
    }
    const FILEOPENDIALOGOPTIONS prompt = FOS_OVERWRITEPROMPT;
    return overwritePrompt ? Show(dialog.Get(), FOwner, title, fileName, types, prompt)
                           : Show(dialog.Get(), FOwner, title, fileName, types, 0, prompt);
}

std::u16string TCommonItemDialogs::SelectFolder(const std::u16string& title)
{
    const auto dialog = Create<IFileOpenDialog>(CLSID_FileOpenDialog);
    if (!dialog) {
        return {};
    }
    const auto chosen = Show(dialog.Get(), FOwner, title, FLastFolder, {}, FOS_PICKFOLDERS | FOS_PATHMUSTEXIST);
    if (!chosen.empty()) {
        FLastFolder = chosen;
    }
    return chosen;
}

} // namespace Folio::Win32
