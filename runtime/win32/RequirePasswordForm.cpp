// The password prompt (see RequirePasswordForm.h). The form is a plain window with its
// own modal loop rather than a dialog-manager dialog: the dialog manager would turn
// Enter and Escape into commands, and this prompt answers neither.
#include "runtime/win32/RequirePasswordForm.h"

#include "platform/win32/PngImage.h"
#include "runtime/MessageDialog.h"
#include "ui/themes/win32/StyleEngine.h"

namespace Folio::Runtime {

namespace {

constexpr int kEditLeft = 24, kEditTop = 24, kEditWidth = 257, kEditHeight = 21;

} // namespace

// The key picture inside the text box's left edge. It only shows the picture: it takes
// no focus and does nothing when clicked, so typing always goes on in the text box.
class TRequirePasswordForm::TKeyButton : public Win32::TWindow {
public:
    bool Create(HWND edit, int size, UINT dpi)
    {
        const int imageSize = MulDiv(16, static_cast<int>(dpi), 96);
        FImageSize = imageSize;
        FImage = Win32::LoadPngResource(imageSize <= 16 ? L"KEY_16" : L"KEY_32", imageSize);
        return TWindow::Create(L"FolioEditKeyButton", u"", WS_CHILD | WS_VISIBLE, 0, 0, 0, size, size, edit);
    }

protected:
    HBRUSH BackgroundBrush() const override { return reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1); }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_ERASEBKGND && Ui::ActivePalette()) { // it sits in the edit field: the field's ground
            RECT client;
            GetClientRect(Handle(), &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, Ui::PaletteBrush(Ui::ActivePalette()->Control));
            return 1;
        }
        if (message == WM_PAINT) {
            PAINTSTRUCT paint;
            if (const HDC dc = BeginPaint(Handle(), &paint)) {
                RECT client;
                GetClientRect(Handle(), &client);
                const int x = (client.right - FImageSize) / 2, y = (client.bottom - FImageSize) / 2;
                Win32::DrawPremultiplied(dc, {x, y, x + FImageSize, y + FImageSize}, FImage.Get(),
                                         {0, 0, FImageSize, FImageSize});
                EndPaint(Handle(), &paint);
            }
            return 0;
        }
        return TWindow::HandleMessage(message, wParam, lParam);
    }

private:
    Win32::UniqueBitmap FImage;
    int FImageSize = 16;
};

TRequirePasswordForm::TRequirePasswordForm() { FormCreate(); }

TRequirePasswordForm::~TRequirePasswordForm()
{
    Destroy(); // while the font and the key button's object still exist
}

void TRequirePasswordForm::FormCreate() { FPassword.clear(); }

void TRequirePasswordForm::SetCaption(const std::u16string& value)
{
    FCaption = value;
    if (Handle()) {
        SetWindowTextW(Handle(), Win32::W(FCaption));
    }
}

HWND TRequirePasswordForm::KeyButton() const noexcept { return FKeyButton ? FKeyButton->Handle() : nullptr; }

bool TRequirePasswordForm::CreateForm()
{
    if (Handle()) {
        return true;
    }
    // Placed and sized in HandleCreated, once the window's DPI is known.
    return TRoundedWindow::Create(L"FolioRequirePasswordForm", FCaption,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME, 0, 0,
                                  kClientWidth, kClientHeight);
}

void TRequirePasswordForm::HandleCreated()
{
    TRoundedWindow::HandleCreated();
    CreateControls();
}

