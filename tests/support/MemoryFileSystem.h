// Test helper: a file system held in memory under Windows paths, for code that reads
// files through the port (request serving); every path asked about is kept.
#pragma once

#include "platform/FileSystem.h"

#include <algorithm>
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

    bool FileExists(const std::u16string& path) override
    {
        Asked.push_back(path);
        return Files.count(path) > 0 || Unreadable.count(path) > 0;
    }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) override
    {
        Asked.push_back(path);
        const auto it = Files.find(path);
        if (it == Files.end()) {
            return std::nullopt;
        }
        return std::vector<uint8_t>(it->second.begin(), it->second.end());
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
