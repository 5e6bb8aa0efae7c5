// The loader's process-wide state and the two routines the control calls through it.
#include "browser/WebView2Loader.h"

#include <mutex>

namespace Folio::Shared {

std::u16string LoaderPath;
TLoaderSource LoaderSource = TLoaderSource::Library;

namespace {

struct TLoaderState {
    std::mutex Lock;
    bool Loaded = false;
    TLoaderSource Source = TLoaderSource::Library; // what was loaded
    TLoaderFunctions Functions;
};

TLoaderState& State()
{
    static TLoaderState state;
    return state;
}

// The entry points after a successful load; null functions when there is none.
TLoaderFunctions LoadedFunctions()
{
    TLoaderState& state = State();
    if (!EnsureLoaderLoaded()) {
        return {};
    }
    std::lock_guard lock(state.Lock);
    return state.Functions;
}

} // namespace

bool EnsureLoaderLoaded()
{
    TLoaderState& state = State();
    std::lock_guard lock(state.Lock);
    if (state.Loaded) {
        return true;
    }
    TLoaderFunctions functions;
    if (LoaderSource == TLoaderSource::BuiltIn) {
        if (!LoadBuiltinLoader(functions)) {
            return false;
        }
    } else if (LoaderPath.empty() || !LoadLoaderLibrary(LoaderPath, functions)) {
        return false;
    }
    state.Functions = functions;
    state.Source = LoaderSource;
    state.Loaded = true;
    return true;
}

void FreeLoader()
{
    TLoaderState& state = State();
    std::lock_guard lock(state.Lock);
    if (state.Loaded && state.Source == TLoaderSource::Library) {
        FreeLoaderLibrary();
    }
    state.Loaded = false;
    state.Functions = {};
}

HRESULT LoaderCreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)
{
    const TLoaderFunctions functions = LoadedFunctions();
    if (!functions.CreateCoreWebView2Environment) {
        return E_FAIL;
    }
    return functions.CreateCoreWebView2Environment(handler);
}

HRESULT LoaderBrowserVersion(LPWSTR* version)
{
    const TLoaderFunctions functions = LoadedFunctions();
    // The loader of the current SDK no longer exports GetCoreWebView2BrowserVersionString;
    // GetAvailableCoreWebView2BrowserVersionString answers the same question (which runtime
    // a null browser folder finds) and is what such loaders offer instead.
    const auto get = functions.GetCoreWebView2BrowserVersionString
                         ? functions.GetCoreWebView2BrowserVersionString
                         : functions.GetAvailableCoreWebView2BrowserVersionString;
    if (!get) {
        return E_FAIL;
    }
    return get(nullptr, version);
}

} // namespace Folio::Shared
