// libFuzzer target: messages from the page through the dispatcher and every function,
// over stand-ins that touch nothing (no files, no windows).
#include "bridge/BrowserExternalModule.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>

namespace {

class NoFileSystem final : public Folio::Platform::TFileSystem {
public:
    bool FileExists(const std::u16string&) override { return false; }
    bool DirectoryExists(const std::u16string&) override { return false; }
    bool RemoveFile(const std::u16string&) override { return false; }
    bool DeleteTree(const std::u16string&) override { return false; }
    void ForceDirectories(const std::u16string&) override {}
    void WriteFile(const std::u16string&, std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folio::Probe::TRecordingBrowser browser;
    static Folio::Probe::TFakeMainWindow window;
    static Folio::Probe::TScriptedDialogs dialogs;
    static Folio::Probe::TGivenSystemInfo system;
    static NoFileSystem files;
    static Folio::Shared::TAppSettings settings;
    static Folio::Bridge::TBrowserExternalModule module([] {
        Folio::Bridge::TBrowserExternalModule::TPorts ports;
        ports.Browser = &browser;
        ports.FileSystem = &files;
        ports.Dialogs = &dialogs;
        ports.MainWindow = &window;
        ports.System = &system;
        ports.Settings = &settings;
        ports.AppDirPath = u"C:\\App\\";
        return ports;
    }());
    module.OnDispatchError = [](const std::string&) {};
    browser.Posted.clear();
    const std::string text(reinterpret_cast<const char*>(data), size);
    module.EdgeBrowserWebMessageReceived(Folio::Shared::Utf8ToUtf16(text), u"file:///index.html");
    return 0;
}
