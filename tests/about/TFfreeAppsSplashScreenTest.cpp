// Tests of the about screen's composing, link glow, hover tracking and closing events.
#include "about/TFfreeAppsSplashScreen.h"

#include <gtest/gtest.h>

#include "platform/window/Application.h"

namespace {

// The screen with its handlers reachable.
class Screen : public TFfreeAppsSplashScreen {
  public:
    using TFfreeAppsSplashScreen::FormDeactivate;
    using TFfreeAppsSplashScreen::FormKeyDown;
    using TFfreeAppsSplashScreen::FormMouseDown;
};

// 0x00BBGGRR of a raster pixel.
int pixelAt(const Limage& image, int x, int y) {
    const unsigned char* p = image.rows[y] + 3 * x;
    return p[0] << 16 | p[1] << 8 | p[2];
}

bool rowsEqual(const Limage& a, const Limage& b, int y1, int y2) {
    for (int y = y1; y <= y2; y++)
        for (int x = 0; x < a.width; x++)
            if (pixelAt(a, x, y) != pixelAt(b, x, y)) return false;
    return true;
}

class AboutScreen : public ::testing::Test {
  protected:
    void SetUp() override { platform::Application::instance().setTitle("Brevant"); }
    Screen screen;
};

}  // namespace

TEST_F(AboutScreen, ComposesDotsFramesAndWedge) {
    screen.compose();
    const Limage& b = screen.backRaster;
    ASSERT_EQ(b.width, 540);
    ASSERT_EQ(b.height, 270);
    // The dotted band lies on black at the horizon: 2 x 2 squares on a 3-pixel pitch.
    EXPECT_EQ(pixelAt(b, 200, 175), 0);
    EXPECT_EQ(pixelAt(b, 200, 176), 0x181818);
    EXPECT_EQ(pixelAt(b, 202, 176), 0x181818);
    EXPECT_EQ(pixelAt(b, 201, 176), 0);
    // Black frames round the edge and inset by 2 to 6, a light grey one inset by 1.
    for (int inset : {0, 2, 3, 4, 5, 6}) {
        EXPECT_EQ(pixelAt(b, inset, 100), 0) << inset;
        EXPECT_EQ(pixelAt(b, 300, 269 - inset), 0) << inset;
    }
    EXPECT_EQ(pixelAt(b, 1, 100), 0xC0C0C0);
    EXPECT_EQ(pixelAt(b, 538, 100), 0xC0C0C0);
    EXPECT_EQ(pixelAt(b, 300, 1), 0xC0C0C0);
    // The wedge widens by a pixel a side each row, over the dome.
    EXPECT_EQ(pixelAt(b, 270, 248), 0);
    EXPECT_NE(pixelAt(b, 268, 248), 0);
    EXPECT_EQ(pixelAt(b, 255, 262), 0);
    EXPECT_NE(pixelAt(b, 253, 262), 0);
    EXPECT_EQ(screen.linkRect.Left, 170);
    EXPECT_EQ(screen.linkRect.Top, 206);
    EXPECT_EQ(screen.linkRect.Right, 370);
    EXPECT_EQ(screen.linkRect.Bottom, 265);
}

TEST_F(AboutScreen, SideShadingFadesBothEdgesToBlack) {
    screen.compose();
    const Limage& b = screen.backRaster;
    // At the top the background is brightest; the outermost columns of the shading are black.
    EXPECT_NE(pixelAt(b, 270, 10), 0);
    for (int x : {7, 532}) {
        int p = pixelAt(b, x, 10);
        for (int shift : {0, 8, 16})
            EXPECT_LE(p >> shift & 0xFF, 3) << x;
    }
    EXPECT_GT(pixelAt(b, 270, 10) & 0xFF, pixelAt(b, 100, 10) & 0xFF);
}

TEST_F(AboutScreen, AboutModeAddsTheHeadlineAndTheLongVersionLine) {
    screen.aboutMode = false;
    screen.compose();
    Limage splash = screen.backRaster;
    screen.aboutMode = true;
    screen.compose();
    const Limage& about = screen.backRaster;
    EXPECT_TRUE(rowsEqual(splash, about, 0, 47));      // title
    EXPECT_FALSE(rowsEqual(splash, about, 50, 64));    // version line
    EXPECT_FALSE(rowsEqual(splash, about, 203, 214));  // headline
    EXPECT_TRUE(rowsEqual(splash, about, 240, 269));   // wedge and frames
    // The screen shows what was composed.
    EXPECT_TRUE(rowsEqual(screen.screenRaster, about, 0, 269));
}

