// The loop that the decoders built on a library's streaming interface (libbz2, liblzma)
// share: the codec is given more input whenever it has used up what it had, and called
// until the caller's buffer is full, its stream ends or it fails.
#pragma once

#include "package/ZipArchive.h"

#include <cstddef>
#include <cstdint>

namespace Folio::Shared {

// What one call into a codec came to.
enum class TCodecStep : uint8_t {
    Running,  // more may follow
    Ended,    // the codec's stream ended
    Failed,   // the codec refused the data, or the input ran out before the stream ended
};

// A codec is anything with
//   bool Starved() const;    no input at hand
//   void Feed();             the next input at hand (none left: stays starved)
//   TCodecStep Step(uint8_t* out, size_t room, size_t& written, ZipEntryStatus& failure);
//                            one call into the library, adding what it wrote to `written`
//                            and, when it failed, saying why in `failure`.
// Up to `capacity` bytes from `produced` on into `out`, `produced` counting them; Running
// when the buffer is full.
template <class TCodec>
TCodecStep DriveCodec(TCodec& codec, uint8_t* out, size_t capacity, size_t& produced, ZipEntryStatus& failure)
{
    while (produced < capacity) {
        if (codec.Starved()) {
            codec.Feed();
        }
        const TCodecStep step = codec.Step(out + produced, capacity - produced, produced, failure);
        if (step != TCodecStep::Running) {
            return step;
        }
    }
    return TCodecStep::Running;
}

} // namespace Folio::Shared
