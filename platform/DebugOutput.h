// Port: a line for the developer (the debugger output on Windows, standard error
// elsewhere). For failures that must not stop the program but should not vanish.
#pragma once

#include <string>

namespace Folio::Platform {

void DebugOutput(const std::string& line) noexcept;

} // namespace Folio::Platform
