// The window place kept between runs: what is written reads back, anything damaged or
// out of bounds is not taken, and a place off the screen is brought back onto it.
#include "util/SavedWindow.h"

#include <gtest/gtest.h>

using namespace Folio::Shared;

TEST(SavedWindow, WhatIsWrittenReadsBack)
{
    for (const TSavedWindow& window : {TSavedWindow{{100, 120, 740, 600}, false},
                                       TSavedWindow{{-1920, -40, -100, 1000}, true}}) {
        const auto back = ParseSavedWindow(FormatSavedWindow(window));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->Normal, window.Normal);
        EXPECT_EQ(back->Maximized, window.Maximized);
    }
    EXPECT_TRUE(ParseSavedWindow("window 1 0 0 10 10 0")); // without its line break
}

TEST(SavedWindow, DamagedOrHostileTextIsNotTaken)
{
    for (const char* text : {"", "window 1", "window 2 0 0 10 10 0\n", "window 1 0 0 10 10\n",
                             "window 1 0 0 10 10 0 0\n", "window 1 0 0 10 10 2\n", "window 1 0  0 10 10 0\n",
                             "window 1 0 0 10 10 0 \n", "window 1 0 0 10 x 0\n", "window 1 0 0 10 1e3 0\n",
                             "window 1 10 0 10 10 0\n",        // no width
                             "window 1 0 10 10 0 0\n",         // upside down
                             "window 1 0 0 100001 10 0\n",     // out of bounds
                             "window 1 -99999 0 99999 10 0\n", // wider than any screen
                             "window 1 0 0 99999999999 10 0\n", "window 1 0 0 10 10 0\n\n", "\xff\xfewindow"}) {
        EXPECT_FALSE(ParseSavedWindow(text)) << text;
    }
    EXPECT_FALSE(ParseSavedWindow(std::string(100000, '1')));
}

TEST(SavedWindow, APlaceOffTheAreaComesBackOntoIt)
{
    const TWindowRect area{0, 0, 1920, 1040};
    const struct {
        TWindowRect Window, Kept;
    } cases[] = {
        {{100, 120, 740, 600}, {100, 120, 740, 600}},         // on it: left alone
        {{1800, 900, 2440, 1380}, {1800, 900, 2440, 1380}},   // mostly off, but its caption is there
        {{3000, 100, 3640, 580}, {1280, 100, 1920, 580}},     // on a monitor that has gone
        {{-5000, -5000, -4360, -4520}, {0, 0, 640, 480}},
        {{100, 1030, 740, 1510}, {100, 560, 740, 1040}},      // only the caption's top pixels show
        {{-100, 200, 4000, 3000}, {0, 0, 1920, 1040}},        // too big after a change of resolution
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeepOnArea(c.Window, area), c.Kept) << c.Window.Left << "," << c.Window.Top;
    }
}
