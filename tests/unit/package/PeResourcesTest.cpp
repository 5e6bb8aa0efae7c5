// Resources rewritten in executables that the MinGW-w64 tool chain made, PE32 and PE32+,
// whose .rsrc section a .reloc section follows: the headers checked field by field,
// the resources read back by icoutils' wrestool; damaged and hostile files refused.
#include "package/ExeResources.h"
#include "package/ExeUtils.h"
#include "platform/PeResources.h"
#include "platform/ResourceEditor.h"
#include "tests/support/IcoBuilder.h"
#include "tests/support/MingwPe.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace Folio::Shared;
using namespace Folio::Platform;
using namespace FolioTest;

namespace {

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }
uint32_t AlignUp(uint32_t n, uint32_t a) { return (n + a - 1) / a * a; }

const std::string& Fixture(bool pe32Plus)
{
    static TempDir dirs[2];
    static std::string made[2];
    std::string& exe = made[pe32Plus];
    if (exe.empty()) {
        exe = MingwExecutable(dirs[pe32Plus], pe32Plus, BuildIco({32}));
    }
    return exe;
}

// What wrestool extracts from a file (raw resource bytes, or an .ico for a group).
std::string Wrestool(const TempDir& dir, const std::string& file, const std::string& args)
{
    const auto out = dir / "extracted";
    std::filesystem::remove(out);
    EXPECT_TRUE(RunIn(dir.Path(), "wrestool -x " + args + " '" + file + "' -o '" + out.string() + "'")) << args;
    return ReadFile(out);
}

size_t Count(const std::string& haystack, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

class PeResources : public testing::TestWithParam<bool> {};

} // namespace

