// The file-system port on the host: std::filesystem, with "\" read as "/" so that the
// paths the bridge builds in Windows form name the same places here.
#include "platform/FileSystem.h"

#include "util/TextCodecs.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Folio::Platform {

namespace {

namespace fs = std::filesystem;

fs::path HostPath(const std::u16string& path)
{
    std::string text = Shared::Utf16ToUtf8(path);
    for (auto& c : text) {
        if (c == '\\') {
            c = '/';
        }
    }
    return fs::path(text);
}

// A file opened for writing only, written straight through (the callers write large pieces).
class HostFileWriter final : public TFileWriter {
public:
    explicit HostFileWriter(std::string path) : FPath(std::move(path)) {}
    ~HostFileWriter() override
    {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    void Adopt(int fd) { FFd = fd; }
    void Write(std::string_view bytes) override
    {
        while (!bytes.empty()) {
            const ssize_t n = FFd < 0 ? (errno = EBADF, -1) : ::write(FFd, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                Fail(n == 0 ? ENOSPC : errno);
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }
    void Close() override
    {
        const int fd = std::exchange(FFd, -1);
        if (fd >= 0 && ::close(fd) != 0) {
            Fail(errno);
        }
    }

private:
    [[noreturn]] void Fail(int error) { throw EFileCreateError(FPath, std::strerror(error)); }

    int FFd = -1;
    std::string FPath;
};

// A file open for pread: no shared file position, so threads may read at once.
class HostReadableFile final : public TReadableFile {
public:
    HostReadableFile(int fd, uint64_t size) : FFd(fd), FSize(size) {}
    ~HostReadableFile() override { ::close(FFd); }
    uint64_t Size() const override { return FSize; }
    std::optional<size_t> ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override
    {
        if (offset > static_cast<uint64_t>(INT64_MAX)) {
            return size_t{0};
        }
        size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(FFd, buffer + done, count - done, static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return std::nullopt;
            }
            if (n == 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        return done;
    }

private:
    int FFd;
    uint64_t FSize;
};

class HostFileSystem final : public TFileSystem {
public:
    bool FileExists(const std::u16string& path) override
    {
        std::error_code ec;
        return fs::is_regular_file(HostPath(path), ec);
    }
    bool DirectoryExists(const std::u16string& path) override
    {
        std::error_code ec;
        return fs::is_directory(HostPath(path), ec);
    }
    bool RemoveFile(const std::u16string& path) override
    {
        std::error_code ec;
        const auto p = HostPath(path);
        return !fs::is_directory(p, ec) && fs::remove(p, ec);
    }
    bool DeleteTree(const std::u16string& path) override
    {
        std::error_code ec;
        const auto p = HostPath(path);
        if (!fs::is_directory(p, ec)) {
            return false;
        }
        return fs::remove_all(p, ec) > 0 && !ec;
    }
    bool MoveReplacing(const std::u16string& from, const std::u16string& to) override
    {
        std::error_code ec;
        fs::rename(HostPath(from), HostPath(to), ec);
        return !ec;
    }
    void ForceDirectories(const std::u16string& path) override
    {
        std::error_code ec;
        fs::create_directories(HostPath(path), ec);
    }
    void WriteFile(const std::u16string& path, std::string_view bytes) override
    {
        std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
        if (!out) {
            throw EFileCreateError("Cannot create file \"" + Shared::Utf16ToUtf8(path) + "\". " + std::strerror(errno));
        }
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            throw EFileCreateError("Cannot create file \"" + Shared::Utf16ToUtf8(path) + "\". " + std::strerror(errno));
        }
    }
    std::unique_ptr<TFileWriter> CreateNewFile(const std::u16string& path) override
    {
        // Made before the file, so that running out of memory leaves nothing to undo.
        auto writer = std::make_unique<HostFileWriter>(Shared::Utf16ToUtf8(path));
        const int fd = ::open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                return nullptr;
            }
            throw EFileCreateError(Shared::Utf16ToUtf8(path), std::strerror(errno));
        }
        writer->Adopt(fd);
        return writer;
    }
    std::optional<std::vector<uint8_t>> ReadFile(const std::u16string& path) override
    {
        const auto p = HostPath(path);
        std::error_code ec;
        // A folder opens as a stream here; Windows refuses it, and so does this.
        if (!fs::is_regular_file(p, ec)) {
            return std::nullopt;
        }
        std::ifstream in(p, std::ios::binary);
        if (!in) {
            return std::nullopt;
        }
        try {
            std::vector<uint8_t> bytes(static_cast<size_t>(fs::file_size(p, ec)));
            if (ec) {
                return std::nullopt;
            }
            in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            if (static_cast<size_t>(in.gcount()) != bytes.size()) {
                return std::nullopt;
            }
            return bytes;
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
    }
    // The host has no sharing modes: the open stream keeps reading the file it opened,
    // even when another is renamed over its name.
    std::unique_ptr<THeldFile> OpenHeld(const std::u16string& path) override
    {
        std::error_code ec;
        if (!fs::is_regular_file(HostPath(path), ec)) {
            return nullptr;
        }
        auto held = std::make_unique<THeldHostFile>(HostPath(path));
        return held->Open() ? std::move(held) : nullptr;
    }

    std::unique_ptr<TReadableFile> OpenForReading(const std::u16string& path) override
    {
        const int fd = ::open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        struct stat st{};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<HostReadableFile>(fd, static_cast<uint64_t>(st.st_size));
    }

private:
    class THeldHostFile final : public THeldFile {
    public:
        explicit THeldHostFile(const fs::path& path) : FIn(path, std::ios::binary) {}
        bool Open() const { return bool(FIn); }
        std::optional<std::vector<uint8_t>> ReadAll() override
        {
            FIn.clear();
            FIn.seekg(0);
            try {
                std::vector<uint8_t> bytes;
                char buffer[64 * 1024];
                while (FIn.read(buffer, sizeof buffer) || FIn.gcount() > 0) {
                    bytes.insert(bytes.end(), buffer, buffer + FIn.gcount());
                }
                if (FIn.bad()) {
                    return std::nullopt;
                }
                return bytes;
            } catch (const std::bad_alloc&) {
                return std::nullopt;
            }
        }

        std::optional<uint64_t> Size() override
        {
            FIn.clear();
            FIn.seekg(0, std::ios::end);
            const auto end = FIn.tellg();
            if (!FIn || end < 0) {
                return std::nullopt;
            }
            return static_cast<uint64_t>(end);
        }
        std::optional<size_t> ReadAt(uint64_t offset, uint8_t* out, size_t capacity) override
        {
            FIn.clear();
            FIn.seekg(static_cast<std::streamoff>(offset));
            if (!FIn) {
                return std::nullopt;
            }
            FIn.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(capacity));
            if (FIn.bad()) {
                return std::nullopt;
            }
            return static_cast<size_t>(FIn.gcount());
        }

    private:
        std::ifstream FIn;
    };
};

} // namespace

TFileSystem& SystemFileSystem()
{
    static HostFileSystem fileSystem;
    return fileSystem;
}

} // namespace Folio::Platform
