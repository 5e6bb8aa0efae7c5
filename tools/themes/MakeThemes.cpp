// Writes the theme files that the runtime carries as STYLEFILE resources, one per look,
// at build time. Each look is given by five colours (ground, text, controls, title bar,
// accent); the others follow from them so that every pair stays readable.
//   make-themes OUTPUT_DIR          one RESOURCE.style file per theme
//   make-themes --table             the palette table, as Markdown, on standard output
#include "ui/themes/ThemeFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

struct TLook {
    const char* Resource;
    const char16_t* Name;
    uint32_t Window, Text, Control, Caption, Accent; // 0xRRGGBB, as designers write them
};

// clang-format off
constexpr TLook kLooks[] = {
    {"AMAKRITS",          u"Amakrits",            0x2B2B2B, 0xE6E6E6, 0x3A3A3A, 0x1F1F1F, 0xE07B28},
    {"AMETHYSTKAMRI",     u"Amethyst Kamri",      0xF3EEF8, 0x2D1F3D, 0xFFFFFF, 0x6A3D9A, 0x8E5CC2},
    {"AQUAGRAPHITE",      u"Aqua Graphite",       0x2E3135, 0xE4E8EC, 0x3B3F44, 0x23262A, 0x2BB3C0},
    {"AQUALIGHTSLATE",    u"Aqua Light Slate",    0xE6ECF0, 0x1E2A33, 0xFFFFFF, 0x5F7A8A, 0x1FA5B5},
    {"AURIC",             u"Auric",               0x2A2418, 0xF5E6B8, 0x3A3220, 0x8A6A12, 0xE0B020},
    {"CARBON",            u"Carbon",              0x1E1E1E, 0xD8D8D8, 0x2A2A2A, 0x141414, 0x5A9BD5},
    {"CHARCOALDARKSLATE", u"Charcoal Dark Slate", 0x2F353B, 0xE1E5E8, 0x3A4148, 0x252A2F, 0x6C8EAD},
    {"COBALTXEMEDIA",     u"Cobalt XEMedia",      0x1B2A47, 0xE6ECF7, 0x243659, 0x0F1E3A, 0x3D7BE0},
    {"CYANDUSK",          u"Cyan Dusk",           0x1F3A40, 0xE0F7FA, 0x2A4A52, 0x00838F, 0x26C6DA},
    {"CYANNIGHT",         u"Cyan Night",          0x121A1E, 0xCFEFF5, 0x1C262B, 0x0B1114, 0x00BCD4},
    {"EMERALDLIGHTSLATE", u"Emerald Light Slate", 0xE8EEEB, 0x1D2B24, 0xFFFFFF, 0x2E7D57, 0x2ECC71},
    {"GLOSSY",            u"Glossy",              0x202226, 0xF0F0F0, 0x30333A, 0x0A0A0C, 0x3B8EEA},
    {"GLOW",              u"Glow",                0x1C1D2A, 0xE8E8F5, 0x272938, 0x14151F, 0x00A2FF},
    {"GOLDENGRAPHITE",    u"Golden Graphite",     0x333333, 0xEDEDED, 0x404040, 0x262626, 0xE8A317},
    {"ICEBERGCLASSICO",   u"Iceberg Classico",    0xEEF5FA, 0x1B2B38, 0xFFFFFF, 0x8DB6D6, 0x3C8DC5},
    {"LAVENDERCLASSICO",  u"Lavender Classico",   0xF1EEF7, 0x2B2440, 0xFFFFFF, 0xA89CC8, 0x7B68B5},
    {"LIGHT",             u"Light",               0xF7F7F7, 0x1A1A1A, 0xFFFFFF, 0xE3E3E3, 0x0078D7},
    {"LUNA",              u"Luna",                0xECE9D8, 0x000000, 0xFFFFFF, 0x0054E3, 0x316AC5},
    {"METROPOLISUIBLACK", u"Metropolis UI Black", 0x1D1D1D, 0xFFFFFF, 0x2B2B2B, 0x000000, 0x1BA1E2},
    {"METROPOLISUIBLUE",  u"Metropolis UI Blue",  0x0F3D6E, 0xF2F8FF, 0x1A4F86, 0x0A2E55, 0x4FC3F7},
    {"METROPOLISUIDARK",  u"Metropolis UI Dark",  0x262626, 0xF0F0F0, 0x333333, 0x1A1A1A, 0x8CBF26},
    {"METROPOLISUIGREEN", u"Metropolis UI Green", 0x1E4D2B, 0xF0FFF4, 0x286A3A, 0x143620, 0x8CC63F},
    {"OBSIDIAN",          u"Obsidian",            0x15171A, 0xC8CCD0, 0x202328, 0x0C0D0F, 0x7E57C2},
    {"ONYXBLUE",          u"Onyx Blue",           0x1A1F26, 0xDCE3EA, 0x252C35, 0x10141A, 0x2F80ED},
    {"RUBYGRAPHITE",      u"Ruby Graphite",       0x2D2D30, 0xEDEDED, 0x3A3A3E, 0x1F1F22, 0xC0152F},
    {"SAPPHIREKAMRI",     u"Sapphire Kamri",      0xEEF2F9, 0x14213D, 0xFFFFFF, 0x0F52BA, 0x2F6FD6},
    {"SILVER",            u"Silver",              0xE4E6E9, 0x202020, 0xF7F7F8, 0xB8BCC2, 0x6B7B8C},
    {"SKY",               u"Sky",                 0xE8F4FD, 0x0D2A40, 0xFFFFFF, 0x7EC8F5, 0x2196F3},
    {"SLATECLASSICO",     u"Slate Classico",      0xD9DEE3, 0x1F262D, 0xF0F3F5, 0x6B7C8C, 0x4A6A85},
    {"SMOKEYQUARTZKAMRI", u"Smokey Quartz Kamri", 0x3A3533, 0xEDE6E1, 0x4A4441, 0x2A2624, 0xA67C52},
    {"TABLETDARK",        u"Tablet Dark",         0x202020, 0xEEEEEE, 0x2D2D2D, 0x171717, 0x0099CC},
    {"TABLETLIGHT",       u"Tablet Light",        0xFAFAFA, 0x222222, 0xFFFFFF, 0xEDEDED, 0x0099CC},
    {"TURQUOISEGRAY",     u"Turquoise Gray",      0x3C4346, 0xE8F0F0, 0x4A5356, 0x2F3538, 0x40E0D0},
    {"WINDOWS",           u"Windows10",           0xF0F0F0, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x0078D7},
    {"WINDOWSBLUE",       u"Windows10 Blue",      0xE9F1FA, 0x0B1F33, 0xFFFFFF, 0x0063B1, 0x0078D7},
    {"WINDOWSDARK",       u"Windows10 Dark",      0x202020, 0xF2F2F2, 0x2B2B2B, 0x1F1F1F, 0x0078D7},
    {"WINDOWSGREEN",      u"Windows10 Green",     0xEAF5EC, 0x0F2914, 0xFFFFFF, 0x107C10, 0x10893E},
    {"WINDOWSPURPLE",     u"Windows10 Purple",    0xF2EDF7, 0x241433, 0xFFFFFF, 0x6B2FA0, 0x881798},
    {"WINDOWSSLATEGRAY",  u"Windows10 SlateGray", 0x3C4650, 0xEEF1F4, 0x4A5560, 0x2F3840, 0x708090},
};
// clang-format on

