// Files written out of the package (see PackagedFile.h).
#include "runtime/PackagedFile.h"

#include "util/TemporaryName.h"
#include "util/TextCodecs.h"

#include <filesystem>
#include <fstream>

namespace Folio::Runtime {

namespace {

// The file at path, held, when it holds exactly these bytes.
std::unique_ptr<Platform::THeldFile> HoldIfSame(Platform::TFileSystem& files, const std::u16string& path,
                                                const std::vector<uint8_t>& bytes)
{
    auto held = files.OpenHeld(path);
    if (!held) {
        return nullptr;
    }
    const auto content = held->ReadAll();
    return content && *content == bytes ? std::move(held) : nullptr;
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
