// A stand-in for the browser-runtime installer. It writes what it was given to the file
// named by FOLIO_FAKEINSTALLER_LOG (its arguments, its show state and the WEBVIEW2_*
// variables it inherited, one "key=value" a line), creates the file named by
// FOLIO_FAKEINSTALLER_MARKER when set (the stand-in loader then reports the runtime as
// installed), sleeps FOLIO_FAKEINSTALLER_SLEEP milliseconds and exits with
// FOLIO_FAKEINSTALLER_EXIT.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

bool Variable(const wchar_t* name, std::wstring& value)
{
    wchar_t buffer[4096];
    SetLastError(0);
    const DWORD n = GetEnvironmentVariableW(name, buffer, DWORD(std::size(buffer)));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        return false;
    }
    value.assign(buffer, n < std::size(buffer) ? n : 0);
    return true;
}

std::wstring Get(const wchar_t* name)
{
    std::wstring value;
    return Variable(name, value) ? value : std::wstring();
}

void Append(std::wstring& log, const wchar_t* key, const std::wstring& value) { log += key + (L"=" + value) + L"\n"; }

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    STARTUPINFOW startup{sizeof(startup)};
    GetStartupInfoW(&startup);
    std::wstring log;
    Append(log, L"args", arguments ? arguments : L"");
    Append(log, L"show", (startup.dwFlags & STARTF_USESHOWWINDOW) ? std::to_wstring(startup.wShowWindow) : L"default");
    for (const wchar_t* name : {L"WEBVIEW2_USER_DATA_FOLDER", L"WEBVIEW2_ADDITIONAL_BROWSER_ARGUMENTS",
                                L"WEBVIEW2_BROWSER_EXECUTABLE_FOLDER", L"WEBVIEW2_RELEASE_CHANNEL_PREFERENCE"}) {
        std::wstring value;
        Append(log, name, Variable(name, value) ? L"[" + value + L"]" : L"(unset)");
    }
    const std::wstring logPath = Get(L"FOLIO_FAKEINSTALLER_LOG");
    if (!logPath.empty()) {
        HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const int bytes = WideCharToMultiByte(CP_UTF8, 0, log.c_str(), int(log.size()), nullptr, 0, nullptr, nullptr);
            std::string utf8(size_t(bytes), '\0');
            WideCharToMultiByte(CP_UTF8, 0, log.c_str(), int(log.size()), utf8.data(), bytes, nullptr, nullptr);
            DWORD written = 0;
            WriteFile(file, utf8.data(), DWORD(utf8.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
    const std::wstring marker = Get(L"FOLIO_FAKEINSTALLER_MARKER");
    if (!marker.empty()) {
        CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    Sleep(DWORD(_wtoi(Get(L"FOLIO_FAKEINSTALLER_SLEEP").c_str())));
    return _wtoi(Get(L"FOLIO_FAKEINSTALLER_EXIT").c_str());
}
