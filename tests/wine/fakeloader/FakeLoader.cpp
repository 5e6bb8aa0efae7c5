// A stand-in for the browser loader library with the one export the runtime check asks
// for: it answers a fixed version, as a loader does when a browser runtime is installed.
#include <windows.h>
#include <objbase.h>

#include <cwchar>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo)
{
    if (!versionInfo) {
        return E_POINTER;
    }
    if (browserExecutableFolder) {
        *versionInfo = nullptr;
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    const wchar_t version[] = L"120.0.2210.91";
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(sizeof version));
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    std::wmemcpy(copy, version, sizeof version / sizeof(wchar_t));
    *versionInfo = copy;
    return S_OK;
}
