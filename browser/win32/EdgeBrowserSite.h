// The Win32 side of the browser control: its child window (size, visibility, system
// commands, focus), the form's shortcut handling, the file stream for previews and the
// ending of the browser process; and the UI thread's queue on a message-only window.
#pragma once

#include "browser/EdgeBrowserPorts.h"

#include <exception>
#include <functional>
#include <memory>

namespace Folio::Win32 {

// The registered message a top-level form receives when a key pressed in the page may
// be one of its shortcuts. lParam points to the key's MSG (WM_KEYDOWN, WM_KEYUP,
// WM_SYSKEYDOWN or WM_SYSKEYUP); the form returns nonzero when it ran a command for it,
// and the page then does not get the key.
UINT FormShortcutMessage() noexcept;

// A site whose window is created as a child of the parent the control is given.
std::unique_ptr<Shared::TEdgeBrowserSite> CreateEdgeBrowserSite();

// The UI thread's queue; create it on the UI thread, before the first control. What a
// queued call throws goes to onException (by default to the debugger output).
std::shared_ptr<Shared::TUiQueue> CreateUiQueue(std::function<void(std::exception_ptr)> onException = {});

} // namespace Folio::Win32
