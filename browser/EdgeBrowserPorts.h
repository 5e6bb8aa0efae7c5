// The ports of the browser control: what it needs from the native window around it and
// from the UI thread. The Win32 adapters are in browser/win32/; the unit tests drive fakes.
#pragma once

#include "browser/ComBase.h"

#include <functional>
#include <string>

namespace Folio::Shared {

// Work for the UI thread, in the order it was posted.
class TUiQueue {
public:
    virtual ~TUiQueue() = default;
    // Callable from any thread; the work runs later on the UI thread, never at once.
    virtual void Post(std::function<void()> work) = 0;
    virtual bool IsUiThread() const = 0;
    // Runs work on a detached worker thread of its own.
    virtual void RunDetached(std::function<void()> work) = 0;
};

// What the control's native window tells the control.
class TEdgeBrowserWindowEvents {
public:
    virtual void WindowCreated() = 0; // also after a re-creation of the window
    virtual void Resized() = 0;
    virtual void VisibilityChanged() = 0;
    virtual void SysCommand(UINT command) = 0;
    virtual void FocusEntered() = 0;
    virtual void FocusExited() = 0;

protected:
    ~TEdgeBrowserWindowEvents() = default;
};

// The control's native window, the form that contains it, and the browser process.
class TEdgeBrowserSite {
public:
    virtual ~TEdgeBrowserSite() = default;
    // Null detaches. The site calls back only while attached.
    virtual void Attach(TEdgeBrowserWindowEvents* events) = 0;
    virtual void SetParent(HWND parent) = 0;
    virtual bool HasParent() const = 0;
    // The window handle; creates the window when it does not exist yet.
    virtual HWND Handle() = 0;
    virtual RECT ClientRect() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetBounds(const RECT& bounds) = 0; // in the parent's client coordinates
    virtual void Focus() = 0;
    // Offers a key message to the shortcut handling of the top-level form that
    // contains the control; true when the form ran a command for it.
    virtual bool OfferShortcut(UINT message, UINT virtualKey, INT keyData) = 0;
    // Moves the focus along the tab order from the control (tab stops only).
    virtual void SelectNextControl(bool forward) = 0;
    // A stream that creates or truncates the file, for writing the preview.
    virtual HRESULT CreateFileStream(const std::u16string& path, IStream** stream) = 0;
    // Waits up to timeoutMs for the process to end, then terminates it.
    virtual void EndProcess(UINT32 processId, DWORD timeoutMs) = 0;
};

} // namespace Folio::Shared
