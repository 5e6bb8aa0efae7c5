// Signing with osslsigncode, and reading a signature back (see Signing.h).
#include "tools/pack/Signing.h"

#include "package/Calculations.h"
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/PeImage.h"
#include "package/ZipArchive.h"
#include "tools/pack/OutputFile.h"
#include "tools/pack/Pack.h"
#include "util/TextCodecs.h"

#include <cstdlib>
#include <sstream>

#ifdef _WIN32
#include "platform/win32/Handles.h"

#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace Folio::Pack {

namespace fs = std::filesystem;
using namespace Folio::Shared;

namespace {


std::string Utf8Of(const fs::path& p) { return Utf16ToUtf8(p.u16string()); }

// The program's full path, from the folders of PATH in order: the tool is started by
// that path, never by a bare name the current folder could answer.
std::optional<fs::path> FindOnPath(const std::string& name)
{
#ifdef _WIN32
    const wchar_t* value = _wgetenv(L"PATH");
    const std::u16string path = value ? Win32::U16(value) : std::u16string();
    const char16_t separator = u';';
    const std::u16string file = Utf8ToUtf16(name) + u".exe";
#else
    const char* value = std::getenv("PATH");
    const std::u16string path = Utf8ToUtf16(value ? value : "");
    const char16_t separator = u':';
    const std::u16string file = Utf8ToUtf16(name);
#endif
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(separator, start);
        if (end == std::u16string::npos) {
            end = path.size();
        }
        const std::u16string folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || !fs::path(folder).is_absolute()) {
            continue;
        }
        const fs::path candidate = fs::path(folder) / file;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec)) {
            return candidate;
        }
    }
    return std::nullopt;
}

#ifdef _WIN32
// One argument quoted as the C runtime splits a command line.
std::wstring Quoted(const std::wstring& a)
{
    std::wstring q = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        q.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        q += c;
    }
    q.append(slashes * 2, L'\\');
    return q + L"\"";
}
#endif

std::string Field(const std::string& text, const std::string& label)
{
    const size_t at = text.find(label);
    if (at == std::string::npos) {
        return {};
    }
    const size_t from = text.find_first_not_of(" \t", at + label.size());
    const size_t to = text.find('\n', from);
    std::string value = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r' || value.back() == '\t')) {
        value.pop_back();
    }
    return value;
}

} // namespace

int RunProgram(const std::string& name, const std::vector<std::string>& args, std::string& output)
{
    const auto program = FindOnPath(name);
    if (!program) {
        return -1;
    }
#ifdef _WIN32
    std::wstring line = Quoted(program->wstring());
    for (const auto& a : args) {
        const std::u16string wide = Utf8ToUtf16(a);
        line += L" " + Quoted(std::wstring(wide.begin(), wide.end()));
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Win32::UniqueKernelHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0) ||
        !SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        throw EPackError("cannot start " + name);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd.Get();
    si.hStdError = writeEnd.Get();
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program->c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi)) {
        throw EPackError("cannot start " + Utf8Of(*program));
    }
    Win32::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    writeEnd = {};
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        output.append(buffer, got);
    }
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
#else
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        throw EPackError("cannot start " + name);
    }
    std::vector<std::string> argv{program->string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (auto& a : argv) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        throw EPackError("cannot start " + name);
    }
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0) {
            output.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

void SignInto(const fs::path& input, const fs::path& output, const TSignOptions& o)
{
    {
        TMappedFile file;
        try {
            file.Open(input.u16string());
        } catch (const EFileError&) {
            throw EPackError("cannot read " + Show(input));
        }
        const auto bytes = file.Bytes();
        const auto end = PeImageEnd(bytes);
        if (!end) {
            throw EPackError(Show(input) + " is not a Windows executable");
        }
        try {
            if (LocateCertificateTable(bytes, *end, Show(input))) {
                throw EPackError(Show(input) + " is already signed; sign the unsigned executable");
            }
        } catch (const EFileError& e) {
            throw EPackError(e.what());
        }
    }
    // osslsigncode creates its output and will not replace a file.
    std::error_code ec;
    fs::remove(output, ec);
    std::vector<std::string> args{"sign", "-h", "sha256", "-certs", Utf8Of(o.Cert), "-key", Utf8Of(o.Key)};
    if (o.Pass) {
        args.insert(args.end(), {"-pass", *o.Pass});
    }
    if (o.Timestamp) {
        args.insert(args.end(), {"-ts", *o.Timestamp});
    }
    args.insert(args.end(), {"-in", Utf8Of(input), "-out", Utf8Of(output)});
    std::string log;
    const int code = RunProgram("osslsigncode", args, log);
    if (code == -1) {
        throw EPackError("cannot sign: osslsigncode was not found on PATH (Debian: apt-get install osslsigncode)");
    }
    if (code != 0) {
        throw EPackError("osslsigncode could not sign " + Show(input) + ":\n" + log);
    }

    // The signed file must read back as a package: the table after it, found and taken.
    TMappedFile signedFile;
    try {
        signedFile.Open(output.u16string());
        const auto bytes = signedFile.Bytes();
        const auto end = PeImageEnd(bytes);
        const auto table = end ? LocateCertificateTable(bytes, *end, Show(output)) : std::nullopt;
        if (!table) {
            throw EPackError("osslsigncode left no certificate table in " + Show(output));
        }
        if (*end < table->Offset) {
            TZipArchive zip;
            if (zip.Open(bytes.subspan(*end, static_cast<size_t>(table->Offset - *end))) != ZipError::None) {
                throw EPackError("the package of the signed file does not read back");
            }
        }
    } catch (const EFileError& e) {
        throw EPackError(e.what());
    }
}

int Sign(const fs::path& file, const TSignOptions& options, const fs::path& output, std::ostream& out)
{
    const fs::path target = output.empty() ? file : output;
    TOutputFile temp(target);
    SignInto(file, temp.Path(), options);
    temp.Commit();
    out << Utf8Of(target) << ": signed, " << fs::file_size(target) << " bytes\n";
    return 0;
}

TSignatureCheck CheckSignature(const fs::path& file)
{
    TSignatureCheck check;
    std::string log;
    const int code = RunProgram("osslsigncode", {"verify", "-in", Utf8Of(file)}, log);
    if (code == -1) {
        check.Problem = "osslsigncode was not found on PATH";
        return check;
    }
    // "Current message digest    : HEX" and "Calculated message digest : HEX", the
    // latter marked when they differ; the signer is shown only when they match.
    auto digest = [&](const char* label) {
        std::string value = Field(log, label);
        std::istringstream words(value.substr(std::min(value.size(), value.find(':') + 1)));
        std::string hex;
        words >> hex;
        return hex;
    };
    const std::string current = digest("Current message digest"), calculated = digest("Calculated message digest");
    if (current.empty() || calculated.empty()) {
        check.Problem = "osslsigncode could not read it";
        return check;
    }
    check.Checked = true;
    check.DigestMatches = current == calculated;
    if (const size_t signer = log.find("Signer's certificate:"); signer != std::string::npos) {
        check.Subject = Field(log.substr(signer), "Subject:");
    }
    check.ChainTrusted = code == 0 && log.find("Signature verification: ok") != std::string::npos;
    return check;
}

} // namespace Folio::Pack
