// PE resource directories read and rewritten as bytes (see PeResources.h).
#include "platform/PeResources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <type_traits>

namespace Folio::Platform {

namespace {

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
void Set16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Set32(uint8_t* p, uint32_t v)
{
    Set16(p, v & 0xFFFF);
    Set16(p + 2, v >> 16);
}

uint64_t AlignUp(uint64_t n, uint64_t alignment) { return (n + alignment - 1) / alignment * alignment; }
bool PowerOfTwo(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

constexpr uint32_t kDirectoryResource = 2, kDirectorySecurity = 4;
constexpr uint32_t kSectionInitializedData = 0x40, kSectionRead = 0x40000000;

struct Section {
    uint64_t HeaderAt = 0; // file offset of its 40-byte header
    uint32_t VirtualAddress = 0, VirtualSize = 0, RawSize = 0, RawPointer = 0, Flags = 0;

    // The bytes of the image it covers, and how many of them the file holds.
    uint64_t VirtualEnd() const { return uint64_t(VirtualAddress) + (VirtualSize ? VirtualSize : RawSize); }
    uint32_t FileBytes() const { return VirtualSize ? std::min(VirtualSize, RawSize) : RawSize; }
};

// The headers of a PE file, each offset and size checked against the file.
struct Image {
    std::span<const uint8_t> Bytes;
    uint64_t OptionalAt = 0, DirectoriesAt = 0, TableAt = 0, FileHeaderAt = 0;
    uint32_t DirectoryCount = 0, SectionAlignment = 0, FileAlignment = 0, SizeOfHeaders = 0, ImageEnd = 0;
    std::vector<Section> Sections;

    uint64_t ChecksumAt() const { return OptionalAt + 64; }
    std::pair<uint32_t, uint32_t> Directory(uint32_t index) const
    {
        if (index >= DirectoryCount) {
            return {0, 0};
        }
        const uint8_t* d = Bytes.data() + DirectoriesAt + index * 8ull;
        return {U32(d), U32(d + 4)};
    }

    // The section whose file bytes hold [rva, rva + size), or nullptr.
    const Section* Holding(uint64_t rva, uint64_t size) const
    {
        for (const auto& s : Sections) {
            if (rva >= s.VirtualAddress && rva - s.VirtualAddress <= s.FileBytes() &&
                size <= s.FileBytes() - (rva - s.VirtualAddress)) {
                return &s;
            }
        }
        return nullptr;
    }
};

Image ReadHeaders(std::span<const uint8_t> b)
{
    Image im;
    im.Bytes = b;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
        Fail("not a Windows executable (no MZ header)");
    }
    const uint64_t pe = U32(b.data() + 0x3C);
    if (pe > b.size() || b.size() - pe < 24 || U32(b.data() + pe) != 0x00004550) {
        Fail("not a Windows executable (no PE header)");
    }
    im.FileHeaderAt = pe + 4;
    const uint16_t sections = U16(b.data() + im.FileHeaderAt + 2);
    const uint16_t optionalSize = U16(b.data() + im.FileHeaderAt + 16);
    im.OptionalAt = im.FileHeaderAt + 20;
    if (im.OptionalAt + optionalSize > b.size()) {
        Fail("the executable's optional header lies outside the file");
    }
    const uint8_t* o = b.data() + im.OptionalAt;
    uint32_t countAt = 0;
    if (optionalSize >= 2 && U16(o) == 0x10B) {
        countAt = 92; // PE32
    } else if (optionalSize >= 2 && U16(o) == 0x20B) {
        countAt = 108; // PE32+
    } else {
        Fail("the executable's optional header is neither PE32 nor PE32+");
    }
    if (optionalSize < countAt + 4) {
        Fail("the executable's optional header is too short");
    }
    im.DirectoriesAt = im.OptionalAt + countAt + 4;
    im.DirectoryCount = std::min<uint32_t>(U32(o + countAt), (optionalSize - countAt - 4) / 8);
    if (im.DirectoryCount <= kDirectoryResource) {
        Fail("the executable's optional header has no resource directory entry");
    }
    im.SectionAlignment = U32(o + 32);
    im.FileAlignment = U32(o + 36);
    im.SizeOfHeaders = U32(o + 60);
    if (im.SizeOfHeaders > b.size()) {
        Fail("the executable's headers are longer than the file");
    }
    if (!PowerOfTwo(im.FileAlignment) || !PowerOfTwo(im.SectionAlignment) || im.FileAlignment > 0x10000 ||
        im.SectionAlignment < im.FileAlignment) {
        Fail("the executable's section or file alignment is not valid");
    }
    im.TableAt = im.OptionalAt + optionalSize;
    if (im.TableAt + sections * 40ull > std::min<uint64_t>(b.size(), im.SizeOfHeaders)) {
        Fail("the executable's section table lies outside its headers");
    }
    uint64_t end = 0;
    for (uint16_t i = 0; i < sections; ++i) {
        Section s;
        s.HeaderAt = im.TableAt + i * 40ull;
        const uint8_t* h = b.data() + s.HeaderAt;
        s.VirtualSize = U32(h + 8);
        s.VirtualAddress = U32(h + 12);
        s.RawSize = U32(h + 16);
        s.RawPointer = U32(h + 20);
        s.Flags = U32(h + 36);
        if (s.RawSize != 0 && uint64_t(s.RawPointer) + s.RawSize > b.size()) {
            Fail("a section of the executable lies outside the file");
        }
        if (s.VirtualEnd() > 0xFFFFFFFFu) {
            Fail("a section of the executable ends past 4 GiB of address space");
        }
        end = std::max<uint64_t>(end, s.RawSize ? uint64_t(s.RawPointer) + s.RawSize : 0);
        im.Sections.push_back(s);
    }
    im.ImageEnd = static_cast<uint32_t>(end);
    return im;
}

// A byte range of the file that held the old directory tree.
struct Range {
    uint64_t At, Size;
};

// Reads the three levels of a resource directory (type, name, language), each offset
// checked against the bytes of the section that holds the root. A directory reached
// twice, or a data entry, is refused, and the leaves' bytes and names may not add up to
// more than the file: a hostile tree can neither loop nor multiply its leaves.
class TreeReader {
public:
    TreeReader(const Image& im, uint32_t rootRva) : im_(im)
    {
        const Section* s = im.Holding(rootRva, 16);
        if (!s) {
            Fail("the executable's resource directory lies outside its sections");
        }
        section_ = s;
        rootAt_ = uint64_t(s->RawPointer) + (rootRva - s->VirtualAddress);
        size_ = s->FileBytes() - (rootRva - s->VirtualAddress);
    }

