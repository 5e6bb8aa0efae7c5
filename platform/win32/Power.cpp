// The power port on Windows: log off, restart, shut down through TSysUtils::ExitWindows.
#include "platform/win32/Power.h"

#include "platform/win32/Errors.h"
#include "platform/win32/SysUtils.h"

namespace Folio::Win32 {

UINT PowerExitFlags(Platform::TPowerAction action)
{
    switch (action) {
    case Platform::TPowerAction::Logoff: return EWX_LOGOFF | EWX_FORCEIFHUNG;
    case Platform::TPowerAction::Reboot: return EWX_REBOOT | EWX_FORCEIFHUNG;
    case Platform::TPowerAction::Shutdown: return EWX_SHUTDOWN | EWX_FORCEIFHUNG;
    }
    return EWX_LOGOFF | EWX_FORCEIFHUNG;
}

} // namespace Folio::Win32

namespace Folio::Platform {

namespace {

class Win32Power final : public TPower {
public:
    TSystemOutcome Exit(TPowerAction action) override
    {
        if (Win32::TSysUtils::ExitWindows(Win32::PowerExitFlags(action))) {
            return {true, {}};
        }
        return {false, Win32::SystemErrorText(GetLastError())};
    }
};

} // namespace

TPower& SystemPower()
{
    static Win32Power power;
    return power;
}

} // namespace Folio::Platform
