// Dialogs, files, folders and base64 (ids 20001-20003, 30001-30004, 40001-40007, 90001).
#include "bridge/BrowserExternalModule.h"
#include "bridge/PageText.h"
#include "bridge/Protocol.h"
#include "util/StrUtils.h"
#include "util/TemporaryName.h"
#include "util/TextCodecs.h"

#include <cctype>
#include <memory>
#include <optional>
#include <span>

namespace Folio::Bridge {

using Shared::TStrUtils;

namespace {

std::u16string Json(std::u16string_view text) { return TStrUtils::StringToJsonString(text); }

std::u16string WithBackslash(std::u16string path)
{
    if (path.empty() || (path.back() != u'\\' && path.back() != u'/')) {
        path.push_back(u'\\');
    }
    return path;
}

// A new file of a fresh name beside a target ("<target>.<16 hex digits>.tmp"), removed
// unless it was moved over the target. Its failures are the target's: "Cannot create
// file "<target>". <reason>".
class TTemporaryFile {
public:
    TTemporaryFile(Platform::TFileSystem& files, const std::u16string& target) : FFiles(files), FTarget(target)
    {
        for (int attempt = 0; attempt < 16 && !FWriter; ++attempt) {
            FPath = Shared::TemporaryNameBeside(target);
            try {
                FWriter = files.CreateNewFile(FPath);
            } catch (const Platform::EFileCreateError& e) {
                throw Platform::EFileCreateError(Shared::Utf16ToUtf8(target), e.Reason());
            }
        }
        if (!FWriter) {
            throw Platform::EFileCreateError(Shared::Utf16ToUtf8(target), "No free name for a file beside it.");
        }
    }
    ~TTemporaryFile()
    {
        if (FWriter) {
            Remove();
        }
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    Platform::TFileWriter& Writer() { return *FWriter; }

    // Closes the file (what it holds is dropped) and removes it.
    void Remove()
    {
        FWriter.reset();
        FFiles.RemoveFile(FPath);
    }

    // Renames the closed file over the target; when it cannot, removes it and throws.
    void MoveOverTarget()
    {
        FWriter.reset();
        if (!FFiles.MoveReplacing(FPath, FTarget)) {
            FFiles.RemoveFile(FPath);
            throw Platform::EFileCreateError(Shared::Utf16ToUtf8(FTarget),
                                             "It cannot be replaced (a folder, read-only or in use?).");
        }
    }

private:
    Platform::TFileSystem& FFiles;
    std::u16string FTarget, FPath;
    std::unique_ptr<Platform::TFileWriter> FWriter;
};

} // namespace

std::optional<std::u16string> TBrowserExternalModule::RequiredPath(const std::u16string& uuid,
                                                                   const TJsonValue& data, std::u16string_view key,
                                                                   bool resolve)
{
    std::u16string path;
    if (!ReadRequiredPath(path, uuid, data, key, resolve)) {
        return std::nullopt;
    }
    return path;
}

bool TBrowserExternalModule::ReadRequiredPath(std::u16string& path, const std::u16string& uuid,
                                              const TJsonValue& data, std::u16string_view key, bool resolve)
{
    AssignDataText(path, data, key);
    if (path.empty()) {
        ReplyFailure(uuid, Json(u"Missing " + std::u16string(key)));
        return false;
    }
    if (resolve) {
        ResolvePagePathInPlace(path, FPorts.AppDirPath);
    }
    return true;
}

void TBrowserExternalModule::ReplyFolder(const std::u16string& uuid, std::u16string folder)
{
    ReplySuccess(uuid, Json(WithBackslash(std::move(folder))));
}

void TBrowserExternalModule::OpenFile(const std::u16string& uuid, const TJsonValue& data)
{
    const auto fileName = ReadDataText(data, u"fileName");
    const auto title = ReadDataText(data, u"title", u"Open file");
    const auto types = ParseFileTypes(ReadDataText(data, u"fileTypes"));
    const auto chosen = FPorts.Dialogs ? FPorts.Dialogs->OpenFile(title, fileName, types) : std::u16string();
    ReplySuccess(uuid, Json(chosen));
}

void TBrowserExternalModule::SaveFile(const std::u16string& uuid, const TJsonValue& data)
{
    const auto fileName = ReadDataText(data, u"fileName");
    const auto title = ReadDataText(data, u"title", u"Save file");
    const auto types = ParseFileTypes(ReadDataText(data, u"fileTypes"));
    const bool overwritePrompt = ReadDataBool(data, u"overwritePrompt", false);
    const auto chosen =
        FPorts.Dialogs ? FPorts.Dialogs->SaveFile(title, fileName, types, overwritePrompt) : std::u16string();
    ReplySuccess(uuid, Json(chosen));
}

void TBrowserExternalModule::SelFolder(const std::u16string& uuid, const TJsonValue& data)
{
    const auto title = ReadDataText(data, u"title", u"Save file");
    const auto chosen = FPorts.Dialogs ? FPorts.Dialogs->SelectFolder(title) : std::u16string();
    ReplySuccess(uuid, Json(chosen.empty() ? chosen : WithBackslash(chosen)));
}

void TBrowserExternalModule::ReplyPathCheck(const std::u16string& uuid, const TJsonValue& data,
                                            std::u16string_view key,
                                            bool (Platform::TFileSystem::*check)(const std::u16string&))
{
    // The message's own path buffer: these run for every fileExists, without allocating.
    std::u16string outside;
    std::u16string& path = FCurrent ? FCurrent->Path : outside;
    if (ReadRequiredPath(path, uuid, data, key)) {
        ReplySuccess(uuid, FPorts.FileSystem && (FPorts.FileSystem->*check)(path) ? u"true" : u"false");
    }
}

void TBrowserExternalModule::FileExists(const std::u16string& uuid, const TJsonValue& data)
{
    ReplyPathCheck(uuid, data, u"filePath", &Platform::TFileSystem::FileExists);
}

void TBrowserExternalModule::FileDelete(const std::u16string& uuid, const TJsonValue& data)
{
    ReplyPathCheck(uuid, data, u"filePath", &Platform::TFileSystem::RemoveFile);
}

void TBrowserExternalModule::DirExists(const std::u16string& uuid, const TJsonValue& data)
{
    ReplyPathCheck(uuid, data, u"dirPath", &Platform::TFileSystem::DirectoryExists);
}

void TBrowserExternalModule::DeleteDir(const std::u16string& uuid, const TJsonValue& data)
{
    ReplyPathCheck(uuid, data, u"dirPath", &Platform::TFileSystem::DeleteTree);
}

void TBrowserExternalModule::WriteFileFunction(const std::u16string& uuid, const TJsonValue& data,
                                               std::string (*bytesOf)(std::u16string_view))
{
    const auto path = RequiredPath(uuid, data, u"filePath");
    if (!path) {
        return;
    }
    if (FPorts.FileSystem) {
        FPorts.FileSystem->ForceDirectories(FolderOf(*path));
    }
    try {
        const std::string bytes = bytesOf(ReadDataText(data, u"contents"));
        if (!FPorts.FileSystem) {
            throw Platform::EFileCreateError("Cannot create file \"" + Shared::Utf16ToUtf8(*path) + "\".");
        }
        FPorts.FileSystem->WriteFile(*path, bytes);
    } catch (const std::exception& e) {
        ReplyFailure(uuid, Json(Shared::Utf8ToUtf16(e.what())));
        return;
    }
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::WriteTextFile(const std::u16string& uuid, const TJsonValue& data)
{
    WriteFileFunction(uuid, data, &TextFileBytes);
}

void TBrowserExternalModule::ExtractFile(const std::u16string& uuid, const TJsonValue& data)
{
    const auto source = RequiredPath(uuid, data, u"sourceFile", false);
    if (!source) {
        return;
    }
    const auto target = RequiredPath(uuid, data, u"targetFile", false);
    if (!target) {
        return;
    }
    const std::u16string dirName = FPorts.Settings ? FPorts.Settings->ReadString(u"App", u"DirName", u"") : u"";
    const int index = FPorts.Archive ? FPorts.Archive->Find(dirName + *source) : -1;
    if (index < 0) {
        ReplyFailure(uuid, Json(u"File not found"));
        return;
    }
    if (!FPorts.FileSystem) {
        throw Platform::EFileCreateError("no file system");
    }
    // The entry is decoded through a fixed buffer into a new file beside the target,
    // renamed over the target once the entry has been read whole and its CRC checked:
    // a damaged entry or a full disk leaves the target as it was. A target that cannot
    // be created (here: the temporary file, or the rename) escapes: no reply.
    TTemporaryFile temporary(*FPorts.FileSystem, *target);
    std::optional<Platform::EFileCreateError> writeError;
    const auto status = FPorts.Archive->ReadTo(static_cast<size_t>(index), [&](std::span<const uint8_t> bytes) {
        try {
            temporary.Writer().Write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
            return true;
        } catch (const Platform::EFileCreateError& e) {
            writeError = e;
            return false;
        }
    });
    if (status == Shared::ZipEntryStatus::Ok) {
        try {
            temporary.Writer().Close();
        } catch (const Platform::EFileCreateError& e) {
            writeError = e;
        }
    }
    std::string failure;
    if (writeError) {
        failure = Platform::EFileCreateError(Shared::Utf16ToUtf8(*target), writeError->Reason()).what();
    } else if (status != Shared::ZipEntryStatus::Ok) {
        std::string reason = Shared::ZipEntryStatusMessage(status);
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        failure = "Cannot extract file \"" + Shared::Utf16ToUtf8(FPorts.Archive->Name(static_cast<size_t>(index))) +
                  "\". " + reason;
    }
    if (!failure.empty()) {
        temporary.Remove();
        ReplyFailure(uuid, Json(Shared::Utf8ToUtf16(failure)));
        return;
    }
    temporary.MoveOverTarget();
    ReplySuccess(uuid, u"true");
}

void TBrowserExternalModule::DecodeToFile(const std::u16string& uuid, const TJsonValue& data)
{
    WriteFileFunction(uuid, data, &DecodeBase64);
}

void TBrowserExternalModule::GetTempDir(const std::u16string& uuid, const TJsonValue&)
{
    ReplyFolder(uuid, FPorts.System ? FPorts.System->TempDir() : u"");
}

void TBrowserExternalModule::GetUserDocumentsDir(const std::u16string& uuid, const TJsonValue&)
{
    ReplyFolder(uuid, FPorts.System ? FPorts.System->UserDocumentsDir() : u"");
}

void TBrowserExternalModule::GetUserDesktopDir(const std::u16string& uuid, const TJsonValue&)
{
    ReplyFolder(uuid, FPorts.System ? FPorts.System->UserDesktopDir() : u"");
}

void TBrowserExternalModule::GetAppExecutableDir(const std::u16string& uuid, const TJsonValue&)
{
    ReplyFolder(uuid, FPorts.AppDirPath);
}

void TBrowserExternalModule::GetAppDataDir(const std::u16string& uuid, const TJsonValue&)
{
    ReplyFolder(uuid, FPorts.System ? FPorts.System->UserAppDataDir() : u"");
}

} // namespace Folio::Bridge
