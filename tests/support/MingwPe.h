// Test helper (host): real Windows executables made by the MinGW-w64 tool chain at test
// time, with windres's resources (a MAINICON icon group, named and numbered RCDATA, a
// version block) in a .rsrc section that a .reloc section follows, as in the runtime;
// and a few readers of PE and version-resource fields that share no code with the
// program's own.
#pragma once

#include "tests/support/TempDir.h"
#include "tests/support/ZipBuilder.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace FolioTest {

constexpr const char kFixturePayload[] = "named payload bytes";

// A stripped executable for i686 (PE32) or x86-64 (PE32+) whose MAINICON is `ico`.
// Empty when the tool chain fails.
inline std::string MingwExecutable(const TempDir& dir, bool pe32Plus, const std::string& ico)
{
    WriteFile(dir / "fixture.ico", ico);
    WriteFile(dir / "fixture.rc", "MAINICON ICON \"fixture.ico\"\n"
                                  "PAYLOAD RCDATA { \"named payload bytes\" }\n"
                                  "7 RCDATA { \"numbered payload\" }\n"
                                  "1 VERSIONINFO\nFILEVERSION 9,8,7,6\nBEGIN\n"
                                  "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904B0\"\n    BEGIN\n"
                                  "      VALUE \"ProductName\", \"Fixture\"\n    END\n  END\n"
                                  "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\n"
                                  "END\n");
    // A pointer to a static object needs a base relocation, so the image gets .reloc.
    WriteFile(dir / "fixture.c", "static int value;\nint *pointer = &value;\nint Start(void) { return *pointer; }\n");
    const std::string tools = pe32Plus ? "x86_64-w64-mingw32-" : "i686-w64-mingw32-";
    const std::string entry = pe32Plus ? "Start" : "_Start";
    const std::string command = "cd '" + dir.Path().string() + "' && " + tools +
                                "windres fixture.rc -O coff -o fixture.res && " + tools +
                                "gcc -s -nostdlib -Wl,-e," + entry +
                                " -Wl,--dynamicbase -Wl,--subsystem,windows fixture.c fixture.res -o fixture.exe";
    if (std::system(command.c_str()) != 0) {
        return {};
    }
    return ReadFile(dir / "fixture.exe");
}

// The fields of a PE file the tests look at, read straight from the bytes.
struct PeFields {
    uint32_t Sections = 0, SizeOfImage = 0, SizeOfInitializedData = 0, CheckSum = 0, ChecksumAt = 0;
    uint32_t ResourceRva = 0, ResourceSize = 0, SectionAlignment = 0, FileAlignment = 0;
    uint32_t OptionalAt = 0, DirectoriesAt = 0;
    std::vector<std::string> Names;             // in table order
    std::map<std::string, uint32_t> Va, VSize, Raw, RawSize; // by name
};

inline uint32_t Get16(const std::string& b, size_t at) { return uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8); }
inline uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

inline PeFields ReadPeFields(const std::string& b)
{
    PeFields f;
    const uint32_t pe = Get32(b, 0x3C);
    f.Sections = Get16(b, pe + 6);
    f.OptionalAt = pe + 24;
    const bool plus = Get16(b, f.OptionalAt) == 0x20B;
    f.SizeOfInitializedData = Get32(b, f.OptionalAt + 8);
    f.SectionAlignment = Get32(b, f.OptionalAt + 32);
    f.FileAlignment = Get32(b, f.OptionalAt + 36);
    f.SizeOfImage = Get32(b, f.OptionalAt + 56);
    f.ChecksumAt = f.OptionalAt + 64;
    f.CheckSum = Get32(b, f.ChecksumAt);
    f.DirectoriesAt = f.OptionalAt + (plus ? 112 : 96);
    f.ResourceRva = Get32(b, f.DirectoriesAt + 16);
    f.ResourceSize = Get32(b, f.DirectoriesAt + 20);
    const uint32_t table = f.OptionalAt + Get16(b, pe + 20);
    for (uint32_t i = 0; i < f.Sections; ++i) {
        const size_t h = table + i * 40;
        std::string name = b.substr(h, 8);
        name = name.substr(0, name.find('\0'));
        f.Names.push_back(name);
        f.VSize[name] = Get32(b, h + 8);
        f.Va[name] = Get32(b, h + 12);
        f.RawSize[name] = Get32(b, h + 16);
        f.Raw[name] = Get32(b, h + 20);
    }
    return f;
}

// The strings of the first string table of a VS_VERSIONINFO block, and its fixed file
// version (MS, LS), walked node by node.
struct VersionBlock {
    std::map<std::u16string, std::u16string> Strings;
    uint32_t FileVersionMs = 0, FileVersionLs = 0, ProductVersionMs = 0, ProductVersionLs = 0;
};

inline VersionBlock ReadVersionBlock(const std::string& b)
{
    VersionBlock v;
    // A node: length, value length, type, key (UTF-16, NUL), padding to 4, value, children.
    struct Node {
        size_t At, End, ValueAt, ChildrenAt;
        std::u16string Key;
    };
    auto node = [&](size_t at) {
        Node n{at, at + Get16(b, at), 0, 0, {}};
        size_t p = at + 6;
        while (p + 1 < b.size() && Get16(b, p) != 0) {
            n.Key.push_back(static_cast<char16_t>(Get16(b, p)));
            p += 2;
        }
        n.ValueAt = (p + 2 + 3) & ~size_t(3);
        const uint32_t valueLength = Get16(b, at + 2), type = Get16(b, at + 4);
        n.ChildrenAt = (n.ValueAt + (type == 1 ? valueLength * 2 : valueLength) + 3) & ~size_t(3);
        return n;
    };
    const Node root = node(0);
    v.FileVersionMs = Get32(b, root.ValueAt + 8);
    v.FileVersionLs = Get32(b, root.ValueAt + 12);
    v.ProductVersionMs = Get32(b, root.ValueAt + 16);
    v.ProductVersionLs = Get32(b, root.ValueAt + 20);
    for (size_t at = root.ChildrenAt; at < root.End;) {
        const Node info = node(at);
        if (info.Key == u"StringFileInfo") {
            const Node table = node(info.ChildrenAt);
            for (size_t s = table.ChildrenAt; s < table.End;) {
                const Node entry = node(s);
                std::u16string value;
                for (size_t p = entry.ValueAt; p + 1 < entry.End && Get16(b, p) != 0; p += 2) {
                    value.push_back(static_cast<char16_t>(Get16(b, p)));
                }
                v.Strings[entry.Key] = value;
                s = (entry.End + 3) & ~size_t(3);
            }
        }
        at = (info.End + 3) & ~size_t(3);
    }
    return v;
}

} // namespace FolioTest
