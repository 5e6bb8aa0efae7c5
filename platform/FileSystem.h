// Port: the files and folders the page's file functions touch. The Win32 adapter makes
// the real calls; the host adapter works on the host's files, reading "\" as "/".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Folio::Platform {

// A file that could not be created or written: "Cannot create file "<path>". <reason>".
class EFileCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // The message for path (UTF-8), with the system's reason also kept apart for callers
    // that report the failure under another name (the target of a temporary file).
    EFileCreateError(std::string_view path, std::string reason)
        : std::runtime_error("Cannot create file \"" + std::string(path) + "\". " + reason), FReason(std::move(reason))
    {
    }
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// A new file written in pieces (TFileSystem::CreateNewFile). Destroying it closes the
// file, keeping what was written.
class TFileWriter {
public:
    virtual ~TFileWriter() = default;
    // Appends the bytes; EFileCreateError when they cannot all be written (disk full...).
    virtual void Write(std::string_view bytes) = 0;
    // Writes out anything held back and closes the file; EFileCreateError when that fails.
    virtual void Close() = 0;
};

// A file held open for reading while this object lives: nobody can write, replace or
// delete it meanwhile (on Windows it is open without write or delete sharing), so what
// was read from it is what a later use of the file by its path finds.
class THeldFile {
public:
    virtual ~THeldFile() = default;
    // The whole file from its start, read through the held handle; nothing on a read
    // error or when it is too large for memory.
    virtual std::optional<std::vector<uint8_t>> ReadAll() = 0;
    // The file's size; nothing when it cannot be had.
    virtual std::optional<uint64_t> Size() = 0;
    // Up to `capacity` bytes from `offset` on, fewer only at the file's end; nothing on a
    // read error.
    virtual std::optional<size_t> ReadAt(uint64_t offset, uint8_t* out, size_t capacity) = 0;
};

// A file open for reading at any position (TFileSystem::OpenForReading), for serving
// parts of it without holding it whole. Other readers may open it meanwhile. Reads
// from several threads at once are safe; offsets are 64-bit in every build.
class TReadableFile {
public:
    virtual ~TReadableFile() = default;
    // The file's size when it was opened.
    virtual uint64_t Size() const = 0;
    // Reads up to count bytes at offset into buffer: how many were read, fewer only at
    // the file's end as it is now (0 at or past it); nothing on a read error.
    virtual std::optional<size_t> ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
};

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    virtual bool FileExists(const std::u16string& path) = 0;      // a file, not a folder; links followed
    virtual bool DirectoryExists(const std::u16string& path) = 0;  // links followed
    virtual bool RemoveFile(const std::u16string& path) = 0;
    virtual bool DeleteTree(const std::u16string& path) = 0;  // a folder with all it holds, for good
    // Creates the folder and its missing parents; the outcome is not reported.
    virtual void ForceDirectories(const std::u16string& path) = 0;
    // Creates (or replaces) the file with these bytes; EFileCreateError when it cannot.
    virtual void WriteFile(const std::u16string& path, std::string_view bytes) = 0;
    // Creates a file that does not exist yet, to be written in pieces; a file that is
    // there is never opened or truncated. Null when the name is taken (a file or folder
    // is there); EFileCreateError when the file cannot be created for another reason.
    virtual std::unique_ptr<TFileWriter> CreateNewFile(const std::u16string& path) = 0;
    // Renames a file over another one, which is replaced in one step: a reader sees the
    // old file or the new one, never a part. False when it cannot (the target in use...).
    virtual bool MoveReplacing(const std::u16string& from, const std::u16string& to) = 0;
    // The whole file's bytes; nothing when it cannot be opened or read to its end
    // (missing, a folder, locked, too large for memory).
    virtual std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) = 0;
    // The file held (see THeldFile); null when it cannot be opened so: missing, a folder,
    // or open for writing or deleting elsewhere.
    virtual std::unique_ptr<THeldFile> OpenHeld(const std::u16string& path) = 0;
    // The file open for positioned reads (see TReadableFile), sharing reading (and, on
    // Windows, deleting) with others; null when it cannot be opened: missing, a folder,
    // locked.
    virtual std::unique_ptr<TReadableFile> OpenForReading(const std::u16string& path) = 0;
};

// The platform's file system.
TFileSystem& SystemFileSystem();

} // namespace Folio::Platform
