// The images make-icons drew for this build, read back: every busy-animation strip has
// its style's frame count at every size, each frame shows something and differs from
// the next, and its pixels have the strip's colour; the key comes in 16 and 32 pixels.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kGenerated = FOLIO_GENERATED_DIR;

struct Image {
    uint32_t Width = 0, Height = 0;
    std::vector<uint8_t> Rgba; // rows top to bottom
};

uint32_t Be32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint32_t(uint8_t(s[at + 3]));
}

// Reads an 8-bit RGBA PNG whose rows all use filter 0, as make-icons writes them; a
// file of any other kind fails the test that reads it.
Image ReadPng(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Image image;
    EXPECT_GE(png.size(), 33u) << file;
    if (png.size() < 33 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0) {
        ADD_FAILURE() << "not a PNG: " << file;
        return image;
    }
    image.Width = Be32(png, 16), image.Height = Be32(png, 20);
    EXPECT_EQ(png[24], 8) << "bit depth of " << file;
    EXPECT_EQ(png[25], 6) << "colour type (RGBA) of " << file;
    std::string deflated;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = Be32(png, at);
        if (png.compare(at + 4, 4, "IDAT") == 0) {
            deflated += png.substr(at + 8, length);
        }
        at += 12 + size_t(length);
    }
    const size_t row = size_t(image.Width) * 4 + 1;
    std::vector<uint8_t> raw(row * image.Height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(deflated.data()),
                         static_cast<uLong>(deflated.size())),
              Z_OK)
        << file;
    EXPECT_EQ(rawSize, raw.size()) << file;
    for (uint32_t y = 0; y < image.Height; ++y) {
        EXPECT_EQ(raw[y * row], 0) << "row filter in " << file;
        image.Rgba.insert(image.Rgba.end(), raw.begin() + std::ptrdiff_t(y * row + 1),
                          raw.begin() + std::ptrdiff_t((y + 1) * row));
    }
    return image;
}

} // namespace

TEST(GeneratedImages, BusyStripsHaveTheirFramesAtEverySize)
{
    struct Style {
        const char* Name;
        uint32_t Frames;
    };
    for (const Style style : {Style{"dots", 75}, Style{"sector", 8}, Style{"ring", 16}}) {
        for (const auto& [colour, level] : {std::pair{"black", 0}, std::pair{"white", 255}}) {
            for (const uint32_t size : {24u, 32u, 48u, 64u}) {
                const std::string name =
                    std::string("busy_") + style.Name + "_" + colour + "_" + std::to_string(size) + ".png";
                SCOPED_TRACE(name);
                const Image strip = ReadPng(kGenerated / name);
                ASSERT_EQ(strip.Width, style.Frames * size);
                ASSERT_EQ(strip.Height, size);
                ASSERT_EQ(strip.Rgba.size(), size_t(strip.Width) * size * 4);

                // Each frame's alpha channel; every frame shows something, and moves on.
                std::vector<std::vector<uint8_t>> frames(style.Frames);
                bool colourKept = true;
                for (uint32_t y = 0; y < size; ++y) {
                    for (uint32_t x = 0; x < strip.Width; ++x) {
                        const uint8_t* p = &strip.Rgba[(size_t(y) * strip.Width + x) * 4];
                        frames[x / size].push_back(p[3]);
                        colourKept = colourKept && (p[3] == 0 || (p[0] == level && p[1] == level && p[2] == level));
                    }
                }
                EXPECT_TRUE(colourKept);
                for (uint32_t f = 0; f < style.Frames; ++f) {
                    int opaque = 0;
                    for (const uint8_t a : frames[f]) {
                        opaque += a == 255;
                    }
                    EXPECT_GT(opaque, 0) << "frame " << f;
                    EXPECT_NE(frames[f], frames[(f + 1) % style.Frames]) << "frame " << f;
                }
            }
        }
    }
}

TEST(GeneratedImages, KeyInTwoSizes)
{
    for (const uint32_t size : {16u, 32u}) {
        const Image key = ReadPng(kGenerated / ("key_" + std::to_string(size) + ".png"));
        EXPECT_EQ(key.Width, size);
        EXPECT_EQ(key.Height, size);
    }
}
