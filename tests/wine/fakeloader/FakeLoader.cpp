// A stand-in for the browser loader library with the one export the runtime check asks
// for: it answers a fixed version, as a loader does when a browser runtime is installed.
// Two environment variables let start-up tests steer and watch it:
//   FOLIO_FAKELOADER_MARKER=PATH  the version is answered only while that file exists
//                                 (an installer writes it), else "not installed";
//   FOLIO_FAKELOADER_LOG=PATH     each process that loads the library appends a line
//                                 "<process id> <its command line>".
#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return n > 0 && n < std::size(value) ? std::wstring(value, n) : std::wstring();
}

void LogLoad()
{
    const std::wstring path = Variable(L"FOLIO_FAKELOADER_LOG");
    if (path.empty()) {
        return;
    }
    const std::wstring line = std::to_wstring(GetCurrentProcessId()) + L" " + GetCommandLineW() + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), int(line.size()), utf8.data(), bytes, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr);
        CloseHandle(file);
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        LogLoad();
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE
GetAvailableCoreWebView2BrowserVersionString(PCWSTR browserExecutableFolder, LPWSTR* versionInfo)
{
    if (!versionInfo) {
        return E_POINTER;
    }
    const std::wstring marker = Variable(L"FOLIO_FAKELOADER_MARKER");
    if (browserExecutableFolder || (!marker.empty() && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES)) {
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
