// Port: the main window as the page's app and window functions see it.
#pragma once

#include <string>

namespace Folio::Platform {

enum class TWindowState { Normal, Minimized, Maximized };

struct TBounds {
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

class TMainWindowHost {
public:
    virtual ~TMainWindowHost() = default;
    virtual bool OnTop() const = 0;
    virtual void SetOnTop(bool onTop) = 0;
    virtual TWindowState State() const = 0;
    virtual void SetState(TWindowState state) = 0;
    virtual std::u16string Title() const = 0;
    virtual void SetTitle(const std::u16string& title) = 0;
    virtual TBounds Bounds() const = 0; // outer bounds in screen pixels
    // One step; the window's size limits still apply.
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    // 0 none, 1 single, 2 sizeable, 3 dialog, 4 tool window, 5 sizeable tool window.
    virtual int Border() const = 0;
    virtual void SetBorder(int code) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void BringToFront() = 0;
    virtual bool TrayIconVisible() const = 0;
};

} // namespace Folio::Platform
