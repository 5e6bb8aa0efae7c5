// Developer lines on Windows: the debugger output (DebugView, a debugger, Wine's +debugstr).
#include "platform/DebugOutput.h"

#include <windows.h>

namespace Folio::Platform {

void DebugOutput(const std::string& line) noexcept
{
    try {
        OutputDebugStringA((line + "\n").c_str());
    } catch (...) {
        OutputDebugStringA("Folio: a developer message was lost\n");
    }
}

} // namespace Folio::Platform
