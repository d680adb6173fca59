// Limage: creation and its limits, clip, fill, mirror, assignment and the four copies.
#include "graphics/Limage.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/draw/Bitmap.h"
#include "platform/draw/Canvas.h"
#include "tests/graphics/ImageProbe.h"

namespace {

TEST(LimageTest, CreateAcceptsOneToTenThousandEachWayAndOtherwiseChangesNothing) {
    Limage image;
    EXPECT_FALSE(image.isValid());
    EXPECT_EQ(image.clipX2, -1);
    ASSERT_TRUE(image.create(10000, 1));
    EXPECT_EQ(image.clipX2, 9999);
    ASSERT_TRUE(image.create(3, 2));
    image.fill(0x123456);
    EXPECT_FALSE(image.create(0, 5));
    EXPECT_FALSE(image.create(10001, 1));
    EXPECT_FALSE(image.create(5, -1));
    EXPECT_FALSE(image.create(1, 10001));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(pixelAt(image, 2, 1), 0x123456);
    EXPECT_EQ(image.canvas().font().name, "Tahoma");
    image.release();
    EXPECT_FALSE(image.isValid());
    EXPECT_EQ(image.clipY2, -1);
    image.fill(0);  // drawing on an empty image does nothing
    image.canvas().fillRect(0, 0, 5, 5);
}

TEST(LimageTest, FillIgnoresTheClipAndMirrorKeepsTheMiddleColumn) {
    Limage image = filled(3, 2, 0);
    image.setClip(1, 1, 1, 1);
    image.fill(0x112233);
    EXPECT_EQ(image.rows[1][2 * 3], 0x11);  // blue first
    EXPECT_EQ(countOther(image, 0x112233), 0);
    setPixel(image, 0, 1, 0x0000FF);
    setPixel(image, 1, 1, 0x00FF00);
    image.mirror();
    EXPECT_EQ(pixelAt(image, 2, 1), 0x0000FF);
    EXPECT_EQ(pixelAt(image, 1, 1), 0x00FF00);
    EXPECT_EQ(pixelAt(image, 0, 1), 0x112233);
}

TEST(LimageTest, SetClipClampsEachEdgeOnItsOwn) {
    Limage image = filled(100, 50, 0);
    image.setClip(-5, 3, 500, 2);
    EXPECT_EQ(image.clipX1, 0);
    EXPECT_EQ(image.clipX2, 99);
    EXPECT_EQ(image.clipY1, 3);
    EXPECT_EQ(image.clipY2, 2);
    const Limage source = filled(100, 50, 0xFFFFFF);
    Limage::drawKeyed(source, image, 0, 0, -1);
    Limage::drawTinted(source, image, 0, 0, -1, 0xFFFFFF, T0);
    Limage::drawBlended(source, image, 0, 0, B1);
    Limage::drawTintBlended(source, image, 0, 0, B1, 0xFFFFFF, T0);
    EXPECT_EQ(countOther(image, 0), 0);
    image.resetClip();
    EXPECT_EQ(image.clipY1, 0);
    EXPECT_EQ(image.clipY2, 49);
}

TEST(LimageTest, AssignmentMakesAnIndependentCopy) {
    Limage a = filled(4, 3, 0x010203);
    a.setClip(1, 1, 2, 2);
    Limage b;
    b = a;
    EXPECT_EQ(b.clipX2, 3);  // a fresh image: the whole clip
    EXPECT_EQ(countOther(b, 0x010203), 0);
    setPixel(a, 0, 0, 0xFFFFFF);
    EXPECT_EQ(pixelAt(b, 0, 0), 0x010203);
    EXPECT_NE(a.rows[0], b.rows[0]);
    b = b;
    EXPECT_EQ(b.width, 4);
    const Limage c(b);
    EXPECT_EQ(pixelAt(c, 3, 2), 0x010203);
}

TEST(LimageTest, LoadBitmapCopiesTheSourcePixels) {
    platform::Bitmap source;
    ASSERT_TRUE(source.create(6, 2));
    source.row(1)[5 * 3 + 2] = 200;  // red of (5, 1)
    Limage image;
    ASSERT_TRUE(image.loadBitmap(&source));
    EXPECT_EQ(pixelAt(image, 5, 1), 200);
    EXPECT_EQ(pixelAt(image, 0, 0), 0);
    EXPECT_EQ(image.clipY2, 1);
    EXPECT_NE(image.rows[1], source.row(1));
    EXPECT_FALSE(image.loadBitmap(nullptr));
    EXPECT_TRUE(image.isValid());
    const platform::Bitmap empty;
    EXPECT_FALSE(image.loadBitmap(&empty));
    EXPECT_FALSE(image.isValid());
}

TEST(LimageTest, CopyStraddlingTheClipStartsAtTheClippedColumnAndRow) {
    Limage source = filled(6, 4, 0);
    for (int x = 0; x < 6; x++)
        for (int y = 0; y < 4; y++)
            setPixel(source, x, y, (x + 1) | (y + 1) << 8);
    Limage target = filled(10, 10, 0xFFFFFF);
    target.setClip(3, 2, 5, 8);
    Limage::drawKeyed(source, target, 1, 1, -1);
    EXPECT_EQ(pixelAt(target, 3, 2), 3 | 2 << 8);    // source (2, 1)
    EXPECT_EQ(pixelAt(target, 5, 4), 5 | 4 << 8);    // source (4, 3)
    EXPECT_EQ(countOther(target, 0xFFFFFF), 3 * 3);  // x 3..5, y 2..4
    Limage::drawKeyed(source, target, -4, 0, -1);    // x + width - 1 < clipX1
    Limage::drawKeyed(source, target, 6, 0, -1);     // clipX2 < x
    Limage::drawKeyed(source, target, 3, 9, -1);     // clipY2 < y
    EXPECT_EQ(countOther(target, 0xFFFFFF), 9);
}

TEST(LimageTest, CopyNeverWritesOutsideTheDestination) {
    const Limage source = filled(30, 30, 0x808080);
    Limage target = filled(10, 8, 0);
    target.clipX2 = 50;  // even a clip set by hand past the edges
    target.clipY1 = -20;
    Limage::drawBlended(source, target, -7, -9, B1);
    EXPECT_EQ(countOther(target, 0x808080), 0);
    EXPECT_EQ(pixelAt(target, 9, 7), 0x808080);
}

TEST(LimageTest, CentredImageIsPlacedByItsCentre) {
    Limage source = filled(11, 7, 0x0000FF);
    source.setCentred();
    Limage target = filled(100, 100, 0);
    Limage::drawKeyed(source, target, 50, 50, -1);
    EXPECT_EQ(pixelAt(target, 45, 47), 0x0000FF);
    EXPECT_EQ(pixelAt(target, 44, 47), 0);
    EXPECT_EQ(pixelAt(target, 45, 46), 0);
    EXPECT_EQ(pixelAt(target, 55, 53), 0x0000FF);
    EXPECT_EQ(countOther(target, 0), 77);
}

TEST(LimageTest, KeyedAndTintedCopiesSkipTheKeyColourOnly) {
    Limage source = filled(3, 1, 0x0000FF);
    setPixel(source, 1, 0, 0xFFFFFF);
    setPixel(source, 2, 0, 0xFF0000);
    Limage target = filled(3, 1, 0x333333);
    Limage::drawTinted(source, target, 0, 0, 0x0000FF, 0x80FF00, T0);
    EXPECT_EQ(pixelAt(target, 0, 0), 0x333333);
    EXPECT_EQ(pixelAt(target, 1, 0), 0x81FF01);  // white tinted keeps its odd bytes odd
    Limage::drawKeyed(source, target, 0, 0, 0x0000FF);
    EXPECT_EQ(pixelAt(target, 1, 0), 0xFFFFFF);
    EXPECT_EQ(pixelAt(target, 2, 0), 0xFF0000);
    setPixel(source, 0, 0, 0);
    Limage::drawKeyed(source, target, 0, 0, -1);  // no key: black and white copy too
    EXPECT_EQ(pixelAt(target, 0, 0), 0);
}

TEST(LimageTest, TintedCopyWithWhiteAndMultiplyReproducesTheSource) {
    Limage source;
    ASSERT_TRUE(source.create(16, 16));
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            setPixel(source, x, y, (y * 16 + x) * 0x010101 ^ 0x5A0000);
    Limage target = filled(16, 16, 0x777777);
    Limage::drawTinted(source, target, 0, 0, -1, 0xFFFFFF, T0);
    for (int y = 0; y < 16; y++)
        ASSERT_EQ(std::memcmp(target.rows[y], source.rows[y], 16 * 3), 0);
}

TEST(LimageTest, BlendedCopyLooksUpSourceThenDestination) {
    const Limage source = filled(4, 1, 0xE0E0E0);
    Limage target = filled(4, 1, 0xC8C8C8);
    Limage::drawBlended(source, target, 0, 0, T0);
    EXPECT_EQ(pixelAt(target, 3, 0), 174 * 0x010101);
    Limage::drawBlended(filled(1, 1, 0x000010), target, 0, 0, B7);
    EXPECT_EQ(pixelAt(target, 0, 0), 0xAEAE9E);  // red 174 - 16
}

TEST(LimageTest, TintBlendedCopyTintsTheSourceBeforeBlending) {
    const Limage source = filled(1, 1, 0xFFFFFF);
    Limage target = filled(1, 1, 0x101010);
    Limage::drawTintBlended(source, target, 0, 0, B1, 0x204080, T0);
    // White tinted by 0x204080 takes the odd parity of 255: 0x21, 0x41, 0x81; then added.
    EXPECT_EQ(pixelAt(target, 0, 0), 0x315191);
}

}  // namespace