    std::vector<Resource> Read()
    {
        std::vector<Resource> out;
        Resource r;
        Walk(0, 0, r, out);
        return out;
    }

    const Section* RootSection() const { return section_; }
    const std::vector<Range>& Used() const { return used_; }

private:
    // The file offset of [offset, offset + n) of the tree, which must lie in its section.
    const uint8_t* At(uint64_t offset, uint64_t n)
    {
        if (offset > size_ || n > size_ - offset) {
            Fail("the executable's resource directory is damaged: an offset points outside its section");
        }
        used_.push_back({rootAt_ + offset, n});
        return im_.Bytes.data() + rootAt_ + offset;
    }

    ResourceName NameOf(uint32_t field)
    {
        ResourceName n;
        if (field & 0x80000000u) {
            const uint64_t offset = field & 0x7FFFFFFFu;
            const uint16_t length = U16(At(offset, 2));
            if (length == 0) {
                Fail("the executable's resource directory is damaged: an empty resource name");
            }
            const uint8_t* text = At(offset + 2, length * 2ull);
            for (uint16_t i = 0; i < length; ++i) {
                n.Name.push_back(static_cast<char16_t>(U16(text + i * 2)));
            }
        } else if (field > 0xFFFF) {
            Fail("the executable's resource directory is damaged: an id past 65535");
        } else {
            n.Id = static_cast<uint16_t>(field);
        }
        return n;
    }

