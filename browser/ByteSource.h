// TByteSource: where a streamed answer's bytes come from, read at any position: a
// package entry (decoded through its reader) or a file of the disk held open. The
// streamed body (browser/StreamedBody.h) and the COM stream the browser reads from
// (browser/win32/EntryStream.h) work on either alike.
#pragma once

#include "package/ZipEntryReader.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Folio::Browser {

class TByteSource {
public:
    virtual ~TByteSource() = default;
    // The source's size in bytes.
    virtual uint64_t Size() const = 0;
    // Copies count bytes at offset into buffer (offset + count <= Size()). False when
    // they cannot all be had: damaged data, a check that failed at the entry's end, a
    // read error, a file that became shorter or went away. Safe from several threads.
    virtual bool ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
};

// A package entry through its reader, which is sought only when a read does not go on
// from where the last one ended. A stored entry seeks cheaply; a compressed one is
// decoded again from its start for a read behind its position.
std::shared_ptr<TByteSource> EntrySource(std::shared_ptr<Shared::TZipEntryReader> reader);

// A file open for reading: its size is the one it had when opened.
std::shared_ptr<TByteSource> FileSource(std::unique_ptr<Platform::TReadableFile> file);

} // namespace Folio::Browser
