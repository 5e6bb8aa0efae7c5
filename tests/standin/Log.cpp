// The JSON line writer, the SHA-256 helper and the string helpers of the stand-in.
#include "tests/standin/Log.h"

#include "platform/win32/Handles.h"
#include "util/TextCodecs.h"

#include <bcrypt.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <cstring>

namespace Folio::Standin {

std::string Quoted(std::string_view utf8)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
    return std::string(buffer.GetString(), buffer.GetSize());
}

namespace {

// Serialises appends from all processes of the session; a lock that cannot be had
// (another process died holding it) is waited for briefly, then the line goes anyway.
class TAppendLock {
public:
    TAppendLock() noexcept : FMutex(CreateMutexW(nullptr, FALSE, L"Local\\FolioStandinLog"))
    {
        if (FMutex) {
            const DWORD result = WaitForSingleObject(FMutex.Get(), 5000);
            FOwned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        }
    }
    ~TAppendLock()
    {
        if (FOwned) {
            ReleaseMutex(FMutex.Get());
        }
    }
    TAppendLock(const TAppendLock&) = delete;
    TAppendLock& operator=(const TAppendLock&) = delete;

private:
    Win32::UniqueKernelHandle FMutex;
    bool FOwned = false;
};

} // namespace

TLogLine::TLogLine(std::string_view event)
    : FText("{\"pid\":" + std::to_string(GetCurrentProcessId()) + ",\"event\":" + Quoted(event))
{
}

TLogLine& TLogLine::Str(std::string_view key, std::string_view utf8)
{
    FText += "," + Quoted(key) + ":" + Quoted(utf8);
    return *this;
}

TLogLine& TLogLine::Str(std::string_view key, std::u16string_view text)
{
    return Str(key, Shared::Utf16ToUtf8(text));
}

TLogLine& TLogLine::Num(std::string_view key, int64_t value)
{
    FText += "," + Quoted(key) + ":" + std::to_string(value);
    return *this;
}

TLogLine& TLogLine::Real(std::string_view key, double value)
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.Double(value);
    FText += "," + Quoted(key) + ":" + buffer.GetString();
    return *this;
}

TLogLine& TLogLine::Bool(std::string_view key, bool value)
{
    FText += "," + Quoted(key) + (value ? ":true" : ":false");
    return *this;
}

TLogLine& TLogLine::Null(std::string_view key)
{
    FText += "," + Quoted(key) + ":null";
    return *this;
}

TLogLine& TLogLine::Strings(std::string_view key, const std::vector<std::u16string>& values)
{
    FText += "," + Quoted(key) + ":[";
    for (size_t i = 0; i < values.size(); ++i) {
        FText += (i ? "," : "") + Quoted(Shared::Utf16ToUtf8(values[i]));
    }
    FText += "]";
    return *this;
}

TLogLine& TLogLine::Hresult(std::string_view key, HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return Str(key, std::string_view(text));
}

void TLogLine::Write() noexcept
{
    try {
        const auto path = EnvironmentVariable(L"FOLIO_STANDIN_LOG");
        if (!path || path->empty()) {
            return;
        }
        const std::string line = FText + "}\n";
        TAppendLock lock;
        Win32::UniqueFile file(CreateFileW(Win32::W(*path), FILE_APPEND_DATA,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return;
        }
        DWORD written = 0;
        WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } catch (...) {
        // Out of memory while logging: nothing better to do than to lose the line.
    }
}

void LogError(std::string_view message) noexcept
{
    try {
        TLogLine("error").Str("message", message).Write();
    } catch (...) {
    }
}

std::optional<std::u16string> EnvironmentVariable(const wchar_t* name)
{
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return std::nullopt;
    }
    std::u16string value(size, u'\0');
    const DWORD length = GetEnvironmentVariableW(name, reinterpret_cast<wchar_t*>(value.data()), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::string Sha256Hex(const void* data, size_t size)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    bool ok = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    ok = ok && BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    ok = ok && BCRYPT_SUCCESS(BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)),
                                             static_cast<ULONG>(size), 0));
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash) {
        BCryptDestroyHash(hash);
    }
    if (algorithm) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    if (!ok) {
        LogError("BCrypt SHA-256 failed");
        return {};
    }
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

wchar_t* CoTaskString(std::u16string_view text) noexcept
{
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy) {
        std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
        copy[text.size()] = L'\0';
    }
    return copy;
}

std::u16string FromWide(const wchar_t* text) { return Win32::U16(text); }

} // namespace Folio::Standin
