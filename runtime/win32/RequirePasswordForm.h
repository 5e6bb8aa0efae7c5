// TRequirePasswordForm: the application's password prompt, shown modally before the
// main window exists. One masked text box with a key picture at its left edge; it
// closes itself with the OK result at the key release that completes the password.
// There is no OK button and Enter does nothing; any other way out gives another result.
#pragma once

#include "platform/win32/Handles.h"
#include "platform/win32/RoundedWindow.h"

#include <memory>
#include <string>

namespace Folio::Runtime {

class TRequirePasswordForm : public Win32::TRoundedWindow {
public:
    static constexpr int kClientWidth = 308, kClientHeight = 71; // at 96 DPI

    TRequirePasswordForm();
    ~TRequirePasswordForm() override;

    const std::u16string& Password() const noexcept { return FPassword; }
    void SetPassword(const std::u16string& value) { FPassword = value; }
    // The title bar's text; may be set before the window exists.
    void SetCaption(const std::u16string& value);

    // Creates the window when it does not exist yet, centred on the screen with no owner,
    // shows it and runs its own message loop until it closes. 1 (OK) when the password
    // was typed; 2 when it was closed otherwise or the loop met WM_QUIT (which is posted
    // again for the caller's loop).
    int ShowModal();
    int ModalResult() const noexcept { return FModalResult; }

    // Creates the (hidden) window; ShowModal does this itself.
    bool CreateForm();
    // The password box's whole text.
    std::u16string PasswordText() const;
    HWND PasswordEdit() const noexcept { return FPasswordEdit; }
    HWND KeyButton() const noexcept;

protected:
    HBRUSH BackgroundBrush() const override { return reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }
    void HandleCreated() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    class TKeyButton;

    void FormCreate();
    void CreateControls();
    void PasswordEditKeyUp();
    static LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    std::u16string FPassword;
    std::u16string FCaption;
    int FModalResult = 0;
    HWND FPasswordEdit = nullptr;
    WNDPROC FEditProc = nullptr; // the edit class's own procedure
    Win32::UniqueGdiObject FFont;
    std::unique_ptr<TKeyButton> FKeyButton;
};

// The start-up step: asks for the password under `caption`; true only when it was
// typed (the prompt's OK result).
bool AskApplicationPassword(const std::u16string& caption, const std::u16string& password);

} // namespace Folio::Runtime
