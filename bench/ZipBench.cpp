// Benchmarks of the package reader: open + index (of ordinary names, and of names built
// to collide in a hash that folds bit 0x20 of every character), lookup, and extraction
// of stored encrypted and deflated entries, whole (Read) and streamed (ReadTo).
// `zip_bench --write DIR` writes the same archives as files so that scripts/bench can
// time 7-Zip and unzip on them in the same run.
#include "package/ZipArchive.h"
#include "package/ZipWriter.h"
#include "tests/support/ZipBuilder.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

using namespace Folio::Shared;

namespace {

const std::string kPassword = "bench-Pa55";

std::string Name(size_t i) { return "app/assets/folder" + std::to_string(i % 97) + "/file-" + std::to_string(i) + ".js"; }

// Names of the same length that differ only in bit 0x20 of characters that are not
// letters ("[" and "{", "@" and "`", ...): the worst case for a hash that folds that
// bit everywhere instead of only in A-Z.
std::string FloodName(size_t i)
{
    static const char* const pairs[] = {"[{", "@`", "\\|", "]}", "^~"};
    std::string name = "app/assets/";
    for (unsigned k = 0; k < 16; ++k) {
        name += pairs[k % 5][(i >> k) & 1];
    }
    return name + ".js";
}

// n small encrypted stored entries, as a package of many web files.
const std::string& ManyEntries(size_t n, std::string (*name)(size_t) = Name)
{
    static std::map<std::pair<size_t, void*>, std::string> cache;
    auto& s = cache[{n, reinterpret_cast<void*>(name)}];
    if (s.empty()) {
        std::ostringstream out;
        TZipWriter writer(out, {kPassword, false});
        for (size_t i = 0; i < n; ++i) {
            writer.AddBytes(name(i), "export const value = " + std::to_string(i) + ";\n", 0x5A210000);
        }
        writer.Finish();
        s = out.str();
    }
    return s;
}

std::string Noise(size_t n)
{
    std::mt19937_64 g(42);
    std::string s(n, '\0');
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const uint64_t v = g();
        std::memcpy(&s[i], &v, 8);
    }
    return s;
}

// One large stored, encrypted entry.
const std::string& BigStored()
{
    static const std::string s = [] {
        std::ostringstream out;
        TZipWriter writer(out, {kPassword, false});
        writer.AddBytes("big.bin", Noise(64u << 20), 0x5A210000);
        writer.Finish();
        return out.str();
    }();
    return s;
}

// Text-like content, deflated by zlib, in an unencrypted entry.
const std::string& BigDeflated()
{
    static const std::string s = [] {
        std::string text;
        std::mt19937 g(7);
        const char* words[] = {"function", "return", "const", "window.kiv", "await", "{", "}", "\n", "=>", "value"};
        while (text.size() < (64u << 20)) {
            text += words[g() % 10];
            text += ' ';
        }
        return FolioTest::BuildZip({FolioTest::Deflated("text.txt", text)}).Bytes;
    }();
    return s;
}

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

void OpenAndIndexOf(benchmark::State& state, std::string (*name)(size_t))
{
    const auto& bytes = ManyEntries(static_cast<size_t>(state.range(0)), name);
    for (auto _ : state) {
        TZipArchive zip;
        zip.SetPasswordBytes(kPassword);
        if (zip.Open(Span(bytes)) != ZipError::None) {
            state.SkipWithError("open failed");
        }
        benchmark::DoNotOptimize(zip.Count());
    }
    state.counters["entries"] = static_cast<double>(state.range(0));
}
void OpenAndIndex(benchmark::State& state) { OpenAndIndexOf(state, Name); }
void OpenAndIndexFlood(benchmark::State& state) { OpenAndIndexOf(state, FloodName); }
BENCHMARK(OpenAndIndex)->Arg(10000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenAndIndexFlood)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

void Lookup(benchmark::State& state)
{
    TZipArchive zip;
    zip.Open(Span(ManyEntries(50000)));
    std::vector<std::u16string> names;
    for (size_t i = 0; i < 1024; ++i) {
        const std::string n = Name((i * 7919) % 50000);
        names.emplace_back(n.begin(), n.end());
        for (auto& c : names.back()) {
            c = (c >= u'a' && c <= u'z' && i % 2) ? char16_t(c - 32) : c; // half of them in capitals
        }
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zip.Find(names[i++ & 1023]));
    }
}
BENCHMARK(Lookup);

