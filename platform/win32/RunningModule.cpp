// The running module on Windows: its file name, and E read from its mapped headers
// (the loader maps the headers exactly as they stand in the file).
#include "platform/RunningModule.h"

#include "platform/win32/Handles.h"

#include <windows.h>

namespace Folio::Platform {

ModuleImage CurrentModuleImage()
{
    ModuleImage image;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    image.Path = Win32::U16(path.c_str());

    const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    uint32_t end = 0;
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const uint32_t sum = section->PointerToRawData + section->SizeOfRawData; // a 32-bit sum
        end = sum > end ? sum : end;
    }
    image.ImageEnd = end;
    return image;
}

void ReportNothingAttachedAndExit()
{
    MessageBoxW(GetActiveWindow(), L"This is not a valid Windows application", L"Error", MB_ICONERROR);
    ExitProcess(0);
}

} // namespace Folio::Platform
