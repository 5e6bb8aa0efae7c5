// The top-level captions of the main menu bar under a theme. The system draws them in
// its own text colour whatever the bar's background, so under a palette they are drawn
// here (owner-drawn items); the drop-down menus keep the system look.
#pragma once

#include "ui/themes/ThemeFile.h"

#include <windows.h>

namespace Folio::Runtime {

// Flags the bar's top-level items owner-drawn or plain strings again. Their captions
// stay with them either way (GetMenuStringW reads them; the drawing does too).
void SetBarOwnerDrawn(HMENU bar, bool ownerDrawn);

// WM_MEASUREITEM and WM_DRAWITEM for one of the bar's owner-drawn items; false when the
// item is not the bar's.
bool MeasureBarItem(HMENU bar, MEASUREITEMSTRUCT& measure);
bool DrawBarItem(HMENU bar, const DRAWITEMSTRUCT& draw, const Ui::TPalette& palette);

} // namespace Folio::Runtime
