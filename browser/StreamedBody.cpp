// A streamed body over a source of bytes (see StreamedBody.h).
#include "browser/StreamedBody.h"

#include <algorithm>

namespace Folio::Browser {

TStreamedBody::TStreamedBody(std::shared_ptr<TByteSource> source, uint64_t start, uint64_t length)
    : FSource(std::move(source)), FStart(start), FLength(length)
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
    if (FFailed || !FSource) {
        return false;
    }
    const auto wanted = static_cast<size_t>(std::min<uint64_t>(count, FLength - FPosition));
    if (wanted == 0) {
        return true;
    }
    if (!FSource->ReadAt(FStart + FPosition, buffer, wanted)) {
        FFailed = true;
        return false;
    }
    read = wanted;
    FPosition += read;
    return true;
}

} // namespace Folio::Browser
