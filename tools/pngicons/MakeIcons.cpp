// Draws the program's images at build time: the message dialog's 64 x 64 icons
// (MSG_ERROR, MSG_INFO, MSG_WARNING) and the password prompt's key (16 and 32) as PNG,
// the busy animation's strips (BusyStrips.cpp), and the application icon as an .ico
// file of PNG images. Shapes are sampled 4 x 4 per pixel for smooth edges.
//   make-icons OUTPUT_DIR
#include "tools/pngicons/BusyStrips.h"
#include "util/PngWriter.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Colour {
    uint8_t r, g, b;
};

// coverage(x, y) in [0, 64) units answers which colour the point has (0: none).
using Shape = std::function<int(double x, double y)>;

std::string Render(uint32_t size, const Shape& shape, const std::vector<Colour>& palette)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4, 0);
    const double scale = 64.0 / size;
    for (uint32_t py = 0; py < size; ++py) {
        for (uint32_t px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const int c = shape((px + (sx + 0.5) / 4) * scale, (py + (sy + 0.5) / 4) * scale);
                    if (c > 0) {
                        r += palette[c - 1].r, g += palette[c - 1].g, b += palette[c - 1].b, a += 1;
                    }
                }
            }
            uint8_t* p = &rgba[(size_t(py) * size + px) * 4];
            if (a > 0) {
                p[0] = static_cast<uint8_t>(r / a), p[1] = static_cast<uint8_t>(g / a), p[2] = static_cast<uint8_t>(b / a);
                p[3] = static_cast<uint8_t>(std::lround(a * 255 / 16));
            }
        }
    }
    return Folio::Shared::EncodePng(size, size, rgba.data());
}

bool InCircle(double x, double y, double cx, double cy, double radius)
{
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

double DistanceToSegment(double x, double y, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    double t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy);
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

// Red disc with a white cross.
int ErrorShape(double x, double y)
{
    if (!InCircle(x, y, 32, 32, 30)) return 0;
    const bool cross = DistanceToSegment(x, y, 21, 21, 43, 43) < 4.2 || DistanceToSegment(x, y, 43, 21, 21, 43) < 4.2;
    return cross ? 2 : 1;
}

// Blue disc with a white "i".
int InfoShape(double x, double y)
{
    if (!InCircle(x, y, 32, 32, 30)) return 0;
    const bool dot = InCircle(x, y, 32, 18.5, 4.5);
    const bool stem = x > 28 && x < 36 && y > 26 && y < 48;
    return dot || stem ? 2 : 1;
}

// Amber triangle with a dark "!".
int WarningShape(double x, double y)
{
    const double top = 5, bottom = 59;
    if (y < top || y > bottom) return 0;
    const double half = (y - top) / (bottom - top) * 30;
    if (std::fabs(x - 32) > half) return 0;
    const bool bar = x > 29 && x < 35 && y > 21 && y < 42;
    const bool dot = InCircle(x, y, 32, 50, 3.6);
    return bar || dot ? 2 : 1;
}

// The application icon: a page with a folded corner and three lines of text.
int AppShape(double x, double y)
{
    if (x < 12 || x > 52 || y < 4 || y > 60) return 0;
    if (x > 40 && y < 16) return (x - 40) > (y - 4) ? 0 : 3; // the folded corner
    const bool line = x > 19 && x < 45 && ((y > 24 && y < 28) || (y > 33 && y < 37) || (y > 42 && y < 46));
    return line ? 2 : 1;
}

// A key lying on its side, bow to the left, with a dark rim so that it reads on light
// and dark backgrounds alike.
int KeyShape(double x, double y)
{
    const auto inKey = [x, y](double grow) {
        const double d = std::hypot(x - 19, y - 32);
        const bool bow = d <= 14 + grow && d >= 6 - grow;
        const bool shaft = x >= 30 - grow && x <= 58 + grow && y >= 28 - grow && y <= 36 + grow;
        const bool tooth = y >= 36 - grow && ((x >= 42 - grow && x <= 47 + grow && y <= 45 + grow) ||
                                              (x >= 51 - grow && x <= 58 + grow && y <= 42 + grow));
        return bow || shaft || tooth;
    };
    return inKey(0) ? 1 : (inKey(2.5) ? 2 : 0);
}

bool Save(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void Put16(std::string& s, uint32_t v) { s.push_back(char(v & 0xFF)), s.push_back(char((v >> 8) & 0xFF)); }
void Put32(std::string& s, uint32_t v) { Put16(s, v & 0xFFFF), Put16(s, v >> 16); }

// An .ico file whose images are PNG (read by Windows Vista and later).
std::string IconFile(const std::vector<std::pair<uint32_t, std::string>>& images)
{
    std::string ico;
    Put16(ico, 0), Put16(ico, 1), Put16(ico, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const auto& [size, png] : images) {
        ico.push_back(char(size >= 256 ? 0 : size)), ico.push_back(char(size >= 256 ? 0 : size));
        ico.push_back(0), ico.push_back(0);
        Put16(ico, 1), Put16(ico, 32), Put32(ico, static_cast<uint32_t>(png.size())), Put32(ico, offset);
        offset += static_cast<uint32_t>(png.size());
    }
    for (const auto& [size, png] : images) {
        ico += png;
    }
    return ico;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-icons OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Colour white{255, 255, 255};
    bool ok = Save(dir + "/msg_error.png", Render(64, ErrorShape, {{214, 48, 49}, white})) &&
              Save(dir + "/msg_info.png", Render(64, InfoShape, {{0, 103, 192}, white})) &&
              Save(dir + "/msg_warning.png", Render(64, WarningShape, {{245, 176, 30}, {40, 40, 40}})) &&
              Save(dir + "/key_16.png", Render(16, KeyShape, {{222, 170, 40}, {96, 66, 12}})) &&
              Save(dir + "/key_32.png", Render(32, KeyShape, {{222, 170, 40}, {96, 66, 12}})) &&
              Folio::Tools::WriteBusyStrips(dir);
    std::vector<std::pair<uint32_t, std::string>> icon;
    for (const uint32_t size : {16u, 32u, 48u, 256u}) {
        icon.emplace_back(size, Render(size, AppShape, {{250, 250, 247}, {72, 99, 156}, {190, 198, 214}}));
    }
    ok = ok && Save(dir + "/folio.ico", IconFile(icon));
    if (!ok) {
        std::fprintf(stderr, "make-icons: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
