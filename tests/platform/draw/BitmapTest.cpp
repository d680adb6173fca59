// The in-memory bitmap: sizes, padded rows, release, and the canvas that follows its rows.
#include "platform/draw/Bitmap.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(BitmapTest, CreateMakesBlackPaddedRowsWithinTheSizeLimits) {
    Bitmap b;
    ASSERT_TRUE(b.create(5, 3));
    EXPECT_EQ(b.stride(), 16);  // 15 bytes of pixels padded to a multiple of 4
    EXPECT_EQ(b.row(1) - b.row(0), 16);
    EXPECT_EQ(b.pixels().rows[2], b.row(2));
    EXPECT_EQ(b.row(3), nullptr);
    EXPECT_EQ(b.row(-1), nullptr);
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(b.row(y)[i], 0);
    EXPECT_FALSE(b.create(0, 5));
    EXPECT_FALSE(b.isValid());
    EXPECT_FALSE(b.create(5, -1));
    EXPECT_FALSE(b.create(Bitmap::maxSide + 1, 1));
    EXPECT_FALSE(b.pixels().valid());
    EXPECT_EQ(b.rows(), nullptr);
    EXPECT_TRUE(b.create(Bitmap::maxSide, 1));
}

TEST(BitmapTest, TheCanvasDrawsOnTheCurrentRowsAndKeepsItsAttributes) {
    Bitmap b;
    ASSERT_TRUE(b.create(2, 2));
    b.canvas().setBrushColour(0x112233);
    b.canvas().font().bold = true;
    ASSERT_TRUE(b.create(4, 3));
    b.canvas().fillRect(0, 0, 10, 10);
    EXPECT_EQ(b.canvas().pixel(3, 2), 0x112233);
    EXPECT_EQ(b.row(2)[9], 0x11);  // blue byte first
    EXPECT_TRUE(b.canvas().font().bold);
    b.release();
    EXPECT_EQ(b.width(), 0);
    b.canvas().fillRect(0, 0, 10, 10);  // no rows: draws nothing
    EXPECT_EQ(b.canvas().pixel(0, 0), -1);
}

}  // namespace
}  // namespace platform
