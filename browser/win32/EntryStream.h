// The IStream that WebView2 reads a streamed answer from: the entry is decoded as the
// browser reads, on the browser's own threads. The object is agile (IAgileObject and
// the free-threaded marshaler), as the response's content stream should be, and locks
// each call.
#pragma once

#include "package/ZipEntryReader.h"

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <memory>

namespace Folio::Win32 {

// length bytes of the reader's entry from start. A failure found while reading (a CRC
// mismatch at the entry's end, damaged data) makes Read return
// HRESULT_FROM_WIN32(ERROR_CRC), so the browser sees a broken response rather than
// wrong bytes. Read, Seek and Stat work; the rest answer E_NOTIMPL. Null when out of
// memory.
Microsoft::WRL::ComPtr<IStream> CreateEntryStream(std::shared_ptr<Shared::TZipEntryReader> reader, uint64_t start,
                                                  uint64_t length) noexcept;

} // namespace Folio::Win32
