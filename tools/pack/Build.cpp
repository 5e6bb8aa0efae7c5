// folio-pack build: checks the application folder and the runtime, writes the package
// archive, then joins runtime and archive. Everything is written to temporary files
// beside the output and renamed over it at the end, so a failure leaves nothing new.
#include "package/AppSettings.h"
#include "package/Calculations.h"
#include "package/ExeUtils.h"
#include "package/PeImage.h"
#include "package/SettingsCheck.h"
#include "package/ZipWriter.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/Pack.h"
#include "tools/pack/Progress.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace Folio::Pack {

namespace fs = std::filesystem;
using namespace Folio::Shared;

namespace {


std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw EPackError("cannot read " + Show(path));
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void RequireFile(const fs::path& path, const char* what)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        throw EPackError(std::string(what) + " " + Show(path) + " is not a file");
    }
}

constexpr int64_t kFirstDosTime = 315532800;  // 1980-01-01T00:00:00Z
constexpr int64_t kLastDosTime = 4354819199;  // 2107-12-31T23:59:59Z

// Seconds since 1970 as decimal digits, nothing else. A number too large for 64 bits
// is still a date, far past the last one a ZIP entry can carry, and is clamped like one.
std::optional<int64_t> SourceDateEpoch(std::ostream& err)
{
    const char* v = std::getenv("SOURCE_DATE_EPOCH");
    if (!v || !*v) {
        return std::nullopt;
    }
    const std::string_view text(v);
    int64_t n = 0;
    const auto [end, rc] = std::from_chars(text.data(), text.data() + text.size(), n);
    const bool digits = text.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits || end != text.data() + text.size() ||
        (rc != std::errc() && rc != std::errc::result_out_of_range)) {
        throw EPackError("SOURCE_DATE_EPOCH is not a number of seconds: '" + std::string(text) + "'");
    }
    if (rc == std::errc::result_out_of_range) {
        n = INT64_MAX;
    }
    if (n < kFirstDosTime || n > kLastDosTime) {
        err << "folio-pack: warning: SOURCE_DATE_EPOCH " << text
            << " is outside the dates a ZIP entry can carry (1980-01-01 to 2107-12-31); the nearest is used\n";
    }
    return n;
}

// A file time out of the DOS range is clamped by the writer; one the system cannot
// even express as seconds counts as the earliest.
int64_t ModifiedTime(const fs::path& path)
{
    std::error_code ec;
    const auto t = fs::last_write_time(path, ec);
    if (ec) {
        return 0;
    }
    // In whole seconds before the clocks' epochs are lined up: converting the file
    // clock's nanoseconds directly overflows for times far from its epoch.
    using std::chrono::duration_cast, std::chrono::seconds;
    const int64_t fileSeconds = duration_cast<seconds>(t.time_since_epoch()).count();
    const int64_t epochOffset =
        duration_cast<seconds>(std::chrono::file_clock::to_sys(fs::file_time_type{}).time_since_epoch()).count();
    return fileSeconds + epochOffset;
}

struct Source {
    std::string Name; // entry name, UTF-8
    fs::path Path;    // empty: Bytes holds the content
    std::string Bytes;
    uint64_t Size = 0;
    bool Deflate = false;
};

// The folder to walk, without a trailing separator, so that the walk's paths start
// with it element for element.
fs::path WalkBase(const fs::path& folder)
{
    fs::path base = folder.lexically_normal();
    if (!base.has_filename() && base.has_relative_path()) {
        base = base.parent_path();
    }
    return base;
}

// Whether a linked folder leads back to a folder the walk went through to reach the
// link: following it would walk in a circle. Each folder on the way is resolved on its
// own, as two links into each other's folders close a circle that neither the link's
// own folder nor its ancestors show.
bool LinksToAncestor(const fs::path& link, const fs::path& base)
{
    std::error_code ec;
    const fs::path target = fs::canonical(link, ec);
    if (ec) {
        return false;
    }
    for (fs::path on = link.parent_path();; on = on.parent_path()) {
        const fs::path here = fs::canonical(on, ec);
        if (!ec && std::mismatch(target.begin(), target.end(), here.begin(), here.end()).first == target.end()) {
            return true;
        }
        if (on == base || !on.has_relative_path() || on == on.parent_path()) {
            return false;
        }
    }
}

