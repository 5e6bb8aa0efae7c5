// Port: facts of the process and the user's folders that the page may ask for.
// Folder paths end with a backslash, as the Windows shell folders do.
#pragma once

#include <string>

namespace Folio::Platform {

class TSystemInfo {
public:
    virtual ~TSystemInfo() = default;
    virtual std::u16string TempDir() = 0;
    virtual std::u16string UserDocumentsDir() = 0;
    virtual std::u16string UserDesktopDir() = 0;
    virtual std::u16string UserAppDataDir() = 0;   // roaming application data
    virtual std::u16string ExecutablePath() = 0;   // full path of the running executable
    virtual std::u16string CommandLine() = 0;      // the whole command line, program name first
    virtual char16_t DecimalSeparator() = 0;       // of the user's locale
};

TSystemInfo& SystemInfo();

} // namespace Folio::Platform
