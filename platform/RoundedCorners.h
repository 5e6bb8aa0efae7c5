// Rounded window corners: the preference a window asks the desktop window manager for
// (DWMWA_WINDOW_CORNER_PREFERENCE), from its own setting and the program-wide default.
#pragma once

#include <cstdint>

namespace Folio::Platform {

enum class TRoundedCornerType : uint8_t { rcDefault = 0, rcOff = 1, rcOn = 2, rcSmall = 3 };

// The program-wide default for windows whose own setting is rcDefault.
inline TRoundedCornerType DefaultRoundedCorners = TRoundedCornerType::rcOn;

// DWMWCP_DEFAULT 0, DWMWCP_DONOTROUND 1, DWMWCP_ROUND 2, DWMWCP_ROUNDSMALL 3.
constexpr int CornerPreference(TRoundedCornerType own, TRoundedCornerType fallback) noexcept
{
    const TRoundedCornerType chosen = own == TRoundedCornerType::rcDefault ? fallback : own;
    switch (chosen) {
    case TRoundedCornerType::rcOff: return 1;
    case TRoundedCornerType::rcOn: return 2;
    case TRoundedCornerType::rcSmall: return 3;
    case TRoundedCornerType::rcDefault: return 0;
    }
    return 0;
}

} // namespace Folio::Platform
