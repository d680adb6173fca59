// The display scale: which source decides, how unusable values fall through, dots per inch.
#include "platform/window/DisplayScale.h"

#include <gtest/gtest.h>

#include <string>

using platform::DisplayScale;
using platform::ScaleChoice;
using platform::ScaleSources;

namespace {

ScaleSources sources(const char* option, const char* brevant, const char* gdk, double dpi,
                     int* dpiAsked = nullptr) {
    ScaleSources s;
    s.option = option;
    s.brevantScale = brevant;
    s.gdkScale = gdk;
    s.xftDpi = [dpi, dpiAsked] {
        if (dpiAsked) ++*dpiAsked;
        return dpi;
    };
    return s;
}

}  // namespace

TEST(DisplayScale, TheStrongestSourceThatGivesAScaleDecides) {
    int dpiAsked = 0;
    ScaleChoice c = DisplayScale::choose(sources("3", "4", "2", 384, &dpiAsked));
    EXPECT_EQ(c.factor, 3);
    EXPECT_EQ(c.source, "--scale");
    c = DisplayScale::choose(sources(nullptr, "4", "2", 192, &dpiAsked));
    EXPECT_EQ(c.factor, 4);
    EXPECT_EQ(c.source, "BREVANT_SCALE");
    c = DisplayScale::choose(sources(nullptr, nullptr, "2", 288, &dpiAsked));
    EXPECT_EQ(c.factor, 2);
    EXPECT_EQ(c.source, "GDK_SCALE");
    // The X server is asked only when no text gives a scale.
    EXPECT_EQ(dpiAsked, 0);
    c = DisplayScale::choose(sources(nullptr, nullptr, nullptr, 288, &dpiAsked));
    EXPECT_EQ(c.factor, 3);
    EXPECT_EQ(c.source, "Xft.dpi");
    EXPECT_EQ(dpiAsked, 1);
    c = DisplayScale::choose(sources(nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(c.factor, 1);
    EXPECT_EQ(c.source, "default");
    EXPECT_TRUE(c.warnings.empty());
}

TEST(DisplayScale, AValueThatIsNoScaleFallsToTheNextSourceWithOneWarningEach) {
    for (const char* bad : {"0", "5", "x", "2.0", " 2", "-1", "12"}) {
        ScaleChoice c = DisplayScale::choose(sources(bad, nullptr, "2", 0));
        EXPECT_EQ(c.factor, 2) << bad;
        EXPECT_EQ(c.source, "GDK_SCALE") << bad;
        ASSERT_EQ(c.warnings.size(), 1u) << bad;
        EXPECT_EQ(c.warnings[0], std::string("ignoring --scale \"") + bad +
                                     "\": the scale must be a whole number from 1 to 4");
    }
    // Every source in turn: each unusable one is named, and the dots per inch decide.
    ScaleChoice c = DisplayScale::choose(sources("9", "0", "x", 192));
    EXPECT_EQ(c.factor, 2);
    EXPECT_EQ(c.source, "Xft.dpi");
    ASSERT_EQ(c.warnings.size(), 3u);
    EXPECT_NE(c.warnings[1].find("BREVANT_SCALE \"0\""), std::string::npos);
    EXPECT_NE(c.warnings[2].find("GDK_SCALE \"x\""), std::string::npos);
    // An empty variable is an unset one; an empty value typed after --scale= is a mistake.
    c = DisplayScale::choose(sources(nullptr, "", "", 0));
    EXPECT_EQ(c.factor, 1);
    EXPECT_TRUE(c.warnings.empty());
    c = DisplayScale::choose(sources("", nullptr, nullptr, 0));
    EXPECT_EQ(c.warnings.size(), 1u);
}

TEST(DisplayScale, DotsPerInchGiveTheNearestWholeScaleFromOneToFour) {
    const std::pair<double, int> cases[] = {{96, 1},  {120, 1}, {143.9, 1}, {144, 2},  {192, 2},
                                            {240, 3}, {288, 3}, {384, 4},   {1000, 4}, {30, 1}};
    for (const auto& [dpi, factor] : cases)
        EXPECT_EQ(DisplayScale::fromDpi(dpi), factor) << dpi;
}
