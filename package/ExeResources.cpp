// Icon and version resources (see ExeResources.h).
#include "package/ExeResources.h"

#include "package/ExeUtils.h"
#include "util/TextCodecs.h"

#include <utility>

namespace Folio::Shared {

namespace {

uint16_t U16(const char* p)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
uint32_t U32(const char* p) { return U16(p) | (uint32_t(U16(p + 2)) << 16); }

void Put16(std::string& s, uint32_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void PutText(std::string& s, std::u16string_view text)
{
    for (const char16_t c : text) {
        Put16(s, c);
    }
    Put16(s, 0);
}
void Align4(std::string& s)
{
    while (s.size() % 4 != 0) {
        s.push_back('\0');
    }
}

// Every node of a version resource states its length in 16 bits, so no node, the
// whole resource included, may exceed 65535 bytes.
constexpr size_t kMaxVersionNode = 0xFFFF;

// One node of a version resource: length, value length, type, key, value, children.
std::string VersionNode(std::u16string_view key, uint16_t type, const std::string& value, uint16_t valueLength,
                        const std::vector<std::string>& children)
{
    std::string s;
    Put16(s, 0); // length, set below
    Put16(s, valueLength);
    Put16(s, type);
    PutText(s, key);
    Align4(s);
    s += value;
    for (const auto& child : children) {
        Align4(s);
        s += child;
    }
    if (s.size() > kMaxVersionNode) {
        throw EFileError("the version information is too long: its " + Utf16ToUtf8(key) + " block takes " +
                         std::to_string(s.size()) + " bytes, and a version resource holds at most " +
                         std::to_string(kMaxVersionNode));
    }
    s[0] = static_cast<char>(s.size() & 0xFF);
    s[1] = static_cast<char>((s.size() >> 8) & 0xFF);
    return s;
}

std::pair<uint32_t, uint32_t> VersionNumbers(std::u16string_view text)
{
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t part = 0;
    for (const char16_t c : text) {
        if (c == u'.') {
            if (++part == 4) {
                break;
            }
        } else if (c >= u'0' && c <= u'9') {
            parts[part] = std::min<uint32_t>(parts[part] * 10 + (c - u'0'), 0xFFFF);
        } else {
            break; // "1.2 beta": what came before counts
        }
    }
    return {(parts[0] << 16) | parts[1], (parts[2] << 16) | parts[3]};
}

} // namespace

std::vector<TIconImage> ParseIcoFile(std::string_view bytes)
{
    if (bytes.size() < 6 || U16(bytes.data()) != 0 || U16(bytes.data() + 2) != 1) {
        throw EFileError("not an icon file (.ico)");
    }
    const uint16_t count = U16(bytes.data() + 4);
    if (count == 0 || 6 + uint64_t(count) * 16 > bytes.size()) {
        throw EFileError("the icon file has no images or a damaged directory");
    }
    std::vector<TIconImage> images;
    for (uint16_t i = 0; i < count; ++i) {
        const char* e = bytes.data() + 6 + i * 16;
        const uint32_t size = U32(e + 8), offset = U32(e + 12);
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) {
            throw EFileError("an image of the icon file lies outside the file");
        }
        TIconImage image;
        image.Width = static_cast<uint8_t>(e[0]);
        image.Height = static_cast<uint8_t>(e[1]);
        image.ColorCount = static_cast<uint8_t>(e[2]);
        image.Planes = U16(e + 4);
        image.BitCount = U16(e + 6);
        image.Data.assign(bytes.substr(offset, size));
        images.push_back(std::move(image));
    }
    return images;
}

std::string BuildIconGroup(const std::vector<TIconImage>& images, uint16_t firstId)
{
    std::string s;
    Put16(s, 0);
    Put16(s, 1);
    Put16(s, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const auto& image = images[i];
        s.push_back(static_cast<char>(image.Width));
        s.push_back(static_cast<char>(image.Height));
        s.push_back(static_cast<char>(image.ColorCount));
        s.push_back('\0');
        Put16(s, image.Planes);
        Put16(s, image.BitCount);
        Put32(s, static_cast<uint32_t>(image.Data.size()));
        Put16(s, static_cast<uint32_t>(firstId + i));
    }
    return s;
}

std::vector<uint16_t> IconIdsOfGroup(std::string_view group)
{
    std::vector<uint16_t> ids;
    if (group.size() < 6) {
        return ids;
    }
    const uint16_t count = U16(group.data() + 4);
    for (uint16_t i = 0; i < count && 6 + (i + 1) * 14u <= group.size(); ++i) {
        ids.push_back(U16(group.data() + 6 + i * 14 + 12));
    }
    return ids;
}

std::string BuildVersionInfo(const TExeInfo& info)
{
    const std::pair<std::u16string_view, const std::u16string*> strings[] = {
        {u"Comments", &info.Comments},
        {u"CompanyName", &info.CompanyName},
        {u"FileDescription", &info.FileDescription},
        {u"FileVersion", &info.FileVersion},
        {u"InternalName", &info.InternalName},
        {u"LegalCopyright", &info.LegalCopyright},
        {u"LegalTrademarks", &info.LegalTrademarks},
        {u"OriginalFilename", &info.OriginalFilename},
        {u"PrivateBuild", &info.PrivateBuild},
        {u"ProductName", &info.ProductName},
        {u"ProductVersion", &info.ProductVersion},
    };
    std::vector<std::string> entries;
    for (const auto& [key, value] : strings) {
        if (value->empty()) {
            continue;
        }
        // The value's own length field counts characters, the node's bytes: the
        // node is the tighter bound.
        if (value->size() > (kMaxVersionNode - 6 - 2 * (key.size() + 1) - 2) / 2 - 1) {
            throw EFileError("the version information value of " + Utf16ToUtf8(key) + " is too long (" +
                             std::to_string(value->size()) + " characters; at most " +
                             std::to_string((kMaxVersionNode - 6 - 2 * (key.size() + 1) - 2) / 2 - 1) + " fit)");
        }
        std::string text;
        PutText(text, *value);
        entries.push_back(VersionNode(key, 1, text, static_cast<uint16_t>(value->size() + 1), {}));
    }
    const std::string table = VersionNode(u"040904B0", 1, {}, 0, entries);
    const std::string stringInfo = VersionNode(u"StringFileInfo", 1, {}, 0, {table});
    std::string translation;
    Put16(translation, 0x0409);
    Put16(translation, 0x04B0);
    const std::string var = VersionNode(u"Translation", 0, translation, 4, {});
    const std::string varInfo = VersionNode(u"VarFileInfo", 1, {}, 0, {var});

    const auto [fileMs, fileLs] = VersionNumbers(info.FileVersion);
    const auto [productMs, productLs] = VersionNumbers(info.ProductVersion);
    std::string fixed;
    Put32(fixed, 0xFEEF04BD); // signature
    Put32(fixed, 0x00010000); // structure version 1.0
    Put32(fixed, fileMs);
    Put32(fixed, fileLs);
    Put32(fixed, productMs);
    Put32(fixed, productLs);
    Put32(fixed, 0x3F);       // flags mask
    Put32(fixed, 0);          // flags
    Put32(fixed, 0x00040004); // VOS_NT_WINDOWS32
    Put32(fixed, 1);          // VFT_APP
    Put32(fixed, 0);          // subtype
    Put32(fixed, 0);          // date
    Put32(fixed, 0);
    return VersionNode(u"VS_VERSION_INFO", 0, fixed, 52, {stringInfo, varInfo});
}

} // namespace Folio::Shared
