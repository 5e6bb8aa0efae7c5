// The message dialog on Windows: a dialog-manager window built in memory, so that Enter,
// Escape, Tab and the close box behave as in any Windows dialog, laid out from the
// portable plan and scaled with the window's DPI. On Windows 8 and later the kind's icon
// is the program's PNG image, drawn smoothly at 32 x 32 pixels at 96 DPI; earlier
// Windows shows the system icon of the kind, which also stands in when the image cannot
// be had.
#include "runtime/LocalizedMessages.h"

#include "platform/win32/Handles.h"
#include "platform/win32/PngImage.h"
#include "platform/win32/Window.h"

#include <windows.h>
#include <versionhelpers.h>

#include <vector>

namespace Folio::Runtime {

namespace {

constexpr int kFirstButtonId = 100;

struct DialogState {
    const std::u16string* Text;
    const std::u16string* Caption;
    TDialogPlan Plan;
    TMsgDlgType Kind;
    Win32::UniqueBitmap Image;
    HICON SystemIcon = nullptr;
    RECT IconBox{};
};

const wchar_t* ImageName(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtError: return L"MSG_ERROR";
    case TMsgDlgType::mtWarning: return L"MSG_WARNING";
    case TMsgDlgType::mtInformation:
    case TMsgDlgType::mtConfirmation: return L"MSG_INFO";
    case TMsgDlgType::mtCustom: return nullptr;
    }
    return nullptr;
}

HICON SystemIconOf(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtError: return LoadIconW(nullptr, IDI_ERROR);
    case TMsgDlgType::mtWarning: return LoadIconW(nullptr, IDI_WARNING);
    case TMsgDlgType::mtInformation: return LoadIconW(nullptr, IDI_INFORMATION);
    case TMsgDlgType::mtConfirmation: return LoadIconW(nullptr, IDI_QUESTION);
    case TMsgDlgType::mtCustom: return nullptr;
    }
    return nullptr;
}

SIZE TextExtent(HDC dc, const std::u16string& text, int maxWidth, UINT flags)
{
    RECT box{0, 0, maxWidth, 0};
    DrawTextW(dc, Win32::W(text), static_cast<int>(text.size()), &box, flags | DT_CALCRECT);
    return {box.right - box.left, box.bottom - box.top};
}

