// The WebView2 loader: either the library found at LoaderPath (a package that carries one),
// or the built-in loader that finds the installed runtime itself. Either is made ready
// once per process by whichever thread asks first, its entry points looked up right
// then. Both come from the platform (browser/win32 or, for tests, browser/host).
#pragma once

#include "browser/WebView2.h"

#include <string>

namespace Folio::Shared {

// Full path of the loader library; start-up sets it before the first control exists.
extern std::u16string LoaderPath;

enum class TLoaderSource {
    Library, // the library at LoaderPath
    BuiltIn, // the platform's own loader; nothing is read from LoaderPath
};
// Start-up chooses before the first control exists; the library unless told otherwise.
extern TLoaderSource LoaderSource;

// The entry points; one the library does not export stays null and is never called.
struct TLoaderFunctions {
    Browser::TCreateCoreWebView2EnvironmentWithOptions CreateCoreWebView2EnvironmentWithOptions = nullptr;
    Browser::TCreateCoreWebView2Environment CreateCoreWebView2Environment = nullptr;
    Browser::TGetCoreWebView2BrowserVersionString GetCoreWebView2BrowserVersionString = nullptr;
    Browser::TGetAvailableCoreWebView2BrowserVersionString GetAvailableCoreWebView2BrowserVersionString = nullptr;
    Browser::TCompareBrowserVersions CompareBrowserVersions = nullptr;
};

// True once the library is loaded; a failed load leaves everything unset, so the next
// call tries again. Safe to call from any thread.
bool EnsureLoaderLoaded();
// Frees the library and forgets its entry points (at process end; tests start afresh).
void FreeLoader();

// CreateCoreWebView2Environment without options; E_FAIL without library or entry point.
HRESULT LoaderCreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
// The installed runtime's version (a null browser folder); E_FAIL likewise.
HRESULT LoaderBrowserVersion(LPWSTR* version);

// The platform's part: opens the library at path and fills in the entry points it has.
bool LoadLoaderLibrary(const std::u16string& path, TLoaderFunctions& functions);
void FreeLoaderLibrary();
// The platform's built-in loader: fills in its entry points; false where it has none.
bool LoadBuiltinLoader(TLoaderFunctions& functions);

} // namespace Folio::Shared
