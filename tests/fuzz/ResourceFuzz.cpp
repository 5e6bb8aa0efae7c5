// libFuzzer target: any bytes as an executable whose resources are read and rewritten.
// A read either refuses or lists resources; a rewrite either refuses or gives a file
// whose resources read back as the ones written, with the old ones and the change.
#include "platform/PeResources.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>

using namespace Folio::Platform;

namespace {

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> file(data, size);
    std::vector<Resource> resources;
    try {
        resources = ReadPeResources(file);
    } catch (const std::runtime_error&) {
        return 0;
    }
    std::erase_if(resources, [](const Resource& r) { return r.Type.Name.empty() && r.Type.Id == 16; });
    Resource change;
    change.Type.Id = 16;
    change.Name.Id = 1;
    change.Bytes = "version";
    resources.push_back(change);
    std::string out;
    try {
        out = WritePeResources(file, resources);
    } catch (const std::runtime_error&) {
        return 0;
    }
    std::vector<Resource> back;
    try {
        back = ReadPeResources({reinterpret_cast<const uint8_t*>(out.data()), out.size()});
    } catch (const std::runtime_error&) {
        Require(false); // a file this code wrote must read back
    }
    Require(back.size() == resources.size());
    return 0;
}
