// Mapping files read-only: the bytes as on disk, empty files, missing ones, moves.
#include "package/ExeUtils.h"
#include "package/MappedFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;
using FolioTest::NoiseBytes;
using FolioTest::TempDir;
using FolioTest::WriteFile;

namespace {

std::string AsText(std::span<const uint8_t> bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

TEST(MappedFile, MapsTheFileAsOnDiskAndMovesWithItsOwner)
{
    TempDir dir;
    const std::string content = NoiseBytes(200000, 3);
    WriteFile(dir / "a.bin", content);
    TMappedFile file;
    file.Open((dir / "a.bin").u16string());
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(AsText(file.Bytes()), content);

    TMappedFile moved = std::move(file);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Bytes().empty());
    EXPECT_EQ(AsText(moved.Bytes()), content);

    // Opening another file replaces the first mapping.
    WriteFile(dir / "b.bin", "second");
    moved.Open((dir / "b.bin").u16string());
    EXPECT_EQ(AsText(moved.Bytes()), "second");
    moved.Close();
    EXPECT_FALSE(moved.IsOpen());
}

// Released pages are read again from the file: the bytes stay what they were.
TEST(MappedFile, ReleasedPagesReadTheSameAgain)
{
    TempDir dir;
    const std::string content = NoiseBytes(300000, 4);
    WriteFile(dir / "a.bin", content);
    TMappedFile file;
    file.Open((dir / "a.bin").u16string());
    ASSERT_EQ(AsText(file.Bytes()), content);
    file.Release(0, 200000);
    file.Release(4097, 3);           // inside one page: nothing to give back
    file.Release(250000, size_t(1) << 30); // past the end: up to the end
    file.Release(400000, 10);        // outside the file: nothing
    EXPECT_EQ(AsText(file.Bytes()), content);
}

// The pages a release gives back: whole pages only, cut at the view's end.
TEST(MappedFile, ReleaseGivesBackWholePagesInsideTheRange)
{
    constexpr size_t kPage = 4096;
    constexpr uintptr_t kBase = 0x10000;      // a view starting on a page
    constexpr uintptr_t kOdd = 0x10000 + 100; // one that does not
    const struct {
        uintptr_t base;
        size_t size, offset, length;
        TPageRun run;
    } cases[] = {
        {kBase, 300000, 0, 200000, {kBase, 48 * kPage}},                        // 200000 = 48 pages + 3392
        {kBase, 300000, 4097, 3, {0, 0}},                                        // inside one page
        {kBase, 300000, 4096, 4096, {kBase + kPage, kPage}},                     // exactly one
        {kBase, 300000, 250000, SIZE_MAX, {kBase + 62 * kPage, 11 * kPage}},     // up to the end: 300000 = 73 pages + 992
        {kBase, 300000, 300000, 10, {0, 0}},                                     // at the end
        {kBase, 300000, 400000, 10, {0, 0}},                                     // past it
        {kOdd, 300000, 0, 8192, {kBase + kPage, kPage}},                         // the first page is only partly inside
        {kOdd, 300000, 0, 8091, {0, 0}},                                         // one byte short of that page
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.base) + " " + std::to_string(c.offset) + "+" + std::to_string(c.length));
        const TPageRun run = WholePagesInside(c.base, c.size, c.offset, c.length, kPage);
        EXPECT_EQ(run.First, c.run.First);
        EXPECT_EQ(run.Length, c.run.Length);
    }
}

TEST(MappedFile, EmptyFileIsAnEmptySpanAndAMissingOneAnError)
{
    TempDir dir;
    WriteFile(dir / "empty", "");
    TMappedFile file;
    file.Open((dir / "empty").u16string());
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.Bytes().empty());

    EXPECT_THROW(file.Open((dir / "missing").u16string()), EFileError);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_THROW(file.Open(dir.Path().u16string()), EFileError); // a folder
}

} // namespace
