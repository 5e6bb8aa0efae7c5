// Resources of an executable file, read and rewritten on its bytes by PeResources:
// the same code on every system.
#include "platform/ResourceEditor.h"

#include "platform/PeResources.h"
#include "util/TextCodecs.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace Folio::Platform {

namespace {

std::string Shown(const std::u16string& path) { return "'" + Shared::Utf16ToUtf8(path) + "'"; }

std::string ReadBytes(const std::u16string& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read the resources of the executable " + Shown(path) +
                                 ": it cannot be opened");
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw std::runtime_error("cannot read the executable " + Shown(path));
    }
    return bytes;
}

std::span<const uint8_t> Span(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

} // namespace

std::vector<Resource> ListResources(const std::u16string& exePath, uint16_t type)
{
    std::vector<Resource> all = ReadPeResources(Span(ReadBytes(exePath)));
    std::erase_if(all, [&](const Resource& r) { return !r.Type.Name.empty() || r.Type.Id != type; });
    return all;
}

void UpdateResources(const std::u16string& exePath, const std::vector<Resource>& changes)
{
    const std::string before = ReadBytes(exePath);
    std::vector<Resource> all = ReadPeResources(Span(before));
    for (const auto& c : changes) {
        std::erase_if(all, [&](const Resource& r) {
            return r.Type == c.Type && r.Name == c.Name && r.Language == c.Language;
        });
        if (!c.Delete) {
            all.push_back(c);
        }
    }
    const std::string after = WritePeResources(Span(before), all);
    std::ofstream out(std::filesystem::path(exePath), std::ios::binary | std::ios::trunc);
    out.write(after.data(), static_cast<std::streamsize>(after.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write the executable " + Shown(exePath));
    }
}

} // namespace Folio::Platform
