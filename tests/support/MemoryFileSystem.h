// Test helper: a file system held in memory under Windows paths, for code that reads
// files through the port (request serving); every path asked about is kept, and the
// bytes handed out counted.
#pragma once

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace FolioTest {

class MemoryFileSystem final : public Folio::Platform::TFileSystem {
public:
    std::map<std::u16string, std::string> Files;
    std::set<std::u16string> Unreadable; // there, but reading fails (locked)
    std::vector<std::u16string> Asked;
    // Files of any size that take no memory: the byte at offset i is GeneratedByte(i).
    // Reading one whole fails, as it would for a file too large for memory.
    std::map<std::u16string, uint64_t> Generated;
    uint64_t BytesRead = 0; // handed out by ReadFile and by ReadAt of open files

    static uint8_t GeneratedByte(uint64_t offset) { return static_cast<uint8_t>((offset * 2654435761u) >> 13); }

    bool FileExists(const std::u16string& path) override
    {
        Asked.push_back(path);
        return Files.count(path) > 0 || Unreadable.count(path) > 0 || Generated.count(path) > 0;
    }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) override
    {
        Asked.push_back(path);
        const auto it = Files.find(path);
        if (it == Files.end()) {
            return std::nullopt;
        }
        BytesRead += it->second.size();
        return std::vector<uint8_t>(it->second.begin(), it->second.end());
    }
    // Reads what Files holds at the time of each read, so a test may shorten or remove
    // the file while it is open; a file removed from Files fails to read.
    std::unique_ptr<Folio::Platform::TReadableFile> OpenForReading(const std::u16string& path) override
    {
        Asked.push_back(path);
        const auto it = Files.find(path);
        const auto generated = Generated.find(path);
        if (it == Files.end() && generated == Generated.end()) {
            return nullptr;
        }
        return std::make_unique<Readable>(*this, path, it != Files.end() ? it->second.size() : generated->second);
    }
    bool DirectoryExists(const std::u16string&) override { return false; }
    bool RemoveFile(const std::u16string&) override { return false; }
    bool DeleteTree(const std::u16string&) override { return false; }
    bool MoveReplacing(const std::u16string&, const std::u16string&) override { return false; }
    void ForceDirectories(const std::u16string&) override {}
    void WriteFile(const std::u16string&, std::string_view) override {}
    std::unique_ptr<Folio::Platform::THeldFile> OpenHeld(const std::u16string& path) override
    {
        Asked.push_back(path);
        const auto it = Files.find(path);
        if (it == Files.end()) {
            return nullptr;
        }
        // Holds a copy: later changes to Files are not seen, as a held file does not change.
        class Held final : public Folio::Platform::THeldFile {
        public:
            explicit Held(std::string bytes) : FBytes(std::move(bytes)) {}
            std::optional<std::vector<uint8_t>> ReadAll() override
            {
                return std::vector<uint8_t>(FBytes.begin(), FBytes.end());
            }
            std::optional<uint64_t> Size() override { return FBytes.size(); }
            std::optional<size_t> ReadAt(uint64_t offset, uint8_t* out, size_t capacity) override
            {
                const size_t at = static_cast<size_t>(std::min<uint64_t>(offset, FBytes.size()));
                return FBytes.copy(reinterpret_cast<char*>(out), capacity, at);
            }

        private:
            std::string FBytes;
        };
        return std::make_unique<Held>(it->second);
    }
    // A new file appears empty in Files and grows as it is written.
    std::unique_ptr<Folio::Platform::TFileWriter> CreateNewFile(const std::u16string& path) override
    {
        Asked.push_back(path);
        if (Files.count(path) > 0 || Unreadable.count(path) > 0) {
            return nullptr;
        }
        Files[path];
        return std::make_unique<Writer>(*this, path);
    }

private:
    class Readable final : public Folio::Platform::TReadableFile {
    public:
        Readable(MemoryFileSystem& files, std::u16string path, uint64_t size)
            : FFiles(files), FPath(std::move(path)), FSize(size)
        {
        }
        uint64_t Size() const override { return FSize; }
        std::optional<size_t> ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override
        {
            uint64_t size = 0;
            const std::string* bytes = nullptr;
            if (const auto it = FFiles.Files.find(FPath); it != FFiles.Files.end()) {
                bytes = &it->second;
                size = bytes->size();
            } else if (const auto generated = FFiles.Generated.find(FPath); generated != FFiles.Generated.end()) {
                size = generated->second;
            } else {
                return std::nullopt; // gone
            }
            const size_t n = offset >= size ? 0 : static_cast<size_t>(std::min<uint64_t>(count, size - offset));
            for (size_t i = 0; i < n; ++i) {
                buffer[i] = bytes ? static_cast<uint8_t>((*bytes)[static_cast<size_t>(offset) + i])
                                  : GeneratedByte(offset + i);
            }
            FFiles.BytesRead += n;
            return n;
        }

    private:
        MemoryFileSystem& FFiles;
        std::u16string FPath;
        uint64_t FSize;
    };

    class Writer final : public Folio::Platform::TFileWriter {
    public:
        Writer(MemoryFileSystem& files, std::u16string path) : FFiles(files), FPath(std::move(path)) {}
        void Write(std::string_view bytes) override { FFiles.Files[FPath].append(bytes); }
        void Close() override {}

    private:
        MemoryFileSystem& FFiles;
        std::u16string FPath;
    };
};

} // namespace FolioTest
