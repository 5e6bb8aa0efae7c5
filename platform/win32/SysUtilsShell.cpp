// TSysUtils: processes, the shell, windows and power (see SysUtils.h).
#include "platform/win32/SysUtils.h"

#include "util/StrUtils.h"

#include <shellapi.h>

#include <atomic>
#include <cwchar>
#include <vector>

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

// ShellExecuteExW rather than ShellExecuteW: it leaves the reason of a failure in the
// thread's last error, where the callers read it. The shell shows no message of its own
// (its message box would also overwrite that error): the caller reports the reason.
bool ShellExecuteOpen(const std::u16string& file, const std::u16string& parameters)
{
    SHELLEXECUTEINFOW info{sizeof(info)};
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = GetActiveWindow();
    info.lpVerb = L"open";
    info.lpFile = W(file);
    info.lpParameters = parameters.empty() ? nullptr : W(parameters);
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) {
        return true;
    }
    if (GetLastError() == ERROR_SUCCESS) {
        SetLastError(ERROR_GEN_FAILURE);
    }
    return false;
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


// The read end of a command's output, opened for overlapped reads so that the wait can
// cover the pipe and the command's process together: a descendant that still holds the
// write end (a program started with "start /b") does not keep the caller waiting once
// the command itself has ended.
struct TOutputPipe {
    UniqueFile Reader, Writer;

    bool Create()
    {
        static std::atomic<unsigned> serial{0};
        wchar_t name[80];
        swprintf(name, 80, L"\\\\.\\pipe\\Folio.Output.%lu.%u", static_cast<unsigned long>(GetCurrentProcessId()),
                 ++serial);
        Reader.Reset(CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                      0, 64 * 1024, 0, nullptr));
        if (!Reader) {
            return false;
        }
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        Writer.Reset(CreateFileW(name, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr));
        return static_cast<bool>(Writer);
    }

    // Everything written until every writer has closed the pipe, or until the process
    // has ended and the pipe holds nothing more.
    std::string ReadUntilEnd(HANDLE process)
    {
        std::string bytes;
        UniqueKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event) {
            return bytes;
        }
        char buffer[4096];
        bool ended = false;
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = event.Get();
            if (!ReadFile(Reader.Get(), buffer, sizeof buffer, nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING) {
                break; // every writer is gone
            }
            DWORD woke;
            if (ended) {
                woke = WaitForSingleObject(event.Get(), 0);
            } else {
                const HANDLE waits[2] = {event.Get(), process};
                woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            }
            if (woke != WAIT_OBJECT_0) {
                CancelIo(Reader.Get());
            }
            DWORD got = 0;
            const BOOL ok = GetOverlappedResult(Reader.Get(), &overlapped, &got, TRUE);
            if (ok) {
                bytes.append(buffer, got); // a read may complete while it is being cancelled
            } else if (GetLastError() != ERROR_OPERATION_ABORTED) {
                break;
            }
            if (woke == WAIT_OBJECT_0 + 1) {
                ended = true; // take what is already in the pipe, then stop
            } else if (woke != WAIT_OBJECT_0) {
                break;
            }
        }
        return bytes;
    }
};

// PROC_THREAD_ATTRIBUTE_HANDLE_LIST: the handles a child may inherit.
class TAttributeList {
public:
    bool Init(HANDLE* handles, size_t size)
    {
        SIZE_T bytes = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &bytes);
        FStorage.resize(bytes);
        if (!InitializeProcThreadAttributeList(List(), 1, 0, &bytes)) {
            FStorage.clear();
            return false;
        }
        FInitialized = true;
        return UpdateProcThreadAttribute(List(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, size, nullptr,
                                         nullptr) != FALSE;
    }
    ~TAttributeList()
    {
        if (FInitialized) {
            DeleteProcThreadAttributeList(List());
        }
    }
    LPPROC_THREAD_ATTRIBUTE_LIST List() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.data()); }

private:
    std::vector<char> FStorage;
    bool FInitialized = false;
};

// cmd writes its own commands' output to a pipe in the console's code page, which is
// the OEM one unless the command changes it (chcp); so do most console programs.
std::u16string DecodeConsoleOutput(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const UINT codePage = GetOEMCP();
    const int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    }
    return U16(text.c_str(), text.size());
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

DWORD TSysUtils::ShellExecAsAdminAndWait(HWND AHandle, const std::u16string& FilePath, const std::u16string& Params,
                                         const std::function<void()>& Started)
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
    if (Started) {
        Started();
    }
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
                                       bool ShowWindow, DWORD* StartError)
{
    if (StartError) {
        *StartError = 0;
    }
    const auto fail = [StartError] {
        if (StartError) {
            *StartError = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        }
        return std::u16string();
    };
    TOutputPipe pipe;
    if (!pipe.Create()) {
        return fail();
    }
    // The child's standard input reads as empty at once.
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    UniqueFile input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr));
    if (!input) {
        return fail();
    }
    // Exactly these two handles are inherited, not every inheritable handle of the runtime.
    HANDLE inherited[2] = {pipe.Writer.Get(), input.Get()};
    TAttributeList attributes;
    if (!attributes.Init(inherited, sizeof inherited)) {
        return fail();
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = ShowWindow ? SW_SHOWNORMAL : SW_HIDE;
    startup.StartupInfo.hStdInput = input.Get();
    startup.StartupInfo.hStdOutput = pipe.Writer.Get();
    startup.StartupInfo.hStdError = pipe.Writer.Get();
    startup.lpAttributeList = attributes.List();
    std::wstring line = L"cmd.exe /C " + Wide(CommandLine);
    PROCESS_INFORMATION process{};
    // Suspended until it is in the job, so that no descendant is started outside it. A
    // console of its own, as the child of a GUI program always gets: its code page (the
    // OEM one) is what cmd writes redirected output in, whoever starts the command.
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_CONSOLE | EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr,
                                        WorkingDir.empty() ? nullptr : W(WorkingDir), &startup.StartupInfo, &process);
    const DWORD startError = GetLastError();
    pipe.Writer.Reset(); // only the child's copies keep the pipe open
    input.Reset();
    if (!started) {
        SetLastError(startError);
        return fail();
    }
    UniqueKernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
    // The command's descendants are kept together in a job. It does not end them: a
    // program the command started on purpose ("start notepad") stays open.
    UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        AssignProcessToJobObject(job.Get(), process.hProcess); // may fail inside a job of our own; no harm
    }
    ResumeThread(process.hThread);

    // Collect all bytes first: a multi-byte character may be split between two reads.
    const std::string bytes = pipe.ReadUntilEnd(process.hProcess);
    WaitForSingleObject(process.hProcess, INFINITE);
    return DecodeConsoleOutput(bytes);
}

bool TSysUtils::CheckEdgeIsInstalled(const std::u16string& EdgeLoaderDllPath)
{
    if (GetFileAttributesW(W(EdgeLoaderDllPath)) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    // Its dependencies beside it and in the system folders, not in the program's folder.
    UniqueModule loader(LoadLibraryExW(W(EdgeLoaderDllPath), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
    // A quote would end the quoted path early and pass the rest to Explorer as switches.
    if (FilePath.find(u'"') != std::u16string::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
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
