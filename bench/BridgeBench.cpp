// Benchmarks of the bridge: parse + dispatch + reply of a fileExists-sized message, with
// a file system that answers at once, so that the bridge's own work is what is timed,
// next to a plain RapidJSON parse of the same message; the access keys of a long menu level.
#include "bridge/BrowserExternalModule.h"
#include "bridge/MenuModel.h"
#include "tools/bridge-probe/HostFakes.h"
#include "util/TextCodecs.h"

#include <benchmark/benchmark.h>

namespace {

const std::u16string kMessage =
    u"{\"id\":30001,\"uuid\":\"3b241101-e2bb-4255-8caf-4136c566a962\",\"data\":{\"filePath\":\"data/settings.json\"}}";

// The browser's port as the control has it: it takes the reply and keeps nothing, so
// that the copy a recording would make is not timed.
class TSinkBrowser final : public Folio::Bridge::TBrowserPort {
public:
    benchmark::IterationCount Replies = 0;
    void PostWebMessageAsJson(const std::u16string& json) override { Replies += !json.empty(); }
    void ExecuteScript(const std::u16string&) override {}
    double ZoomFactor() const override { return 1.0; }
    void SetZoomFactor(double) override {}
};

void DispatchFileExists(benchmark::State& state)
{
    TSinkBrowser browser;
    Folio::Probe::TFixedFileSystem files(true);
    Folio::Bridge::TBrowserExternalModule::TPorts ports;
    ports.Browser = &browser;
    ports.FileSystem = &files;
    ports.AppDirPath = u"C:\\Program Files\\Hello\\";
    Folio::Bridge::TBrowserExternalModule module(ports);
    for (auto _ : state) {
        module.EdgeBrowserWebMessageReceived(kMessage, u"file:///index.html");
    }
    if (browser.Replies != state.iterations()) {
        state.SkipWithError("a message went unanswered");
    }
}
BENCHMARK(DispatchFileExists)->Repetitions(5)->ReportAggregatesOnly(true);

// The machine's speed in the same run: RapidJSON alone reading the same message from
// UTF-8 into a document of its own, as a plain program would.
void PlainRapidJsonParse(benchmark::State& state)
{
    const std::string utf8 = Folio::Shared::Utf16ToUtf8(kMessage);
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse(utf8.data(), utf8.size());
        benchmark::DoNotOptimize(document.HasParseError());
    }
}
BENCHMARK(PlainRapidJsonParse)->Repetitions(5)->ReportAggregatesOnly(true);

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
