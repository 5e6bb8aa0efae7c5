// Benchmarks of the bridge: parse + dispatch + reply of a fileExists-sized message, with
// a file system that answers at once, so that the bridge's own work is what is timed;
// the access keys of a long menu level.
#include "bridge/BrowserExternalModule.h"
#include "bridge/MenuModel.h"
#include "tools/bridge-probe/HostFakes.h"

#include <benchmark/benchmark.h>

namespace {

void DispatchFileExists(benchmark::State& state)
{
    Folio::Probe::TStandIns standIns;
    Folio::Probe::TFixedFileSystem files(true);
    Folio::Bridge::TBrowserExternalModule module(standIns.Ports(files, u"C:\\Program Files\\Hello\\"));
    const std::u16string message =
        u"{\"id\":30001,\"uuid\":\"3b241101-e2bb-4255-8caf-4136c566a962\",\"data\":{\"filePath\":\"data/settings.json\"}}";
    for (auto _ : state) {
        module.EdgeBrowserWebMessageReceived(message, u"file:///index.html");
        standIns.Browser.Posted.clear(); // keep the recording from growing
    }
}
BENCHMARK(DispatchFileExists)->Repetitions(5)->ReportAggregatesOnly(true);

// Access keys for a long menu level whose marked keys all come first: every other
// caption looks for a key among letters already taken.
void MenuAccessKeysLongLevel(benchmark::State& state)
{
    std::vector<Folio::Platform::TMenuNode> items(20000);
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].Caption = i < 10000 ? u"&b" : i == 10000 ? u"&a" : std::u16string(40, u'a');
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(Folio::Bridge::DisplayItems(items));
    }
}
BENCHMARK(MenuAccessKeysLongLevel)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
