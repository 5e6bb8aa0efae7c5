// Reading and writing theme files (see ThemeFile.h). Used by the runtime and by the
// build's generator of the theme resources, so it needs nothing but zlib.
#include "ui/themes/ThemeFile.h"

#include <zlib.h>

#include <vector>

namespace Folio::Ui {

namespace {

// The body is small; anything claiming more is not one of ours.
constexpr size_t kMaxBody = 1 << 20;
constexpr uint32_t kDarkFlag = 1;

void PutU32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void PutText(std::string& out, std::u16string_view text)
{
    PutU32(out, static_cast<uint32_t>(text.size()));
    for (const char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

class TReader {
public:
    explicit TReader(std::string_view bytes) : FBytes(bytes) {}
    bool U32(uint32_t& v)
    {
        if (FBytes.size() - FPos < 4) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<uint32_t>(static_cast<uint8_t>(FBytes[FPos + i])) << (8 * i);
        }
        FPos += 4;
        return true;
    }
    bool Text(std::u16string& text)
    {
        uint32_t length = 0;
        if (!U32(length) || (FBytes.size() - FPos) / 2 < length) {
            return false;
        }
        text.resize(length);
        for (uint32_t i = 0; i < length; ++i, FPos += 2) {
            text[i] = static_cast<char16_t>(static_cast<uint8_t>(FBytes[FPos]) |
                                            (static_cast<uint8_t>(FBytes[FPos + 1]) << 8));
        }
        return true;
    }
    bool AtEnd() const { return FPos == FBytes.size(); }

private:
    std::string_view FBytes;
    size_t FPos = 0;
};

std::optional<std::string> Inflate(std::string_view packed)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return std::nullopt;
    }
    std::string out;
    std::vector<char> chunk(16384);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    int rc = Z_OK;
    while (rc == Z_OK && out.size() <= kMaxBody) {
        z.next_out = reinterpret_cast<Bytef*>(chunk.data());
        z.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(chunk.data(), chunk.size() - z.avail_out);
        if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)) {
            break; // the input ended inside the stream
        }
    }
    const bool complete = rc == Z_STREAM_END && z.avail_in == 0 && out.size() <= kMaxBody;
    inflateEnd(&z);
    if (!complete) {
        return std::nullopt;
    }
    return out;
}

} // namespace

std::array<uint32_t, TPalette::kColourCount> TPalette::Colours() const
{
    return {Window, Text,    Control,  ControlText, Caption,      CaptionText,
            Border, MenuBar, MenuText, Highlight,   HighlightText};
}

TPalette TPalette::FromColours(const std::array<uint32_t, kColourCount>& c, bool dark)
{
    return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9], c[10], dark};
}

std::string WriteThemeFile(const TThemeFile& theme)
{
    std::string body;
    PutText(body, theme.Name);
    PutText(body, theme.Version);
    PutText(body, theme.Author);
    PutText(body, theme.Url);
    const auto colours = theme.Palette.Colours();
    PutU32(body, static_cast<uint32_t>(colours.size()));
    for (const uint32_t c : colours) {
        PutU32(body, c);
    }
    PutU32(body, theme.Palette.Dark ? kDarkFlag : 0);

    uLongf packedSize = compressBound(static_cast<uLong>(body.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(body.data()),
              static_cast<uLong>(body.size()), Z_BEST_COMPRESSION);
    packed.resize(packedSize);
    return std::string(kThemeFileHeader) + packed;
}

std::optional<TThemeFile> ReadThemeFile(std::string_view bytes)
{
    if (bytes.substr(0, kThemeFileHeader.size()) != kThemeFileHeader) {
        return std::nullopt;
    }
    const auto body = Inflate(bytes.substr(kThemeFileHeader.size()));
    if (!body) {
        return std::nullopt;
    }
    TReader in(*body);
    TThemeFile theme;
    uint32_t count = 0, flags = 0;
    if (!in.Text(theme.Name) || !in.Text(theme.Version) || !in.Text(theme.Author) || !in.Text(theme.Url) ||
        !in.U32(count) || count != TPalette::kColourCount || theme.Name.empty()) {
        return std::nullopt;
    }
    std::array<uint32_t, TPalette::kColourCount> colours{};
    for (auto& c : colours) {
        if (!in.U32(c) || c > 0xFFFFFF) {
            return std::nullopt;
        }
    }
    if (!in.U32(flags) || !in.AtEnd()) {
        return std::nullopt;
    }
    theme.Palette = TPalette::FromColours(colours, (flags & kDarkFlag) != 0);
    return theme;
}

} // namespace Folio::Ui
