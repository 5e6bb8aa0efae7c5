// folio-pack list, extract and verify: the package of a packaged executable (the bytes
// after its PE image, up to the certificate table of a signed one) or a plain ZIP file,
// read with the runtime's own reader.
#include "package/AppSettings.h"
#include "package/Calculations.h"
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/PeImage.h"
#include "package/SettingsCheck.h"
#include "package/ZipArchive.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/Pack.h"
#include "util/TextCodecs.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#ifndef _WIN32
#include <atomic>
#include <csignal>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace Folio::Pack {

namespace fs = std::filesystem;
using namespace Folio::Shared;

namespace {


#ifndef _WIN32
// A mapped file cut short by another program raises SIGBUS where its lost pages are
// read. Rather than dying there (leaving a temporary file, output half written), the
// process gets zero pages in their place and a note: the read runs to its end and the
// command then fails with a message. Windows refuses to cut a mapped file short.
std::atomic<uintptr_t> GMappedBegin{0}, GMappedEnd{0};
uintptr_t GPageSize = 0;
volatile sig_atomic_t GFileCut = 0;

void OnBusError(int, siginfo_t* info, void*)
{
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    if (at >= GMappedBegin.load() && at < GMappedEnd.load()) {
        void* page = reinterpret_cast<void*>(at / GPageSize * GPageSize);
        if (mmap(page, GPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            GFileCut = 1;
            return;
        }
    }
    signal(SIGBUS, SIG_DFL); // not ours: the access faults again, and ends the process
}

void GuardMapping(std::span<const uint8_t> bytes)
{
    static const bool installed = [] {
        GPageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action{};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    (void)installed;
    GMappedEnd = 0;
    GMappedBegin = reinterpret_cast<uintptr_t>(bytes.data());
    GMappedEnd = reinterpret_cast<uintptr_t>(bytes.data() + bytes.size());
}

void UnguardMapping() { GMappedEnd = 0; }

bool MappingCut() { return GFileCut != 0; }
#else
void GuardMapping(std::span<const uint8_t>) {}
void UnguardMapping() {}
bool MappingCut() { return false; }
#endif

// A file's package, opened in place in a read-only mapping of the file: the whole file
// if it is a ZIP, the tail after the image if it is an executable.
class TPackageFile {
public:
    TPackageFile(const fs::path& path, const std::optional<std::string>& password) : FPath(path)
    {
        std::span<const uint8_t> data;
        try {
            FFile.Open(path.u16string());
            data = FFile.Bytes();
            GuardMapping(data);
        } catch (const EFileError&) {
            // A pipe or a device (a shell's <(...), /dev/stdin) cannot be mapped: read whole.
            std::error_code ec;
            const auto type = fs::status(path, ec).type();
            std::ifstream in(path, std::ios::binary);
            std::ostringstream s;
            if (ec || type == fs::file_type::regular || type == fs::file_type::directory || !in ||
                !(s << in.rdbuf())) {
                throw EPackError("cannot read " + Show(path));
            }
            FBytes = std::move(s).str();
            data = {reinterpret_cast<const uint8_t*>(FBytes.data()), FBytes.size()};
        }
        if (const auto end = PeImageEnd(data)) {
            // The package runs from the image end to the certificate table of a signed
            // file, or to the file's end.
            uint64_t packageEnd = data.size();
            if (*end < data.size()) {
                try {
                    FTable = LocateCertificateTable(data, *end, Show(path));
                } catch (const EFileError& e) {
                    throw EPackError(e.what());
                }
                packageEnd = FTable ? FTable->Offset : data.size();
            }
            if (*end >= packageEnd) {
                throw EPackError(Show(path) + " is an executable with no package attached");
            }
            FPackageOffset = *end;
            data = data.subspan(*end, static_cast<size_t>(packageEnd - *end));
        }
        FZip.SetPasswordBytes(password ? *password : Utf16ToAnsi(PackagePassword()));
        const ZipError error = FZip.Open(data);
        CheckWhole();
        if (error != ZipError::None) {
            throw EPackError(Show(path) + ": " + ZipErrorMessage(error));
        }
    }
    ~TPackageFile() { UnguardMapping(); }
    TPackageFile(const TPackageFile&) = delete;
    TPackageFile& operator=(const TPackageFile&) = delete;

    // Fails the command when the file was cut short while it was read: the bytes read
    // from its lost part were zeros, not the package's.
    void CheckWhole() const
    {
        if (MappingCut()) {
            throw EPackError(Show(FPath) + " was cut short while it was read (changed by another program?)");
        }
    }

    const TZipArchive& Zip() const { return FZip; }
    uint64_t PackageOffset() const { return FPackageOffset; }
    // The certificate table of a signed executable.
    const std::optional<TCertificateTable>& Table() const { return FTable; }

    // Streams the entry to sink (TZipArchive::ReadTo), giving back the mapped pages of
    // its data behind the decoder as it goes: a large entry would otherwise stay in
    // memory whole, only because it was read once.
    ZipEntryStatus ReadTo(size_t index, const std::function<bool(std::span<const uint8_t>)>& sink) const
    {
        const TZipEntry& e = FZip.Entry(index);
        const uint64_t start = FPackageOffset + e.LocalOffset;
        const uint64_t end = FPackageOffset + e.Limit;
        uint64_t produced = 0, released = start;
        const auto status = FZip.ReadTo(index, [&](std::span<const uint8_t> bytes) {
            produced += bytes.size();
            // Where the decoder is in the data, estimated from the share of the output
            // made so far and kept a margin behind: a page given back too early is
            // only read again.
            constexpr uint64_t kMargin = 1u << 20, kStep = 4u << 20;
            const double share = e.UncompressedSize > 0 ? double(produced) / double(e.UncompressedSize) : 1.0;
            const auto at = start + static_cast<uint64_t>(share * double(end - start));
            if (at > released + kMargin + kStep) {
                FFile.Release(static_cast<size_t>(released), static_cast<size_t>(at - kMargin - released));
                released = at - kMargin;
            }
            return sink(bytes);
        });
        CheckWhole();
        return status;
    }

private:
    fs::path FPath;
    std::string FBytes; // a file that cannot be mapped, read whole
    TMappedFile FFile;
    TZipArchive FZip;
    uint64_t FPackageOffset = 0;
    std::optional<TCertificateTable> FTable;
};

// Standard output that is full or closed fails the command: a listing or an entry
// cut short must not pass for a whole one.
int Flushed(std::ostream& out)
{
    out.flush();
    if (!out) {
        throw EPackError("cannot write to standard output");
    }
    return 0;
}

const char* MethodName(uint16_t method)
{
    switch (method) {
    case 0: return "stored";
    case 8: return "deflate";
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 98: return "ppmd";
    default: return "other";
    }
}

} // namespace

int List(const fs::path& file, const std::optional<std::string>& password, std::ostream& out)
{
    const TPackageFile package(file, password);
    const auto& zip = package.Zip();
    uint64_t total = 0;
    out << "      Size  Method   Enc  CRC-32    Name\n";
    for (size_t i = 0; i < zip.Count(); ++i) {
        const auto& e = zip.Entry(i);
        char line[64];
        std::snprintf(line, sizeof line, "%10llu  %-8s %-4s %08x  ", static_cast<unsigned long long>(e.UncompressedSize),
                      MethodName(e.Method), e.Encrypted() ? "yes" : "no", e.Crc32);
        out << line << ShownText(zip.Name(i)) << "\n";
        total += e.UncompressedSize;
    }
    package.CheckWhole();
    out << zip.Count() << " entries, " << total << " bytes";
    if (package.PackageOffset() > 0) {
        out << ", package at offset " << package.PackageOffset();
    }
    out << "\n";
    return Flushed(out);
}

int Extract(const fs::path& file, const std::u16string& entry, const std::optional<fs::path>& output,
            const std::optional<std::string>& password, std::ostream& out)
{
    const TPackageFile package(file, password);
    const int index = package.Zip().Find(entry);
    if (index < 0) {
        throw EPackError("no entry '" + ShownText(entry) + "' in " + Show(file));
    }
    auto unreadable = [&](ZipEntryStatus status) {
        return EPackError("cannot read '" + ShownText(entry) + "': " + ZipEntryStatusMessage(status));
    };
    if (!output) {
        // Written as it is decoded: an entry found damaged at its end fails the command,
        // but what was written before cannot be taken back (see the usage text).
        const auto status = package.ReadTo(static_cast<size_t>(index), [&](std::span<const uint8_t> bytes) {
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            return static_cast<bool>(out);
        });
        if (status == ZipEntryStatus::SinkFailed) {
            throw EPackError("cannot write to standard output");
        }
        if (status != ZipEntryStatus::Ok) {
            throw unreadable(status);
        }
        return Flushed(out);
    }
    // Into a temporary file, renamed over the output only once the entry read whole.
    TOutputFile temp(*output);
    std::ofstream f(temp.Path(), std::ios::binary | std::ios::trunc);
    const auto status = package.ReadTo(static_cast<size_t>(index), [&](std::span<const uint8_t> bytes) {
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(f);
    });
    f.close();
    if (status != ZipEntryStatus::Ok && status != ZipEntryStatus::SinkFailed) {
        throw unreadable(status);
    }
    if (status == ZipEntryStatus::SinkFailed || !f) {
        throw EPackError("cannot write " + Show(*output));
    }
    temp.Commit();
    return 0;
}

int Verify(const fs::path& file, const std::optional<std::string>& password, std::ostream& out, std::ostream& err)
{
    const TPackageFile package(file, password);
    const auto& zip = package.Zip();
    int errors = 0;
    for (size_t i = 0; i < zip.Count(); ++i) {
        // Decoded and checked through a fixed buffer, nothing kept.
        const auto status = package.ReadTo(i, [](std::span<const uint8_t>) { return true; });
        if (status != ZipEntryStatus::Ok) {
            err << "folio-pack: error: " << ShownText(zip.Name(i)) << ": " << ZipEntryStatusMessage(status) << "\n";
            ++errors;
        }
    }

    const int ini = zip.Find(u"kiv.ini");
    if (ini < 0) {
        err << "folio-pack: error: no kiv.ini in the package\n";
        ++errors;
    } else {
        std::vector<uint8_t> bytes;
        if (zip.Read(static_cast<size_t>(ini), bytes) == ZipEntryStatus::Ok) {
            TAppSettings settings;
            settings.LoadFromBytes({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
            for (const auto& p : CheckSettings(settings)) {
                err << "folio-pack: " << (p.Error ? "error" : "warning") << ": kiv.ini: " << p.Message << "\n";
                errors += p.Error ? 1 : 0;
            }
            const auto dir = settings.ReadString(u"App", u"DirName", u"");
            const auto index = settings.ReadString(u"App", u"IndexHtml", u"index.html");
            if (!dir.empty() && !index.empty() && zip.Find(dir + u"/" + index) < 0) {
                err << "folio-pack: warning: the start page " << ShownText(dir + u"/" + index)
                    << " is not in the package\n";
            }
        }
    }
    package.CheckWhole();

    // The signature: its digest must still be the file's own.
    if (!package.Table()) {
        out << "signature: none\n";
    } else {
        const auto check = CheckSignature(file);
        out << "signature: present (certificate table of " << package.Table()->Size << " bytes at offset "
            << package.Table()->Offset << ")\n";
        if (!check.Checked) {
            err << "folio-pack: warning: the signature was not checked: " << check.Problem << "\n";
        } else {
            if (!check.Subject.empty()) {
                out << "signer: " << check.Subject << "\n";
            }
            if (check.DigestMatches) {
                out << "digest: matches the file (checked by osslsigncode)\n";
            } else {
                err << "folio-pack: error: the signature's digest does not match the file: it was changed after it "
                       "was signed\n";
                ++errors;
            }
            out << "certificate chain: " << (check.ChainTrusted ? "trusted" : "not trusted")
                << " by this system's certificate authorities\n";
        }
    }
    if (errors > 0) {
        out << Utf16ToUtf8(file.u16string()) << ": " << errors << " problem(s) in " << zip.Count() << " entries\n";
        return 1;
    }
    out << Utf16ToUtf8(file.u16string()) << ": OK, " << zip.Count() << " entries read, all CRC-32 values match\n";
    return Flushed(out);
}

} // namespace Folio::Pack
