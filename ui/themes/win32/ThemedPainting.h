// What the style engine paints itself: the frame and title bar where no desktop window
// manager colours them, and push buttons in the palette's colours.
#pragma once

#include "ui/themes/ThemeFile.h"

#include <windows.h>

#include <commctrl.h> // after windows.h, which it needs

namespace Folio::Ui {

// True when frames are the engine's to paint: the desktop window manager does not
// compose them (Windows 7 basic and classic looks, Wine).
bool PaintsFrames();
// Title bar, caption buttons and border over what the system drew; the menu bar is left.
void PaintFrame(HWND window, const TPalette& palette);
// A push button's custom-draw notice: draws it and answers CDRF_SKIPDEFAULT, or answers
// CDRF_DODEFAULT for anything else.
LRESULT DrawButton(const NMCUSTOMDRAW& draw, const TPalette& palette);

} // namespace Folio::Ui
