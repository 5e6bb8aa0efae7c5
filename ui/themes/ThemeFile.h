// A theme file: the colours of one named look, as the executable carries it in a
// resource of type STYLEFILE. A short text line, then a zlib stream holding the name,
// version, author and URL (each a 32-bit length and UTF-16 units) and the palette.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Folio::Ui {

// Colours are 0x00BBGGRR, as GDI's COLORREF.
struct TPalette {
    uint32_t Window = 0;      // client areas and dialogs
    uint32_t Text = 0;        // text on Window
    uint32_t Control = 0;     // edit fields, lists, the face of controls
    uint32_t ControlText = 0; // text on Control
    uint32_t Caption = 0;     // title bar
    uint32_t CaptionText = 0;
    uint32_t Border = 0; // frame and separators
    uint32_t MenuBar = 0;
    uint32_t MenuText = 0;
    uint32_t Highlight = 0; // selection, focus, accents
    uint32_t HighlightText = 0;
    bool Dark = false; // light text on dark ground: dark title bar, white busy strips

    static constexpr size_t kColourCount = 11;
    std::array<uint32_t, kColourCount> Colours() const;
    static TPalette FromColours(const std::array<uint32_t, kColourCount>& colours, bool dark);
    bool operator==(const TPalette&) const = default;
};

struct TThemeFile {
    std::u16string Name;
    std::u16string Version;
    std::u16string Author;
    std::u16string Url;
    TPalette Palette;
};

// The first line of every theme file.
inline constexpr std::string_view kThemeFileHeader = "Folio style 1\r\n";

// The bytes of a theme file.
std::string WriteThemeFile(const TThemeFile& theme);
// Nothing when the bytes are not a complete theme file.
std::optional<TThemeFile> ReadThemeFile(std::string_view bytes);

} // namespace Folio::Ui
