// Host builds only: the loader library that LoadLoaderLibrary finds, for the unit tests.
#pragma once

#include "browser/WebView2Loader.h"

#include <optional>

namespace Folio::Shared {

// Installs the entry points of a fake loader (nullopt: no library at any path) and
// unloads whatever was loaded, so the next EnsureLoaderLoaded loads afresh.
void InstallHostLoader(std::optional<TLoaderFunctions> functions);

} // namespace Folio::Shared
