// The busy animation's strips (see BusyStrips.h). Each style is a function that answers
// the opacity of a point of one frame in a 64 x 64 unit square; pixels take the mean of
// 4 x 4 samples, so edges are smooth at every size. Every strip of a style holds the
// same number of frames, whatever its size, so one timer step means the same at all sizes.
#include "tools/pngicons/BusyStrips.h"

#include "util/PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <vector>

namespace Folio::Tools {

namespace {

constexpr double kPi = 3.14159265358979323846;

// opacity(frame, x, y) in [0, 1], x and y in [0, 64).
using FrameShape = std::function<double(int frame, double x, double y)>;

struct Style {
    const char* Name;
    int Frames;
    FrameShape Shape;
};

double Fraction(double v) { return v - std::floor(v); }

// The angle of a point around the centre, 0 at the top, growing clockwise, in [0, 1) turns.
double TurnOf(double x, double y) { return Fraction(std::atan2(x - 32, -(y - 32)) / (2 * kPi)); }

// Five dots chase each other round a circle, slow at the top and fast at the bottom,
// so they gather at the top and spread out on the way round.
double MomentumDots(int frame, double x, double y)
{
    constexpr int kFrames = 75, kDots = 5;
    constexpr double kRadius = 24, kDotRadius = 3.3, kLag = 0.1, kMomentum = 0.55;
    const double t = static_cast<double>(frame) / kFrames;
    for (int i = 0; i < kDots; ++i) {
        const double p = Fraction(t - i * kLag);
        // Speed 1 - kMomentum * cos(2 pi p): slowest at p = 0 (the top), a full turn per cycle.
        const double turn = p - kMomentum * std::sin(2 * kPi * p) / (2 * kPi);
        const double cx = 32 + kRadius * std::sin(2 * kPi * turn), cy = 32 - kRadius * std::cos(2 * kPi * turn);
        if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= kDotRadius * kDotRadius) {
            return 1;
        }
    }
    return 0;
}

// A quarter of a disc turning an eighth per frame over the faint whole disc.
double RotatingSector(int frame, double x, double y)
{
    constexpr double kRadius = 27;
    if ((x - 32) * (x - 32) + (y - 32) * (y - 32) > kRadius * kRadius) {
        return 0;
    }
    const double start = frame / 8.0;
    return Fraction(TurnOf(x, y) - start) < 0.25 ? 1 : 0.22;
}

// Sixteen segments of a ring; the one at the head is solid and those behind it fade,
// the head moving on by one segment per frame.
double SectorRing(int frame, double x, double y)
{
    constexpr int kSegments = 16;
    constexpr double kOuter = 28, kInner = 19, kGap = 0.22; // kGap: part of a segment left empty
    const double r2 = (x - 32) * (x - 32) + (y - 32) * (y - 32);
    if (r2 > kOuter * kOuter || r2 < kInner * kInner) {
        return 0;
    }
    const double position = TurnOf(x, y) * kSegments;
    const int segment = static_cast<int>(position) % kSegments;
    if (Fraction(position) > 1 - kGap) {
        return 0;
    }
    const int behind = (frame - segment + kSegments) % kSegments; // 0 at the head
    return std::max(0.18, 1.0 - behind * 0.09);
}

// The opacities of a strip of `frames` frames of size x size pixels.
std::vector<double> RenderStrip(uint32_t size, const Style& style)
{
    const uint32_t width = size * static_cast<uint32_t>(style.Frames);
    std::vector<double> alpha(size_t(width) * size, 0);
    const double scale = 64.0 / size;
    for (int f = 0; f < style.Frames; ++f) {
        for (uint32_t py = 0; py < size; ++py) {
            for (uint32_t px = 0; px < size; ++px) {
                double sum = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        sum += style.Shape(f, (px + (sx + 0.5) / 4) * scale, (py + (sy + 0.5) / 4) * scale);
                    }
                }
                alpha[size_t(py) * width + size_t(f) * size + px] = sum / 16;
            }
        }
    }
    return alpha;
}

std::string Colourise(const std::vector<double>& alpha, uint32_t width, uint32_t height, uint8_t level)
{
    std::vector<uint8_t> rgba(alpha.size() * 4);
    for (size_t i = 0; i < alpha.size(); ++i) {
        rgba[i * 4] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = level;
        rgba[i * 4 + 3] = static_cast<uint8_t>(std::lround(alpha[i] * 255));
    }
    return Shared::EncodePng(width, height, rgba.data());
}

} // namespace

bool WriteBusyStrips(const std::string& dir)
{
    const Style styles[] = {
        {"dots", 75, MomentumDots},
        {"sector", 8, RotatingSector},
        {"ring", 16, SectorRing},
    };
    for (const Style& style : styles) {
        for (const uint32_t size : {24u, 32u, 48u, 64u}) {
            const std::vector<double> alpha = RenderStrip(size, style);
            const uint32_t width = size * static_cast<uint32_t>(style.Frames);
            for (const auto& [colour, level] : {std::pair{"black", uint8_t{0}}, std::pair{"white", uint8_t{255}}}) {
                const std::string path =
                    dir + "/busy_" + style.Name + "_" + colour + "_" + std::to_string(size) + ".png";
                const std::string png = Colourise(alpha, width, size, level);
                std::ofstream out(path, std::ios::binary | std::ios::trunc);
                out.write(png.data(), static_cast<std::streamsize>(png.size()));
                if (!out) {
                    return false;
                }
            }
        }
    }
    return true;
}

} // namespace Folio::Tools
