// Benchmark of the package read in place: "package ready" (map the runtime-shaped file,
// open the archive, index it, read kiv.ini) for a 10 MB and a 1 GB package, with the
// memory the package adds; then the response path of a 100 MB stored encrypted entry:
// the first 64 KB through a streamed body, and a seek to its middle after a full read,
// beside a 64 KB copy and the whole decryption of a 64 KB entry. Last, a 100 MB file
// beside the executable against the 100 MB entry: served whole and a 1000-byte range of
// it, each body read to its end as the browser reads it, with the time and the peak of
// memory above what the process held before; and the whole file read into memory, as
// disk files were served before they were streamed.
#include "browser/RequestServing.h"
#include "browser/StreamedBody.h"
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "platform/FileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace Folio::Shared;
using namespace Folio::Browser;

namespace {

const std::string kPassword = "bench-Pa55";
constexpr uint64_t kImageEnd = 256 << 10; // bytes standing for the runtime's image
constexpr uint64_t kMiB = 1 << 20;
constexpr size_t kPiece = 64 << 10;

// A temporary folder for the packages, removed when the program ends.
struct TFolder {
    std::filesystem::path Path;
    TFolder()
    {
        char name[] = "/tmp/folio-package-bench-XXXXXX";
        if (!mkdtemp(name)) {
            std::abort();
        }
        Path = name;
    }
    ~TFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
};

const std::filesystem::path& Folder()
{
    static const TFolder folder;
    return folder.Path;
}

// Image bytes, then a package: kiv.ini, 300 small pages and `large` entries of
// `largeSize` bytes, every one stored and encrypted as folio-pack writes them. Made
// once per size.
std::u16string RuntimeShapedFile(uint64_t large, uint64_t largeSize)
{
    const auto path = Folder() / ("app-" + std::to_string(large) + "x" + std::to_string(largeSize) + ".exe");
    if (!std::filesystem::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        out << std::string(kImageEnd, 'M');
        TZipWriter writer(out, {kPassword, false});
        const uint32_t when = TZipWriter::DosDateTime(1600000000);
        writer.AddBytes("kiv.ini", "[App]\nID=bench.app\nName=Bench\nDirName=app\n", when);
        for (int i = 0; i < 300; ++i) {
            writer.AddBytes("app/pages/page-" + std::to_string(i) + ".html", std::string(2000, char('a' + i % 26)), when);
        }
        std::mt19937_64 noise(5);
        for (uint64_t i = 0; i < large; ++i) {
            uint64_t left = largeSize;
            writer.Add("app/media/clip-" + std::to_string(i) + ".mp4", largeSize, when, [&](uint8_t* buffer, size_t n) {
                const size_t count = static_cast<size_t>(std::min<uint64_t>(n, left)) & ~size_t{7};
                for (size_t k = 0; k < count; k += 8) {
                    const uint64_t v = noise();
                    std::memcpy(buffer + k, &v, 8);
                }
                left -= count;
                return count;
            });
        }
        writer.Finish();
    }
    return path.u16string();
}

std::u16string PackageOfSize(uint64_t megabytes)
{
    return megabytes >= 1024 ? RuntimeShapedFile(megabytes / 100, 100 * kMiB) : RuntimeShapedFile(megabytes, kMiB);
}

long ResidentKb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}

struct TReady {
    TMappedFile Mapping;
    TZipArchive Archive;
    TMemoryStream Ini;
};

// Map + open + index + read kiv.ini, as start-up does.
void MakeReady(const std::u16string& path, TReady& ready)
{
    TExeUtils exe(path, kImageEnd);
    ready.Archive.SetPasswordBytes(kPassword);
    if (ready.Archive.Open(exe.MapZipFromExe(ready.Mapping)) != ZipError::None ||
        ready.Archive.Extract(u"kiv.ini", ready.Ini) != ZipEntryStatus::Ok || ready.Ini.Size() == 0) {
        std::abort();
    }
}

