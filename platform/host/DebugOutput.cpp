// Developer lines away from Windows: standard error.
#include "platform/DebugOutput.h"

#include <cstdio>

namespace Folio::Platform {

void DebugOutput(const std::string& line) noexcept { std::fprintf(stderr, "%s\n", line.c_str()); }

} // namespace Folio::Platform
