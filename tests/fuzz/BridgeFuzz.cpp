// libFuzzer target: messages from the page through the parser, the dispatcher and every
// function, over stand-ins that touch nothing (no files, no windows). The page is the
// package's index.html, so the messages get past the check of their source.
#include "bridge/BrowserExternalModule.h"
#include "tests/support/PackagePage.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folio::Probe::TStandIns standIns;
    static Folio::Probe::TFixedFileSystem files(false);
    static const FolioTest::TPackagePage page; // holds the index.html the messages come from
    static Folio::Bridge::TBrowserExternalModule module([] {
        auto ports = standIns.Ports(files, u"C:\\App\\");
        ports.Settings = &page.Settings;
        ports.Archive = &page.Archive;
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
