// A library planted beside a packaged executable, or in its current folder, under the
// name of one the runtime or Windows' own libraries load while it runs. Once loaded, it
// leaves a file named after itself ("dwmapi.dll.loaded") in the folder that
// FOLIO_PLANTED_MARKERS names, holding the path it was loaded from, and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    wchar_t folder[MAX_PATH], module[MAX_PATH], marker[2 * MAX_PATH + 16];
    const DWORD folderLength = GetEnvironmentVariableW(L"FOLIO_PLANTED_MARKERS", folder, MAX_PATH);
    const DWORD moduleLength = GetModuleFileNameW(self, module, MAX_PATH);
    if (folderLength == 0 || folderLength >= MAX_PATH || moduleLength == 0 || moduleLength >= MAX_PATH) {
        return TRUE;
    }
    DWORD name = 0;
    for (DWORD i = 0; i < moduleLength; ++i) {
        if (module[i] == L'\\' || module[i] == L'/') {
            name = i + 1;
        }
    }
    lstrcpyW(marker, folder);
    lstrcatW(marker, L"\\");
    lstrcatW(marker, module + name);
    lstrcatW(marker, L".loaded");
    const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, module, moduleLength * sizeof(wchar_t), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
