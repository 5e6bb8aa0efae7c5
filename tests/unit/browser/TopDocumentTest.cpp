// The committed document's id and trust, and the limit on the windows pages open.
#include "browser/TopDocument.h"

#include <gtest/gtest.h>

using Folio::Browser::TRateLimit;
using Folio::Browser::TTopDocument;

TEST(TopDocument, EachCommitIsANewDocumentJudgedOnce)
{
    TTopDocument document;
    EXPECT_EQ(document.Id(), 0u);
    EXPECT_FALSE(document.PackagePage()) << "nothing committed is trusted with nothing";
    document.Commit(true);
    const uint64_t first = document.Id();
    EXPECT_TRUE(document.PackagePage());
    document.Commit(false);
    EXPECT_NE(document.Id(), first);
    EXPECT_FALSE(document.PackagePage());
    document.Commit(true); // the same page again is still another document
    EXPECT_NE(document.Id(), first);
}

TEST(RateLimit, AtMostSoManyWithinAnyPeriod)
{
    TRateLimit limit(3, 10000);
    struct Case {
        uint64_t At;
        bool Allowed;
    } cases[] = {
        {1000, true}, {1001, true}, {5000, true},
        {5001, false},  // three within the last ten seconds
        {10999, false}, // the first is 9999 ms old: still counted
        {11000, true},  // it has aged out
        {11001, true},  // so has the second
        {11002, false}, // 5000, 11000 and 11001 fill it again; refusals are not counted
        {21001, true},  // all three have aged out
    };
    for (const auto& c : cases) {
        EXPECT_EQ(limit.Allow(c.At), c.Allowed) << "at " << c.At;
    }
}
