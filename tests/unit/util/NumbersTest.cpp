#include "util/Numbers.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

namespace {
constexpr std::optional<int32_t> none = std::nullopt;
}

TEST(Numbers, SettingsRule)
{
    const std::pair<std::u16string, std::optional<int32_t>> cases[] = {
        {u"0", 0}, {u"1024", 1024}, {u"-50", -50}, {u"+7", 7}, {u"$1F", 31}, {u"0x1", 1}, {u"0X1f", 31},
        {u"0xFF00001A", int32_t(0xFF00001A)}, {u"$FFFFFFFF", -1}, {u"2147483647", 2147483647},
        {u"-2147483648", INT32_MIN}, {u"2147483648", none}, {u"$100000000", none}, {u"", none}, {u"0x", none},
        {u"$", none}, {u"true", none}, {u"12px", none}, {u" 12", none}, {u"x12", none}, {u"1.5", none},
        {u"-", none},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseSettingsInteger(text), expected) << testing::PrintToString(text);
    }
}

TEST(Numbers, StrictRule)
{
    const std::pair<std::u16string, std::optional<int32_t>> cases[] = {
        {u"30001", 30001}, {u"  30001", 30001}, {u"-1", -1}, {u"+5", 5}, {u"$7531", 0x7531}, {u"x7531", 0x7531},
        {u"X10", 16}, {u"0x10", 16}, {u"0X10", 16}, {u" -$10", -16}, {u"30001 ", none}, {u"30001a", none},
        {u"", none}, {u"  ", none}, {u"0x", none}, {u"1e3", none}, {u"2147483648", none}, {u"\t1", none},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseStrictInteger(text), expected) << testing::PrintToString(text);
    }
}

TEST(Numbers, AsFarAsItGoes)
{
    const std::pair<std::u16string, int32_t> cases[] = {
        {u"640", 640}, {u"640.7", 640}, {u"12px", 12}, {u"  -30abc", -30}, {u"", 0}, {u"px12", 0},
        {u"$1Fz", 31}, {u"0x", 0}, {u"+", 0}, {u"21474836479", 2147483647}, {u"-2147483648", INT32_MIN},
        {u"99999999999", 999999999},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ParseLeadingInteger(text), expected) << testing::PrintToString(text);
    }
}
