// Port: what the bridge needs of the browser control. The WebView2 control implements
// it; tests and bridge-probe use a recording fake.
#pragma once

#include <cstdint>
#include <string>

namespace Folio::Bridge {

class TBrowserPort {
public:
    virtual ~TBrowserPort() = default;
    // The document the page is now: it changes with every new top-level document, so a
    // reply or event meant for one document never reaches the next. A browser whose
    // document never changes may keep the default.
    virtual uint64_t DocumentId() const { return 0; }
    // Posts a reply (JSON text) to the page; the outcome is not reported.
    virtual void PostWebMessageAsJson(const std::u16string& json) = 0;
    // Runs a script in the page without waiting for it.
    virtual void ExecuteScript(const std::u16string& script) = 0;
    virtual double ZoomFactor() const = 0;
    virtual void SetZoomFactor(double factor) = 0;
};

} // namespace Folio::Bridge
