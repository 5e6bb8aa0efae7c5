// The windows pages open. Each runtime process started for a page's new window holds one
// of a few named slots of its application for its life, so that the windows pages open,
// and the windows those open in turn, stay few however a page behaves.
#pragma once

#include <string>

namespace Folio::Win32 {

// How many page-opened windows an application may have at once.
constexpr int kWindowSlots = 8;

// Whether a slot of the application is free now: a hint for the opener, which then
// starts the process that claims it.
bool WindowSlotFree(const std::u16string& appId);

// Claims a free slot for the rest of this process's life; false when all are taken
// (or none can be made).
bool ClaimWindowSlot(const std::u16string& appId);

} // namespace Folio::Win32
