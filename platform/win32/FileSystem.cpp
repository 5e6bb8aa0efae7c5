// The file-system port on Windows: the Win32 calls themselves.
#include "platform/FileSystem.h"

#include "platform/win32/Errors.h"
#include "platform/win32/Handles.h"
#include "platform/win32/SysUtils.h"
#include "util/TextCodecs.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace Folio::Platform {

namespace {

using Win32::W;

// A file opened for writing only; each Write goes to the system at once.
class Win32FileWriter final : public TFileWriter {
public:
    explicit Win32FileWriter(std::string path) : FPath(std::move(path)) {}
    void Adopt(HANDLE file) { FFile.Reset(file); }
    void Write(std::string_view bytes) override
    {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!FFile) {
                Fail(ERROR_INVALID_HANDLE);
            }
            if (!::WriteFile(FFile.Get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
                Fail(GetLastError());
            }
            bytes.remove_prefix(written);
        }
    }
    void Close() override
    {
        const HANDLE file = FFile.Release();
        if (file != INVALID_HANDLE_VALUE && !CloseHandle(file)) {
            Fail(GetLastError());
        }
    }

private:
    [[noreturn]] void Fail(DWORD error) { throw EFileCreateError(FPath, Win32::ErrorText(error)); }

    Win32::UniqueFile FFile;
    std::string FPath;
};

// A file read at positions given with each call (OVERLAPPED offsets on a synchronous
// handle): no shared position to guard, so threads may read at once.
class Win32ReadableFile final : public TReadableFile {
public:
    Win32ReadableFile(Win32::UniqueFile file, uint64_t size) : FFile(std::move(file)), FSize(size) {}
    uint64_t Size() const override { return FSize; }
    std::optional<size_t> ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override
    {
        size_t done = 0;
        while (done < count) {
            const uint64_t at = offset + done;
            if (at > static_cast<uint64_t>(INT64_MAX)) {
                break;
            }
            OVERLAPPED position{};
            position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
            position.OffsetHigh = static_cast<DWORD>(at >> 32);
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(FFile.Get(), buffer + done, chunk, &got, &position)) {
                if (GetLastError() == ERROR_HANDLE_EOF) {
                    break;
                }
                return std::nullopt;
            }
            if (got == 0) {
                break;
            }
            done += got;
        }
        return done;
    }

private:
    Win32::UniqueFile FFile;
    uint64_t FSize;
};