void PackageReady(benchmark::State& state)
{
    const std::u16string path = PackageOfSize(static_cast<uint64_t>(state.range(0)));
    for (auto _ : state) {
        TReady ready;
        MakeReady(path, ready);
        benchmark::DoNotOptimize(ready.Ini.Size());
    }
    // The memory the package adds: resident pages of a fresh process's view of it
    // (the file's pages are already cached, so this counts what the view touches).
    const long before = ResidentKb();
    {
        TReady ready;
        MakeReady(path, ready);
        state.counters["added_kb"] = static_cast<double>(ResidentKb() - before);
    }
}
BENCHMARK(PackageReady)->Arg(10)->Arg(1024)->Unit(benchmark::kMicrosecond);

// A 100 MB stored encrypted entry.
const std::u16string& HundredMegabytes()
{
    static const std::u16string path = PackageOfSize(1024); // its clip-0 is the entry
    return path;
}

TServingContext Context(const TZipArchive& archive)
{
    TServingContext ctx;
    ctx.Archive = &archive;
    ctx.AppDirName = u"app";
    return ctx;
}

// Serves the request and reads the first 64 KB of its streamed body.
void FirstPiece(const TServingContext& ctx, std::vector<uint8_t>& buffer)
{
    const auto r = ServeFileRequest(u"file:///media/clip-0.mp4", ctx);
    if (!r || !r->Source) {
        std::abort();
    }
    TStreamedBody body(r->Source, r->SourceStart, r->SourceLength);
    size_t read = 0;
    if (!body.Read(buffer.data(), buffer.size(), read) || read != buffer.size()) {
        std::abort();
    }
}

