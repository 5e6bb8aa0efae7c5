// End-to-end test helpers: packaged executables made with folio-pack.exe (or, for
// packages it refuses to make, with the package writer itself), runtime processes
// started with a chosen environment, and the windows they show, read and answered the
// way a user (or another program) would.
#pragma once

#include "package/Calculations.h"
#include "package/ZipWriter.h"
#include "util/TextCodecs.h"

#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace FolioE2E {

namespace fs = std::filesystem;

inline std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const fs::path& path, std::string_view bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline fs::path LocalAppData()
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A folder of its own for each test, removed at the end.
class TWorkDir {
public:
    explicit TWorkDir(const std::string& name)
        : FPath(fs::temp_directory_path() / ("folio-e2e-" + name + "-" + std::to_string(GetCurrentProcessId())))
    {
        std::error_code ec;
        fs::remove_all(FPath, ec);
        fs::create_directories(FPath);
    }
    ~TWorkDir()
    {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    const fs::path& Path() const { return FPath; }
    fs::path operator/(const std::string& name) const { return FPath / name; }

private:
    fs::path FPath;
};

// Environment changes for a started process: a value sets the variable, none removes it.
using TEnvironment = std::map<std::wstring, std::optional<std::wstring>>;

class TProcess {
public:
    TProcess() = default;
    TProcess(HANDLE process, DWORD id) : FHandle(process), FId(id) {}
    TProcess(TProcess&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)), FId(other.FId) {}
    ~TProcess()
    {
        if (FHandle) {
            if (WaitForSingleObject(FHandle, 0) == WAIT_TIMEOUT) {
                TerminateProcess(FHandle, 99);
            }
            CloseHandle(FHandle);
        }
    }
    explicit operator bool() const { return FHandle != nullptr; }
    DWORD Id() const { return FId; }
    HANDLE Handle() const { return FHandle; }
    bool Running() const { return FHandle && WaitForSingleObject(FHandle, 0) == WAIT_TIMEOUT; }
    // The exit code, or nothing when it still runs after `ms`.
    std::optional<DWORD> WaitExit(DWORD ms) const
    {
        if (!FHandle || WaitForSingleObject(FHandle, ms) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(FHandle, &code);
        return code;
    }

private:
    HANDLE FHandle = nullptr;
    DWORD FId = 0;
};

inline std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

// Starts `exe` with a command line of its quoted path and `arguments` as given, in
// `folder` (the executable's own folder unless given).
inline TProcess Start(const fs::path& exe, const std::wstring& arguments, const TEnvironment& changes = {},
                      const fs::path& folder = {})
{
    std::map<std::wstring, std::wstring, decltype([](const std::wstring& a, const std::wstring& b) {
                 return _wcsicmp(a.c_str(), b.c_str()) < 0;
             })>
        variables;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            const std::wstring entry(p);
            const size_t eq = entry.find(L'=', 1);
            if (eq != std::wstring::npos) {
                variables[entry.substr(0, eq)] = entry.substr(eq + 1);
            }
        }
        FreeEnvironmentStringsW(block);
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::wstring block;
    for (const auto& [name, value] : variables) {
        block += name + L"=" + value + L'\0';
    }
    block += L'\0';
    std::wstring line = Quote(exe.wstring()) + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.wstring().c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        block.data(), (folder.empty() ? exe.parent_path() : folder).wstring().c_str(), &startup,
                        &info)) {
        return {};
    }
    CloseHandle(info.hThread);
    return TProcess(info.hProcess, info.dwProcessId);
}

// Runs a console program to its end; its exit code and what it wrote.
struct TRunResult {
    DWORD Code = DWORD(-1);
    std::string Output;
};
inline TRunResult RunToEnd(const fs::path& exe, const std::wstring& arguments)
{
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &security, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    std::wstring line = Quote(exe.wstring()) + L" " + arguments;
    PROCESS_INFORMATION info{};
    TRunResult result;
    const BOOL started = CreateProcessW(exe.wstring().c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &info);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            result.Output.append(buffer, got);
        }
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &result.Code);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(readEnd);
    return result;
}

// A packaged executable made with the package writer from (entry name, bytes) pairs,
// encrypted with `password` (the package password unless given).
inline void PackRaw(const fs::path& runtime, const fs::path& output,
                    const std::vector<std::pair<std::string, std::string>>& entries,
                    std::optional<std::string> password = std::nullopt)
{
    std::ostringstream zip;
    Folio::Shared::TZipWriter writer(
        zip, {password ? *password : Folio::Shared::Utf16ToAnsi(Folio::Shared::PackagePassword()), false});
    for (const auto& [name, bytes] : entries) {
        writer.AddBytes(name, bytes, Folio::Shared::TZipWriter::DosDateTime(1700000000));
    }
    writer.Finish();
    WriteBytes(output, ReadBytes(runtime) + zip.str());
}

inline std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, int(std::size(text)));
    return text;
}

inline std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, int(std::size(name)));
    return name;
}

struct TWindowSearch {
    DWORD ProcessId = 0;
    const std::wstring* Caption = nullptr;
    std::vector<HWND> Found;
    std::vector<std::wstring> Texts;
};

// Enumeration callbacks: the 32-bit build needs them stdcall, which lambdas are not.
inline BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data)
{
    auto* s = reinterpret_cast<TWindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s->ProcessId && IsWindowVisible(window)) {
        s->Found.push_back(window);
    }
    return TRUE;
}
inline BOOL CALLBACK CollectChildText(HWND child, LPARAM data)
{
    reinterpret_cast<TWindowSearch*>(data)->Texts.push_back(TextOf(child));
    return TRUE;
}
inline BOOL CALLBACK FindButton(HWND child, LPARAM data)
{
    auto* s = reinterpret_cast<TWindowSearch*>(data);
    if (ClassOf(child) == L"Button" && TextOf(child) == *s->Caption) {
        s->Found.push_back(child);
        return FALSE;
    }
    return TRUE;
}

// The visible top-level windows of a process.
inline std::vector<HWND> WindowsOf(DWORD processId)
{
    TWindowSearch search;
    search.ProcessId = processId;
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

// Waits until the process shows a window that `wanted` accepts; null when the process
// ends first or nothing comes within `ms`.
inline HWND WaitForWindow(const TProcess& process, const std::function<bool(HWND)>& wanted, DWORD ms = 20000)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        for (HWND window : WindowsOf(process.Id())) {
            if (wanted(window)) {
                return window;
            }
        }
        if (!process.Running()) {
            return nullptr;
        }
        Sleep(50);
    }
    return nullptr;
}

inline bool IsDialog(HWND window) { return ClassOf(window) == L"#32770"; }

// The texts of a window's children, in their order.
inline std::vector<std::wstring> ChildTexts(HWND parent)
{
    TWindowSearch search;
    EnumChildWindows(parent, CollectChildText, reinterpret_cast<LPARAM>(&search));
    return search.Texts;
}

// Presses the button captioned `caption` as a click would.
inline bool ClickButton(HWND dialog, const std::wstring& caption)
{
    TWindowSearch search;
    search.Caption = &caption;
    EnumChildWindows(dialog, FindButton, reinterpret_cast<LPARAM>(&search));
    if (search.Found.empty()) {
        return false;
    }
    PostMessageW(search.Found[0], BM_CLICK, 0, 0);
    return true;
}

// Whether `text` holds `part`.
inline bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

} // namespace FolioE2E
