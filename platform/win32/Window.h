// TWindow: the base of the program's own windows. The window procedure is noexcept
// and forwards each message to the object's HandleMessage; an exception that escapes
// a handler is caught there (and shown to a debugger), never crossing into Windows.
#pragma once

#include <windows.h>

#include <string>

namespace Folio::Win32 {

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Handle() const noexcept { return FHandle; }

    // Registers className (once per process) and creates the window. False on failure;
    // GetLastError tells why.
    bool Create(const wchar_t* className, const std::u16string& caption, DWORD style, DWORD exStyle, int x, int y,
                int width, int height, HWND parent = nullptr);
    void Destroy() noexcept;

protected:
    // Default: DefWindowProcW. Called for every message after WM_NCCREATE.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called once the handle exists (from WM_CREATE), also when a window is re-created.
    virtual void HandleCreated() {}
    // The class's style, background brush and cursor, read when the class is registered
    // (the first Create of a class name in the process).
    virtual UINT ClassStyle() const { return CS_HREDRAW | CS_VREDRAW; }
    virtual HBRUSH BackgroundBrush() const { return reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1); }
    virtual HCURSOR ClassCursor() const { return LoadCursorW(nullptr, IDC_ARROW); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HWND FHandle = nullptr;
};

// The DPI the window is shown at (96 where the system cannot tell per window).
UINT WindowDpi(HWND window) noexcept;

// Reports an exception caught at a boundary (window procedure, COM callback) where it
// may not pass: to the debugger output, where a developer sees it.
void ReportCaughtException(const char* where) noexcept;

} // namespace Folio::Win32
