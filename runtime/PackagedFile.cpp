// Files written out of the package (see PackagedFile.h).
#include "runtime/PackagedFile.h"

#include "package/Crc32.h"
#include "util/TextCodecs.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace Folio::Runtime {

namespace {

// Whether the file at path has this size and CRC-32; false when it cannot be read.
bool FileMatches(const std::u16string& path, uint64_t size, uint32_t crc)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    if (!std::filesystem::is_regular_file(p, ec) || std::filesystem::file_size(p, ec) != size || ec) {
        return false;
    }
    std::ifstream in(p, std::ios::binary);
    std::vector<char> buffer(64 * 1024);
    uint32_t state = 0;
    uint64_t seen = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<size_t>(in.gcount());
        state = Shared::Crc32(state, reinterpret_cast<const uint8_t*>(buffer.data()), got);
        seen += got;
    }
    return !in.bad() && seen == size && state == crc;
}

std::u16string TemporaryName(const std::u16string& path)
{
    std::random_device random;
    char tag[20];
    std::snprintf(tag, sizeof tag, ".%08x%08x", unsigned(random()), unsigned(random()));
    return path + std::u16string(tag, tag + 17) + u".tmp";
}

} // namespace

TPackagedFileResult WritePackagedFile(const Shared::TZipArchive& archive, std::u16string_view entryName,
                                      const std::u16string& path, Platform::TFileSystem& files, bool keepMatching)
{
    const int index = archive.Find(entryName);
    if (index < 0) {
        return {TPackagedFile::EntryMissing, {}};
    }
    const Shared::TZipEntry& entry = archive.Entry(size_t(index));
    if (keepMatching && FileMatches(path, entry.UncompressedSize, entry.Crc32)) {
        return {TPackagedFile::Kept, {}};
    }
    std::vector<uint8_t> bytes;
    const auto status = archive.Read(size_t(index), bytes);
    if (status != Shared::ZipEntryStatus::Ok) {
        return {TPackagedFile::EntryUnreadable, Shared::ZipEntryStatusMessage(status)};
    }
    const std::u16string temporary = TemporaryName(path);
    try {
        files.WriteFile(temporary, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    } catch (const Platform::EFileCreateError& e) {
        files.RemoveFile(temporary);
        return {TPackagedFile::NotWritten, e.what()};
    }
    if (!files.MoveReplacing(temporary, path)) {
        files.RemoveFile(temporary);
        // A folder of that name is never replaced and never serves: it stays in the way
        // at every start until someone removes it.
        if (files.DirectoryExists(path)) {
            return {TPackagedFile::NotWritten,
                    "Cannot create file \"" + Shared::Utf16ToUtf8(path) + "\". A folder of that name is in the way."};
        }
        // Another start may have written the same file meanwhile, or a running instance
        // holds the old one open: both leave a file that may serve.
        if (keepMatching && FileMatches(path, entry.UncompressedSize, entry.Crc32)) {
            return {TPackagedFile::Kept, {}};
        }
        return {TPackagedFile::InUse, "Cannot replace the file in use"};
    }
    return {TPackagedFile::Written, {}};
}

} // namespace Folio::Runtime
