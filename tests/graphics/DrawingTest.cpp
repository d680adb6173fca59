// The drawing primitives: shade arithmetic, gradients, rectangles, text and presentation.
#include "graphics/Drawing.h"

#include <gtest/gtest.h>

#include "graphics/Limage.h"
#include "tests/graphics/ImageProbe.h"

namespace {

TEST(DrawingTest, ScaleColourTruncatesAndCapsEachComponent) {
    EXPECT_EQ(scaleColour(0x808080, 2.0f), 0xFFFFFF);
    EXPECT_EQ(scaleColour(0xFFFFFF, 0.58f), 0x939393);
    EXPECT_EQ(scaleColour(0x102030, -1.0f), 0);
}

TEST(DrawingTest, ScaleColourUsesTheSinglePrecisionFactor) {
    EXPECT_EQ(scaleColour(0x0A0A0A, 0.9f), 0x080808);
    EXPECT_EQ(scaleColour(0x000014, 1.15f), 0x000016);  // 20 * 1.15f is just below 23
}

TEST(DrawingTest, MixColourMovesEachComponentFromAToB) {
    EXPECT_EQ(mixColour(0x000000, 0xFFFFFF, 0.5f), 0x7F7F7F);
    EXPECT_EQ(mixColour(0xFF0000, 0x0000FF, 0.25f), 0xBF003F);  // falling and rising parts
}

TEST(DrawingTest, VerticalGradientOfOneRowHasTheFromColour) {
    Limage image;
    ASSERT_TRUE(image.create(6, 5));
    image.fill(0);
    gradient(image.canvas(), 1, 2, 4, 2, 0x0000FF, 0xFF0000, false);
    EXPECT_EQ(pixelAt(image, 0, 2), 0);
    for (int x = 1; x <= 4; x++)
        EXPECT_EQ(pixelAt(image, x, 2), 0x0000FF);
    EXPECT_EQ(pixelAt(image, 5, 2), 0);
    EXPECT_EQ(pixelAt(image, 2, 1), 0);
    EXPECT_EQ(pixelAt(image, 2, 3), 0);
}

TEST(DrawingTest, HorizontalGradientStepsFromFirstToLastColumnInclusive) {
    Limage image;
    ASSERT_TRUE(image.create(8, 4));
    image.fill(0x123456);
    gradient(image.canvas(), 2, 1, 6, 2, 0x000000, 0x0000C8, true);
    const int expected[] = {0, 50, 100, 150, 200};  // t = i * 0.25f
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(pixelAt(image, 2 + i, 1), expected[i]);
        EXPECT_EQ(pixelAt(image, 2 + i, 2), expected[i]);
    }
    EXPECT_EQ(pixelAt(image, 7, 1), 0x123456);
    EXPECT_EQ(pixelAt(image, 4, 3), 0x123456);
    gradient(image.canvas(), 6, 0, 5, 3, 0, 0, true);  // inverted: nothing
    EXPECT_EQ(pixelAt(image, 5, 0), 0x123456);
}

TEST(DrawingTest, PointInRectIncludesAllFourEdges) {
    const platform::Rect r{10, 20, 30, 40};
    EXPECT_TRUE(pointInRect(10, 20, r));
    EXPECT_TRUE(pointInRect(30, 40, r));
    EXPECT_FALSE(pointInRect(31, 40, r));
    EXPECT_FALSE(pointInRect(10, 19, r));
}

// Records what reaches the window.
struct RecordingWindow : platform::WindowCanvas {
    platform::Rect clip{};
    int clips = 0, drawX = 0, drawWidth = 0;
    bool clipped = false, clippedWhileDrawing = false;

    void setClip(const platform::Rect& rect) override { clip = rect, clipped = true, clips++; }
    void clearClip() override { clipped = false; }
    bool hasClip() const override { return clipped; }
    void draw(int x, int, const platform::PixelRows& picture) override {
        drawX = x, drawWidth = picture.width, clippedWhileDrawing = clipped;
    }
};

TEST(DrawingTest, PresentToDrawsTheWholeBufferThroughTheControlsRectangle) {
    const Limage buffer = filled(40, 30, 0);
    RecordingWindow window;
    presentTo(buffer, window, {5, 6, 15, 16}, 2, 3);
    EXPECT_EQ(window.clips, 1);
    EXPECT_EQ(window.clip.Left, 7);
    EXPECT_EQ(window.clip.Right, 18);  // the inclusive right column is covered
    EXPECT_EQ(window.clip.Bottom, 20);
    EXPECT_EQ(window.drawX, 2);
    EXPECT_EQ(window.drawWidth, 40);
    EXPECT_TRUE(window.clippedWhileDrawing);
    EXPECT_FALSE(window.hasClip());
}

TEST(DrawingTest, TextProtocolDrawsInTheFontColourInsideItsCellAndRestoresTheCanvas) {
    Limage image = filled(80, 30, 0x202020);
    platform::Canvas& canvas = image.canvas();
    canvas.setBrushColour(0x00FF00);
    drawText(canvas, 2, 2, "Tempo", 0xFFFFFF, true);
    EXPECT_EQ(canvas.getBrushStyle(), platform::BrushStyle::solid);
    EXPECT_FALSE(canvas.font().bold);
    EXPECT_EQ(canvas.font().height, -11);
    beginText(canvas, 0xFFFFFF, true);
    const int w = canvas.textWidth("Tempo"), h = canvas.textHeight("Tempo");
    endText(canvas, true);
    if (w == 0) GTEST_SKIP() << "no usable font on this machine";
    int full = 0;
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 80; x++) {
            const int c = pixelAt(image, x, y);
            ASSERT_NE(c, 0x00FF00) << "the brush must not paint the cell";
            if (c == 0x202020) continue;
            full += c == 0xFFFFFF;
            // Antialiased edges may overhang the advance by a pixel, never the cell's rows.
            EXPECT_TRUE(x >= 1 && x <= 2 + w && y >= 2 && y < 2 + h) << x << " " << y;
        }
    EXPECT_GT(full, 10);
}

}  // namespace
