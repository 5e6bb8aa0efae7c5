// The second-start channel (see InstanceChannel.h). The pipe is named after the
// application, the user's SID and the session, made with FILE_FLAG_FIRST_PIPE_INSTANCE
// and a DACL that lets only the user in, refuses remote clients, and has one instance:
// one start at a time is read, each within a few seconds.
#include "platform/win32/InstanceChannel.h"

#include "platform/UiQueue.h"
#include "platform/win32/Handles.h"

#include <windows.h>
#include <sddl.h>

#include <deque>
#include <memory>
#include <vector>

namespace Folio::Win32 {

namespace {

// Shorter than a later start's tries: a client that connects and never writes holds the
// one pipe instance no longer than the next start keeps trying.
constexpr DWORD kReadTimeoutMs = 1000;
constexpr DWORD kForwardTimeoutMs = 2500;
constexpr size_t kMostWaiting = 64; // more than Explorer opens with one program at once

// The user's SID of a process's token; empty when it cannot be read.
std::vector<uint8_t> ProcessUser(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return {};
    }
    UniqueKernelHandle held(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<uint8_t> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    if (!IsValidSid(sid)) {
        return {};
    }
    const auto* bytes = static_cast<const uint8_t*>(sid);
    return {bytes, bytes + GetLengthSid(sid)};
}

// Whether process `id` runs as this process's user in this process's session.
bool SameUserAndSession(ULONG id)
{
    DWORD session = 0, ours = 0;
    if (!ProcessIdToSessionId(id, &session) || !ProcessIdToSessionId(GetCurrentProcessId(), &ours) ||
        session != ours) {
        return false;
    }
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) {
        return false;
    }
    const auto user = ProcessUser(process.Get());
    return !user.empty() && user == ProcessUser(GetCurrentProcess());
}

std::wstring UserSidText()
{
    auto user = ProcessUser(GetCurrentProcess());
    LPWSTR text = nullptr;
    if (user.empty() || !ConvertSidToStringSidW(user.data(), &text)) {
        return {};
    }
    std::wstring result(text);
    LocalFree(text);
    return result;
}

std::wstring PipeName(const std::u16string& appId, const std::wstring& sid)
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return L"\\\\.\\pipe\\Folio." + std::wstring(W(appId)) + L"." + sid + L"." + std::to_wstring(session);
}

// The starts received, and where they go: touched on the user-interface thread only.
struct TDelivery {
    std::function<void(const Shared::TForwardedStart&)> Handler;
    std::deque<Shared::TForwardedStart> Waiting;
};
TDelivery& Delivery()
{
    static TDelivery delivery;
    return delivery;
}

void Deliver(Shared::TForwardedStart start)
{
    TDelivery& delivery = Delivery();
    if (delivery.Handler) {
        delivery.Handler(start);
    } else if (delivery.Waiting.size() < kMostWaiting) {
        delivery.Waiting.push_back(std::move(start));
    }
}

// Waits for an overlapped operation; false (and the operation cancelled) after ms.
bool Finish(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD ms, DWORD& transferred, DWORD& error)
{
    error = started ? ERROR_SUCCESS : GetLastError();
    if (!started && error != ERROR_IO_PENDING) {
        return false; // ERROR_MORE_DATA included: longer than any start
    }
    if (WaitForSingleObject(overlapped.hEvent, ms) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
        error = ERROR_TIMEOUT;
        return false;
    }
    if (!GetOverlappedResult(pipe, &overlapped, &transferred, FALSE)) {
        error = GetLastError();
        return false;
    }
    error = ERROR_SUCCESS;
    return true;
}

// Reads one start from a connected client; nothing when it is not the same user and
// session, is too long, is slow or does not decode.
std::optional<Shared::TForwardedStart> ReadStart(HANDLE pipe, HANDLE event)
{
    ULONG client = 0;
    if (!GetNamedPipeClientProcessId(pipe, &client) || !SameUserAndSession(client)) {
        return std::nullopt;
    }
    std::string bytes(Shared::kMostForwardedBytes + 1, '\0');
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD read = 0, error = 0;
    const BOOL started = ReadFile(pipe, bytes.data(), DWORD(bytes.size()), &read, &overlapped);
    if (!Finish(pipe, overlapped, started, kReadTimeoutMs, read, error) || read > Shared::kMostForwardedBytes) {
        return std::nullopt; // too slow, broken, or a message longer than any start (ERROR_MORE_DATA)
    }
    bytes.resize(read);
    return Shared::DecodeForwardedStart(bytes);
}

