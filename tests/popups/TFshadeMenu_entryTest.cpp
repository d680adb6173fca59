// Reading menu entry texts: markers, the right-hand split and the texts measured for the width.
#include "popups/TFshadeMenu_entry.h"

#include <gtest/gtest.h>

TEST(TFshadeMenu_entry, AllMarkersInOrder) {
    TFshadeMenu_entry e = TFshadeMenu_entry::parse("-@#Show Beat Numbers|@Ctrl+B");
    EXPECT_TRUE(e.separator && e.dimmed && e.check && e.rightDimmed);
    EXPECT_FALSE(e.bullet);
    EXPECT_EQ(e.label, "Show Beat Numbers");
    EXPECT_EQ(e.right, "Ctrl+B");
}

TEST(TFshadeMenu_entry, MarkersCountOnceAndOnlyInTheirOrder) {
    TFshadeMenu_entry bullet = TFshadeMenu_entry::parse("#$Item");
    EXPECT_TRUE(bullet.bullet);
    EXPECT_FALSE(bullet.check);
    EXPECT_EQ(bullet.label, "Item");
    TFshadeMenu_entry late = TFshadeMenu_entry::parse("#-Item");  // "-" after "#" is text
    EXPECT_TRUE(late.check);
    EXPECT_FALSE(late.separator);
    EXPECT_EQ(late.label, "-Item");
    EXPECT_EQ(TFshadeMenu_entry::parse("--x").label, "-x");
    TFshadeMenu_entry split = TFshadeMenu_entry::parse("a|b|c");
    EXPECT_EQ(split.label, "a");
    EXPECT_EQ(split.right, "b|c");
    EXPECT_FALSE(split.rightDimmed);
    EXPECT_EQ(TFshadeMenu_entry::parse("").label, " ");
}

TEST(TFshadeMenu_entry, MeasuredTextsKeepMarkersWithoutASplit) {
    AnsiString label, right;
    TFshadeMenu_entry::measuredTexts("-#Exit", label, right);
    EXPECT_EQ(label, "-#Exit");
    EXPECT_TRUE(right.empty());
    TFshadeMenu_entry::measuredTexts("-@#$Exit|@Esc", label, right);
    EXPECT_EQ(label, "Exit");
    EXPECT_EQ(right, "@Esc");
}
