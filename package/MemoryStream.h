// TMemoryStream: a growable byte buffer with a position, the stream that archive
// extraction and the executable copy write into.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace Folio::Shared {

class TMemoryStream {
public:
    size_t Position() const { return FPosition; }
    void SetPosition(size_t position) { FPosition = position; }
    size_t Size() const { return FData.size(); }

    // Writes at the position, overwriting and then growing the buffer.
    void Write(const uint8_t* bytes, size_t count)
    {
        if (FPosition > FData.size()) {
            FData.resize(FPosition);
        }
        const size_t overlap = std::min(count, FData.size() - FPosition);
        if (overlap > 0) {
            std::memcpy(FData.data() + FPosition, bytes, overlap);
        }
        FData.insert(FData.end(), bytes + overlap, bytes + count);
        FPosition += count;
    }
    void Write(std::span<const uint8_t> bytes) { Write(bytes.data(), bytes.size()); }

    std::span<const uint8_t> Bytes() const { return FData; }
    std::vector<uint8_t>& Buffer() { return FData; }

private:
    std::vector<uint8_t> FData;
    size_t FPosition = 0;
};

} // namespace Folio::Shared
