// A bridge module over the host stand-ins only (no files; a package that holds nothing
// but the calling page): requests in, the reply text out.
#pragma once

#include "bridge/BrowserExternalModule.h"
#include "tests/support/PackagePage.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <memory>
#include <string>
#include <vector>

namespace FolioTest {

struct TStandInModule {
    Folio::Probe::TStandIns StandIns;
    Folio::Probe::TFixedFileSystem Files{false};
    TPackagePage Package; // the page the requests come from
    std::unique_ptr<Folio::Bridge::TBrowserExternalModule> Module;
    std::vector<std::string> Errors;

    TStandInModule()
    {
        auto ports = StandIns.Ports(Files, u"C:\\Apps\\");
        ports.Archive = &Package.Archive;
        ports.Settings = &Package.Settings;
        Module = std::make_unique<Folio::Bridge::TBrowserExternalModule>(ports);
        Module->OnDispatchError = [this](const std::string& e) { Errors.push_back(e); };
    }
    // The reply to one request, "no reply" when there is none (yet).
    std::string Send(const std::string& request)
    {
        const size_t before = StandIns.Browser.Posted.size();
        Module->EdgeBrowserWebMessageReceived(Folio::Shared::Utf8ToUtf16(request), u"file:///index.html");
        return StandIns.Browser.Posted.size() == before ? "no reply" : Last();
    }
    std::string Last() const { return Folio::Shared::Utf16ToUtf8(StandIns.Browser.Posted.back()); }
    static std::string Request(int id, const std::string& uuid, const std::string& data = "{}")
    {
        return "{\"id\": " + std::to_string(id) + ", \"uuid\": \"" + uuid + "\", \"data\": " + data + "}";
    }
    static std::string Ok(const std::string& uuid, const std::string& result)
    {
        return "{\"uuid\": \"" + uuid + "\", \"success\": true, \"result\": " + result + "}";
    }
    static std::string Fail(const std::string& uuid, const std::string& message)
    {
        return "{\"uuid\": \"" + uuid + "\", \"success\": false, \"result\": \"" + message + "\"}";
    }
};

} // namespace FolioTest
