// folio-pack's command line.
#include "tools/pack/Main.h"

#include "tools/pack/Pack.h"
#include "util/TextCodecs.h"

#include <iostream>

namespace Folio::Pack {

namespace {

const char* const kUsage =
    "usage:\n"
    "  folio-pack build APP_DIR --runtime FolioRuntime.exe [--loader WebView2LoaderWin32.dll]\n"
    "                   [--installer WebView2Installer.exe] [--inject script.js]\n"
    "                   [--icon App.ico] [--info KEY=VALUE]... [--store]\n"
    "                   [--cert CERT --key KEY [--pass P] [--timestamp URL]] -o App.exe\n"
    "  folio-pack sign FILE --cert CERT --key KEY [--pass P] [--timestamp URL] [-o OUT]\n"
    "  folio-pack list FILE [--password P]\n"
    "  folio-pack extract FILE ENTRY [-o OUT] [--password P]\n"
    "  folio-pack verify FILE [--password P]\n"
    "extract without -o writes the entry to standard output as it is decoded: an entry found\n"
    "damaged at its end then fails the command (exit code 1), but the bytes written stay.\n"
    "FILE is a packaged executable or a ZIP file; the package password is used unless\n"
    "--password is given. SOURCE_DATE_EPOCH, when set, dates every entry.\n"
    "build deflates text-like entries (html, js, css, json, svg, wasm, ...) at the best level and\n"
    "stores media and compressed files; --store keeps every entry stored.\n"
    "sign (and build with --cert/--key) adds an Authenticode signature with osslsigncode, after\n"
    "the package; verify reports it.\n"
    "--icon and --info (CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,\n"
    "LegalTrademarks, OriginalFilename, ProductName, ProductVersion, Comments, PrivateBuild)\n"
    "change the runtime's resources; they need folio-pack.exe on Windows.\n";

class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Parsed {
    std::vector<std::u16string> Positional;
    std::optional<std::u16string> Runtime, Loader, Installer, Inject, Output, Password, Icon;
    std::optional<std::u16string> Cert, Key, Pass, Timestamp;
    std::optional<Shared::TExeInfo> Info;
    bool Store = false;
};

Parsed Parse(const std::vector<std::u16string>& args, size_t from)
{
    Parsed p;
    for (size_t i = from; i < args.size(); ++i) {
        const std::u16string& a = args[i];
        auto value = [&](std::optional<std::u16string>& slot) {
            if (i + 1 >= args.size()) {
                throw EUsage(Shared::Utf16ToUtf8(a) + " needs a value");
            }
            if (slot) {
                throw EUsage(Shared::Utf16ToUtf8(a) + " given twice");
            }
            slot = args[++i];
        };
        if (a == u"--runtime") value(p.Runtime);
        else if (a == u"--loader") value(p.Loader);
        else if (a == u"--installer") value(p.Installer);
        else if (a == u"--inject") value(p.Inject);
        else if (a == u"-o" || a == u"--output") value(p.Output);
        else if (a == u"--password") value(p.Password);
        else if (a == u"--icon") value(p.Icon);
        else if (a == u"--store") p.Store = true;
        else if (a == u"--cert") value(p.Cert);
        else if (a == u"--key") value(p.Key);
        else if (a == u"--pass") value(p.Pass);
        else if (a == u"--timestamp") value(p.Timestamp);
        else if (a == u"--info") {
            std::optional<std::u16string> pair;
            value(pair);
            const size_t eq = pair->find(u'=');
            if (!p.Info) {
                p.Info.emplace();
            }
            if (eq == std::u16string::npos || !SetInfoString(*p.Info, pair->substr(0, eq), pair->substr(eq + 1))) {
                throw EUsage("--info takes KEY=VALUE with a version-information key, not " +
                             Shared::Utf16ToUtf8(*pair));
            }
        }
        else if (a.size() > 1 && a[0] == u'-') throw EUsage("unknown option " + Shared::Utf16ToUtf8(a));
        else p.Positional.push_back(a);
    }
    return p;
}

std::filesystem::path PathOf(const std::optional<std::u16string>& s)
{
    return s ? std::filesystem::path(*s) : std::filesystem::path();
}

std::optional<std::string> PasswordOf(const Parsed& p)
{
    if (!p.Password) {
        return std::nullopt;
    }
    return Shared::Utf16ToAnsi(*p.Password);
}

// The signing options; nullopt when none are given.
std::optional<TSignOptions> SignOf(const Parsed& p)
{
    if (!p.Cert && !p.Key && !p.Pass && !p.Timestamp) {
        return std::nullopt;
    }
    if (!p.Cert || !p.Key) {
        throw EUsage("signing needs both --cert and --key");
    }
    TSignOptions o{*p.Cert, *p.Key, std::nullopt, std::nullopt};
    if (p.Pass) o.Pass = Shared::Utf16ToUtf8(*p.Pass);
    if (p.Timestamp) o.Timestamp = Shared::Utf16ToUtf8(*p.Timestamp);
    return o;
}

// Options that only some commands take.
void Refuse(const Parsed& p, const std::u16string& command)
{
    const bool building = command == u"build", signing = command == u"sign";
    if (!building && !signing && (p.Cert || p.Key || p.Pass || p.Timestamp)) {
        throw EUsage("--cert, --key, --pass and --timestamp belong to build and sign");
    }
    if (!building && p.Store) {
        throw EUsage("--store belongs to build");
    }
}

void Expect(const Parsed& p, size_t count, const char* what)
{
    if (p.Positional.size() != count) {
        throw EUsage(std::string("expected ") + what);
    }
}

} // namespace

int PackMain(const std::vector<std::u16string>& args)
{
    try {
        if (args.size() < 2 || args[1] == u"-h" || args[1] == u"--help") {
            std::cout << kUsage;
            return args.size() < 2 ? 2 : 0;
        }
        const std::u16string& command = args[1];
        const Parsed p = Parse(args, 2);
        Refuse(p, command);
        if (command == u"build") {
            Expect(p, 1, "one APP_DIR");
            if (!p.Runtime) throw EUsage("build needs --runtime");
            if (!p.Output) throw EUsage("build needs -o App.exe");
            if (p.Password) throw EUsage("build always uses the package password");
            TBuildOptions o{p.Positional[0], PathOf(p.Runtime), PathOf(p.Loader), PathOf(p.Installer),
                            PathOf(p.Inject), PathOf(p.Output), PathOf(p.Icon), p.Info, p.Store, SignOf(p)};
            return Build(o, std::cout, std::cerr);
        }
        if (command == u"sign") {
            Expect(p, 1, "one FILE");
            const auto sign = SignOf(p);
            if (!sign) throw EUsage("sign needs --cert and --key");
            if (p.Password) throw EUsage("sign takes no --password");
            return Sign(p.Positional[0], *sign, PathOf(p.Output), std::cout);
        }
        if (command == u"list") {
            Expect(p, 1, "one FILE");
            return List(p.Positional[0], PasswordOf(p), std::cout);
        }
        if (command == u"extract") {
            Expect(p, 2, "FILE and ENTRY");
            std::optional<std::filesystem::path> out;
            if (p.Output) {
                out = *p.Output;
            }
            return Extract(p.Positional[0], p.Positional[1], out, PasswordOf(p), std::cout);
        }
        if (command == u"verify") {
            Expect(p, 1, "one FILE");
            return Verify(p.Positional[0], PasswordOf(p), std::cout, std::cerr);
        }
        throw EUsage("unknown command " + Shared::Utf16ToUtf8(command));
    } catch (const EUsage& e) {
        std::cerr << "folio-pack: " << e.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "folio-pack: error: " << e.what() << "\n";
        return 1;
    }
}

} // namespace Folio::Pack
