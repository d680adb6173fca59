// Tests of the picture painter's coverage and of the pictures' fit on their backdrop.
#include "about/AboutPictures.h"

#include <gtest/gtest.h>

#include "about/PicturePainter.h"
#include "graphics/Limage.h"

namespace {

using P = PicturePainter;
const P::Colour white{255, 255, 255};

int alphaAt(const std::vector<unsigned char>& rgba, int width, int x, int y) {
    return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3];
}

}  // namespace

TEST(PicturePainter, CoversWholePixelsExactlyAndHalvesAHalfPixelEdge) {
    P painter(8, 8);
    painter.fill(P::rectangle(2, 2, 6, 5), P::solidPaint(white));
    painter.fill(P::rectangle(0.5, 6, 1, 7), P::solidPaint(white));
    std::vector<unsigned char> rgba = painter.toRgba();
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
            bool inside = x >= 2 && x < 6 && y >= 2 && y < 5;
            if (x == 0 && y == 6) continue;
            EXPECT_EQ(alphaAt(rgba, 8, x, y), inside ? 255 : 0) << x << "," << y;
        }
    EXPECT_EQ(alphaAt(rgba, 8, 0, 6), 128);
    EXPECT_EQ(rgba[(6 * 8 + 0) * 4], 255);  // colour is not premultiplied on the way out
}

TEST(PicturePainter, RingsHaveHolesAndClearRestoresTransparency) {
    P painter(21, 21);
    painter.fill(P::ring(10.5, 10.5, 10, 5), P::solidPaint(white));
    std::vector<unsigned char> rgba = painter.toRgba();
    EXPECT_EQ(alphaAt(rgba, 21, 10, 10), 0);
    EXPECT_EQ(alphaAt(rgba, 21, 10, 3), 255);
    painter.clear(P::rectangle(0, 0, 21, 21));
    rgba = painter.toRgba();
    EXPECT_EQ(alphaAt(rgba, 21, 10, 3), 0);
}

TEST(AboutPictures, SmallPicturesBlendIntoTheirBackdrop) {
    Limage backdrop;
    ASSERT_TRUE(backdrop.create(100, 100));
    backdrop.fill(0x203040);
    Limage fork;
    ASSERT_TRUE(AboutPictures::tuningFork(fork, backdrop, 50, 50));
    ASSERT_EQ(fork.width, AboutPictures::forkSize);
    // The corners lie outside the drawing and its halo: they are the backdrop itself.
    for (int y : {0, fork.height - 1})
        for (int x : {0, fork.width - 1}) {
            const unsigned char* p = fork.rows[y] + 3 * x;
            EXPECT_EQ(p[0] << 16 | p[1] << 8 | p[2], 0x203040) << x << "," << y;
        }
}

TEST(AboutPictures, TheMetronomeStandsOnBlackAndIsOpaqueWhereDrawn) {
    Limage m;
    ASSERT_TRUE(AboutPictures::metronome(m));
    ASSERT_EQ(m.width, 120);
    ASSERT_EQ(m.height, 140);
    const unsigned char* corner = m.rows[0];
    EXPECT_EQ(corner[0] | corner[1] | corner[2], 0);
    // The face of the case is well above the soft key's threshold in every component, so the
    // screen behind does not show through it.
    const unsigned char* face = m.rows[90] + 3 * 40;
    for (int c = 0; c < 3; c++)
        EXPECT_GT(face[c], 24) << c;
}

TEST(AboutPictures, TheIconHasTransparentCornersAndAnOpaqueMiddle) {
    for (int size : {64, 128}) {
        std::vector<unsigned char> rgba = AboutPictures::icon(size);
        ASSERT_EQ(rgba.size(), static_cast<std::size_t>(size * size * 4));
        EXPECT_EQ(alphaAt(rgba, size, 0, 0), 0);
        EXPECT_EQ(alphaAt(rgba, size, size - 1, size - 1), 0);
        EXPECT_EQ(alphaAt(rgba, size, size / 2, size / 2), 255);
    }
}