// 0xRRGGBB to GDI's 0x00BBGGRR.
uint32_t Gdi(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

double Luminance(uint32_t rgb)
{
    const double r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return (0.299 * r + 0.587 * g + 0.114 * b) / 255.0;
}

uint32_t Mix(uint32_t a, uint32_t b, double t)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
        out |= static_cast<uint32_t>(x + (y - x) * t + 0.5) << shift;
    }
    return out;
}

uint32_t ReadableOn(uint32_t ground)
{
    return Luminance(ground) < 0.55 ? 0xFFFFFF : 0x000000;
}

Folio::Ui::TThemeFile Theme(const TLook& look)
{
    Folio::Ui::TPalette p;
    p.Window = Gdi(look.Window);
    p.Text = Gdi(look.Text);
    p.Control = Gdi(look.Control);
    p.ControlText = Gdi(look.Text);
    p.Caption = Gdi(look.Caption);
    p.CaptionText = Gdi(ReadableOn(look.Caption));
    p.Border = Gdi(Mix(look.Window, look.Text, 0.3));
    const uint32_t menuBar = Mix(look.Window, look.Caption, 0.5);
    p.MenuBar = Gdi(menuBar);
    const double gap = Luminance(look.Text) - Luminance(menuBar);
    p.MenuText = Gdi(gap > 0.4 || gap < -0.4 ? look.Text : ReadableOn(menuBar));
    p.Highlight = Gdi(look.Accent);
    p.HighlightText = Gdi(ReadableOn(look.Accent));
    p.Dark = Luminance(look.Window) < 0.5;
    return {look.Name, u"1.0", u"Folio", u"", p};
}

std::string Hex(uint32_t gdi)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", gdi & 0xFF, (gdi >> 8) & 0xFF, (gdi >> 16) & 0xFF);
    return text;
}

void PrintTable()
{
    std::printf("| Theme | Dark | Window | Text | Control | Caption | Menu bar | Highlight |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (const auto& look : kLooks) {
        const auto t = Theme(look);
        const std::string name(t.Name.begin(), t.Name.end());
        const auto& p = t.Palette;
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s |\n", name.c_str(), p.Dark ? "yes" : "no",
                    Hex(p.Window).c_str(), Hex(p.Text).c_str(), Hex(p.Control).c_str(), Hex(p.Caption).c_str(),
                    Hex(p.MenuBar).c_str(), Hex(p.Highlight).c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-themes OUTPUT_DIR | --table\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--table") == 0) {
        PrintTable();
        return 0;
    }
    for (const auto& look : kLooks) {
        const std::string file = std::string(argv[1]) + "/" + look.Resource + ".style";
        const std::string bytes = Folio::Ui::WriteThemeFile(Theme(look));
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make-themes: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
