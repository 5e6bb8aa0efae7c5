// Benchmark of the bridge: parse + dispatch + reply of a fileExists-sized message, with
// a file system that answers at once, so that the bridge's own work is what is timed.
#include "bridge/BrowserExternalModule.h"
#include "tools/bridge-probe/HostFakes.h"

#include <benchmark/benchmark.h>

namespace {

class InstantFileSystem final : public Folio::Platform::TFileSystem {
public:
    bool FileExists(const std::u16string&) override { return true; }
    bool DirectoryExists(const std::u16string&) override { return true; }
    bool RemoveFile(const std::u16string&) override { return true; }
    bool DeleteTree(const std::u16string&) override { return true; }
    void ForceDirectories(const std::u16string&) override {}
    void WriteFile(const std::u16string&, std::string_view) override {}
};

class DiscardingBrowser final : public Folio::Bridge::TBrowserPort {
public:
    size_t Bytes = 0;
    void PostWebMessageAsJson(const std::u16string& json) override { Bytes += json.size(); }
    void ExecuteScript(const std::u16string&) override {}
    double ZoomFactor() const override { return 1.0; }
    void SetZoomFactor(double) override {}
};

void DispatchFileExists(benchmark::State& state)
{
    DiscardingBrowser browser;
    InstantFileSystem files;
    Folio::Bridge::TBrowserExternalModule::TPorts ports;
    ports.Browser = &browser;
    ports.FileSystem = &files;
    ports.AppDirPath = u"C:\\Program Files\\Hello\\";
    Folio::Bridge::TBrowserExternalModule module(ports);
    const std::u16string message =
        u"{\"id\":30001,\"uuid\":\"3b241101-e2bb-4255-8caf-4136c566a962\",\"data\":{\"filePath\":\"data/settings.json\"}}";
    for (auto _ : state) {
        module.EdgeBrowserWebMessageReceived(message, u"file:///index.html");
    }
    benchmark::DoNotOptimize(browser.Bytes);
}
BENCHMARK(DispatchFileExists)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
