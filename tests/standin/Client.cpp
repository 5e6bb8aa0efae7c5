// The stand-in built a second time as an installed runtime's client library
// (EmbeddedBrowserWebView.dll), for runs of packages that carry no loader: the built-in
// loader finds it through the registry and calls its environment entry point. It logs
// how it was called and the browser arguments the process environment holds, then
// creates the environment as the loader's entry point does.
#include "browser/WebView2.h"
#include "tests/standin/Log.h"

using namespace Folio::Standin;

extern "C" HRESULT STDAPICALLTYPE CreateCoreWebView2EnvironmentWithOptions(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

extern "C" HRESULT STDAPICALLTYPE CreateWebViewEnvironmentWithOptionsInternal(
    BOOL checkRunningInstance, int runtimeType, PCWSTR userDataFolder, IUnknown* environmentOptions,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler)
{
    try {
        TLogLine line("client-environment");
        line.Bool("checkRunningInstance", checkRunningInstance != FALSE)
            .Num("runtimeType", runtimeType)
            .Bool("options", environmentOptions != nullptr);
        userDataFolder ? line.Str("userDataFolder", FromWide(userDataFolder)) : line.Null("userDataFolder");
        const auto arguments = EnvironmentVariable(L"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS");
        arguments ? line.Str("browserArguments", *arguments) : line.Null("browserArguments");
        wchar_t module[MAX_PATH] = {};
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&CreateWebViewEnvironmentWithOptionsInternal), &self);
        GetModuleFileNameW(self, module, MAX_PATH);
        line.Str("library", FromWide(module)).Write();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return CreateCoreWebView2EnvironmentWithOptions(nullptr, nullptr, nullptr, environmentCreatedHandler);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
