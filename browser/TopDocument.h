// What the view's top-level document may do. Every decision that trusts a page (native
// functions, new windows, permissions, files from the disk, where replies go) asks the
// document the view has committed, never a navigation still under way: a page that
// starts to leave for the package's start page is still the page it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace Folio::Browser {

// The committed top-level document. Each new document (a navigation that reached its
// content, a reload, an error page) gets a new id; whether it is a page of the package
// is decided once, from the URI it was committed with. Changes of the URI within the
// document (fragments, the history API) change neither.
class TTopDocument {
public:
    void Commit(bool packagePage)
    {
        ++FId;
        FPackagePage = packagePage;
    }
    // 0 until the first document is committed.
    uint64_t Id() const { return FId; }
    bool PackagePage() const { return FPackagePage; }

private:
    uint64_t FId = 0;
    bool FPackagePage = false;
};

// At most Most events within any Period milliseconds: the new windows pages may open,
// so that a page (or a chain of windows that each open more) cannot flood the desktop.
class TRateLimit {
public:
    TRateLimit(size_t most, uint64_t periodMs) : FMost(most), FPeriod(periodMs) {}

    // Whether an event at nowMs (a monotonic clock) is within the limit; counted if so.
    bool Allow(uint64_t nowMs)
    {
        while (!FTimes.empty() && nowMs - FTimes.front() >= FPeriod) {
            FTimes.pop_front();
        }
        if (FTimes.size() >= FMost) {
            return false;
        }
        FTimes.push_back(nowMs);
        return true;
    }

private:
    const size_t FMost;
    const uint64_t FPeriod;
    std::deque<uint64_t> FTimes;
};

} // namespace Folio::Browser
