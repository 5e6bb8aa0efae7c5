// Process facts and folders away from Windows: the usual POSIX places.
#include "platform/SystemInfo.h"

#include "util/TextCodecs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Folio::Platform {

namespace {

std::u16string Folder(const std::string& path)
{
    std::u16string text = Shared::Utf8ToUtf16(path);
    if (text.empty() || text.back() != u'/') {
        text.push_back(u'/');
    }
    return text;
}

std::string Home()
{
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

class HostSystemInfo final : public TSystemInfo {
public:
    std::u16string TempDir() override
    {
        const char* tmp = std::getenv("TMPDIR");
        return Folder(tmp && *tmp ? tmp : "/tmp");
    }
    std::u16string UserDocumentsDir() override { return Folder(Home() + "/Documents"); }
    std::u16string UserDesktopDir() override { return Folder(Home() + "/Desktop"); }
    std::u16string UserAppDataDir() override
    {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        return Folder(config && *config ? config : Home() + "/.config");
    }
    std::u16string ExecutablePath() override
    {
        std::error_code ec;
        return Shared::Utf8ToUtf16(std::filesystem::read_symlink("/proc/self/exe", ec).string());
    }
    std::u16string CommandLine() override
    {
        // /proc/self/cmdline holds the arguments separated by zero bytes; quote each.
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        std::string line, argument;
        for (const char c : all.str() + '\0') {
            if (c != '\0') {
                argument.push_back(c);
                continue;
            }
            if (!line.empty()) {
                line.push_back(' ');
            }
            line += '"' + argument + '"';
            argument.clear();
        }
        return Shared::Utf8ToUtf16(line);
    }
    char16_t DecimalSeparator() override { return u'.'; }
};

} // namespace

TSystemInfo& SystemInfo()
{
    static HostSystemInfo info;
    return info;
}

} // namespace Folio::Platform