void FirstByte(benchmark::State& state)
{
    TReady ready;
    MakeReady(HundredMegabytes(), ready);
    const TServingContext ctx = Context(ready.Archive);
    std::vector<uint8_t> buffer(kPiece);
    for (auto _ : state) {
        FirstPiece(ctx, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(FirstByte)->Unit(benchmark::kMicrosecond);

void SeekToMiddle(benchmark::State& state)
{
    TReady ready;
    MakeReady(HundredMegabytes(), ready);
    TServingContext ctx = Context(ready.Archive);
    std::vector<uint8_t> buffer(kPiece);
    {
        // One full read of the entry, which leaves its key checkpoints behind.
        const auto r = ServeFileRequest(u"file:///media/clip-0.mp4", ctx);
        TStreamedBody body(r->Source, 0, r->SourceLength);
        for (size_t read = 1; read > 0;) {
            if (!body.Read(buffer.data(), buffer.size(), read)) {
                std::abort();
            }
        }
    }
    ctx.Range = u"bytes=52428833-"; // the middle, off any checkpoint
    for (auto _ : state) {
        FirstPiece(ctx, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(SeekToMiddle)->Unit(benchmark::kMicrosecond);

// Anchors: a 64 KB copy, and a whole 64 KB stored encrypted entry read (decrypt + CRC).
void Copy64K(benchmark::State& state)
{
    std::vector<uint8_t> from(kPiece, 1), to(kPiece);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kPiece);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Copy64K)->Unit(benchmark::kMicrosecond);

void Decrypt64K(benchmark::State& state)
{
    std::ostringstream out;
    TZipWriter writer(out, {kPassword, false});
    writer.AddBytes("piece.bin", std::string(kPiece, 'x'), 0);
    writer.Finish();
    const std::string bytes = out.str();
    TZipArchive archive;
    archive.SetPasswordBytes(kPassword);
    if (archive.Open({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}) != ZipError::None) {
        std::abort();
    }
    std::vector<uint8_t> body;
    for (auto _ : state) {
        body.clear();
        if (archive.Read(0, body) != ZipEntryStatus::Ok) {
            std::abort();
        }
        benchmark::DoNotOptimize(body.data());
    }
}
BENCHMARK(Decrypt64K)->Unit(benchmark::kMicrosecond);

// The same 100 MB as a file beside the executable (noise, like the entry), made once.
const std::filesystem::path& HundredMegabyteFile()
{
    static const std::filesystem::path path = [] {
        const auto file = Folder() / "clip.mp4";
        std::ofstream out(file, std::ios::binary);
        std::mt19937_64 noise(6);
        std::vector<uint64_t> block(kPiece / 8);
        for (uint64_t done = 0; done < 100 * kMiB; done += kPiece) {
            for (auto& v : block) {
                v = noise();
            }
            out.write(reinterpret_cast<const char*>(block.data()), kPiece);
        }
        return file;
    }();
    return path;
}

// Peak resident memory (VmHWM), after the peak was reset to what is resident now.
void ResetPeak()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

long PeakKb()
{
    long peak = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::sscanf(line, "VmHWM: %ld", &peak) == 1) {
                break;
            }
        }
        std::fclose(f);
    }
    return peak;
}

// Serves the request and reads its body to the end as the browser would; the bytes read.
uint64_t ServeAndRead(const TServingContext& ctx, std::u16string_view uri, std::vector<uint8_t>& buffer)
{
    const auto r = ServeFileRequest(uri, ctx);
    if (!r || (r->StatusCode != 200 && r->StatusCode != 206)) {
        std::abort();
    }
    if (!r->Source) {
        return r->Body.size();
    }
    TStreamedBody body(r->Source, r->SourceStart, r->SourceLength);
    uint64_t total = 0;
    for (size_t read = 1; read > 0; total += read) {
        if (!body.Read(buffer.data(), buffer.size(), read)) {
            std::abort();
        }
    }
    return total;
}

// state.range(0): 0 the package entry, 1 the disk file; state.range(1): 0 whole, 1 a range.
void ServeLarge(benchmark::State& state)
{
    const bool disk = state.range(0) != 0;
    const bool range = state.range(1) != 0;
    TReady ready;
    MakeReady(HundredMegabytes(), ready);
    TServingContext ctx = Context(ready.Archive);
    const std::u16string uri = disk ? u"file:///clip.mp4" : u"file:///media/clip-0.mp4";
    if (disk) {
        ctx.Archive = nullptr;
        ctx.FileSystem = &Folio::Platform::SystemFileSystem();
        ctx.AppDirPath = HundredMegabyteFile().parent_path().u16string() + u"/";
        ctx.DiskFilesAllowed = true;
    }
    if (range) {
        ctx.Range = u"bytes=52428833-52429832";
    }
    std::vector<uint8_t> buffer(kPiece);
    ServeAndRead(ctx, uri, buffer); // the file's pages cached, the entry's checkpoints made
    const long before = ResidentKb();
    ResetPeak();
    uint64_t bytes = 0;
    const uint64_t expected = range ? 1000 : 100 * kMiB;
    for (auto _ : state) {
        const uint64_t read = ServeAndRead(ctx, uri, buffer);
        if (read != expected) {
            state.SkipWithError("a body of the wrong size");
            break;
        }
        bytes += read;
    }
    state.counters["peak_added_kb"] = static_cast<double>(PeakKb() - before);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(ServeLarge)
    ->ArgNames({"disk", "range"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// The way disk files were served before: the whole file read into memory for every
// request, a range included.
void ReadDiskFileWhole(benchmark::State& state)
{
    const std::u16string path = HundredMegabyteFile().u16string();
    const long before = ResidentKb();
    ResetPeak();
    for (auto _ : state) {
        const auto bytes = Folio::Platform::SystemFileSystem().ReadFile(path);
        if (!bytes) {
            std::abort();
        }
        benchmark::DoNotOptimize(bytes->data());
    }
    state.counters["peak_added_kb"] = static_cast<double>(PeakKb() - before);
}
BENCHMARK(ReadDiskFileWhole)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
