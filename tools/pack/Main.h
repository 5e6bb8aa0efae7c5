// folio-pack's entry, given the command line as UTF-16 (argument 0 is the program).
#pragma once

#include <string>
#include <vector>

namespace Folio::Pack {

int PackMain(const std::vector<std::u16string>& args);

} // namespace Folio::Pack
