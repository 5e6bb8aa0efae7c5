// The browser control's child window and what it asks of the form and the system.
#include "browser/win32/EdgeBrowserSite.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Window.h"

#include <shlwapi.h>

namespace Folio::Win32 {

namespace {

class TEdgeBrowserWindow final : public TWindow, public Shared::TEdgeBrowserSite {
public:
    ~TEdgeBrowserWindow() override
    {
        FEvents = nullptr;
        Destroy();
    }

    void Attach(Shared::TEdgeBrowserWindowEvents* events) override { FEvents = events; }

    void SetParent(HWND parent) override
    {
        FParent = parent;
        if (!parent) {
            return;
        }
        const HWND window = TWindow::Handle();
        if (!window) {
            CreateWindowNow();
            return;
        }
        // A window made before it had a parent waits as a hidden pop-up: it becomes a
        // shown child of its parent now.
        const auto style = DWORD(GetWindowLongW(window, GWL_STYLE));
        SetWindowLongW(window, GWL_STYLE, LONG((style & ~DWORD(WS_POPUP)) | WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP));
        ::SetParent(window, parent);
        ShowWindow(window, SW_SHOWNA);
    }
    bool HasParent() const override { return FParent != nullptr; }

    HWND Handle() override
    {
        if (!TWindow::Handle()) {
            CreateWindowNow();
        }
        return TWindow::Handle();
    }

    RECT ClientRect() const override
    {
        RECT rect{};
        if (TWindow::Handle()) {
            GetClientRect(TWindow::Handle(), &rect);
        }
        return rect;
    }

    // The control's own visibility, not whether its parents are shown.
    bool Visible() const override
    {
        if (FEntering >= 0) {
            return FEntering == 1;
        }
        return TWindow::Handle() && (GetWindowLongW(TWindow::Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    void SetBounds(const RECT& bounds) override
    {
        MoveWindow(Handle(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
    }

    void Focus() override { ::SetFocus(Handle()); }

    bool OfferShortcut(UINT message, UINT virtualKey, INT keyData) override
    {
        const HWND self = TWindow::Handle();
        const HWND form = self ? GetAncestor(self, GA_ROOT) : nullptr;
        if (!form || form == self) {
            return false;
        }
        MSG key{self, message, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(keyData)};
        return SendMessageW(form, FormShortcutMessage(), 0, reinterpret_cast<LPARAM>(&key)) != 0;
    }

    void SelectNextControl(bool forward) override
    {
        const HWND self = TWindow::Handle();
        const HWND form = self ? GetAncestor(self, GA_ROOT) : nullptr;
        if (!form || form == self) {
            return;
        }
        const HWND next = GetNextDlgTabItem(form, self, forward ? FALSE : TRUE);
        if (next && next != self && !IsChild(self, next)) {
            ::SetFocus(next);
        }
    }

    HRESULT CreateFileStream(const std::u16string& path, IStream** stream) override
    {
        return SHCreateStreamOnFileW(W(path), STGM_CREATE | STGM_READWRITE, stream);
    }

    void EndProcess(UINT32 processId, DWORD timeoutMs) override
    {
        const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
        if (process && WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(process.Get(), 1);
        }
    }

protected:
    void HandleCreated() override
    {
        if (FEvents) {
            FEvents->WindowCreated();
        }
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_SIZE:
            if (FEvents) {
                FEvents->Resized();
            }
            return 0;
        case WM_SHOWWINDOW:
            // Sent before the style changes: while the control handles it, Visible()
            // answers the state being entered. lParam 0: ShowWindow on this window
            // itself, not a parent being shown or hidden.
            if (FEvents && lParam == 0) {
                FEntering = wParam != 0 ? 1 : 0;
                FEvents->VisibilityChanged();
                FEntering = -1;
            }
            return TWindow::HandleMessage(message, wParam, lParam);
        case WM_SYSCOMMAND:
            if (FEvents) {
                FEvents->SysCommand(static_cast<UINT>(wParam));
            }
            return 0;
        case WM_SETFOCUS:
            if (FEvents) {
                FEvents->FocusEntered();
            }
            return 0;
        case WM_KILLFOCUS: {
            // Focus that moves into the web view's own windows stays inside the control.
            const auto next = reinterpret_cast<HWND>(wParam);
            if (FEvents && !(next && IsChild(TWindow::Handle(), next))) {
                FEvents->FocusExited();
            }
            return 0;
        }
        default:
            return TWindow::HandleMessage(message, wParam, lParam);
        }
    }

private:
    void CreateWindowNow()
    {
        // Without a parent yet the window waits hidden, as a pop-up, for SetParent.
        const DWORD style = FParent ? WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP : WS_POPUP | WS_CLIPCHILDREN;
        Create(L"FolioEdgeBrowser", u"", style, 0, 0, 0, 0, 0, FParent);
    }

    Shared::TEdgeBrowserWindowEvents* FEvents = nullptr;
    HWND FParent = nullptr;
    int FEntering = -1; // the visibility WM_SHOWWINDOW announces, while it is handled
};

} // namespace

UINT FormShortcutMessage() noexcept
{
    static const UINT message = RegisterWindowMessageW(L"Folio.FormShortcut");
    return message;
}

std::unique_ptr<Shared::TEdgeBrowserSite> CreateEdgeBrowserSite()
{
    return std::make_unique<TEdgeBrowserWindow>();
}

} // namespace Folio::Win32