uint16_t MachineOf(const std::string& bytes)
{
    return PeMachine({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}).value_or(0);
}

} // namespace

bool DeflatedByDefault(std::string_view name)
{
    // Text and other formats that deflate well. Everything else (images, audio, video,
    // fonts in compressed formats, archives, PDFs, unknown binaries) is stored. Audio and
    // video stay stored even when uncompressed (wav): players seek them with Range.
    static constexpr std::string_view kDeflated[] = {
        "htm", "html", "xhtml", "js", "mjs", "cjs", "jsx", "ts", "tsx", "css", "scss", "less", "json", "jsonld",
        "map", "webmanifest", "svg", "xml", "xsl", "txt", "text", "md", "csv", "tsv", "ini", "cfg", "conf", "yaml",
        "yml", "toml", "log", "rtf", "wasm", "ico", "cur", "bmp", "tif", "tiff", "ttf", "otf", "eot", "glsl", "wgsl",
        "frag", "vert", "obj", "gltf", "po", "properties", "vtt", "srt", "sql", "sh", "py", "lua", "hbs", "mustache",
        "vue", "svelte", "psd", "pbm", "pgm", "ppm", "tga", "dds", "ktx", "pdb", "exe", "dll",
    };
    const size_t slash = name.rfind('/');
    const std::string_view file = slash == std::string_view::npos ? name : name.substr(slash + 1);
    const size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    std::string extension(file.substr(dot + 1));
    for (char& c : extension) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return std::find(std::begin(kDeflated), std::end(kDeflated), extension) != std::end(kDeflated);
}

bool SetInfoString(TExeInfo& info, std::u16string_view key, std::u16string value)
{
    const std::pair<std::u16string_view, std::u16string TExeInfo::*> keys[] = {
        {u"CompanyName", &TExeInfo::CompanyName},       {u"FileDescription", &TExeInfo::FileDescription},
        {u"FileVersion", &TExeInfo::FileVersion},       {u"InternalName", &TExeInfo::InternalName},
        {u"LegalCopyright", &TExeInfo::LegalCopyright}, {u"LegalTrademarks", &TExeInfo::LegalTrademarks},
        {u"OriginalFilename", &TExeInfo::OriginalFilename}, {u"ProductName", &TExeInfo::ProductName},
        {u"ProductVersion", &TExeInfo::ProductVersion}, {u"Comments", &TExeInfo::Comments},
        {u"PrivateBuild", &TExeInfo::PrivateBuild},
    };
    for (const auto& [name, field] : keys) {
        if (name == key) {
            info.*field = std::move(value);
            return true;
        }
    }
    return false;
}

