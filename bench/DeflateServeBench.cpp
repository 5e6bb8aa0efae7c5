// Benchmark of a deflated script served through the response path: the first 64 KB of
// a 5 MB script entry as folio-pack writes it by default (deflated, encrypted), beside
// the same entry stored, measured in the same run. Both are over the streaming
// threshold, so both answer with a streamed body: the time is the request's rules, the
// entry's lookup and the first piece decoded.
#include "browser/RequestServing.h"
#include "browser/StreamedBody.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <sstream>

using namespace Folio::Shared;
using namespace Folio::Browser;

namespace {

const std::string kPassword = "bench-Pa55";
constexpr size_t kScriptSize = 5 << 20;
constexpr size_t kPiece = 64 << 10;

// Script-like text; deflates about as well as a web app's bundles do.
std::string ScriptText(size_t n)
{
    std::mt19937 g(7);
    const char* words[] = {"function", "return", "const", "window.kiv", "await", "{", "}", "\n", "=>", "value",
                           "document.querySelector", "addEventListener", "true", "false", "null", "this"};
    std::string text;
    while (text.size() < n) {
        text += words[g() % 16];
        text += g() % 5 ? " " : std::to_string(g() % 1000) + ";\n";
    }
    text.resize(n);
    return text;
}

struct TPackage {
    std::string Bytes;
    TZipArchive Archive;
    uint64_t DeflatedSize = 0;
};

const TPackage& Package()
{
    static TPackage p = [] {
        TPackage made;
        std::ostringstream out;
        TZipWriter writer(out, {kPassword, false});
        const uint32_t when = TZipWriter::DosDateTime(1600000000);
        const std::string script = ScriptText(kScriptSize);
        writer.AddBytes("kiv.ini", "[App]\nID=bench.app\nName=Bench\nDirName=app\n", when, true);
        writer.AddBytes("app/bundle-stored.js", script, when, false);
        writer.AddBytes("app/bundle-deflated.js", script, when, true);
        writer.Finish();
        made.Bytes = out.str();
        return made;
    }();
    static const bool opened = [] {
        p.Archive.SetPasswordBytes(kPassword);
        const auto* data = reinterpret_cast<const uint8_t*>(p.Bytes.data());
        if (p.Archive.Open({data, p.Bytes.size()}) != ZipError::None) {
            std::abort();
        }
        const auto& e = p.Archive.Entry(static_cast<size_t>(p.Archive.Find(u"app/bundle-deflated.js")));
        if (e.Method != 8) {
            std::abort();
        }
        p.DeflatedSize = e.CompressedSize;
        return true;
    }();
    (void)opened;
    return p;
}

void FirstScriptPiece(benchmark::State& state, const char16_t* uri)
{
    const TPackage& p = Package();
    TServingContext ctx;
    ctx.Archive = &p.Archive;
    ctx.AppDirName = u"app";
    std::vector<uint8_t> buffer(kPiece);
    for (auto _ : state) {
        const auto r = ServeFileRequest(uri, ctx);
        if (!r || !r->Reader || r->StatusCode != 200) {
            std::abort(); // not streamed: the entry would have been read whole first
        }
        TStreamedBody body(r->Reader, r->ReaderStart, r->ReaderLength);
        size_t read = 0;
        if (!body.Read(buffer.data(), buffer.size(), read) || read != buffer.size()) {
            std::abort();
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["entry_kb"] = static_cast<double>(kScriptSize >> 10);
    state.counters["deflated_kb"] = static_cast<double>(p.DeflatedSize >> 10);
}

void FirstPieceStored(benchmark::State& state) { FirstScriptPiece(state, u"file:///bundle-stored.js"); }
void FirstPieceDeflated(benchmark::State& state) { FirstScriptPiece(state, u"file:///bundle-deflated.js"); }

BENCHMARK(FirstPieceStored)->Unit(benchmark::kMicrosecond);
BENCHMARK(FirstPieceDeflated)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
