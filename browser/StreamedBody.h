// TStreamedBody: the body of a streamed answer (TServedResponse::Reader), read from the
// entry as the browser asks for it, so the first bytes go out at once and memory stays
// bounded. Positions count from the body's start; calls are locked, so the browser may
// read from any of its threads.
#pragma once

#include "package/ZipEntryReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace Folio::Browser {

class TStreamedBody {
public:
    // length bytes of the reader's entry from start (start + length <= the entry's size).
    TStreamedBody(std::shared_ptr<Shared::TZipEntryReader> reader, uint64_t start, uint64_t length);

    uint64_t Size() const { return FLength; }
    uint64_t Position() const;
    // Whether the entry turned out damaged: every read from then on fails.
    bool Failed() const;

    // Moves to position; false beyond Size(). The entry is sought at the next read, on
    // the reading thread.
    bool Seek(uint64_t position);

    // Copies up to count bytes at the position into buffer and sets read; read is 0 at
    // the end. False when the entry fails (damaged data, a CRC mismatch found at its
    // end): the bytes read are not to be used.
    bool Read(uint8_t* buffer, size_t count, size_t& read);

private:
    mutable std::mutex FLock;
    std::shared_ptr<Shared::TZipEntryReader> FReader;
    const uint64_t FStart;
    const uint64_t FLength;
    uint64_t FPosition = 0;
    bool FFailed = false;
};

} // namespace Folio::Browser
