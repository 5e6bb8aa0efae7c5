// Hand-made PE32 files whose headers are legal field by field but whose layout a
// resource rewrite must not trust: a resource section that covers the headers or
// another section's bytes, and a small tree whose names every leaf repeats.
#include "platform/PeResources.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Folio::Platform;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }
uint32_t Get32(const std::string& b, size_t at)
{
    return uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8) | (uint8_t(b[at + 2]) << 16) | (uint32_t(uint8_t(b[at + 3])) << 24);
}

struct TSection {
    uint32_t VirtualAddress, VirtualSize, RawPointer, RawSize;
};

// A PE32 file of fileSize bytes: the PE header at peAt, the given sections, the
// resource directory entry at resourceRva, file alignment 0x200, section alignment 0x1000.
std::string HandMadePe(uint32_t peAt, const std::vector<TSection>& sections, uint32_t resourceRva, uint32_t fileSize)
{
    std::string b(fileSize, '\0');
    b[0] = 'M', b[1] = 'Z';
    Patch32(b, 0x3C, peAt);
    Patch32(b, peAt, 0x00004550);
    Patch32(b, peAt + 4, 0x014C | (uint32_t(sections.size()) << 16)); // machine, NumberOfSections
    Patch32(b, peAt + 20, 0xE0 | (0x0102u << 16));                      // SizeOfOptionalHeader, characteristics
    const uint32_t o = peAt + 24;
    Patch32(b, o, 0x10B);
    Patch32(b, o + 32, 0x1000); // SectionAlignment
    Patch32(b, o + 36, 0x200);  // FileAlignment
    Patch32(b, o + 56, 0x4000); // SizeOfImage
    uint32_t initialized = 0;
    for (const auto& s : sections) {
        initialized += s.RawSize;
    }
    Patch32(b, o + 8, initialized); // SizeOfInitializedData
    const uint32_t tableAt = o + 0xE0;
    Patch32(b, o + 60, (tableAt + 40 * uint32_t(sections.size()) + 0x1FF) / 0x200 * 0x200); // SizeOfHeaders
    Patch32(b, o + 92, 16);                                                                  // NumberOfRvaAndSizes
    Patch32(b, o + 96 + 2 * 8, resourceRva);
    Patch32(b, o + 96 + 2 * 8 + 4, 16);
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t h = tableAt + 40 * i;
        b.replace(h, 5, i == 0 ? ".rsrc" : ".text");
        Patch32(b, h + 8, sections[i].VirtualSize);
        Patch32(b, h + 12, sections[i].VirtualAddress);
        Patch32(b, h + 16, sections[i].RawSize);
        Patch32(b, h + 20, sections[i].RawPointer);
        Patch32(b, h + 36, 0x40000040);
    }
    return b;
}

Resource OneChange()
{
    Resource r;
    r.Type.Id = 10;
    r.Name.Id = 1;
    r.Bytes = "x";
    return r;
}

} // namespace

