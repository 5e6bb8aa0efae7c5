// Method 12: one bzip2 stream per entry, decoded by libbz2 straight into the entry's
// output. The decoder's own memory is fixed by the format (under 4 MB at most).
#include "package/ZipMethods.h"

#include <bzlib.h>

#include <algorithm>

namespace Folio::Shared {

ZipEntryStatus DecodeBzip2(std::span<const uint8_t> in, TMethodOutput& out)
{
    bz_stream s{};
    if (BZ2_bzDecompressInit(&s, 0, 0) != BZ_OK) {
        return ZipEntryStatus::Damaged;
    }
    // libbz2 counts in unsigned int: the input is handed over in slices.
    constexpr size_t kSlice = size_t(1) << 30;
    size_t consumed = 0;
    ZipEntryStatus status = ZipEntryStatus::Damaged;
    char probe[1];
    for (;;) {
        if (s.avail_in == 0 && consumed < in.size()) {
            const size_t n = std::min(kSlice, in.size() - consumed);
            s.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data() + consumed));
            s.avail_in = static_cast<unsigned>(n);
            consumed += n;
        }
        const bool full = out.Full();
        if (full) {
            // Output is complete: only the end of the stream may follow.
            s.next_out = probe;
            s.avail_out = 1;
        } else {
            if (!out.ReserveSome()) {
                status = ZipEntryStatus::SizeMismatch;
                break;
            }
            s.next_out = reinterpret_cast<char*>(out.Cursor());
            s.avail_out = static_cast<unsigned>(std::min(out.Room(), kSlice));
        }
        const unsigned before = s.avail_out, inBefore = s.avail_in;
        const int rc = BZ2_bzDecompress(&s);
        if (full && s.avail_out == 0) {
            status = ZipEntryStatus::SizeMismatch;
            break;
        }
        if (!full) {
            out.Advance(before - s.avail_out);
        }
        if (rc == BZ_STREAM_END) {
            status = out.Full() ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
            break;
        }
        if (rc != BZ_OK) {
            break; // damaged data, or a bad magic
        }
        if (s.avail_out == before && s.avail_in == inBefore && consumed == in.size()) {
            break; // the input ended before the stream did
        }
    }
    BZ2_bzDecompressEnd(&s);
    return status;
}

} // namespace Folio::Shared
