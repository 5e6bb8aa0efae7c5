// Port: ending the user's session or the computer's run on the page's request.
#pragma once

#include "platform/Shell.h"

namespace Folio::Platform {

enum class TPowerAction { Logoff, Reboot, Shutdown };

class TPower {
public:
    virtual ~TPower() = default;
    // Asks Windows to carry out the action; Ok once it has accepted it.
    virtual TSystemOutcome Exit(TPowerAction action) = 0;
};

TPower& SystemPower();

} // namespace Folio::Platform
