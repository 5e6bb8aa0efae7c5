// The sources of streamed answers (see ByteSource.h).
#include "browser/ByteSource.h"

#include <mutex>

namespace Folio::Browser {

namespace {

class TEntrySource final : public TByteSource {
public:
    explicit TEntrySource(std::shared_ptr<Shared::TZipEntryReader> reader) : FReader(std::move(reader)) {}

    uint64_t Size() const override { return FReader->Size(); }

    bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override
    {
        // The reader keeps one position: one read at a time.
        std::lock_guard lock(FLock);
        if (FReader->Position() != offset && !FReader->Seek(offset)) {
            return false;
        }
        size_t read = 0;
        while (read < count) {
            const size_t got = FReader->Read(buffer + read, count - read);
            if (got == 0) {
                break;
            }
            read += got;
        }
        // An entry shorter than it said, or one whose check failed at its end.
        return read == count && FReader->Status() == Shared::ZipEntryStatus::Ok;
    }

private:
    std::mutex FLock;
    std::shared_ptr<Shared::TZipEntryReader> FReader;
};

class TFileSource final : public TByteSource {
public:
    explicit TFileSource(std::unique_ptr<Platform::TReadableFile> file) : FFile(std::move(file)) {}

    uint64_t Size() const override { return FFile->Size(); }

    bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override
    {
        // Positioned reads need no lock. A read that comes short means the file is
        // shorter than when it was opened: what it would give is not the body.
        size_t read = 0;
        while (read < count) {
            const auto got = FFile->ReadAt(offset + read, buffer + read, count - read);
            if (!got || *got == 0) {
                return false;
            }
            read += *got;
        }
        return true;
    }

private:
    std::unique_ptr<Platform::TReadableFile> FFile;
};

} // namespace

std::shared_ptr<TByteSource> EntrySource(std::shared_ptr<Shared::TZipEntryReader> reader)
{
    return std::make_shared<TEntrySource>(std::move(reader));
}

std::shared_ptr<TByteSource> FileSource(std::unique_ptr<Platform::TReadableFile> file)
{
    return std::make_shared<TFileSource>(std::move(file));
}

} // namespace Folio::Browser
