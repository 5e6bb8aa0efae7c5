// TStreamedBody: the body of a streamed answer (TServedResponse::Source), read from its
// source as the browser asks for it, so the first bytes go out at once and memory stays
// bounded whatever the size. Positions count from the body's start; calls are locked,
// so the browser may read from any of its threads.
#pragma once

#include "browser/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Folio::Browser {

class TStreamedBody {
public:
    // length bytes of the source from start (start + length <= the source's size).
    TStreamedBody(std::shared_ptr<TByteSource> source, uint64_t start, uint64_t length);

    uint64_t Size() const { return FLength; }
    uint64_t Position() const;
    // Whether a read failed: every read from then on fails.
    bool Failed() const;

    // Moves to position; false beyond Size(). The source is read there at the next read,
    // on the reading thread.
    bool Seek(uint64_t position);

    // Copies up to count bytes at the position into buffer and sets read; read is 0 at
    // the end. False when the source fails (damaged data, a CRC mismatch found at an
    // entry's end, a file that became shorter or went away): the bytes are not to be used.
    bool Read(uint8_t* buffer, size_t count, size_t& read);

private:
    mutable std::mutex FLock;
    std::shared_ptr<TByteSource> FSource;
    const uint64_t FStart;
    const uint64_t FLength;
    uint64_t FPosition = 0;
    bool FFailed = false;
};

} // namespace Folio::Browser