    void Walk(uint64_t offset, int level, Resource& r, std::vector<Resource>& out)
    {
        if (!directories_.insert(offset).second) {
            Fail("the executable's resource directory is damaged: a directory is reached twice");
        }
        const uint8_t* d = At(offset, 16);
        const uint32_t count = uint32_t(U16(d + 12)) + U16(d + 14);
        const uint8_t* entries = At(offset + 16, count * 8ull);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t name = U32(entries + i * 8);
            const uint32_t target = U32(entries + i * 8 + 4);
            const bool directory = (target & 0x80000000u) != 0;
            if (directory != (level < 2)) {
                Fail("the executable's resource directory is damaged: its tree is not three levels deep");
            }
            if (level == 0) {
                r.Type = NameOf(name);
            } else if (level == 1) {
                r.Name = NameOf(name);
            } else {
                const ResourceName language = NameOf(name);
                if (!language.Name.empty()) {
                    Fail("the executable's resource directory is damaged: a language given by name");
                }
                r.Language = language.Id;
            }
            if (directory) {
                Walk(target & 0x7FFFFFFFu, level + 1, r, out);
                continue;
            }
            if (!dataEntries_.insert(target).second) {
                Fail("the executable's resource directory is damaged: a resource's entry is reached twice");
            }
            const uint8_t* entry = At(target, 16);
            const uint32_t rva = U32(entry), size = U32(entry + 4);
            const Section* holder = im_.Holding(rva, size);
            if (!holder) {
                Fail("the executable's resource directory is damaged: a resource's data lies outside the sections");
            }
            // Every resource's data is bytes of the image of its own, and its names are
            // short; more than the file holds means entries share data or names to
            // inflate the listing.
            total_ += uint64_t(size) + 2 * (r.Type.Name.size() + r.Name.Name.size());
            if (total_ > im_.Bytes.size()) {
                Fail("the executable's resource directory is damaged: its resources add up to more than the file");
            }
            const uint64_t at = uint64_t(holder->RawPointer) + (rva - holder->VirtualAddress);
            if (holder == section_) {
                used_.push_back({at, size});
            }
            r.CodePage = U32(entry + 8);
            r.Bytes.assign(reinterpret_cast<const char*>(im_.Bytes.data() + at), size);
            out.push_back(r);
        }
    }