void Extract(benchmark::State& state, const std::string& bytes)
{
    TZipArchive zip;
    zip.SetPasswordBytes(kPassword);
    zip.Open(Span(bytes));
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        if (zip.Read(0, out) != ZipEntryStatus::Ok) {
            state.SkipWithError("read failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * zip.Entry(0).UncompressedSize));
}
void ExtractStoredEncrypted(benchmark::State& state) { Extract(state, BigStored()); }
void ExtractDeflated(benchmark::State& state) { Extract(state, BigDeflated()); }
BENCHMARK(ExtractStoredEncrypted)->Unit(benchmark::kMillisecond);
BENCHMARK(ExtractDeflated)->Unit(benchmark::kMillisecond);

// The same entries streamed through ReadTo's fixed buffer into a sink that keeps nothing.
void Stream(benchmark::State& state, const std::string& bytes)
{
    TZipArchive zip;
    zip.SetPasswordBytes(kPassword);
    zip.Open(Span(bytes));
    uint64_t seen = 0;
    for (auto _ : state) {
        const auto status = zip.ReadTo(0, [&](std::span<const uint8_t> b) {
            seen += b.size();
            return true;
        });
        if (status != ZipEntryStatus::Ok) {
            state.SkipWithError("read failed");
        }
    }
    benchmark::DoNotOptimize(seen);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * zip.Entry(0).UncompressedSize));
}
void StreamStoredEncrypted(benchmark::State& state) { Stream(state, BigStored()); }
void StreamDeflated(benchmark::State& state) { Stream(state, BigDeflated()); }
BENCHMARK(StreamStoredEncrypted)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamDeflated)->Unit(benchmark::kMillisecond);

// Deflate64 entries of 4 MiB that decode to one byte: empty blocks, each a few bits of
// fixed codes or a header whose literal code reaches 15 bits. They cost about what
// deflated data of their size does, not a table build per block.
std::string Deflate64EmptyBlocks(const char* blockHex)
{
    std::string blocks;
    for (size_t i = 0; blockHex[i]; i += 2) {
        blocks.push_back(static_cast<char>(std::stoi(std::string(blockHex + i, 2), nullptr, 16)));
    }
    std::string data;
    while (data.size() < (4u << 20)) {
        data += blocks;
    }
    data += std::string("\xab\x00\x00", 3); // the last block: "x" in fixed codes
    auto entry = FolioTest::Stored("x", "x");
    entry.Method = 9;
    entry.Data = data;
    return FolioTest::BuildZip({entry}).Bytes;
}
void ReadEmptyBlocks(benchmark::State& state, const char* blockHex)
{
    const std::string bytes = Deflate64EmptyBlocks(blockHex);
    TZipArchive zip;
    zip.Open(Span(bytes));
    std::vector<uint8_t> out;
    for (auto _ : state) {
        out.clear();
        if (zip.Read(0, out) != ZipEntryStatus::Ok) {
            state.SkipWithError("read failed");
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * zip.Entry(0).CompressedSize));
}
// Four blocks of fixed codes to five bytes.
void Deflate64FixedEmptyBlocks(benchmark::State& state) { ReadEmptyBlocks(state, "0208208000"); }
// Eight blocks whose code gives the end of block 15 bits, to 109 bytes.
void Deflate64LongCodeEmptyBlocks(benchmark::State& state)
{
    ReadEmptyBlocks(state, "04e081080000000000f95b1f0080003c100100000000207feb0300108007220000000000e46f7d000002f0400400"
                           "00000080fcad0f0040001e88000000000090bff5010008c003110000000000f2b73e0000017820020000000040fe"
                           "d6070020000f440000000000c8dffa0000");
}
BENCHMARK(Deflate64FixedEmptyBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(Deflate64LongCodeEmptyBlocks)->Unit(benchmark::kMillisecond);

void WriteArchives(const std::string& dir)
{
    auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(dir + "/" + name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    write("stored-encrypted.zip", BigStored());
    write("deflated.zip", BigDeflated());
    write("entries-50000.zip", ManyEntries(50000));
}

// `zip_bench --read-all FILE`: the best of five times to read every entry of an archive
// a peer made (the methods beyond deflate), printed as wall and CPU nanoseconds and the
// bytes read, so that scripts/bench can set them beside 7z t on the same file.
int ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TZipArchive zip;
    if (zip.Open(Span(bytes)) != ZipError::None) {
        std::fprintf(stderr, "%s: not readable\n", path);
        return 1;
    }
    // Wall time, and the process's CPU time: on a shared machine the second is the steadier.
    auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
    };
    std::vector<uint8_t> out;
    uint64_t best = ~uint64_t(0), bestCpu = ~uint64_t(0), total = 0;
    for (int run = 0; run < 5; ++run) {
        total = 0;
        const uint64_t cpuStart = cpuNow();
        const auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < zip.Count(); ++i) {
            out.clear();
            if (zip.Read(i, out) != ZipEntryStatus::Ok) {
                std::fprintf(stderr, "%s: entry %zu unreadable\n", path, i);
                return 1;
            }
            total += out.size();
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
        best = std::min<uint64_t>(best, static_cast<uint64_t>(ns.count()));
        bestCpu = std::min<uint64_t>(bestCpu, cpuNow() - cpuStart);
    }
    std::printf("%llu %llu %llu\n", static_cast<unsigned long long>(best), static_cast<unsigned long long>(bestCpu),
                static_cast<unsigned long long>(total));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--read-all") == 0) {
        return ReadAll(argv[2]);
    }
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        WriteArchives(argv[2]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