void Serve(HANDLE pipe, HANDLE event)
{
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        ResetEvent(event);
        const BOOL connected = ConnectNamedPipe(pipe, &overlapped);
        DWORD error = connected ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_IO_PENDING) {
            DWORD ignored = 0;
            error = GetOverlappedResult(pipe, &overlapped, &ignored, TRUE) ? ERROR_SUCCESS : GetLastError();
        }
        if (error == ERROR_SUCCESS || error == ERROR_PIPE_CONNECTED) {
            ResetEvent(event);
            if (auto start = ReadStart(pipe, event)) {
                Platform::UiQueue().Post([start = std::move(*start)]() mutable { Deliver(std::move(start)); });
            }
        } else if (error != ERROR_NO_DATA) {
            Sleep(100); // a failing pipe is not spun on
        }
        DisconnectNamedPipe(pipe);
    }
}

struct TServeArgs {
    HANDLE Pipe, Event;
};

DWORD WINAPI ServeThread(void* raw)
{
    const std::unique_ptr<TServeArgs> args(static_cast<TServeArgs*>(raw));
    Serve(args->Pipe, args->Event);
    return 0;
}

} // namespace

std::wstring SecondStartChannelName(const std::u16string& appId)
{
    const std::wstring sid = UserSidText();
    return sid.empty() ? std::wstring() : PipeName(appId, sid);
}

bool ListenForSecondStarts(const std::u16string& appId)
{
    const std::wstring sid = UserSidText();
    if (sid.empty()) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    const HANDLE pipe =
        CreateNamedPipeW(PipeName(appId, sid).c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                         DWORD(Shared::kMostForwardedBytes), 0, &attributes);
    LocalFree(descriptor);
    if (pipe == INVALID_HANDLE_VALUE) {
        return false;
    }
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event) {
        CloseHandle(pipe);
        return false;
    }
    Platform::UiQueue(); // made here, on the user-interface thread
    // The thread and its handles live as long as the process.
    auto* args = new TServeArgs{pipe, event};
    const HANDLE thread = CreateThread(nullptr, 0, ServeThread, args, 0, nullptr);
    if (!thread) {
        delete args;
        CloseHandle(event);
        CloseHandle(pipe);
        return false;
    }
    CloseHandle(thread);
    return true;
}

void SetSecondStartHandler(std::function<void(const Shared::TForwardedStart&)> handler)
{
    TDelivery& delivery = Delivery();
    delivery.Handler = std::move(handler);
    while (delivery.Handler && !delivery.Waiting.empty()) {
        const Shared::TForwardedStart start = std::move(delivery.Waiting.front());
        delivery.Waiting.pop_front();
        delivery.Handler(start);
    }
}

bool ForwardToRunningInstance(const std::u16string& appId, const Shared::TForwardedStart& start)
{
    const std::string bytes = Shared::EncodeForwardedStart(start);
    const std::wstring sid = UserSidText();
    if (bytes.empty() || sid.empty()) {
        return false;
    }
    const std::wstring name = PipeName(appId, sid);
    // The running instance may still be starting: its pipe comes a moment after its mark.
    UniqueFile pipe;
    for (const ULONGLONG until = GetTickCount64() + kForwardTimeoutMs; !pipe && GetTickCount64() < until;) {
        pipe.Reset(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (!pipe) {
            if (GetLastError() == ERROR_PIPE_BUSY) {
                WaitNamedPipeW(name.c_str(), 500);
            } else {
                Sleep(100);
            }
        }
    }
    ULONG server = 0;
    if (!pipe || !GetNamedPipeServerProcessId(pipe.Get(), &server) || !SameUserAndSession(server)) {
        return false; // nobody, or a pipe of someone else's
    }
    AllowSetForegroundWindow(server);
    DWORD written = 0;
    return WriteFile(pipe.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size() &&
           FlushFileBuffers(pipe.Get());
}

} // namespace Folio::Win32
