// The IStream that WebView2 reads a streamed answer from: the package entry is decoded,
// or the disk file read, as the browser reads, on the browser's own threads. The object is agile (IAgileObject and
// the free-threaded marshaler), as the response's content stream should be, and locks
// each call.
#pragma once

#include "browser/ByteSource.h"
#include "package/ZipEntryReader.h"

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

namespace Folio::Win32 {

// length bytes of the source from start. A failure found while reading (a CRC mismatch
// at an entry's end, damaged data, a file that became shorter or went away) makes Read
// return HRESULT_FROM_WIN32(ERROR_CRC), so the browser sees a broken response rather
// than wrong bytes. Read, Seek and Stat work; the rest answer E_NOTIMPL. Null when out
// of memory.
Microsoft::WRL::ComPtr<IStream> CreateBodyStream(std::shared_ptr<Browser::TByteSource> source, uint64_t start,
                                                 uint64_t length) noexcept;

// The same over a package entry's reader.
Microsoft::WRL::ComPtr<IStream> CreateEntryStream(std::shared_ptr<Shared::TZipEntryReader> reader, uint64_t start,
                                                  uint64_t length) noexcept;

} // namespace Folio::Win32
