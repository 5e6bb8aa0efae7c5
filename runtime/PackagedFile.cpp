// Files written out of the package (see PackagedFile.h).
#include "runtime/PackagedFile.h"

#include "util/TemporaryName.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace Folio::Runtime {

namespace {

constexpr size_t kCompareChunk = 64 * 1024;

// The file at path, held, when it holds exactly these bytes: its size first, then its
// bytes a chunk at a time (the loader is read through once at each start).
std::unique_ptr<Platform::THeldFile> HoldIfSame(Platform::TFileSystem& files, const std::u16string& path,
                                                const std::vector<uint8_t>& bytes)
{
    auto held = files.OpenHeld(path);
    if (!held || held->Size() != uint64_t(bytes.size())) {
        return nullptr;
    }
    std::vector<uint8_t> chunk(std::min(bytes.size(), kCompareChunk));
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min(bytes.size() - at, chunk.size());
        if (held->ReadAt(at, chunk.data(), n) != n ||
            !std::equal(chunk.begin(), chunk.begin() + ptrdiff_t(n), bytes.begin() + ptrdiff_t(at))) {
            return nullptr;
        }
        at += n;
    }
    return held;
}

} // namespace

TPackagedFileResult WritePackagedFile(const Shared::TZipArchive& archive, std::u16string_view entryName,
                                      const std::u16string& path, Platform::TFileSystem& files, bool keepMatching)
{
    const int index = archive.Find(entryName);
    if (index < 0) {
        return {TPackagedFile::EntryMissing, {}, nullptr};
    }
    std::vector<uint8_t> bytes;
    const auto status = archive.Read(size_t(index), bytes);
    if (status != Shared::ZipEntryStatus::Ok) {
        return {TPackagedFile::EntryUnreadable, Shared::ZipEntryStatusMessage(status), nullptr};
    }
    if (keepMatching) {
        if (auto held = HoldIfSame(files, path, bytes)) {
            return {TPackagedFile::Kept, {}, std::move(held)};
        }
    }
    // A fresh name, created exclusively: nothing that was lying there (a link another
    // program planted) is written through.
    const std::u16string temporary = Shared::TemporaryNameBeside(path);
    try {
        auto writer = files.CreateNewFile(temporary);
        if (!writer) {
            return {TPackagedFile::NotWritten,
                    "Cannot create file \"" + Shared::Utf16ToUtf8(temporary) + "\". The name is taken.", nullptr};
        }
        writer->Write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        writer->Close();
    } catch (const Platform::EFileCreateError& e) {
        files.RemoveFile(temporary);
        return {TPackagedFile::NotWritten, e.what(), nullptr};
    }
    const std::string shown = "\"" + Shared::Utf16ToUtf8(path) + "\"";
    if (!files.MoveReplacing(temporary, path)) {
        files.RemoveFile(temporary);
        // A folder of that name is never replaced and never serves: it stays in the way
        // at every start until someone removes it.
        if (files.DirectoryExists(path)) {
            return {TPackagedFile::NotWritten, "Cannot create file " + shown + ". A folder of that name is in the way.",
                    nullptr};
        }
        // Another start may have written the same file meanwhile; a running instance of
        // another version may hold a different one, which is never used in its place.
        if (auto held = HoldIfSame(files, path, bytes)) {
            return {TPackagedFile::Kept, {}, std::move(held)};
        }
        return {TPackagedFile::InUse,
                "Cannot replace file " + shown + ". Another version of this application is running and uses it.",
                nullptr};
    }
    if (auto held = HoldIfSame(files, path, bytes)) {
        return {TPackagedFile::Written, {}, std::move(held)};
    }
    return {TPackagedFile::NotWritten, "Cannot create file " + shown + ". It was changed as it was written.", nullptr};
}

} // namespace Folio::Runtime
