// The encryption keys of large stored, encrypted entries, kept every 64 KB of plain
// bytes as readers meet them: the key stream can only be run forwards from the entry's
// start, so a reader that seeks starts at the nearest kept point instead. One set per
// open archive, shared by its readers on any thread.
#pragma once

#include "package/ZipCrypto.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace Folio::Shared {

class TKeyCheckpoints {
public:
    static constexpr uint64_t kSpacing = 65536;
    // Smaller entries decrypt from their start in a few hundred microseconds.
    static constexpr uint64_t kMinEntrySize = 2 * kSpacing;
    // 12 bytes each: at most 12 MB, enough for every point of a 64 GB package.
    static constexpr size_t kMaxPoints = size_t(1) << 20;

    // The last kept point at or before point `wanted` (point k is at k * kSpacing
    // bytes); 0 when none is, keys then untouched. `known` gets how many are kept.
    size_t Find(uint32_t entry, size_t wanted, TZipKeyState& keys, size_t& known)
    {
        std::lock_guard lock(FLock);
        const auto it = FPoints.find(entry);
        known = it == FPoints.end() ? 0 : it->second.size();
        const size_t k = wanted < known ? wanted : known;
        if (k > 0) {
            keys = it->second[k - 1];
        }
        return k;
    }

    // Keeps point k when it is the next one of the entry (the points kept are always
    // 1..n with no gap, since decryption only ever runs on from a kept point). Returns
    // how many are kept now.
    size_t Add(uint32_t entry, size_t k, const TZipKeyState& keys)
    {
        std::lock_guard lock(FLock);
        try {
            auto& points = FPoints[entry];
            if (points.size() + 1 == k && FTotal < kMaxPoints) {
                points.push_back(keys);
                ++FTotal;
            }
            return points.size();
        } catch (const std::bad_alloc&) {
            return 0; // only a shortcut is lost
        }
    }

private:
    std::mutex FLock;
    std::unordered_map<uint32_t, std::vector<TZipKeyState>> FPoints;
    size_t FTotal = 0;
};

} // namespace Folio::Shared
