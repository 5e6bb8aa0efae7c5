// TSysUtils: processes, the shell, windows and power (see SysUtils.h).
#include "platform/win32/SysUtils.h"

#include "util/StrUtils.h"

#include <shellapi.h>

namespace Folio::Win32 {

namespace {

// The process-wide caption list that GetWindowsCaptions refills.
TStringList& CaptionList()
{
    static TStringList list;
    return list;
}

BOOL CALLBACK AddCaption(HWND window, LPARAM) noexcept
{
    try {
        const int length = GetWindowTextLengthW(window);
        std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
        const int got = GetWindowTextW(window, caption.data(), length + 1);
        caption.resize(static_cast<size_t>(got > 0 ? got : 0));
        const std::u16string text = U16(caption.c_str(), caption.size());
        if (!Shared::Trim(text).empty()) {
            CaptionList().push_back(text);
        }
    } catch (...) {
        // a caption that cannot be added is skipped
    }
    return TRUE;
}

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

bool ShellExecuteOpen(const std::u16string& file, const std::u16string& parameters)
{
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(GetActiveWindow(), L"open", W(file), W(parameters),
                                                                nullptr, SW_SHOWNORMAL));
    return result > 32;
}

// Handles every pending message; false once WM_QUIT was seen (it is posted again so
// that the application's own loop still ends).
bool PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

bool StartProcess(const std::u16string& commandLine, DWORD flags, WORD show, PROCESS_INFORMATION& process)
{
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    std::wstring line = Wide(commandLine);
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                          &process) != FALSE;
}

} // namespace

void TSysUtils::GetWindowsCaptions(TStringList& WindowsCaptionsList)
{
    CaptionList().clear();
    EnumWindows(AddCaption, 0);
    WindowsCaptionsList = CaptionList();
}

bool TSysUtils::ExitWindows(UINT RebootParam)
{
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        UniqueKernelHandle owned(token);
        TOKEN_PRIVILEGES privileges{};
        if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr); // outcome not examined
        }
    }
    return ExitWindowsEx(RebootParam, 0) != FALSE;
}

DWORD TSysUtils::ShellExecAsAdminAndWait(HWND AHandle, const std::u16string& FilePath, const std::u16string& Params)
{
    SHELLEXECUTEINFOW info{sizeof(info)};
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
    info.hwnd = AHandle;
    info.lpVerb = L"runas";
    info.lpFile = W(FilePath);
    info.lpParameters = Params.empty() ? nullptr : W(Params);
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        return 0;
    }
    UniqueKernelHandle process(info.hProcess);
    // Sleeps until the process ends or a message arrives, and handles messages meanwhile.
    // The end is the handle being signalled, not the exit code: a process may well exit
    // with 259, the code that otherwise means "still running".
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, INFINITE, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1 || !PumpMessages()) {
            break;
        }
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::u16string TSysUtils::GetDosOutput(const std::u16string& CommandLine, const std::u16string& WorkingDir,
                                       bool ShowWindow)
{
    SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &security, 0)) {
        return {};
    }
    UniqueKernelHandle reader(readEnd), writer(writeEnd);
    // Only the write end is for the child.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = ShowWindow ? SW_SHOWNORMAL : SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::wstring line = L"cmd.exe /C " + Wide(CommandLine);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        WorkingDir.empty() ? nullptr : W(WorkingDir), &startup, &process);
    writer.Reset(); // at once, so that the pipe ends when the child's copies close
    if (!started) {
        return {};
    }
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);

    // Collect all bytes first: a multi-byte character may be split between two reads.
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    if (bytes.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    }
    return U16(text.c_str(), text.size());
}

bool TSysUtils::CheckEdgeIsInstalled(const std::u16string& EdgeLoaderDllPath)
{
    if (GetFileAttributesW(W(EdgeLoaderDllPath)) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    UniqueModule loader(LoadLibraryW(W(EdgeLoaderDllPath)));
    if (!loader) {
        return false;
    }
    using VersionFn = HRESULT(STDAPICALLTYPE*)(PCWSTR, LPWSTR*);
    const auto getVersion = reinterpret_cast<VersionFn>(
        reinterpret_cast<void*>(GetProcAddress(loader.Get(), "GetAvailableCoreWebView2BrowserVersionString")));
    if (!getVersion) {
        return false;
    }
    UniqueCoTaskString version;
    const HRESULT hr = getVersion(nullptr, version.Put());
    return SUCCEEDED(hr) && version && version.Get()[0] != L'\0';
}

bool TSysUtils::ShellExec(const std::u16string& FilePath, const std::u16string& Arguments)
{
    return ShellExecuteOpen(FilePath, Arguments);
}

bool TSysUtils::ShellExplore(const std::u16string& FilePath)
{
    return ShellExecuteOpen(u"explorer.exe", u"/select, \"" + FilePath + u"\"");
}

bool TSysUtils::ShellOpen(const std::u16string& FilePath) { return ShellExecuteOpen(FilePath, u""); }

bool TSysUtils::RestartApplication()
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (n == 0 || n >= MAX_PATH * 4 || !ShellOpen(U16(path, n))) {
        return false;
    }
    PostQuitMessage(0);
    return true;
}

DWORD TSysUtils::ExecAndWait(const std::u16string& CommandLine)
{
    PROCESS_INFORMATION process{};
    if (!StartProcess(CommandLine, 0, SW_HIDE, process)) {
        return 0;
    }
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

bool TSysUtils::ExecCmd(const std::u16string& CommandLine, bool Wait)
{
    PROCESS_INFORMATION process{};
    if (!StartProcess(CommandLine, CREATE_NEW_PROCESS_GROUP, SW_SHOWNORMAL, process)) {
        return false;
    }
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    if (Wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    return true;
}

bool TSysUtils::EditWithMSPaint(const std::u16string& FilePath)
{
    const std::u16string paint = GetSpecialFolderPath(0x25 /* CSIDL_SYSTEM */) + u"\\mspaint.exe";
    if (GetFileAttributesW(W(paint)) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return ShellExecuteOpen(paint, u"\"" + FilePath + u"\"");
}

void TSysUtils::PressKey(WORD VirtualKey)
{
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = VirtualKey;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

int TSysUtils::TrueFontWidth(HFONT AFont, const std::u16string& Str)
{
    HDC dc = GetDC(nullptr);
    if (!dc) {
        return 0;
    }
    const HGDIOBJ old = SelectObject(dc, AFont);
    SIZE size{};
    GetTextExtentPoint32W(dc, W(Str), static_cast<int>(Str.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

std::u16string TSysUtils::GetComputerNetName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &n) ? U16(name, n) : std::u16string();
}

std::u16string TSysUtils::GetUserFromWindows()
{
    wchar_t name[257];
    DWORD n = 257;
    if (!GetUserNameW(name, &n) || n == 0) {
        return u"Unknown";
    }
    return U16(name); // n counts the terminating zero
}

std::u16string TSysUtils::FormatByteSize(int64_t Bytes) { return Shared::FormatByteSize(Bytes); }

} // namespace Folio::Win32