class Win32FileSystem final : public TFileSystem {
public:
    bool FileExists(const std::u16string& path) override
    {
        // Opening follows a link to its target; a folder cannot be opened this way.
        const DWORD attributes = GetFileAttributesW(W(path));
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return false;
        }
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            return true;
        }
        Win32::UniqueFile target(CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(target);
    }
    bool DirectoryExists(const std::u16string& path) override
    {
        const DWORD attributes = GetFileAttributesW(W(path));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    bool RemoveFile(const std::u16string& path) override { return DeleteFileW(W(path)) != FALSE; }
    bool DeleteTree(const std::u16string& path) override { return Win32::TSysUtils::DeleteDirectory(path); }
    void ForceDirectories(const std::u16string& path) override
    {
        if (path.empty() || DirectoryExists(path)) {
            return;
        }
        const size_t slash = path.find_last_of(u"\\/");
        if (slash != std::u16string::npos && slash > 0 && !(slash == 2 && path[1] == u':')) {
            ForceDirectories(path.substr(0, slash));
        }
        CreateDirectoryW(W(path), nullptr);
    }
    bool MoveReplacing(const std::u16string& from, const std::u16string& to) override
    {
        return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    void WriteFile(const std::u16string& path, std::string_view bytes) override
    {
        Win32::UniqueFile file(
            CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            throw EFileCreateError("Cannot create file \"" + Shared::Utf16ToUtf8(path) + "\". " +
                                   Win32::LastErrorText());
        }
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) {
                throw EFileCreateError("Cannot create file \"" + Shared::Utf16ToUtf8(path) + "\". " +
                                       Win32::LastErrorText());
            }
            done += written;
        }
    }
    std::unique_ptr<TFileWriter> CreateNewFile(const std::u16string& path) override
    {
        // Made before the file, so that running out of memory leaves nothing to undo.
        auto writer = std::make_unique<Win32FileWriter>(Shared::Utf16ToUtf8(path));
        const HANDLE file =
            CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) {
                return nullptr;
            }
            throw EFileCreateError(Shared::Utf16ToUtf8(path), Win32::ErrorText(error));
        }
        writer->Adopt(file);
        return writer;
    }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) override
    {
        // Others may keep writing or deleting the file; what is there now is read.
        Win32::UniqueFile file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return ReadWhole(file);
    }
    std::unique_ptr<THeldFile> OpenHeld(const std::u16string& path) override
    {
        // Read sharing only: a library loader or a process start may open it to read
        // or run it, nobody to change, rename or delete it.
        Win32::UniqueFile file(
            CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (!file || !GetFileInformationByHandle(file.Get(), &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return nullptr;
        }
        return std::make_unique<THeldWin32File>(std::move(file));
    }

    std::unique_ptr<TReadableFile> OpenForReading(const std::u16string& path) override
    {
        // Shared as a whole read always was: a file another program writes (a log) is
        // still served, and a file cut or changed while it is streamed fails the body
        // or gives the bytes now there. A delete takes effect when the last handle closes.
        Win32::UniqueFile file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        LARGE_INTEGER size{};
        if (!file || !GetFileInformationByHandle(file.Get(), &information) ||
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(file.Get(), &size) ||
            size.QuadPart < 0) {
            return nullptr;
        }
        return std::make_unique<Win32ReadableFile>(std::move(file), static_cast<uint64_t>(size.QuadPart));
    }

private:
    class THeldWin32File final : public THeldFile {
    public:
        explicit THeldWin32File(Win32::UniqueFile file) : FFile(std::move(file)) {}
        std::optional<std::vector<uint8_t>> ReadAll() override
        {
            LARGE_INTEGER start{};
            if (!SetFilePointerEx(FFile.Get(), start, nullptr, FILE_BEGIN)) {
                return std::nullopt;
            }
            return ReadWhole(FFile);
        }

        std::optional<uint64_t> Size() override
        {
            LARGE_INTEGER size{};
            if (!GetFileSizeEx(FFile.Get(), &size) || size.QuadPart < 0) {
                return std::nullopt;
            }
            return static_cast<uint64_t>(size.QuadPart);
        }
        std::optional<size_t> ReadAt(uint64_t offset, uint8_t* out, size_t capacity) override
        {
            LARGE_INTEGER at{};
            at.QuadPart = static_cast<LONGLONG>(offset);
            if (!SetFilePointerEx(FFile.Get(), at, nullptr, FILE_BEGIN)) {
                return std::nullopt;
            }
            size_t done = 0;
            while (done < capacity) {
                const DWORD chunk = static_cast<DWORD>(std::min<size_t>(capacity - done, 1u << 30));
                DWORD got = 0;
                if (!::ReadFile(FFile.Get(), out + done, chunk, &got, nullptr)) {
                    return std::nullopt;
                }
                if (got == 0) {
                    break; // the file's end
                }
                done += got;
            }
            return done;
        }

    private:
        Win32::UniqueFile FFile;
    };

    static std::optional<std::vector<uint8_t>> ReadWhole(const Win32::UniqueFile& file)
    {
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
            static_cast<uint64_t>(size.QuadPart) > PTRDIFF_MAX) {
            return std::nullopt;
        }
        try {
            std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
            size_t done = 0;
            while (done < bytes.size()) {
                const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
                DWORD got = 0;
                if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &got, nullptr) || got == 0) {
                    return std::nullopt; // a read error, or the file became shorter
                }
                done += got;
            }
            return bytes;
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
    }
};

} // namespace

TFileSystem& SystemFileSystem()
{
    static Win32FileSystem fileSystem;
    return fileSystem;
}

} // namespace Folio::Platform