    const Image& im_;
    const Section* section_ = nullptr;
    uint64_t rootAt_ = 0, size_ = 0, total_ = 0;
    std::set<uint64_t> directories_, dataEntries_;
    std::vector<Range> used_;
};

// Directory order: names (compared without regard to ASCII case) before ids, ids ascending.
struct NameOrder {
    bool operator()(const ResourceName& a, const ResourceName& b) const
    {
        if (a.Name.empty() != b.Name.empty()) {
            return !a.Name.empty();
        }
        if (a.Name.empty()) {
            return a.Id < b.Id;
        }
        auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
        const auto folded = [&](const std::u16string& s) {
            std::u16string f(s);
            std::transform(f.begin(), f.end(), f.begin(), upper);
            return f;
        };
        const std::u16string fa = folded(a.Name), fb = folded(b.Name);
        return fa != fb ? fa < fb : a.Name < b.Name;
    }
};

// The bytes of a resource directory tree for a section at sectionRva: the directory
// tables (root, then every type's, then every name's), the data entries, the names,
// then the data, each resource's aligned to 8 bytes.
std::string BuildTree(const std::vector<Resource>& resources, uint32_t sectionRva)
{
    using Languages = std::map<uint16_t, const Resource*>;
    using Names = std::map<ResourceName, Languages, NameOrder>;
    std::map<ResourceName, Names, NameOrder> tree;
    for (const auto& r : resources) {
        if (r.Type.Name.size() > 0xFFFF || r.Name.Name.size() > 0xFFFF) {
            Fail("a resource name is longer than 65535 characters");
        }
        if (!tree[r.Type][r.Name].emplace(r.Language, &r).second) {
            Fail("two resources have the same type, name and language");
        }
    }

    uint64_t directories = 16 + 8 * tree.size();
    size_t leaves = 0;
    for (const auto& [type, names] : tree) {
        directories += 16 + 8 * names.size();
        for (const auto& [name, languages] : names) {
            directories += 16 + 8 * languages.size();
            leaves += languages.size();
        }
    }
    const uint64_t entriesAt = directories;
    uint64_t stringsEnd = entriesAt + 16 * leaves;
    std::map<std::u16string, uint64_t> strings;
    auto placeString = [&](const ResourceName& n) {
        if (!n.Name.empty() && strings.emplace(n.Name, stringsEnd).second) {
            stringsEnd += 2 + 2 * n.Name.size();
        }
    };
    for (const auto& [type, names] : tree) {
        placeString(type);
        for (const auto& [name, languages] : names) {
            placeString(name);
        }
    }
    uint64_t dataEnd = AlignUp(stringsEnd, 8);
    for (const auto& r : resources) {
        dataEnd = AlignUp(dataEnd + r.Bytes.size(), 8);
    }
    if (dataEnd >= 0x80000000u || sectionRva + dataEnd > 0xFFFFFFFFu) {
        Fail("the resources do not fit in an executable");
    }

    std::string out(static_cast<size_t>(dataEnd), '\0');
    auto* base = reinterpret_cast<uint8_t*>(out.data());
    for (const auto& [text, at] : strings) {
        Set16(base + at, static_cast<uint32_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i) {
            Set16(base + at + 2 + 2 * i, text[i]);
        }
    }
    auto nameField = [&](const ResourceName& n) {
        return n.Name.empty() ? uint32_t(n.Id) : 0x80000000u | static_cast<uint32_t>(strings.at(n.Name));
    };
    // A directory table at `at` for the keys of a level; returns where its entries start.
    auto table = [&](uint64_t at, const auto& level) {
        const auto named = std::count_if(level.begin(), level.end(), [](const auto& e) {
            if constexpr (std::is_same_v<std::decay_t<decltype(e.first)>, ResourceName>) {
                return !e.first.Name.empty();
            } else {
                return false;
            }
        });
        Set16(base + at + 12, static_cast<uint32_t>(named));
        Set16(base + at + 14, static_cast<uint32_t>(level.size() - named));
        return at + 16;
    };

    uint64_t nextDirectory = 16 + 8 * tree.size();
    uint64_t nextEntry = entriesAt;
    uint64_t nextData = AlignUp(stringsEnd, 8);
    uint64_t typeSlot = table(0, tree);
    // Type directories come first, then name directories: two passes over the tree.
    std::vector<uint64_t> typeTables;
    for (const auto& [type, names] : tree) {
        Set32(base + typeSlot, nameField(type));
        Set32(base + typeSlot + 4, 0x80000000u | static_cast<uint32_t>(nextDirectory));
        typeSlot += 8;
        typeTables.push_back(nextDirectory);
        nextDirectory += 16 + 8 * names.size();
    }
    size_t t = 0;
    for (const auto& [type, names] : tree) {
        uint64_t nameSlot = table(typeTables[t++], names);
        for (const auto& [name, languages] : names) {
            Set32(base + nameSlot, nameField(name));
            Set32(base + nameSlot + 4, 0x80000000u | static_cast<uint32_t>(nextDirectory));
            nameSlot += 8;
            uint64_t languageSlot = table(nextDirectory, languages);
            nextDirectory += 16 + 8 * languages.size();
            for (const auto& [language, r] : languages) {
                Set32(base + languageSlot, language);
                Set32(base + languageSlot + 4, static_cast<uint32_t>(nextEntry));
                languageSlot += 8;
                Set32(base + nextEntry, static_cast<uint32_t>(sectionRva + nextData));
                Set32(base + nextEntry + 4, static_cast<uint32_t>(r->Bytes.size()));
                Set32(base + nextEntry + 8, r->CodePage);
                nextEntry += 16;
                if (!r->Bytes.empty()) {
                    std::memcpy(base + nextData, r->Bytes.data(), r->Bytes.size());
                }
                nextData = AlignUp(nextData + r->Bytes.size(), 8);
            }
        }
    }
    return out;
}

void CheckEditable(const Image& im)
{
    const auto [certificates, certificatesSize] = im.Directory(kDirectorySecurity);
    if (certificates != 0 || certificatesSize != 0) {
        Fail("the executable carries a certificate table (it is signed): its resources cannot be changed; use an "
             "unsigned runtime");
    }
    if (im.Bytes.size() != im.ImageEnd) {
        Fail("the executable carries " + std::to_string(int64_t(im.Bytes.size()) - int64_t(im.ImageEnd)) +
             " bytes after its image end: its resources are changed before anything is appended");
    }
}

} // namespace

