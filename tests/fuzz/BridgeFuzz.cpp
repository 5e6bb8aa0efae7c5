// libFuzzer target: messages from the page through the parser, the dispatcher and every
// function, over stand-ins that touch nothing (no files, no windows). The page is the
// package's index.html, so the messages get past the check of their source.
#include "bridge/BrowserExternalModule.h"
#include "package/ZipWriter.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folio::Probe::TStandIns standIns;
    static Folio::Probe::TFixedFileSystem files(false);
    static const std::string package = [] {
        std::ostringstream out;
        Folio::Shared::TZipWriter writer(out, {"pw", false});
        writer.AddBytes("app/index.html", "<p>hello</p>", 0);
        writer.Finish();
        return out.str();
    }();
    static Folio::Shared::TZipArchive zip = [] {
        Folio::Shared::TZipArchive z;
        z.SetPasswordBytes("pw");
        z.Open({reinterpret_cast<const uint8_t*>(package.data()), package.size()});
        return z;
    }();
    static Folio::Shared::TAppSettings settings = [] {
        Folio::Shared::TAppSettings s;
        s.LoadFromBytes("[App]\nID=a\nName=b\nDirName=app\n");
        return s;
    }();
    static Folio::Bridge::TBrowserExternalModule module([] {
        auto ports = standIns.Ports(files, u"C:\\App\\");
        ports.Settings = &settings;
        ports.Archive = &zip;
        return ports;
    }());
    module.OnDispatchError = [](const std::string&) {};
    standIns.Browser.Posted.clear();
    standIns.Shell.OnThread = false; // commands answer at once, through the queue pumped below
    const std::string text(reinterpret_cast<const char*>(data), size);
    module.EdgeBrowserWebMessageReceived(Folio::Shared::Utf8ToUtf16(text), u"file:///index.html");
    standIns.Queue.Pump();
    // Every well-formed request is answered or ignored, never answered twice.
    if (standIns.Browser.Posted.size() > 1) {
        __builtin_trap();
    }
    // What the stand-ins recorded would only grow from run to run.
    standIns.Shell.Commands.clear();
    standIns.Shell.Executed.clear();
    standIns.Shell.Explored.clear();
    standIns.Notifications.Shown.clear();
    standIns.Power.Actions.clear();
    standIns.Registry.Keys.clear();
    return 0;
}
