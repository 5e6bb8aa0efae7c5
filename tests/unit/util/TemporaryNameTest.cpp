#include "util/TemporaryName.h"

#include <gtest/gtest.h>

#include <set>

using namespace Folio::Shared;

TEST(TemporaryName, BesideTheTargetWithAFreshTagEachTime)
{
    const std::u16string target = u"C:\\Users\\a\\AppData\\Local\\App\\Win32\\loader.dll";
    std::set<std::u16string> names;
    for (int i = 0; i < 64; ++i) {
        const std::u16string name = TemporaryNameBeside(target);
        ASSERT_EQ(name.size(), target.size() + 21);
        EXPECT_EQ(name.substr(0, target.size() + 1), target + u".");
        EXPECT_EQ(name.substr(name.size() - 4), u".tmp");
        for (const char16_t c : name.substr(target.size() + 1, 16)) {
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) << int(c);
        }
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 64u);
}
