// Benchmark of request serving: a file:/// URL answered from the package, for 100 KB
// and 1 MB entries stored and encrypted (as folio-pack writes them) and deflated, next
// to the raw extraction of the same entry, so the cost of serving itself shows.
#include "browser/RequestServing.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/ZipBuilder.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <sstream>

using namespace Folio::Shared;
using Folio::Browser::ServeFileRequest;
using Folio::Browser::TServingContext;

namespace {

const std::string kPassword = "bench-Pa55";
constexpr int64_t kSizes[] = {100 << 10, 1 << 20};

std::string EntryName(int64_t size) { return "app/assets/bundle-" + std::to_string(size) + ".js"; }

// Script-like text; deflates about as well as a web app's bundles do.
std::string ScriptText(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    const char* words[] = {"function", "return", "const", "window.kiv", "await", "{", "}", "\n", "=>", "value"};
    std::string text;
    while (text.size() < n) {
        text += words[g() % 10];
        text += ' ';
    }
    text.resize(n);
    return text;
}

// Both entry sizes among a few hundred small files, as a package of a web app holds them.
const std::string& Package(bool deflated)
{
    static std::map<bool, std::string> cache;
    auto& s = cache[deflated];
    if (!s.empty()) {
        return s;
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 300; ++i) {
        files.emplace_back("app/pages/page-" + std::to_string(i) + ".html", ScriptText(2000, i));
    }
    for (const int64_t size : kSizes) {
        files.emplace_back(EntryName(size), ScriptText(static_cast<size_t>(size), 7));
    }
    if (deflated) {
        std::vector<FolioTest::RawEntry> entries;
        for (const auto& [name, text] : files) {
            entries.push_back(FolioTest::Deflated(name, text));
        }
        s = FolioTest::BuildZip(entries).Bytes;
    } else {
        std::ostringstream out;
        TZipWriter writer(out, {kPassword, false});
        for (const auto& [name, text] : files) {
            writer.AddBytes(name, text, 0x5A210000);
        }
        writer.Finish();
        s = out.str();
    }
    return s;
}

struct Opened {
    TZipArchive Zip;
    explicit Opened(bool deflated)
    {
        const auto& bytes = Package(deflated);
        Zip.SetPasswordBytes(kPassword);
        Zip.Open({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    }
};

// The whole answer: URL rules, lookup, extraction into a fresh buffer, type and header.
void Serve(benchmark::State& state, bool deflated)
{
    Opened package(deflated);
    TServingContext ctx;
    ctx.Archive = &package.Zip;
    ctx.AppDirName = u"app";
    ctx.AppDirPath = u"C:\\Apps\\Hello\\";
    const std::string name = EntryName(state.range(0)).substr(4);
    const std::u16string uri = u"file:///" + std::u16string(name.begin(), name.end()) + u"?v=3";
    for (auto _ : state) {
        auto response = ServeFileRequest(uri, ctx);
        if (!response || response->StatusCode != 200 || response->Body.size() != static_cast<size_t>(state.range(0))) {
            state.SkipWithError("not served");
            break;
        }
        benchmark::DoNotOptimize(response->Body.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The anchor: the same entry found and extracted into a fresh buffer, nothing else.
void Extract(benchmark::State& state, bool deflated)
{
    Opened package(deflated);
    const std::string name = EntryName(state.range(0));
    const std::u16string entry(name.begin(), name.end());
    for (auto _ : state) {
        std::vector<uint8_t> out;
        const int index = package.Zip.Find(entry);
        if (index < 0 || package.Zip.Read(static_cast<size_t>(index), out) != ZipEntryStatus::Ok) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Serving's own work without the bytes: rules, lookup, MIME type, a refusal (403).
void RulesOnly(benchmark::State& state)
{
    Opened package(false);
    TServingContext ctx;
    ctx.Archive = &package.Zip;
    ctx.AppDirName = u"app";
    const std::u16string uri = u"file:///assets/caf%C3%A9/../not-there.js?v=3";
    for (auto _ : state) {
        auto response = ServeFileRequest(uri, ctx);
        benchmark::DoNotOptimize(response);
    }
}

BENCHMARK(RulesOnly);
BENCHMARK_CAPTURE(Serve, StoredEncrypted, false)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Extract, StoredEncrypted, false)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Serve, Deflated, true)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Extract, Deflated, true)->Arg(kSizes[0])->Arg(kSizes[1])->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
