// The relay's connection to the harness (Winsock: this is a test DLL, not the runtime)
// and the writer of its messages.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/standin/Relay.h"

#include "tests/standin/Log.h"
#include "util/TextCodecs.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace Folio::Standin {

std::unique_ptr<TRelay> TRelay::Connect()
{
    const auto target = EnvironmentVariable(L"FOLIO_STANDIN_RELAY");
    if (!target || target->empty()) {
        return nullptr;
    }
    const std::string address = Shared::Utf16ToUtf8(*target);
    const size_t colon = address.rfind(':');
    WSADATA data{};
    if (colon == std::string::npos || WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        LogError("relay: FOLIO_STANDIN_RELAY is not host:port, or Winsock did not start");
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints, &found) != 0) {
        LogError("relay: cannot resolve " + address);
        return nullptr;
    }
    SOCKET socket = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const bool connected = socket != INVALID_SOCKET && connect(socket, found->ai_addr, int(found->ai_addrlen)) == 0;
    freeaddrinfo(found);
    if (!connected) {
        if (socket != INVALID_SOCKET) {
            closesocket(socket);
        }
        LogError("relay: cannot connect to " + address);
        return nullptr;
    }
    // Lines are small and answers wait on them: no coalescing.
    BOOL noDelay = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    TLogLine("relay-connected").Str("address", address).Write();
    return std::make_unique<TRelay>(uintptr_t(socket));
}

TRelay::~TRelay() { Stop(); }

void TRelay::Start(TReceived received)
{
    FReader = std::thread([socket = SOCKET(FSocket), received = std::move(received)] {
        std::string pending;
        char buffer[65536];
        for (;;) {
            const int got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            pending.append(buffer, size_t(got));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                received(pending.substr(0, end));
            }
        }
        received(std::nullopt);
    });
}

void TRelay::Send(const std::string& json) noexcept
{
    try {
        const std::string line = json + "\n";
        std::lock_guard lock(FWriting);
        for (size_t sent = 0; sent < line.size() && SOCKET(FSocket) != INVALID_SOCKET;) {
            const int n = send(SOCKET(FSocket), line.data() + sent, int(line.size() - sent), 0);
            if (n <= 0) {
                return;
            }
            sent += size_t(n);
        }
    } catch (...) {
    }
}

void TRelay::Stop() noexcept
{
    SOCKET socket;
    {
        std::lock_guard lock(FWriting);
        socket = SOCKET(std::exchange(FSocket, uintptr_t(INVALID_SOCKET)));
    }
    if (socket != INVALID_SOCKET) {
        shutdown(socket, SD_BOTH);
        closesocket(socket);
    }
    if (FReader.joinable() && FReader.get_id() != std::this_thread::get_id()) {
        FReader.join();
    }
}

TRelayMessage::TRelayMessage(std::string_view op) : FText("{\"op\":" + Quoted(op)) {}

void TRelayMessage::Key(std::string_view key) { FText += "," + Quoted(key) + ":"; }

TRelayMessage& TRelayMessage::Str(std::string_view key, std::u16string_view text)
{
    return Utf8(key, Shared::Utf16ToUtf8(text));
}

TRelayMessage& TRelayMessage::Utf8(std::string_view key, std::string_view text)
{
    Key(key);
    FText += Quoted(text);
    return *this;
}

TRelayMessage& TRelayMessage::Num(std::string_view key, int64_t value)
{
    Key(key);
    FText += std::to_string(value);
    return *this;
}

TRelayMessage& TRelayMessage::Bool(std::string_view key, bool value)
{
    Key(key);
    FText += value ? "true" : "false";
    return *this;
}

TRelayMessage& TRelayMessage::Strings(std::string_view key, const std::vector<std::u16string>& values)
{
    Key(key);
    FText += "[";
    for (size_t i = 0; i < values.size(); ++i) {
        FText += (i ? "," : "") + Quoted(Shared::Utf16ToUtf8(values[i]));
    }
    FText += "]";
    return *this;
}

TRelayMessage& TRelayMessage::Base64(std::string_view key, std::string_view bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Key(key);
    FText += '"';
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const auto at = [&](size_t k) { return k < bytes.size() ? uint32_t(uint8_t(bytes[k])) : 0u; };
        const uint32_t n = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        FText += digits[n >> 18 & 63];
        FText += digits[n >> 12 & 63];
        FText += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        FText += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    FText += '"';
    return *this;
}

} // namespace Folio::Standin
