// The name of a file written beside its target and then renamed over it: the target's
// name with a fresh random tag, so that two writers never pick the same file.
#pragma once

#include <string>

namespace Folio::Shared {

// "<target>.<16 hex digits>.tmp", a new tag at every call.
std::u16string TemporaryNameBeside(const std::u16string& target);

} // namespace Folio::Shared
