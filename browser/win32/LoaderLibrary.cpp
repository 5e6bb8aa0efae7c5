// Opening the WebView2 loader library by its full path and looking up its exports.
#include "browser/WebView2Loader.h"
#include "platform/win32/Handles.h"

namespace Folio::Shared {

namespace {

// Freed when the process ends, by this owner's destructor.
Win32::UniqueModule LoaderModule;

template <typename F> void Find(HMODULE module, const char* name, F& slot)
{
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace

bool LoadLoaderLibrary(const std::u16string& path, TLoaderFunctions& functions)
{
    // Its own dependencies are looked for beside it and in the system folders, never in
    // the program's folder (which may be Downloads).
    Win32::UniqueModule module(LoadLibraryExW(Win32::W(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!module) {
        return false;
    }
    Find(module.Get(), "CreateCoreWebView2EnvironmentWithOptions", functions.CreateCoreWebView2EnvironmentWithOptions);
    Find(module.Get(), "CreateCoreWebView2Environment", functions.CreateCoreWebView2Environment);
    Find(module.Get(), "GetCoreWebView2BrowserVersionString", functions.GetCoreWebView2BrowserVersionString);
    Find(module.Get(), "GetAvailableCoreWebView2BrowserVersionString",
         functions.GetAvailableCoreWebView2BrowserVersionString);
    Find(module.Get(), "CompareBrowserVersions", functions.CompareBrowserVersions);
    LoaderModule = std::move(module);
    return true;
}

void FreeLoaderLibrary()
{
    LoaderModule.Reset();
}

} // namespace Folio::Shared
