// The host has no loader library: tests install the entry points of a fake one, which
// then "loads" from any path. See browser/host/HostLoader.h.
#include "browser/WebView2Loader.h"
#include "browser/host/HostLoader.h"

#include <mutex>
#include <optional>

namespace Folio::Shared {

namespace {

std::mutex Lock;
std::optional<TLoaderFunctions> Installed;

} // namespace

void InstallHostLoader(std::optional<TLoaderFunctions> functions)
{
    {
        std::lock_guard lock(Lock);
        Installed = functions;
    }
    FreeLoader();
}

bool LoadLoaderLibrary(const std::u16string&, TLoaderFunctions& functions)
{
    std::lock_guard lock(Lock);
    if (!Installed) {
        return false;
    }
    functions = *Installed;
    return true;
}

void FreeLoaderLibrary()
{
}

// The host's built-in loader is the fake one too.
bool LoadBuiltinLoader(TLoaderFunctions& functions)
{
    return LoadLoaderLibrary({}, functions);
}

} // namespace Folio::Shared