int Build(const TBuildOptions& o, std::ostream& out, std::ostream& err)
{
    std::error_code ec;
    if (!fs::is_directory(o.AppDir, ec)) {
        throw EPackError("application folder " + Show(o.AppDir) + " is not a folder");
    }
    const fs::path ini = o.AppDir / "kiv.ini";
    RequireFile(ini, "settings file");
    RequireFile(o.Runtime, "runtime");
    if (!o.Loader.empty()) RequireFile(o.Loader, "loader");
    if (!o.Installer.empty()) RequireFile(o.Installer, "installer");
    if (!o.Inject.empty()) RequireFile(o.Inject, "script");
    if (!o.Icon.empty()) RequireFile(o.Icon, "icon");
    if (o.Sign) {
        RequireFile(o.Sign->Cert, "certificate");
        RequireFile(o.Sign->Key, "key");
    }
    if (o.Output.empty()) {
        throw EPackError("no output file given (-o App.exe)");
    }

    // Settings: the runtime reads them the same way.
    const std::string iniBytes = ReadWhole(ini);
    TAppSettings settings;
    settings.LoadFromBytes(iniBytes);
    bool bad = false;
    for (const auto& p : CheckSettings(settings)) {
        err << "folio-pack: " << (p.Error ? "error" : "warning") << ": kiv.ini: " << p.Message << "\n";
        bad = bad || p.Error;
    }
    if (bad) {
        throw EPackError("kiv.ini has errors; nothing was written");
    }
    const std::string dirName = Utf16ToUtf8(settings.ReadString(u"App", u"DirName", u""));
    const std::string indexHtml = Utf16ToUtf8(settings.ReadString(u"App", u"IndexHtml", u"index.html"));

    // The runtime must end where its image ends, or the package would not be found.
    const std::string runtime = ReadWhole(o.Runtime);
    const auto imageEnd = PeImageEnd({reinterpret_cast<const uint8_t*>(runtime.data()), runtime.size()});
    if (!imageEnd) {
        throw EPackError("runtime " + Show(o.Runtime) + " is not a Windows executable");
    }
    if (runtime.size() != *imageEnd) {
        throw EPackError("runtime " + Show(o.Runtime) + " carries " +
                         std::to_string(static_cast<int64_t>(runtime.size()) - int64_t(*imageEnd)) +
                         " bytes after its image end (a signature, a symbol table or a package?); use a bare, stripped runtime");
    }
    if (!o.Loader.empty() && MachineOf(ReadWhole(o.Loader)) != MachineOf(runtime)) {
        err << "folio-pack: warning: the loader " << Show(o.Loader) << " is not built for the runtime's processor\n";
    }

    // The entries: web files under DirName/, in name order, then the fixed names. A
    // file is named by the path the walk took inside the folder: one under a linked
    // folder keeps the link's name, whatever the link points at.
    std::vector<Source> sources;
    const fs::path base = WalkBase(o.AppDir);
    for (auto it = fs::recursive_directory_iterator(base, fs::directory_options::follow_directory_symlink, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code fileEc;
        if (it->is_directory(fileEc) && it->is_symlink(fileEc) && LinksToAncestor(it->path(), base)) {
            err << "folio-pack: warning: " << Show(it->path()) << " links to a folder that contains it; not followed\n";
            it.disable_recursion_pending();
            continue;
        }
        if (!it->is_regular_file(fileEc)) {
            continue;
        }
        const fs::path relative = it->path().lexically_relative(base);
        if (relative == "kiv.ini" || fs::equivalent(it->path(), o.Output, fileEc) ||
            IsTemporaryOf(it->path(), o.Output)) {
            // The settings go in as "kiv.ini"; an earlier output is not part of the app,
            // nor are the temporary files of a build to it running beside this one.
            continue;
        }
        Source s;
        s.Name = dirName + "/" + Utf16ToUtf8(relative.generic_u16string());
        s.Path = it->path();
        s.Size = it->file_size(fileEc);
        s.Deflate = !o.Store && DeflatedByDefault(s.Name);
        sources.push_back(std::move(s));
    }
    if (ec) {
        throw EPackError("cannot list " + Show(o.AppDir) + ": " + ec.message());
    }
    std::sort(sources.begin(), sources.end(), [](const Source& a, const Source& b) { return a.Name < b.Name; });
    if (!indexHtml.empty() &&
        std::none_of(sources.begin(), sources.end(), [&](const Source& s) { return s.Name == dirName + "/" + indexHtml; })) {
        err << "folio-pack: warning: the start page " << ShownText(Utf8ToUtf16(indexHtml)) << " is not in "
            << Show(o.AppDir) << "\n";
    }
    sources.push_back({"kiv.ini", {}, iniBytes, iniBytes.size(), !o.Store});
    auto addFile = [&](const fs::path& p, const char* name, bool deflate) {
        if (!p.empty()) {
            sources.push_back({name, p, {}, fs::file_size(p), deflate && !o.Store});
        }
    };
    // The script is text. The loader library is written out at start-up and compared
    // with the package's copy; the installer is an already compressed bootstrapper.
    addFile(o.Inject, "kiv-webviewjs", true);
    addFile(o.Loader, "WebView2LoaderWin32.dll", true);
    addFile(o.Installer, "WebView2Installer.exe", false);

    const auto epoch = SourceDateEpoch(err);
    if (o.Info) {
        try {
            BuildVersionInfo(*o.Info); // refuses values that do not fit before anything is written
        } catch (const EFileError& e) {
            throw EPackError(e.what());
        }
    }
    uint64_t total = 0;
    for (const auto& s : sources) {
        total += s.Size;
    }

    // The archive is a scratch file beside the output; the executable is the output's
    // temporary file, renamed over the output at the end.
    TOutputFile zipTemp(o.Output);
    TOutputFile exeTemp(o.Output);
    const fs::path& zipPath = zipTemp.Path();
    const fs::path& exePath = exeTemp.Path();

    int64_t saved = 0; // content bytes less the bytes their data took in the package
    {
        std::ofstream zipFile(zipPath, std::ios::binary | std::ios::trunc);
        if (!zipFile) {
            throw EPackError("cannot create " + Show(zipPath));
        }
        TZipWriter writer(zipFile, {Utf16ToAnsi(PackagePassword()), false});
        TProgressBar bar("packing");
        bar.SetTotal(total);
        uint64_t done = 0;
        for (const auto& s : sources) {
            const int64_t time = epoch ? *epoch : (s.Path.empty() ? ModifiedTime(ini) : ModifiedTime(s.Path));
            if (s.Path.empty()) {
                writer.AddBytes(s.Name, s.Bytes, TZipWriter::DosDateTime(time), s.Deflate);
                done += s.Size;
                bar.Update(done);
                continue;
            }
            std::ifstream in(s.Path, std::ios::binary);
            if (!in) {
                throw EPackError("cannot read " + Show(s.Path));
            }
            writer.Add(
                s.Name, s.Size, TZipWriter::DosDateTime(time),
                [&](uint8_t* buffer, size_t capacity) {
                    in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(capacity));
                    const auto n = static_cast<size_t>(in.gcount());
                    done += n;
                    bar.Update(done);
                    return n;
                },
                s.Deflate);
        }
        writer.Finish();
        saved = static_cast<int64_t>(writer.ContentBytes()) - static_cast<int64_t>(writer.DataBytes());
        bar.Finish();
        zipFile.close();
        if (!zipFile) {
            throw EPackError("cannot write " + Show(zipPath));
        }
    }

    {
        std::ofstream exe(exePath, std::ios::binary | std::ios::trunc);
        exe.write(runtime.data(), static_cast<std::streamsize>(runtime.size()));
        exe.close();
        if (!exe) {
            throw EPackError("cannot write " + Show(exePath));
        }
    }
    // Resource changes rewrite the image, so they come before the package is appended.
    uint64_t joinAt = *imageEnd;
    if (!o.Icon.empty() || o.Info) {
        try {
            if (!o.Icon.empty()) {
                TExeUtils::ChangeExeIcon(exePath.u16string(), o.Icon.u16string());
            }
            if (o.Info) {
                TExeUtils::UpdateExeInfo(exePath.u16string(), *o.Info);
            }
        } catch (const EFileError& e) {
            throw EPackError(e.what());
        }
        const std::string changed = ReadWhole(exePath);
        const auto end = PeImageEnd({reinterpret_cast<const uint8_t*>(changed.data()), changed.size()});
        if (!end || *end != changed.size()) {
            throw EPackError("the runtime does not end with its image after its resources were changed");
        }
        joinAt = *end;
    }
    TExeUtils joiner(exePath.u16string(), joinAt);
    TProgressBar bar("appending");
    joiner.OnProgressMax = [&](TExeUtils*, int64_t n) { bar.SetTotal(static_cast<uint64_t>(n)); };
    joiner.OnProgressPos = [&](TExeUtils*, int64_t n) { bar.Update(static_cast<uint64_t>(n)); };
    try {
        joiner.AppendZipToExe(zipPath.u16string(), exePath.u16string());
    } catch (const EFileError& e) {
        throw EPackError(e.what());
    }
    bar.Finish();

    const auto packageSize = fs::file_size(zipPath);
    if (o.Sign) {
        // Signed last, over the whole file, into a file of its own renamed over the output.
        TOutputFile signedTemp(o.Output);
        SignInto(exePath, signedTemp.Path(), *o.Sign);
        signedTemp.Commit();
    } else {
        exeTemp.Commit();
    }
    out << Utf16ToUtf8(o.Output.u16string()) << ": " << sources.size() << " entries, " << (joinAt + packageSize)
        << " bytes (runtime " << joinAt << ", package " << packageSize << ")\n";
    if (o.Sign) {
        out << "Signed with " << Show(o.Sign->Cert) << ": " << fs::file_size(o.Output) << " bytes with the signature.\n";
    }
    if (o.Store) {
        out << "Every entry is stored (--store).\n";
    } else {
        out << "Deflate saved " << saved << " bytes of " << total << " (" << (total > 0 ? saved * 100 / int64_t(total) : 0)
            << "%).\n";
    }
    if (o.Loader.empty()) {
        out << "The executable uses the installed WebView2 runtime through its built-in loader.\n";
    }
    return 0;
}

} // namespace Folio::Pack
