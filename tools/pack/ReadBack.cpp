// folio-pack list, extract and verify: the package of a packaged executable (the bytes
// after its PE image) or a plain ZIP file, read with the runtime's own reader.
#include "package/AppSettings.h"
#include "package/Calculations.h"
#include "package/PeImage.h"
#include "package/SettingsCheck.h"
#include "package/ZipArchive.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/Pack.h"
#include "util/TextCodecs.h"

#include <cstdio>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace Folio::Pack {

namespace fs = std::filesystem;
using namespace Folio::Shared;

namespace {

std::string Show(const fs::path& p) { return "'" + Utf16ToUtf8(p.u16string()) + "'"; }

// A file's package, opened: the whole file if it is a ZIP, the tail after the image if
// it is an executable.
class TPackageFile {
public:
    TPackageFile(const fs::path& path, const std::optional<std::string>& password)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            throw EPackError("cannot read " + Show(path));
        }
        std::ostringstream s;
        s << in.rdbuf();
        FBytes = s.str();
        std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(FBytes.data()), FBytes.size());
        if (const auto end = PeImageEnd(data)) {
            if (*end >= data.size()) {
                throw EPackError(Show(path) + " is an executable with no package attached");
            }
            FPackageOffset = *end;
            data = data.subspan(*end);
        }
        FZip.SetPasswordBytes(password ? *password : Utf16ToAnsi(PackagePassword()));
        const ZipError error = FZip.Open(data);
        if (error != ZipError::None) {
            throw EPackError(Show(path) + ": " + ZipErrorMessage(error));
        }
    }

    const TZipArchive& Zip() const { return FZip; }
    uint64_t PackageOffset() const { return FPackageOffset; }

private:
    std::string FBytes;
    TZipArchive FZip;
    uint64_t FPackageOffset = 0;
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
        out << line << Utf16ToUtf8(zip.Name(i)) << "\n";
        total += e.UncompressedSize;
    }
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
        throw EPackError("no entry '" + Utf16ToUtf8(entry) + "' in " + Show(file));
    }
    std::vector<uint8_t> bytes;
    const auto status = package.Zip().Read(static_cast<size_t>(index), bytes);
    if (status != ZipEntryStatus::Ok) {
        throw EPackError("cannot read '" + Utf16ToUtf8(entry) + "': " + ZipEntryStatusMessage(status));
    }
    if (!output) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return Flushed(out);
    }
    TOutputFile temp(*output);
    {
        std::ofstream f(temp.Path(), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        f.close();
        if (!f) {
            throw EPackError("cannot write " + Show(*output));
        }
    }
    temp.Commit();
    return 0;
}

int Verify(const fs::path& file, const std::optional<std::string>& password, std::ostream& out, std::ostream& err)
{
    const TPackageFile package(file, password);
    const auto& zip = package.Zip();
    int errors = 0;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < zip.Count(); ++i) {
        bytes.clear();
        const auto status = zip.Read(i, bytes);
        if (status != ZipEntryStatus::Ok) {
            err << "folio-pack: error: " << Utf16ToUtf8(zip.Name(i)) << ": " << ZipEntryStatusMessage(status) << "\n";
            ++errors;
        }
    }

    const int ini = zip.Find(u"kiv.ini");
    if (ini < 0) {
        err << "folio-pack: error: no kiv.ini in the package\n";
        ++errors;
    } else {
        bytes.clear();
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
                err << "folio-pack: warning: the start page " << Utf16ToUtf8(dir + u"/" + index)
                    << " is not in the package\n";
            }
        }
    }
    if (zip.Find(u"WebView2LoaderWin32.dll") < 0) {
        err << "folio-pack: warning: no WebView2LoaderWin32.dll: the browser runtime will be reported missing\n";
    }
    if (errors > 0) {
        out << Utf16ToUtf8(file.u16string()) << ": " << errors << " problem(s) in " << zip.Count() << " entries\n";
        return 1;
    }
    out << Utf16ToUtf8(file.u16string()) << ": OK, " << zip.Count() << " entries read, all CRC-32 values match\n";
    return Flushed(out);
}

} // namespace Folio::Pack
