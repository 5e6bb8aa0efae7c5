// Relay mode: with FOLIO_STANDIN_RELAY=127.0.0.1:PORT the stand-in hands the runtime's
// calls to a harness on the host (which drives a real Chromium) and raises what the
// harness sends back. JSON objects, one a line, over one TCP connection each way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Folio::Standin {

class TRelay {
public:
    // Called on the reader thread with each line received, and once with nothing when
    // the harness has gone.
    using TReceived = std::function<void(std::optional<std::string> line)>;

    // The connection FOLIO_STANDIN_RELAY names, or null when it is not set. A relay that
    // cannot be reached is logged as an error and also gives null.
    static std::unique_ptr<TRelay> Connect();
    ~TRelay();
    TRelay(const TRelay&) = delete;
    TRelay& operator=(const TRelay&) = delete;

    // Starts reading; `received` runs on a thread of the relay's own.
    void Start(TReceived received);
    // From any thread: one line to the harness. Lost silently once the harness is gone.
    void Send(const std::string& json) noexcept;
    // Closes the connection and waits for the reader; nothing is received afterwards.
    void Stop() noexcept;

    // A SOCKET, kept as its integer so that this header needs no Winsock.
    explicit TRelay(uintptr_t socket) : FSocket(socket) {}

private:
    uintptr_t FSocket;
    std::mutex FWriting;
    std::thread FReader;
};

// One message to the harness: {"op": ..., then the fields in order}.
class TRelayMessage {
public:
    explicit TRelayMessage(std::string_view op);
    TRelayMessage& Str(std::string_view key, std::u16string_view text);
    TRelayMessage& Utf8(std::string_view key, std::string_view text);
    TRelayMessage& Num(std::string_view key, int64_t value);
    TRelayMessage& Bool(std::string_view key, bool value);
    TRelayMessage& Strings(std::string_view key, const std::vector<std::u16string>& values);
    TRelayMessage& Base64(std::string_view key, std::string_view bytes);
    std::string Text() const { return FText + "}"; }

private:
    void Key(std::string_view key);
    std::string FText;
};

} // namespace Folio::Standin
