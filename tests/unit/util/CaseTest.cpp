#include "util/Case.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

TEST(Case, FoldsCommonCapitals)
{
    EXPECT_EQ(ToLower(u"ABC xyz \u00C9\u00D7\u00DE \u0178 \u0100\u0139\u017D \u0391\u03A9 \u0410\u042F\u0401"),
              u"abc xyz \u00E9\u00D7\u00FE \u00FF \u0101\u013A\u017E \u03B1\u03C9 \u0430\u044F\u0451");
    EXPECT_TRUE(SameText(u"[App]", u"[aPP]"));
    EXPECT_FALSE(SameText(u"app", u"apps"));
}

TEST(Case, AsciiOnlyFolding)
{
    EXPECT_TRUE(SameTextAscii(u"KIV.INI", u"kiv.ini"));
    EXPECT_FALSE(SameTextAscii(u"\u00C9.txt", u"\u00E9.txt"));
    EXPECT_FALSE(SameTextAscii(u"a/b", u"a\\b"));
    EXPECT_TRUE(StartsTextAscii(u"HTTP://x", u"http://"));
    EXPECT_FALSE(StartsTextAscii(u"htt", u"http://"));
}
