// Colours as the settings hold them: a 32-bit value whose top byte 0xFF names a system
// colour by its index in the low byte (0xFF00001A is COLOR_HOTLIGHT), anything else an
// RGB colour in 0x00BBGGRR form.
#pragma once

#include <windows.h>

#include <cstdint>

namespace Folio::Win32 {

// The colour to paint with. The system colour is read now, so a theme change shows at
// the next call. Other top bytes (a palette index or palette-relative colour in a
// COLORREF) make no sense for a setting: only the RGB part is kept.
inline COLORREF ColorRefFromSetting(uint32_t value) noexcept
{
    if ((value >> 24) == 0xFF) {
        return GetSysColor(static_cast<int>(value & 0xFF));
    }
    return static_cast<COLORREF>(value & 0x00FFFFFF);
}

} // namespace Folio::Win32
