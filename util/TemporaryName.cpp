// Temporary names beside a target (see TemporaryName.h).
#include "util/TemporaryName.h"

#include <cstdio>
#include <random>

namespace Folio::Shared {

std::u16string TemporaryNameBeside(const std::u16string& target)
{
    // Seeded once a thread from the system's entropy; the tags then stay apart.
    thread_local std::mt19937_64 tags{std::random_device{}()};
    char tag[20];
    std::snprintf(tag, sizeof tag, ".%016llx", static_cast<unsigned long long>(tags()));
    return target + std::u16string(tag, tag + 17) + u".tmp";
}

} // namespace Folio::Shared
