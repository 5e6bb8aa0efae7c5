// A streamed body over an entry reader (see StreamedBody.h).
#include "browser/StreamedBody.h"

#include <algorithm>

namespace Folio::Browser {

TStreamedBody::TStreamedBody(std::shared_ptr<Shared::TZipEntryReader> reader, uint64_t start, uint64_t length)
    : FReader(std::move(reader)), FStart(start), FLength(length)
{
}

uint64_t TStreamedBody::Position() const
{
    std::lock_guard lock(FLock);
    return FPosition;
}

bool TStreamedBody::Failed() const
{
    std::lock_guard lock(FLock);
    return FFailed;
}

bool TStreamedBody::Seek(uint64_t position)
{
    std::lock_guard lock(FLock);
    if (position > FLength) {
        return false;
    }
    FPosition = position;
    return true;
}

bool TStreamedBody::Read(uint8_t* buffer, size_t count, size_t& read)
{
    std::lock_guard lock(FLock);
    read = 0;
    if (FFailed || !FReader) {
        return false;
    }
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(count, FLength - FPosition));
    if (wanted == 0) {
        return true;
    }
    // The reader keeps its place between reads; it moves only after a seek of ours.
    if (FReader->Position() != FStart + FPosition && !FReader->Seek(FStart + FPosition)) {
        FFailed = true;
        return false;
    }
    while (read < wanted) {
        const size_t got = FReader->Read(buffer + read, wanted - read);
        if (got == 0) {
            break;
        }
        read += got;
    }
    // An entry shorter than it said, or one whose check failed at its end.
    if (read < wanted || FReader->Status() != Shared::ZipEntryStatus::Ok) {
        FFailed = true;
        read = 0;
        return false;
    }
    FPosition += read;
    return true;
}

} // namespace Folio::Browser
