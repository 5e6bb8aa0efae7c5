#include "platform/RoundedCorners.h"

#include <gtest/gtest.h>

using Folio::Platform::CornerPreference;
using T = Folio::Platform::TRoundedCornerType;

TEST(RoundedCorners, OwnSettingFirstThenTheDefault)
{
    const struct {
        T own, fallback;
        int value;
    } cases[] = {
        {T::rcOff, T::rcOn, 1},        {T::rcOn, T::rcOff, 2},          {T::rcSmall, T::rcDefault, 3},
        {T::rcDefault, T::rcOn, 2},    {T::rcDefault, T::rcSmall, 3},   {T::rcDefault, T::rcOff, 1},
        {T::rcDefault, T::rcDefault, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CornerPreference(c.own, c.fallback), c.value);
    }
    EXPECT_EQ(Folio::Platform::DefaultRoundedCorners, T::rcOn);
}
