// The built-in loader on Windows: the registry and file system behind the search of
// browser/BuiltinLoader.cpp, the runtime's client library loaded by its full path, and
// the entry points the control calls in place of a loader library's.
//
// The environment is created as the runtime's own loader creates it for
// CreateCoreWebView2Environment: the client's CreateWebViewEnvironmentWithOptionsInternal
// with checkRunningInstance TRUE, runtime type 0 (installed), the user data folder from
// WEBVIEW2_USER_DATA_FOLDER, and no options. The browser arguments stay in the process
// environment (WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS), where the runtime reads them.
#include "browser/BuiltinLoader.h"
#include "browser/WebView2Loader.h"
#include "platform/win32/Handles.h"

#include <map>
#include <mutex>

namespace Folio::Browser {

namespace {

using Win32::U16;
using Win32::W;

using TCreateWebViewEnvironmentWithOptionsInternal =
    HRESULT(STDAPICALLTYPE*)(BOOL checkRunningInstance, int runtimeType, PCWSTR userDataFolder,
                             IUnknown* environmentOptions,
                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* environmentCreatedHandler);

constexpr HRESULT kNoRuntime = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

#if defined(_M_ARM64) || defined(__aarch64__)
constexpr TClientArchitecture kArchitecture = TClientArchitecture::Arm64;
#elif defined(_WIN64)
constexpr TClientArchitecture kArchitecture = TClientArchitecture::X64;
#else
constexpr TClientArchitecture kArchitecture = TClientArchitecture::X86;
#endif

std::optional<std::u16string> ReadEnvironment(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring value(size, L'\0');
    const DWORD got = GetEnvironmentVariableW(name, value.data(), size);
    if (got == 0 || got >= size) {
        return std::nullopt;
    }
    return U16(value.c_str(), got);
}

std::optional<std::u16string> ReadVersionFolder(TRuntimeRegistry registry, const std::u16string& key)
{
    const HKEY root = registry == TRuntimeRegistry::LocalMachine32 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const REGSAM view = registry == TRuntimeRegistry::LocalMachine32 ? KEY_WOW64_32KEY : 0;
    Win32::UniqueHKey opened;
    if (RegOpenKeyExW(root, W(key), 0, KEY_QUERY_VALUE | view, opened.Put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // A path, so a few thousand characters at most; a longer value is no folder of ours.
    std::wstring value(4096, L'\0');
    DWORD bytes = DWORD(value.size() * sizeof(wchar_t));
    if (RegGetValueW(opened.Get(), nullptr, L"EBWebView", RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return U16(value.c_str()); // RegGetValueW ends the string
}

bool FileExists(const std::u16string& path)
{
    const DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The client library's environment entry point. Each library is loaded once and kept for
// the process's life (the environments it made live on); one installed later under
// another version folder is loaded beside it. The file is held open without write or
// delete sharing from the check to the load, so what is loaded is what was checked.
TCreateWebViewEnvironmentWithOptionsInternal ClientEntryPoint(const std::u16string& path, HRESULT& failure)
{
    static std::mutex lock;
    static std::map<std::u16string, HMODULE> loaded;
    std::lock_guard guard(lock);
    HMODULE module = nullptr;
    if (const auto it = loaded.find(path); it != loaded.end()) {
        module = it->second;
    } else {
        Win32::UniqueFile held(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (!held || !GetFileInformationByHandle(held.Get(), &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            failure = held ? kNoRuntime : HRESULT_FROM_WIN32(GetLastError());
            return nullptr;
        }
        // The library's own folder is searched for its dependencies, never the program's.
        module = LoadLibraryExW(W(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) {
            failure = HRESULT_FROM_WIN32(GetLastError());
            return nullptr;
        }
        loaded.emplace(path, module);
    }
    const auto entry = reinterpret_cast<TCreateWebViewEnvironmentWithOptionsInternal>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreateWebViewEnvironmentWithOptionsInternal")));
    if (!entry) {
        failure = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    return entry;
}

HRESULT STDAPICALLTYPE BuiltinCreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)
{
    if (!handler) {
        return E_POINTER;
    }
    try {
        const auto runtime = FindSystemRuntime();
        if (!runtime) {
            return kNoRuntime;
        }
        HRESULT failure = E_FAIL;
        const auto create = ClientEntryPoint(runtime->ClientLibrary, failure);
        if (!create) {
            return failure;
        }
        const auto userData = ReadEnvironment(L"WEBVIEW2_USER_DATA_FOLDER");
        return create(TRUE, 0, userData && !userData->empty() ? W(*userData) : nullptr, nullptr, handler);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDAPICALLTYPE BuiltinBrowserVersion(PCWSTR browserExecutableFolder, LPWSTR* versionInfo)
{
    if (!versionInfo) {
        return E_POINTER;
    }
    *versionInfo = nullptr;
    // Only the installed runtime is looked for; a fixed-version folder is never asked.
    if (browserExecutableFolder) {
        return E_INVALIDARG;
    }
    try {
        const auto runtime = FindSystemRuntime();
        if (!runtime) {
            return kNoRuntime;
        }
        const size_t bytes = (runtime->VersionText.size() + 1) * sizeof(wchar_t);
        auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (!text) {
            return E_OUTOFMEMORY;
        }
        memcpy(text, W(runtime->VersionText), bytes);
        *versionInfo = text;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

std::optional<TInstalledRuntime> FindSystemRuntime()
{
    TRuntimeSearch search;
    search.ReadVersionFolder = ReadVersionFolder;
    search.FileExists = FileExists;
    search.Architecture = kArchitecture;
    search.PreferPreviewChannels =
        PrefersPreviewChannels(ReadEnvironment(L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE").value_or(u""));
    return FindInstalledRuntime(search);
}

} // namespace Folio::Browser

namespace Folio::Shared {

bool LoadBuiltinLoader(TLoaderFunctions& functions)
{
    functions = {};
    functions.CreateCoreWebView2Environment = &Browser::BuiltinCreateEnvironment;
    functions.GetAvailableCoreWebView2BrowserVersionString = &Browser::BuiltinBrowserVersion;
    return true;
}

} // namespace Folio::Shared