// A resource section that ends the file and the image is rebuilt in place, from its
// first byte on. When that first byte lies in the headers, or another section's bytes
// lie behind it, a rebuild there would overwrite the headers (and write the header
// fields past the end of the shorter result) or cut that section off: such a file is
// refused, or its resources go to a new section, and what comes out is a PE file whose
// every section lies inside it with its bytes as they were.
TEST(PeResourceLayout, InPlaceRebuildNeverCutsHeadersOrOtherSections)
{
    struct Case {
        const char* what;
        std::string file;
    };
    // The root of each tree is 16 zero bytes (an empty directory) where the section
    // starts; for a section at file offset 0 those are bytes 0..15 of the MZ header,
    // whose counts at 12..15 are zero.
    const Case cases[] = {
        {"a section over the headers, PE header near the start",
         HandMadePe(0x40, {{0x1000, 0x600, 0, 0x600}}, 0x1000, 0x600)},
        {"another section's bytes inside the resource section",
         HandMadePe(0x40, {{0x2000, 0x400, 0x200, 0x400}, {0x1000, 0x200, 0x400, 0x200}}, 0x2000, 0x600)},
        {"a section over the headers, PE header past the first file-aligned block",
         HandMadePe(0x400, {{0x1000, 0x800, 0, 0x800}}, 0x1000, 0x800)},
    };
    // Each case in a function of its own, so that a fatal failure ends only that case.
    auto check = [](const Case& c) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_THROW(ReadPeResources(Span(c.file)));
        std::string out;
        try {
            out = WritePeResources(Span(c.file), {OneChange()});
        } catch (const std::runtime_error&) {
            return; // refused: nothing written
        }
        ASSERT_GE(out.size(), 0x40u);
        EXPECT_EQ(out.substr(0, 2), "MZ") << "the headers were overwritten";
        const uint32_t peAt = Get32(c.file, 0x3C);
        EXPECT_EQ(out.substr(peAt, 4), c.file.substr(peAt, 4)) << "the PE signature was overwritten";
        // Every old section header that is still there points inside the file and at its old bytes.
        const uint32_t tableAt = peAt + 24 + 0xE0;
        const uint32_t count = Get32(c.file, peAt + 4) >> 16;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t pointer = Get32(c.file, tableAt + 40 * i + 20);
            const uint32_t size = Get32(c.file, tableAt + 40 * i + 16);
            if (std::string_view(c.file).substr(tableAt + 40 * i, 5) != ".text") {
                continue;
            }
            ASSERT_LE(uint64_t(pointer) + size, out.size()) << "section " << i << " cut off";
            EXPECT_EQ(out.substr(pointer, size), c.file.substr(pointer, size)) << "section " << i << " changed";
        }
        ASSERT_NO_THROW({
            const auto back = ReadPeResources(Span(out));
            ASSERT_EQ(back.size(), 1u);
            EXPECT_EQ(back[0].Bytes, "x");
        });
    };
    for (const auto& c : cases) {
        check(c);
    }
}

// A tree with one type and one name, each a 65535-character name, whose name
// directory lists the same empty data entry many times: a few hundred kilobytes of
// file. Read as it is, every leaf copies both names, hundreds of times the file's size
// in memory (a file of a few megabytes would ask for tens of gigabytes). What a read
// gives back stays within a small multiple of the file, or the file is refused.
TEST(PeResourceLayout, RepeatedLeavesDoNotMultiplyTheFile)
{
    constexpr uint32_t kLeaves = 200;
    constexpr uint32_t kNameLength = 0xFFFF;
    // The tree, at the start of the section: root, type directory, name directory with
    // kLeaves languages, one data entry, one name shared by the type and the name.
    std::string tree;
    auto directory = [&](uint32_t named, uint32_t ids) {
        tree.append(12, '\0');
        Put16(tree, named);
        Put16(tree, ids);
    };
    const uint32_t typeDirAt = 24, nameDirAt = 48, dataEntryAt = nameDirAt + 16 + 8 * kLeaves;
    const uint32_t stringAt = dataEntryAt + 16;
    directory(1, 0);
    Put32(tree, 0x80000000u | stringAt), Put32(tree, 0x80000000u | typeDirAt);
    directory(1, 0);
    Put32(tree, 0x80000000u | stringAt), Put32(tree, 0x80000000u | nameDirAt);
    directory(0, kLeaves);
    for (uint32_t i = 0; i < kLeaves; ++i) {
        Put32(tree, i), Put32(tree, dataEntryAt);
    }
    Put32(tree, 0x1000), Put32(tree, 0), Put32(tree, 0), Put32(tree, 0); // empty data in the section
    Put16(tree, kNameLength);
    tree.append(2 * kNameLength, 'A');

    const uint32_t rawSize = (uint32_t(tree.size()) + 0x1FF) / 0x200 * 0x200;
    std::string file = HandMadePe(0x40, {{0x1000, rawSize, 0x200, rawSize}}, 0x1000, 0x200 + rawSize);
    file.replace(0x200, tree.size(), tree);

    uint64_t given = 0;
    try {
        for (const auto& r : ReadPeResources(Span(file))) {
            given += 2 * (r.Type.Name.size() + r.Name.Name.size()) + r.Bytes.size();
        }
    } catch (const std::runtime_error&) {
        return; // refused
    }
    EXPECT_LE(given, 4 * file.size()) << "a file of " << file.size() << " bytes read as " << given << " bytes";
}
