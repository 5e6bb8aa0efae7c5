// Method 14: LZMA in the ZIP form (two version bytes, the length of the properties,
// five property bytes, then a raw LZMA stream), decoded by liblzma into the entry's
// output. Flag bit 1 says an end marker follows the data; the size is known either way.
#include "package/ZipMethods.h"

#include <lzma.h>

#include <algorithm>

namespace Folio::Shared {

namespace {

// The dictionary never needs to be larger than the entry, and is refused past this
// bound: on 32-bit Windows it has to fit beside the output in 2 GiB.
constexpr uint64_t kMaxDictionary = sizeof(void*) == 4 ? uint64_t(512) << 20 : uint64_t(1536) << 20;

} // namespace

ZipEntryStatus DecodeLzmaWhole(std::span<const uint8_t> in, bool endMarker, TMethodOutput& out)
{
    if (in.size() < 9 || (in[2] | (in[3] << 8)) != 5) {
        return ZipEntryStatus::Damaged;
    }
    const uint8_t* props = in.data() + 4;
    if (props[0] >= 9 * 5 * 5) {
        return ZipEntryStatus::Damaged;
    }
    lzma_options_lzma options{};
    options.lc = props[0] % 9;
    options.lp = props[0] / 9 % 5;
    options.pb = props[0] / 45;
    if (options.lc + options.lp > LZMA_LCLP_MAX) {
        // Valid LZMA (7-Zip writes lc up to 8 on request), but liblzma decodes only
        // lc + lp <= 4: the entry is not damaged, we cannot read it.
        return ZipEntryStatus::UnsupportedMethod;
    }
    const uint64_t claimed = props[1] | (props[2] << 8) | (props[3] << 16) | (uint64_t(props[4]) << 24);
    const uint64_t dictionary = std::max<uint64_t>(LZMA_DICT_SIZE_MIN, std::min<uint64_t>(claimed, out.Expected()));
    if (dictionary > kMaxDictionary) {
        return ZipEntryStatus::UnsupportedMethod;
    }
    options.dict_size = static_cast<uint32_t>(dictionary);
    options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
    options.ext_size_low = static_cast<uint32_t>(out.Expected());
    options.ext_size_high = static_cast<uint32_t>(uint64_t(out.Expected()) >> 32);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    lzma_stream s = LZMA_STREAM_INIT;
    // The dictionary is allocated here already: no memory for it is the reader's limit,
    // as in the loop below, not damaged data.
    if (const lzma_ret rc = lzma_raw_decoder(&s, filters); rc != LZMA_OK) {
        return rc == LZMA_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged;
    }
    s.next_in = in.data() + 9;
    s.avail_in = in.size() - 9;
    ZipEntryStatus status = ZipEntryStatus::Damaged;
    uint8_t probe[1];
    for (;;) {
        const bool full = out.Full();
        if (full) {
            // The size is reached: liblzma ends the stream here (after the end marker,
            // when there is one) and never writes the probe byte.
            s.next_out = probe;
            s.avail_out = 1;
        } else {
            if (!out.ReserveSome()) {
                status = ZipEntryStatus::SizeMismatch;
                break;
            }
            s.next_out = out.Cursor();
            s.avail_out = out.Room();
        }
        const size_t before = s.avail_out;
        const lzma_ret rc = lzma_code(&s, LZMA_FINISH);
        if (!full) {
            out.Advance(before - s.avail_out);
        } else if (s.avail_out == 0) {
            status = ZipEntryStatus::SizeMismatch;
            break;
        }
        if (rc == LZMA_STREAM_END) {
            status = out.Full() ? ZipEntryStatus::Ok : ZipEntryStatus::SizeMismatch;
            break;
        }
        if (rc != LZMA_OK) {
            // LZMA_BUF_ERROR: the input ended early; LZMA_MEM_ERROR: no room for the
            // dictionary; anything else: damaged data.
            status = rc == LZMA_MEM_ERROR ? ZipEntryStatus::SizeMismatch : ZipEntryStatus::Damaged;
            break;
        }
    }
    lzma_end(&s);
    return status;
}

} // namespace Folio::Shared