void TRequirePasswordForm::CreateControls()
{
    const UINT dpi = Win32::WindowDpi(Handle());
    auto scale = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };

    RECT frame{0, 0, scale(kClientWidth), scale(kClientHeight)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const RECT& work = monitor.rcWork;
    SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    FFont.Reset(CreateFontW(-MulDiv(9, static_cast<int>(dpi), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                            DEFAULT_PITCH, L"Segoe UI"));
    FPasswordEdit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | ES_PASSWORD | ES_AUTOHSCROLL,
                                    scale(kEditLeft), scale(kEditTop), scale(kEditWidth), scale(kEditHeight), Handle(),
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!FPasswordEdit) {
        return;
    }
    SendMessageW(FPasswordEdit, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), FALSE);
    // The common controls' own mask is a bullet; this prompt shows stars.
    SendMessageW(FPasswordEdit, EM_SETPASSWORDCHAR, L'*', 0);
    // Without a limit of its own the box stops at some 30000 characters, and a longer
    // password could never be entered.
    SendMessageW(FPasswordEdit, EM_SETLIMITTEXT, 0, 0);
    // Subclassed for its key releases; the edit class leaves its user data free for the form.
    SetWindowLongPtrW(FPasswordEdit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    FEditProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        FPasswordEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TRequirePasswordForm::EditProc)));

    // The key sits in a square as high as the box's inside; the text starts after it.
    RECT inside;
    GetClientRect(FPasswordEdit, &inside);
    FKeyButton = std::make_unique<TKeyButton>();
    if (FKeyButton->Create(FPasswordEdit, inside.bottom, dpi)) {
        SendMessageW(FPasswordEdit, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(inside.bottom + scale(2), 0));
    }
}

std::u16string TRequirePasswordForm::PasswordText() const
{
    if (!FPasswordEdit) {
        return {};
    }
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(FPasswordEdit)) + 1, u'\0');
    const int copied = GetWindowTextW(FPasswordEdit, reinterpret_cast<wchar_t*>(text.data()),
                                      static_cast<int>(text.size()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void TRequirePasswordForm::PasswordEditKeyUp()
{
    // Exactly the same text: no trimming, no case folding.
    if (FModalResult == mrNone && PasswordText() == FPassword) {
        FModalResult = mrOk;
    }
}

LRESULT CALLBACK TRequirePasswordForm::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* self = reinterpret_cast<TRequirePasswordForm*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    if (!self || !self->FEditProc) {
        return DefWindowProcW(edit, message, wParam, lParam);
    }
    const WNDPROC base = self->FEditProc;
    try {
        switch (message) {
        case WM_CHAR:
            // A single-line box beeps at Enter, Escape and Tab outside a dialog; here they mean nothing.
            if (wParam == L'\r' || wParam == L'\n' || wParam == 0x1B || wParam == L'\t') {
                return 0;
            }
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP: { // any key, with or without Alt
            const LRESULT result = CallWindowProcW(base, edit, message, wParam, lParam);
            self->PasswordEditKeyUp();
            return result;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
            SetWindowLongPtrW(edit, GWLP_USERDATA, 0);
            self->FPasswordEdit = nullptr;
            break;
        default: break;
        }
    } catch (...) {
        Win32::ReportCaughtException("the password box");
    }
    return CallWindowProcW(base, edit, message, wParam, lParam);
}

LRESULT TRequirePasswordForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE: // the close box, Alt+F4: ends the loop without the password
        if (FModalResult == mrNone) {
            FModalResult = mrCancel;
        }
        return 0;
    case WM_DESTROY:
        if (FModalResult == mrNone) {
            FModalResult = mrCancel;
        }
        break;
    case WM_SETFOCUS: // activation gives the form the focus; the text box is where it belongs
        if (FPasswordEdit) {
            SetFocus(FPasswordEdit);
            return 0;
        }
        break;
    default: break;
    }
    return TRoundedWindow::HandleMessage(message, wParam, lParam);
}

int TRequirePasswordForm::ShowModal()
{
    if (!CreateForm()) {
        return mrCancel;
    }
    FModalResult = mrNone;
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
    SetFocus(FPasswordEdit);
    UpdateWindow(Handle());
    MSG msg;
    while (FModalResult == mrNone) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the quit belongs to the caller's loop
            FModalResult = mrCancel;
            break;
        }
        if (got < 0) {
            FModalResult = mrCancel;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (Handle()) {
        ShowWindow(Handle(), SW_HIDE);
    }
    return FModalResult;
}

bool AskApplicationPassword(const std::u16string& caption, const std::u16string& password)
{
    TRequirePasswordForm form;
    form.SetCaption(caption);
    form.SetPassword(password);
    return form.ShowModal() == mrOk;
}

} // namespace Folio::Runtime
