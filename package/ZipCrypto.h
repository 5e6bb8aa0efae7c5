// Traditional PKWARE encryption ("ZipCrypto"): the three-key stream cipher of the ZIP
// format. Weak by today's measure; the format's own, and what the packages use.
#pragma once

#include "package/Crc32.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Folio::Shared {

// The three keys at one point of a key stream: with them decryption resumes there.
struct TZipKeyState {
    uint32_t Key0 = 0, Key1 = 0, Key2 = 0;
};

class TZipKeys {
public:
    explicit TZipKeys(std::string_view password) noexcept
    {
        for (const char c : password) {
            Update(static_cast<uint8_t>(c));
        }
    }

    void Update(uint8_t plain) noexcept
    {
        FKey0 = Crc32Step(FKey0, plain);
        FKey1 = (FKey1 + (FKey0 & 0xFF)) * 134775813u + 1;
        FKey2 = Crc32Step(FKey2, static_cast<uint8_t>(FKey1 >> 24));
    }

    uint8_t StreamByte() const noexcept
    {
        const uint32_t t = (FKey2 | 2) & 0xFFFF;
        return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
    }

    uint8_t Decrypt(uint8_t cipher) noexcept
    {
        const auto plain = static_cast<uint8_t>(cipher ^ StreamByte());
        Update(plain);
        return plain;
    }

    uint8_t Encrypt(uint8_t plain) noexcept
    {
        const auto cipher = static_cast<uint8_t>(plain ^ StreamByte());
        Update(plain);
        return cipher;
    }

    // Decrypts n bytes (package/ZipCrypto.cpp).
    void DecryptBlock(const uint8_t* in, uint8_t* out, size_t n) noexcept;

    // Key 0 is a raw CRC-32 register over every plain byte so far (see Crc32ShiftZeros).
    uint32_t Key0() const noexcept { return FKey0; }

    TZipKeyState State() const noexcept { return {FKey0, FKey1, FKey2}; }
    void SetState(const TZipKeyState& state) noexcept
    {
        FKey0 = state.Key0, FKey1 = state.Key1, FKey2 = state.Key2;
    }

private:
    uint32_t FKey0 = 0x12345678u;
    uint32_t FKey1 = 0x23456789u;
    uint32_t FKey2 = 0x34567890u;
};

} // namespace Folio::Shared
