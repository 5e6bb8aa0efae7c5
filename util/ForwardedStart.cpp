// Forwarded starts (see ForwardedStart.h).
#include "util/ForwardedStart.h"

namespace Folio::Shared {

namespace {

constexpr std::string_view kMagic("FS1\0", 4);

void PutNumber(std::string& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void PutText(std::string& out, const std::u16string& text)
{
    PutNumber(out, static_cast<uint32_t>(text.size()));
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
}

class TReader {
public:
    explicit TReader(std::string_view bytes) : FBytes(bytes) {}

    std::optional<uint32_t> Number()
    {
        if (FBytes.size() - FAt < 4) {
            return std::nullopt;
        }
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= uint32_t(static_cast<uint8_t>(FBytes[FAt + i])) << (8 * i);
        }
        FAt += 4;
        return value;
    }

    std::optional<std::u16string> Text()
    {
        const auto length = Number();
        if (!length || (FBytes.size() - FAt) / 2 < *length) {
            return std::nullopt;
        }
        std::u16string text(*length, u'\0');
        for (uint32_t i = 0; i < *length; ++i, FAt += 2) {
            text[i] = char16_t(static_cast<uint8_t>(FBytes[FAt]) | (static_cast<uint8_t>(FBytes[FAt + 1]) << 8));
        }
        return WellFormed(text) ? std::optional(std::move(text)) : std::nullopt;
    }

    bool AtEnd() const { return FAt == FBytes.size(); }

private:
    static bool WellFormed(const std::u16string& text)
    {
        for (size_t i = 0; i < text.size(); ++i) {
            const char16_t unit = text[i];
            if (unit == u'\0') {
                return false;
            }
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                    return false;
                }
                ++i;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                return false;
            }
        }
        return true;
    }

    std::string_view FBytes;
    size_t FAt = 0;
};

} // namespace

std::string EncodeForwardedStart(const TForwardedStart& start)
{
    if (start.Args.size() > kMostForwardedArgs) {
        return {};
    }
    std::string out(kMagic);
    PutNumber(out, static_cast<uint32_t>(start.Args.size()));
    for (const auto& arg : start.Args) {
        PutText(out, arg);
        if (out.size() > kMostForwardedBytes) {
            return {};
        }
    }
    PutText(out, start.Folder);
    return out.size() > kMostForwardedBytes ? std::string() : out;
}

std::optional<TForwardedStart> DecodeForwardedStart(std::string_view bytes)
{
    if (bytes.size() > kMostForwardedBytes || !bytes.starts_with(kMagic)) {
        return std::nullopt;
    }
    TReader reader(bytes.substr(kMagic.size()));
    const auto count = reader.Number();
    if (!count || *count > kMostForwardedArgs) {
        return std::nullopt;
    }
    TForwardedStart start;
    for (uint32_t i = 0; i < *count; ++i) {
        auto arg = reader.Text();
        if (!arg) {
            return std::nullopt;
        }
        start.Args.push_back(std::move(*arg));
    }
    auto folder = reader.Text();
    if (!folder || !reader.AtEnd()) {
        return std::nullopt;
    }
    start.Folder = std::move(*folder);
    return start;
}

} // namespace Folio::Shared
