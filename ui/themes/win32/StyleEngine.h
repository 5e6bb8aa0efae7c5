// The looks on Windows: the process's style manager, which finds its themes among the
// STYLEFILE resources of every module, and the engine that paints the active palette on
// every top-level window of the user-interface thread (pop-up menus keep the system look).
#pragma once

#include "ui/themes/StyleManager.h"

#include <windows.h>

#include <functional>
#include <string>

namespace Folio::Ui {

// The one style manager of the process.
TStyleManager& StyleManager();

// The active theme's colours (0x00BBGGRR); nullptr while the system look is active.
const TPalette* ActivePalette();
// Called on the user-interface thread after every switch of theme, with the new colours.
// The id is for RemovePaletteListener.
int AddPaletteListener(std::function<void(const TPalette* palette)> listener);
void RemovePaletteListener(int id);
// Sent (hidden windows) or posted (visible ones) to every themed window after a switch;
// wParam and lParam are 0. The engine repaints the window, then passes it on to the
// window's own procedure.
UINT PaletteChangedMessage();
// A solid brush of a palette colour, alive until the process ends (menus keep it).
HBRUSH PaletteBrush(uint32_t colour);

// Themes every top-level window this thread creates from now on, and tells the user
// through showError when a theme name matches nothing. Once per thread.
void InstallStyleEngine(std::function<void(const std::u16string& message)> showError);
// Themes a window that exists already (one created before the engine was installed).
void ThemeWindow(HWND window);
// Gives the window's menu bar the active palette's background; for a bar set after the
// window was themed (the page builds its menus at any time).
void ThemeMenuBar(HWND window);

} // namespace Folio::Ui
