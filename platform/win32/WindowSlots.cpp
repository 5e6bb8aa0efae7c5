// Window slots (see WindowSlots.h): named mutexes "<AppID>.window.<n>". The system
// removes a name with the last handle to it, so a slot frees itself when the process
// that holds it ends, however it ends.
#include "platform/win32/WindowSlots.h"

#include "platform/win32/Handles.h"

#include <windows.h>

namespace Folio::Win32 {

namespace {

std::u16string SlotName(const std::u16string& appId, int slot)
{
    const std::string number = std::to_string(slot);
    return appId + u".window." + std::u16string(number.begin(), number.end());
}

} // namespace

bool WindowSlotFree(const std::u16string& appId)
{
    for (int slot = 0; slot < kWindowSlots; ++slot) {
        const HANDLE held = OpenMutexW(SYNCHRONIZE, FALSE, W(SlotName(appId, slot)));
        if (!held) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                return true;
            }
            continue; // the name is taken by something we may not open: not free
        }
        CloseHandle(held);
    }
    return false;
}

bool ClaimWindowSlot(const std::u16string& appId)
{
    for (int slot = 0; slot < kWindowSlots; ++slot) {
        const HANDLE created = CreateMutexW(nullptr, FALSE, W(SlotName(appId, slot)));
        if (!created) {
            continue; // the name is another kind of object, or of higher rights
        }
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(created);
            continue;
        }
        return true; // the handle stays open until the process ends: it is the slot
    }
    return false;
}

} // namespace Folio::Win32
