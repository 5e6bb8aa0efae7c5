// bridge-probe: runs requests through the real dispatcher and functions over host
// fakes, one request per line on standard input, and prints each reply (or the line
// "no reply") in order. The tool for looking at the bridge, and the tests' driver.
//   bridge-probe [--source URI]
#include "bridge/BrowserExternalModule.h"
#include "util/TextCodecs.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

class RecordingBrowser final : public Folio::Bridge::TBrowserPort {
public:
    std::vector<std::u16string> Posted;
    std::vector<std::u16string> Scripts;
    double Zoom = 1.0;
    void PostWebMessageAsJson(const std::u16string& json) override { Posted.push_back(json); }
    void ExecuteScript(const std::u16string& script) override { Scripts.push_back(script); }
    double ZoomFactor() const override { return Zoom; }
    void SetZoomFactor(double factor) override { Zoom = factor; }
};

} // namespace

int main(int argc, char** argv)
{
    std::u16string source = u"file:///index.html";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--source") == 0 && i + 1 < argc) {
            source = Folio::Shared::Utf8ToUtf16(argv[++i]);
        } else {
            std::cerr << "usage: bridge-probe [--source URI] < requests\n";
            return 2;
        }
    }
    RecordingBrowser browser;
    Folio::Bridge::TBrowserExternalModule module({&browser});
    module.OnDispatchError = [](const std::string& message) { std::cerr << "bridge-probe: " << message << "\n"; };
    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t before = browser.Posted.size();
        module.EdgeBrowserWebMessageReceived(Folio::Shared::Utf8ToUtf16(line), source);
        if (browser.Posted.size() == before) {
            std::cout << "no reply\n";
        }
        for (size_t i = before; i < browser.Posted.size(); ++i) {
            std::cout << Folio::Shared::Utf16ToUtf8(browser.Posted[i]) << "\n";
        }
        std::cout.flush();
    }
    return 0;
}