std::vector<Resource> ReadPeResources(std::span<const uint8_t> file)
{
    const Image im = ReadHeaders(file);
    const auto [rva, size] = im.Directory(kDirectoryResource);
    if (rva == 0) {
        return {};
    }
    return TreeReader(im, rva).Read();
}

uint32_t PeChecksum(std::span<const uint8_t> file, size_t checksumOffset)
{
    auto byte = [&](size_t i) -> uint32_t {
        return i >= file.size() || (i >= checksumOffset && i - checksumOffset < 4) ? 0 : file[i];
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += byte(i) | (byte(i + 1) << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

std::string WritePeResources(std::span<const uint8_t> file, const std::vector<Resource>& resources)
{
    const Image im = ReadHeaders(file);
    CheckEditable(im);
    const auto [oldRva, oldSize] = im.Directory(kDirectoryResource);
    const Section* oldSection = nullptr;
    std::vector<Range> oldBytes;
    if (oldRva != 0) {
        TreeReader reader(im, oldRva);
        reader.Read();
        oldSection = reader.RootSection();
        oldBytes = reader.Used();
    }

    // Rebuilt in place when the tree starts its section and that section ends both the
    // file and the image, with every byte of the tree inside it, and neither the headers
    // nor another section's bytes lie in it: the file is cut where it starts.
    bool inPlace = false;
    if (oldSection && oldSection->VirtualAddress == oldRva && oldSection->RawSize != 0 &&
        uint64_t(oldSection->RawPointer) + oldSection->RawSize == im.ImageEnd &&
        oldSection->RawPointer >= im.SizeOfHeaders) {
        inPlace = std::all_of(im.Sections.begin(), im.Sections.end(), [&](const Section& s) {
            return &s == oldSection || (s.VirtualEnd() <= oldSection->VirtualAddress &&
                                        (s.RawSize == 0 || s.RawPointer + uint64_t(s.RawSize) <= oldSection->RawPointer));
        });
    }

    const uint8_t* headers = file.data();
    std::string out;
    uint64_t sectionHeader = 0, rawPointer = 0, virtualAddress = 0;
    int64_t initializedChange = 0;
    if (inPlace) {
        sectionHeader = oldSection->HeaderAt;
        rawPointer = oldSection->RawPointer;
        virtualAddress = oldSection->VirtualAddress;
        initializedChange = oldSection->Flags & kSectionInitializedData ? -int64_t(oldSection->RawSize) : 0;
    } else {
        sectionHeader = im.TableAt + im.Sections.size() * 40;
        uint64_t firstRaw = im.SizeOfHeaders;
        for (const auto& s : im.Sections) {
            if (s.RawSize != 0) {
                firstRaw = std::min<uint64_t>(firstRaw, s.RawPointer);
            }
        }
        if (sectionHeader + 40 > firstRaw || im.Sections.size() >= 0xFFFF ||
            std::any_of(headers + sectionHeader, headers + sectionHeader + 40, [](uint8_t b) { return b != 0; })) {
            Fail("the executable's headers have no room for another section header");
        }
        uint64_t imageEnd = U32(headers + im.OptionalAt + 56); // SizeOfImage
        for (const auto& s : im.Sections) {
            imageEnd = std::max(imageEnd, s.VirtualEnd());
        }
        virtualAddress = AlignUp(imageEnd, im.SectionAlignment);
        rawPointer = AlignUp(std::max<uint64_t>(im.ImageEnd, im.SizeOfHeaders), im.FileAlignment);
    }
    if (virtualAddress >= 0xFFFFFFFFu) {
        Fail("the executable has no address space left for its resources");
    }

    const std::string tree = BuildTree(resources, static_cast<uint32_t>(virtualAddress));
    const uint64_t rawSize = AlignUp(tree.size(), im.FileAlignment);
    const uint64_t sizeOfImage = AlignUp(virtualAddress + tree.size(), im.SectionAlignment);
    if (rawPointer + rawSize > 0xFFFFFFFFu || sizeOfImage > 0xFFFFFFFFu) {
        Fail("the executable would grow past 4 GiB");
    }
    initializedChange += int64_t(rawSize);
    const int64_t initialized = int64_t(U32(headers + im.OptionalAt + 8)) + initializedChange;
    if (initialized < 0 || initialized > 0xFFFFFFFF) {
        Fail("the executable's SizeOfInitializedData does not fit its sections");
    }

    out.assign(reinterpret_cast<const char*>(file.data()), std::min<uint64_t>(file.size(), rawPointer));
    out.resize(static_cast<size_t>(rawPointer), '\0');
    out += tree;
    out.resize(static_cast<size_t>(rawPointer + rawSize), '\0');
    auto* b = reinterpret_cast<uint8_t*>(out.data());

    if (!inPlace) {
        for (const auto& r : oldBytes) {
            std::memset(b + r.At, 0, static_cast<size_t>(r.Size));
        }
        if (oldSection && std::memcmp(b + oldSection->HeaderAt, ".rsrc\0\0\0", 8) == 0) {
            std::memcpy(b + oldSection->HeaderAt, ".oldrsrc", 8);
        }
        Set16(b + im.FileHeaderAt + 2, static_cast<uint32_t>(im.Sections.size() + 1));
    }
    uint8_t* h = b + sectionHeader;
    std::memset(h, 0, 40);
    std::memcpy(h, ".rsrc", 5);
    Set32(h + 8, static_cast<uint32_t>(tree.size()));
    Set32(h + 12, static_cast<uint32_t>(virtualAddress));
    Set32(h + 16, static_cast<uint32_t>(rawSize));
    Set32(h + 20, static_cast<uint32_t>(rawPointer));
    Set32(h + 36, kSectionInitializedData | kSectionRead);

    uint8_t* o = b + im.OptionalAt;
    Set32(o + 8, static_cast<uint32_t>(initialized));
    Set32(o + 56, static_cast<uint32_t>(sizeOfImage));
    uint8_t* directory = b + im.DirectoriesAt + kDirectoryResource * 8;
    Set32(directory, static_cast<uint32_t>(virtualAddress));
    Set32(directory + 4, static_cast<uint32_t>(tree.size()));
    if (U32(o + 64) != 0) {
        Set32(o + 64, PeChecksum({b, out.size()}, im.ChecksumAt()));
    }
    return out;
}

} // namespace Folio::Platform
