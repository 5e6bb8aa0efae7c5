#include "package/Calculations.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

namespace {

// The encryption step of the same cipher, to check that decryption undoes it.
std::u16string Encrypt(std::u16string_view text, std::u16string_view key)
{
    std::u16string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const int s = key[i % key.size()] - u'A';
        if (out[i] >= u'A' && out[i] <= u'Z') {
            out[i] = char16_t(u'A' + (out[i] - u'A' + s) % 26);
        } else if (out[i] >= u'a' && out[i] <= u'z') {
            out[i] = char16_t(u'a' + (out[i] - u'a' + s) % 26);
        }
    }
    return out;
}

} // namespace

TEST(CalculateWidth, DecryptsLetterWiseKeepingCase)
{
    EXPECT_EQ(CalculateWidth(u"LXFOPV", u"LEMON"), u"ATTACK");          // the textbook example
    EXPECT_EQ(CalculateWidth(u"bcd", u"B"), u"abc");
    EXPECT_EQ(CalculateWidth(u"Aa", u"B"), u"Zz");                       // wraps below A
    EXPECT_EQ(CalculateWidth(u"a-b", u"AB"), u"a-b");                    // "-" uses up the B
    EXPECT_EQ(CalculateWidth(u"1b", u"AB"), u"1a");                      // "1" uses up position 0
    EXPECT_EQ(CalculateWidth(u"\u00E9z", u"BB"), u"\u00E9y");
    EXPECT_EQ(CalculateWidth(u"", u"KEY"), u"");
}

TEST(CalculateWidth, RejectsKeysOutsideCapitalLetters)
{
    for (const std::u16string key : {u"Key", u"KE Y", u"K3Y", u"\u00C9", u""}) {
        try {
            CalculateWidth(u"text", key);
            ADD_FAILURE() << "accepted " << testing::PrintToString(key);
        } catch (const ECalculationError& e) {
            EXPECT_STREQ(e.what(), "Invalid character in CalculateWidth key.");
        }
    }
}

TEST(CalculateWidth, PackagePasswordFromTheStoredStrings)
{
    ASSERT_EQ(PackageWidthText.size(), 26u);
    ASSERT_EQ(PackageWidthKey.size(), 21u);
    const auto password = PackagePassword();
    EXPECT_EQ(password.size(), 26u);
    EXPECT_NE(password, PackageWidthText);
    EXPECT_EQ(Encrypt(password, PackageWidthKey), PackageWidthText);
    // Digits and punctuation come through unchanged.
    for (size_t i = 0; i < password.size(); ++i) {
        const char16_t c = PackageWidthText[i];
        const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (!letter) {
            EXPECT_EQ(password[i], c);
        }
    }
}