// The icon and version changes of folio-pack build, on both formats: a new last section
// after .reloc, every header that depends on it updated, the old tree's bytes zeroed,
// every other section's bytes untouched, and a second change rebuilding that section
// in place.
TEST_P(PeResources, ChangesGoToANewLastSectionWithConsistentHeaders)
{
    ASSERT_TRUE(HaveTool("wrestool")) << "icoutils is not installed (scripts/setup)";
    const std::string before = Fixture(GetParam());
    ASSERT_FALSE(before.empty()) << "the MinGW-w64 tool chain did not make the fixture";
    PeFields was = ReadPeFields(before);
    // The fixture is laid out like the runtime, and the linker's checksum is the one
    // this code computes.
    ASSERT_EQ(was.Names.back(), ".reloc");
    ASSERT_EQ(was.Names[was.Names.size() - 2], ".rsrc");
    ASSERT_NE(was.CheckSum, 0u);
    EXPECT_EQ(PeChecksum(Span(before), was.ChecksumAt), was.CheckSum);

    TempDir dir;
    const auto exe = (dir / "app.exe").u16string();
    WriteFile(dir / "app.exe", before);
    const std::string payload = Wrestool(dir, "app.exe", "--raw -t 10 -n PAYLOAD");
    const std::string numbered = Wrestool(dir, "app.exe", "--raw -t 10 -n 7");
    ASSERT_NE(payload.find(kFixturePayload), std::string::npos);

    const std::string ico = BuildIco({16, 32, 48});
    WriteFile(dir / "new.ico", ico);
    TExeUtils::ChangeExeIcon(exe, (dir / "new.ico").u16string());
    TExeInfo info;
    info.ProductName = u"Host Made";
    info.CompanyName = u"Folio \u00C9ditions";
    info.FileVersion = u"2.5.0.17";
    TExeUtils::UpdateExeInfo(exe, info);

    const std::string after = ReadFile(dir / "app.exe");
    PeFields now = ReadPeFields(after);
    ASSERT_EQ(now.Sections, was.Sections + 1);
    EXPECT_EQ(now.Names.back(), ".rsrc");
    EXPECT_EQ(now.Names[now.Names.size() - 3], ".oldrsrc");
    EXPECT_EQ(now.Va[".rsrc"], AlignUp(was.Va[".reloc"] + was.VSize[".reloc"], was.SectionAlignment));
    EXPECT_EQ(now.Raw[".rsrc"], before.size());
    EXPECT_EQ(now.RawSize[".rsrc"], AlignUp(now.VSize[".rsrc"], was.FileAlignment));
    EXPECT_EQ(after.size(), now.Raw[".rsrc"] + now.RawSize[".rsrc"]);
    EXPECT_EQ(now.SizeOfImage, AlignUp(now.Va[".rsrc"] + now.VSize[".rsrc"], was.SectionAlignment));
    EXPECT_EQ(now.SizeOfInitializedData, was.SizeOfInitializedData + now.RawSize[".rsrc"]);
    EXPECT_EQ(now.ResourceRva, now.Va[".rsrc"]);
    EXPECT_EQ(now.ResourceSize, now.VSize[".rsrc"]);
    EXPECT_EQ(now.CheckSum, PeChecksum(Span(after), now.ChecksumAt));
    EXPECT_NE(now.CheckSum, was.CheckSum);
    for (const std::string& name : was.Names) {
        if (name != ".rsrc") {
            EXPECT_TRUE(after.compare(was.Raw[name], was.RawSize[name], before, was.Raw[name], was.RawSize[name]) == 0)
                << name << " changed";
        }
    }
    // The old tree is gone: its payload only in the new section.
    EXPECT_EQ(Count(after, kFixturePayload), 1u);
    EXPECT_GE(after.find(kFixturePayload), now.Raw[".rsrc"]);
    EXPECT_TRUE(after.compare(was.Raw[".rsrc"], was.VSize[".rsrc"], std::string(was.VSize[".rsrc"], '\0')) == 0)
        << "the old resource bytes are still there";

    // Read back by wrestool: the other resources byte for byte, the icon's images, the
    // version block.
    EXPECT_EQ(Wrestool(dir, "app.exe", "--raw -t 10 -n PAYLOAD"), payload);
    EXPECT_EQ(Wrestool(dir, "app.exe", "--raw -t 10 -n 7"), numbered);
    const auto images = ParseIcoFile(Wrestool(dir, "app.exe", "-t 14 -n MAINICON"));
    const auto wanted = ParseIcoFile(ico);
    ASSERT_EQ(images.size(), wanted.size());
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].Data, wanted[i].Data) << i;
        EXPECT_EQ(images[i].Width, wanted[i].Width) << i;
    }
    const VersionBlock version = ReadVersionBlock(Wrestool(dir, "app.exe", "--raw -t 16"));
    EXPECT_EQ(version.Strings.at(u"ProductName"), u"Host Made");
    EXPECT_EQ(version.Strings.at(u"CompanyName"), u"Folio \u00C9ditions");
    EXPECT_EQ(version.FileVersionMs, 0x00020005u);
    EXPECT_EQ(version.FileVersionLs, 0x00000011u);

    // The resources now end the image: a further change rebuilds that section in place.
    info.ProductName = u"Second";
    TExeUtils::UpdateExeInfo(exe, info);
    const std::string again = ReadFile(dir / "app.exe");
    PeFields third = ReadPeFields(again);
    EXPECT_EQ(third.Sections, now.Sections);
    EXPECT_EQ(third.Raw[".rsrc"], now.Raw[".rsrc"]);
    EXPECT_EQ(third.Va[".rsrc"], now.Va[".rsrc"]);
    EXPECT_EQ(again.size(), third.Raw[".rsrc"] + third.RawSize[".rsrc"]);
    EXPECT_EQ(third.SizeOfInitializedData, was.SizeOfInitializedData + third.RawSize[".rsrc"]);
    EXPECT_EQ(third.CheckSum, PeChecksum(Span(again), third.ChecksumAt));
    EXPECT_EQ(ReadVersionBlock(Wrestool(dir, "app.exe", "--raw -t 16")).Strings.at(u"ProductName"), u"Second");
    EXPECT_EQ(ParseIcoFile(Wrestool(dir, "app.exe", "-t 14 -n MAINICON")).size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Formats, PeResources, testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Pe32Plus" : "Pe32"; });

// Names sort before ids, names without regard to ASCII case: lookups search the tables
// by halves. Types, names, languages and code pages come back as written.
TEST(PeResourceTree, WrittenInLookupOrderAndReadBack)
{
    const std::string fixture = Fixture(true);
    ASSERT_FALSE(fixture.empty());
    auto resource = [](std::u16string type, uint16_t typeId, std::u16string name, uint16_t id, uint16_t language,
                       std::string bytes) {
        Resource r;
        r.Type.Name = std::move(type);
        r.Type.Id = typeId;
        r.Name.Name = std::move(name);
        r.Name.Id = id;
        r.Language = language;
        r.Bytes = std::move(bytes);
        r.CodePage = 1252;
        return r;
    };
    const std::vector<Resource> written = {
        resource({}, 10, {}, 9, 0x409, "nine"),       resource({}, 10, u"beta", 0, 0x409, "beta"),
        resource({}, 3, {}, 1, 0x407, "german"),      resource({}, 3, {}, 1, 0x409, "english"),
        resource(u"ZED", 0, u"X", 0, 0, ""),          resource({}, 10, u"ALPHA", 0, 0x409, "alpha"),
        resource(u"Apple", 0, {}, 2, 0, "apple two"),
    };
    const std::string out = WritePeResources(Span(fixture), written);
    const auto read = ReadPeResources(Span(out));
    std::vector<std::string> order;
    for (const auto& r : read) {
        order.push_back(r.Bytes);
        EXPECT_EQ(r.CodePage, 1252u);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"apple two", "", "german", "english", "alpha", "beta", "nine"}));
    EXPECT_EQ(read[2].Language, 0x407);
    EXPECT_EQ(read[0].Type.Name, u"Apple");
    EXPECT_EQ(read[0].Name.Id, 2);

    std::vector<Resource> twice = written;
    twice.push_back(written[0]);
    EXPECT_THROW(WritePeResources(Span(fixture), twice), std::runtime_error);
}

