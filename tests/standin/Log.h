// The stand-in's log: one JSON object a line, appended to the file named by
// FOLIO_STANDIN_LOG. Each line is written whole by one WriteFile on a freshly opened
// handle, under a machine-wide lock, so several processes can share one file and a
// crash loses nothing written before it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Folio::Standin {

// A JSON string literal of UTF-8 text.
std::string Quoted(std::string_view utf8);

// One log line under construction: {"pid": ..., "event": ..., then the fields in order}.
class TLogLine {
public:
    explicit TLogLine(std::string_view event);
    TLogLine(const TLogLine&) = delete;
    TLogLine& operator=(const TLogLine&) = delete;

    TLogLine& Str(std::string_view key, std::string_view utf8);
    TLogLine& Str(std::string_view key, std::u16string_view text);
    TLogLine& Num(std::string_view key, int64_t value);
    TLogLine& Real(std::string_view key, double value);
    TLogLine& Bool(std::string_view key, bool value);
    TLogLine& Null(std::string_view key);
    TLogLine& Strings(std::string_view key, const std::vector<std::u16string>& values);
    TLogLine& Hresult(std::string_view key, HRESULT hr); // as "0x80004005"

    // Appends the line; without FOLIO_STANDIN_LOG it goes nowhere. Never throws.
    void Write() noexcept;

private:
    std::string FText;
};

// The stand-in's own troubles: {"event":"error","message":...}.
void LogError(std::string_view message) noexcept;

// An environment variable, or nothing when it is not set.
std::optional<std::u16string> EnvironmentVariable(const wchar_t* name);

// Lower-case hex SHA-256 through BCrypt.
std::string Sha256Hex(const void* data, size_t size);

// A copy in CoTaskMemAlloc memory, as WebView2 hands out strings; null when out of memory.
wchar_t* CoTaskString(std::u16string_view text) noexcept;

// Null-safe conversion of an incoming LPCWSTR.
std::u16string FromWide(const wchar_t* text);

} // namespace Folio::Standin
