// Process facts and the user's folders on Windows.
#include "platform/SystemInfo.h"

#include "platform/win32/Handles.h"
#include "platform/win32/SysUtils.h"

#include <windows.h>

namespace Folio::Platform {

namespace {

class Win32SystemInfo final : public TSystemInfo {
public:
    std::u16string TempDir() override { return Win32::TSysUtils::GetTempDirPath(); }
    std::u16string UserDocumentsDir() override { return Win32::TSysUtils::GetUserDocumentsDirPath(); }
    std::u16string UserDesktopDir() override { return Win32::TSysUtils::GetUserDesktopDirPath(); }
    std::u16string UserAppDataDir() override { return Win32::TSysUtils::GetUserAppDataDirPath(); }
    std::u16string ExecutablePath() override
    {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
            if (n < path.size()) {
                return Win32::U16(path.c_str(), n);
            }
            path.resize(path.size() * 2);
        }
    }
    std::u16string CommandLine() override { return Win32::U16(GetCommandLineW()); }
    char16_t DecimalSeparator() override
    {
        wchar_t separator[8] = {};
        return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 0 && separator[0]
                   ? static_cast<char16_t>(separator[0])
                   : u'.';
    }
};

} // namespace

TSystemInfo& SystemInfo()
{
    static Win32SystemInfo info;
    return info;
}

} // namespace Folio::Platform