TEST_F(AboutScreen, GlowMaskPeaksInTheMiddle) {
    screen.compose();
    const Limage& g = screen.glowMask;
    ASSERT_EQ(g.width, 200);
    ASSERT_EQ(g.height, 20);
    EXPECT_EQ(pixelAt(g, 0, 0), 0);
    EXPECT_EQ(pixelAt(g, 199, 19), 0);
    int peak = pixelAt(g, 99, 9) & 0xFF;
    EXPECT_GE(peak, 250);
    // Grey all through, and rising to the middle along the middle row, falling after it.
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 200; x++) {
            int p = pixelAt(g, x, y);
            ASSERT_EQ(p, (p & 0xFF) * 0x010101) << x << "," << y;
            ASSERT_LE(p & 0xFF, peak);
        }
    for (int x = 1; x < 200; x++) {
        int before = pixelAt(g, x - 1, 9) & 0xFF, here = pixelAt(g, x, 9) & 0xFF;
        if (x <= 99) {
            EXPECT_GE(here, before) << x;
        } else if (x >= 101) {
            EXPECT_LE(here, before) << x;
        }
    }
}

TEST_F(AboutScreen, GlowBreathesFromDimAndStaysBrightWhileHovered) {
    screen.hoverChangedAt = 5000;
    EXPECT_NEAR(screen.glowFactor(5000), 0.1, 1e-12);
    EXPECT_NEAR(screen.glowFactor(6000), 0.6, 1e-12);
    EXPECT_NEAR(screen.glowFactor(7000), 0.1, 1e-12);
    screen.hoverChangedAt = 0xFFFFFF00u;  // the clock wraps between the stamp and now
    EXPECT_NEAR(screen.glowFactor(0xFFFFFF00u + 1000), 0.6, 1e-12);
    screen.linkHovered = true;
    EXPECT_DOUBLE_EQ(screen.glowFactor(123456), 0.9);
}

TEST_F(AboutScreen, GlowTouchesOnlyItsAreaAndNeverAccumulates) {
    screen.compose();
    screen.hoverChangedAt = 0;
    screen.paintLinkGlow(0);
    Limage dim = screen.screenRaster;
    screen.paintLinkGlow(1000);
    Limage bright = screen.screenRaster;
    screen.paintLinkGlow(2000);
    EXPECT_TRUE(rowsEqual(screen.screenRaster, dim, 0, 269));
    EXPECT_TRUE(rowsEqual(bright, screen.backRaster, 0, 224));
    EXPECT_TRUE(rowsEqual(bright, screen.backRaster, 245, 269));
    int lit = 0;
    for (int y = 225; y < 245; y++)
        for (int x = 0; x < 540; x++) {
            bool inside = x >= 170 && x < 370;
            if (!inside) {
                ASSERT_EQ(pixelAt(bright, x, y), pixelAt(screen.backRaster, x, y));
            }
            if (inside && pixelAt(bright, x, y) != pixelAt(dim, x, y)) lit++;
        }
    EXPECT_GT(lit, 1000);
}

TEST_F(AboutScreen, HoverFollowsTheLinkRectangleWithItsEdges) {
    screen.compose();
    EXPECT_FALSE(screen.updateHover(169, 230, 10));
    EXPECT_TRUE(screen.updateHover(170, 206, 20));
    EXPECT_TRUE(screen.linkHovered);
    EXPECT_EQ(screen.hoverChangedAt, 20u);
    EXPECT_EQ(screen.cursor(), platform::CursorShape::handPoint);
    EXPECT_FALSE(screen.updateHover(370, 265, 30));
    EXPECT_EQ(screen.hoverChangedAt, 20u);
    EXPECT_TRUE(screen.updateHover(371, 265, 40));
    EXPECT_FALSE(screen.linkHovered);
    EXPECT_EQ(screen.cursor(), platform::CursorShape::standard);
}

TEST_F(AboutScreen, AKeyAClickOrLosingActivationCloses) {
    screen.show();
    ASSERT_TRUE(screen.visible());
    EXPECT_FALSE(screen.linkHovered);
    screen.FormKeyDown(0x41, 0);
    EXPECT_FALSE(screen.visible());
    screen.show();
    screen.FormMouseDown(platform::MouseButton::left, 0, 5, 5);
    EXPECT_FALSE(screen.visible());
    screen.show();
    screen.FormDeactivate();
    EXPECT_FALSE(screen.visible());
}