void Layout(HWND dialog, DialogState& s)
{
    const UINT dpi = Win32::WindowDpi(dialog);
    auto scale = [dpi](int v) { return MulDiv(v, static_cast<int>(dpi), 96); };
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    HDC dc = GetDC(dialog);
    const HGDIOBJ oldFont = SelectObject(dc, font);

    const int margin = scale(12), gap = scale(6), iconSize = scale(32);
    const bool hasIcon = s.Kind != TMsgDlgType::mtCustom;
    if (hasIcon) {
        const wchar_t* name = ImageName(s.Kind);
        if (name && IsWindows8OrGreater()) {
            s.Image = Win32::LoadPngResource(name, iconSize);
        }
        if (!s.Image) {
            s.SystemIcon = SystemIconOf(s.Kind);
        }
    }
    const int textLeft = margin + (hasIcon ? iconSize + scale(12) : 0);
    const SIZE text = TextExtent(dc, *s.Text, scale(380), DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);

    std::vector<SIZE> buttons;
    int buttonsWidth = 0;
    const int buttonHeight = scale(23);
    for (const auto& b : s.Plan.Buttons) {
        const SIZE caption = TextExtent(dc, b.Caption, 0, DT_SINGLELINE);
        const int width = std::max<int>(scale(75), caption.cx + scale(24));
        buttons.push_back({width, buttonHeight});
        buttonsWidth += width;
    }
    if (!buttons.empty()) {
        buttonsWidth += gap * static_cast<int>(buttons.size() - 1);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);

    const int contentHeight = std::max<int>(hasIcon ? iconSize : 0, text.cy);
    const int clientWidth = std::max<int>(textLeft + text.cx + margin, buttonsWidth + 2 * margin);
    const int buttonsTop = margin + contentHeight + scale(16);
    const int clientHeight = buttonsTop + (buttons.empty() ? 0 : buttonHeight) + margin;

    s.IconBox = {margin, margin, margin + iconSize, margin + iconSize};
    HWND label = CreateWindowExW(0, L"STATIC", Win32::W(*s.Text), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                 textLeft, margin + (contentHeight - text.cy) / 2, text.cx, text.cy, dialog, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    int x = (clientWidth - buttonsWidth) / 2;
    for (size_t i = 0; i < s.Plan.Buttons.size(); ++i) {
        const bool isDefault = static_cast<int>(i) == s.Plan.DefaultButton;
        HWND button = CreateWindowExW(
            0, L"BUTTON", Win32::W(s.Plan.Buttons[i].Caption),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? WS_GROUP : 0) | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
            x, buttonsTop, buttons[i].cx, buttons[i].cy, dialog,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        x += buttons[i].cx + gap;
    }

    // Size the frame around the client area and centre it on its monitor's work area.
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    MONITORINFO monitor{sizeof(monitor)};
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const RECT& work = monitor.rcWork;
    SetWindowPos(dialog, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PaintIcon(HWND dialog, const DialogState& s)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    const RECT& box = s.IconBox;
    const int size = box.right - box.left;
    if (s.Image) {
        HDC memory = CreateCompatibleDC(dc);
        const HGDIOBJ old = SelectObject(memory, s.Image.Get());
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc, box.left, box.top, size, size, memory, 0, 0, size, size, blend);
        SelectObject(memory, old);
        DeleteDC(memory);
    } else if (s.SystemIcon) {
        DrawIconEx(dc, box.left, box.top, s.SystemIcon, size, size, 0, nullptr, DI_NORMAL);
    }
    EndPaint(dialog, &paint);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    try {
        auto* s = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
        switch (message) {
        case WM_INITDIALOG: {
            s = reinterpret_cast<DialogState*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetWindowTextW(dialog, Win32::W(*s->Caption));
            Layout(dialog, *s);
            const int focus = s->Plan.DefaultButton >= 0 ? s->Plan.DefaultButton : 0;
            if (s->Plan.DefaultButton >= 0) {
                SendMessageW(dialog, DM_SETDEFID, kFirstButtonId + s->Plan.DefaultButton, 0);
            }
            if (HWND button = GetDlgItem(dialog, kFirstButtonId + focus)) {
                SetFocus(button);
                return FALSE; // the focus is set
            }
            return TRUE;
        }
        case WM_PAINT:
            if (s) {
                PaintIcon(dialog, *s);
                return TRUE;
            }
            break;
        case WM_CLOSE: // the close box, Alt+F4
            EndDialog(dialog, kCloseBoxResult);
            return TRUE;
        case WM_COMMAND: {
            if (!s) {
                break;
            }
            const int id = LOWORD(wParam);
            const int index = id - kFirstButtonId;
            if (index >= 0 && index < static_cast<int>(s->Plan.Buttons.size())) {
                EndDialog(dialog, s->Plan.Buttons[static_cast<size_t>(index)].ModalResult);
                return TRUE;
            }
            if (id == IDCANCEL && s->Plan.EscapeButton >= 0) { // Escape
                EndDialog(dialog, s->Plan.Buttons[static_cast<size_t>(s->Plan.EscapeButton)].ModalResult);
                return TRUE;
            }
            return TRUE; // Enter without a default button, Escape without a button for it: nothing
        }
        default:
            break;
        }
    } catch (...) {
        Win32::ReportCaughtException("the message dialog");
    }
    return FALSE;
}

// An empty dialog template: style, caption and font; the controls come in WM_INITDIALOG.
std::vector<WORD> DialogTemplate()
{
    std::vector<WORD> t;
    auto put32 = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto putText = [&](const wchar_t* text) {
        for (; *text; ++text) {
            t.push_back(static_cast<WORD>(*text));
        }
        t.push_back(0);
    };
    put32(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    put32(0);                                    // extended style
    t.push_back(0);                              // no items
    t.push_back(0), t.push_back(0);              // x, y
    t.push_back(200), t.push_back(80);           // cx, cy (resized in WM_INITDIALOG)
    t.push_back(0);                              // no menu
    t.push_back(0);                              // standard dialog class
    t.push_back(0);                              // caption set later
    t.push_back(9);                              // point size
    putText(L"Segoe UI");
    return t;
}

} // namespace

int ShowLocalizedDialog(const std::u16string& Text, TMsgDlgType Kind, TMsgDlgButtons Buttons,
                        const std::u16string& Caption, const std::vector<std::u16string>& ButtonCaptions)
{
    // The plan stays left to right: in a right-to-left process the dialog is created
    // mirrored, and the system already shows its first button at the right.
    DialogState state{&Text, &Caption, PlanDialog(Buttons, ButtonCaptions), Kind, {}, nullptr, {}};
    std::vector<WORD> dialogTemplate = DialogTemplate();
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                nullptr, DialogProc, reinterpret_cast<LPARAM>(&state));
    // A dialog that could not be shown counts as refused.
    return result <= 0 ? mrCancel : static_cast<int>(result);
}

} // namespace Folio::Runtime