// Files that cannot be changed safely are refused with a reason, and left as they were.
TEST(PeResourceTree, DamagedAndHostileFilesAreRefused)
{
    const std::string fixture = Fixture(true);
    ASSERT_FALSE(fixture.empty());
    PeFields f = ReadPeFields(fixture);
    const uint32_t root = f.Raw[".rsrc"];
    // The path root -> first type -> first name -> first language -> data entry.
    const uint32_t typeDir = root + (Get32(fixture, root + 16 + 4) & 0x7FFFFFFF);
    const uint32_t nameDir = root + (Get32(fixture, typeDir + 16 + 4) & 0x7FFFFFFF);
    const uint32_t languageEntry = nameDir + 16 + 4;
    const uint32_t dataEntry = root + Get32(fixture, languageEntry);
    const uint32_t tableEnd = f.OptionalAt + Get16(fixture, Get32(fixture, 0x3C) + 20) + f.Sections * 40;

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        std::string message;
    };
    const Case cases[] = {
        {"not an executable", [](std::string& b) { b = "MZ just text, no header at all, long enough to be read......"; },
         "not a Windows executable"},
        {"signed", [&](std::string& b) { Patch32(b, f.DirectoriesAt + 4 * 8, 0x1000), Patch32(b, f.DirectoriesAt + 36, 8); },
         "certificate table"},
        {"bytes after the image", [](std::string& b) { b += "PK\x05\x06"; }, "4 bytes after its image end"},
        {"no room for a header", [&](std::string& b) { b[tableEnd + 3] = 'x'; }, "no room for another section header"},
        {"file alignment zero", [&](std::string& b) { Patch32(b, f.OptionalAt + 36, 0); }, "alignment is not valid"},
        {"section past the file", [&](std::string& b) { Patch32(b, f.OptionalAt + Get16(b, Get32(b, 0x3C) + 20) + 20, 0xFFFFF000u); },
         "lies outside the file"},
        {"directory outside the sections", [&](std::string& b) { Patch32(b, f.DirectoriesAt + 16, 0x7FFFFF00u); },
         "resource directory lies outside its sections"},
        {"a cycle back to the root", [&](std::string& b) { Patch32(b, typeDir + 16 + 4, 0x80000000u); },
         "reached twice"},
        {"two types sharing one directory", [&](std::string& b) { Patch32(b, root + 24 + 4, Get32(b, root + 16 + 4)); },
         "reached twice"},
        {"a subdirectory offset outside", [&](std::string& b) { Patch32(b, root + 16 + 4, 0xFFFFFFF0u); },
         "points outside its section"},
        {"four levels", [&](std::string& b) { Patch32(b, languageEntry, 0x80000000u | (nameDir - root)); },
         "not three levels deep"},
        {"data outside the sections", [&](std::string& b) { Patch32(b, dataEntry, 0xFFFFF000u); },
         "data lies outside the sections"},
        {"data past 4 GiB", [&](std::string& b) { Patch32(b, dataEntry + 4, 0xFFFFFFFFu); },
         "data lies outside the sections"},
        {"a huge name", [&](std::string& b) { Patch32(b, root + 16, 0x80000000u | 0x7FFFFFF0u); },
         "points outside its section"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::string bad = fixture;
        c.damage(bad);
        WriteFile(dir / "app.exe", bad);
        Resource change;
        change.Type.Id = 10;
        change.Name.Id = 1;
        change.Bytes = "x";
        try {
            UpdateResources((dir / "app.exe").u16string(), {change});
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
        }
        EXPECT_TRUE(ReadFile(dir / "app.exe") == bad) << c.what << ": the file was changed";
    }
}
