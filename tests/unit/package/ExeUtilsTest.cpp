// The appended package: image end, the attached test, and the copies both ways.
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "package/PeImage.h"
#include "tests/support/PeBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }
std::u16string U16Path(const std::filesystem::path& p) { return p.u16string(); }

} // namespace

TEST(PeImage, ImageEndIsTheLargestSectionEnd)
{
    EXPECT_EQ(PeImageEnd(Span(BuildPe({{0x400, 0x200}, {0x600, 0x1000}, {0x200, 0x100}}, 0x1600))), 0x1600u);
    EXPECT_EQ(PeImageEnd(Span(BuildPe({}, 0x400))), 0u);
    EXPECT_EQ(PeImageEnd(Span(BuildPe({{0xFFFFFF00u, 0x200}, {0x400, 0x10}}, 0x400))), 0x410u); // 32-bit sums wrap
    EXPECT_EQ(PeMachine(Span(BuildPe({}, 0x400, 0x8664))), 0x8664);

    auto truncated = BuildPe({{0x400, 0x200}}, 0);
    truncated.resize(truncated.size() - 1);
    EXPECT_EQ(PeImageEnd(Span(truncated)), std::nullopt);
    auto badLfanew = BuildPe({}, 0x400);
    Patch32(badLfanew, 0x3C, 0xFFFFFFF0u);
    EXPECT_EQ(PeImageEnd(Span(badLfanew)), std::nullopt);
    EXPECT_EQ(PeImageEnd(Span(std::string("MZ"))), std::nullopt);
    EXPECT_EQ(PeImageEnd(Span(std::string(0x200, 'x'))), std::nullopt);
}

TEST(ExeUtils, AttachedOnlyWhenTheFileGoesPastTheImage)
{
    TempDir dir;
    const std::string image = BuildPe({{0x200, 0x200}}, 0x400);
    WriteFile(dir / "bare.exe", image);
    WriteFile(dir / "short.exe", image.substr(0, 0x300));
    WriteFile(dir / "one.exe", image + "Z");
    EXPECT_FALSE(TExeUtils(U16Path(dir / "bare.exe"), 0x400).ExeHasAttachedStub());
    EXPECT_FALSE(TExeUtils(U16Path(dir / "short.exe"), 0x400).ExeHasAttachedStub());
    EXPECT_FALSE(TExeUtils(U16Path(dir / "missing.exe"), 0x400).ExeHasAttachedStub());

    TExeUtils one(U16Path(dir / "one.exe"), 0x400);
    ASSERT_TRUE(one.ExeHasAttachedStub());
    TMemoryStream stream;
    stream.Write(Bytes("old"));
    one.GetZipFromExe(stream);
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().begin() + 1), "Z");
    EXPECT_EQ(stream.Position(), 1u);

    TExeUtils bare(U16Path(dir / "bare.exe"), 0x400);
    bool told = false;
    bare.OnNothingAttached = [&] { told = true; };
    TMemoryStream none;
    EXPECT_THROW(bare.GetZipFromExe(none), EFileError);
    EXPECT_TRUE(told);
    EXPECT_EQ(none.Size(), 0u);

    // Mapped in place: the bytes after the image, and nothing mapped when there are none.
    TMappedFile mapping;
    const auto package = one.MapZipFromExe(mapping);
    EXPECT_EQ(std::string(package.begin(), package.end()), "Z");
    EXPECT_EQ(package.data(), mapping.Bytes().data() + 0x400);
    told = false;
    TMappedFile nothing;
    EXPECT_THROW(bare.MapZipFromExe(nothing), EFileError);
    EXPECT_TRUE(told);
    EXPECT_FALSE(nothing.IsOpen());
}

TEST(ExeUtils, AppendThenReadBackInWholeChunks)
{
    TempDir dir;
    const std::string image = BuildPe({{0x200, 0x600}}, 0x800);
    const std::string archive = NoiseBytes(TExeUtils::ChunkSize * 3, 5);
    WriteFile(dir / "app.exe", image);
    WriteFile(dir / "package.zip", archive);

    TExeUtils writer(U16Path(dir / "app.exe"), 0x800);
    std::vector<int64_t> max, pos;
    writer.OnProgressMax = [&](TExeUtils* sender, int64_t n) {
        EXPECT_EQ(sender, &writer);
        max.push_back(n);
    };
    writer.OnProgressPos = [&](TExeUtils*, int64_t n) { pos.push_back(n); };
    writer.AppendZipToExe(U16Path(dir / "package.zip"), U16Path(dir / "app.exe"));
    EXPECT_EQ(max, (std::vector<int64_t>{int64_t(archive.size())}));
    EXPECT_EQ(pos, (std::vector<int64_t>{10240, 20480, 30720}));
    EXPECT_EQ(ReadFile(dir / "app.exe"), image + archive);

    TExeUtils reader(U16Path(dir / "app.exe"), *PeImageEnd(Span(ReadFile(dir / "app.exe"))));
    pos.clear();
    reader.OnProgressPos = [&](TExeUtils*, int64_t n) { pos.push_back(n); };
    TMemoryStream stream;
    reader.GetZipFromExe(stream);
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), archive);
    EXPECT_EQ(pos, (std::vector<int64_t>{10240, 20480, 30720}));

    reader.ExtractZipFromExe(U16Path(dir / "out.zip"));
    EXPECT_EQ(ReadFile(dir / "out.zip"), archive);
}

TEST(ExeUtils, FileSizes)
{
    TempDir dir;
    WriteFile(dir / "five.bin", "12345");
    EXPECT_EQ(TExeUtils::GetFileSize64(U16Path(dir / "five.bin")), 5);
    EXPECT_EQ(TExeUtils::GetFileSize64(U16Path(dir.Path())), 0);
    EXPECT_EQ(TExeUtils::GetFileSize64(U16Path(dir / "nothing")), -1);
    EXPECT_THROW(TExeUtils(U16Path(dir / "five.bin"), 0).AppendZipToExe(U16Path(dir / "nothing"),
                                                                        U16Path(dir / "five.bin")),
                 EFileError);
}
