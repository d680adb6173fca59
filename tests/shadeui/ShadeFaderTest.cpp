// ShadeFader: geometry, track ticks, drawing at the bound value, press and drag, the wheel.
#include "shadeui/ShadeFader.h"

#include <gtest/gtest.h>

#include "ShadeTestSupport.h"
#include "graphics/Drawing.h"
#include "shadeui/ShadeToolkit.h"

namespace {

constexpr int back = 0xE0E0E0;
constexpr int fore = 0x484848;

class ShadeFaderTest : public ::testing::Test {
  protected:
    Limage raster;
    RecordingCanvas window;
    double value = 0.5;
    ShadeFader fader;
    int top = 0;  // knob centre row at value 1

    void SetUp() override {
        capturedFader = nullptr;
        raster.create(200, 250);
        raster.fill(0x123456);
        fader.raster = &raster;
        fader.windowCanvas = &window;
        fader.backColour = back;
        fader.foreColour = fore;
        fader.setUp(20, 40, 100, "Tempo", &value, 10);
        top = fader.rect.Top + 33;
    }
    void TearDown() override { capturedFader = nullptr; }
};

}  // namespace

TEST_F(ShadeFaderTest, GeometryOfAHundredPixelFader) {
    EXPECT_EQ(fader.rect.Right - fader.rect.Left, 33);
    EXPECT_EQ(fader.rect.Bottom - fader.rect.Top, 151);
    auto size = [](const Limage& image) { return std::pair{image.width, image.height}; };
    EXPECT_EQ(size(fader.trackImage), std::pair(33, 137));
    EXPECT_EQ(size(fader.knobImage), std::pair(15, 31));
    EXPECT_EQ(size(fader.softShadow), std::pair(20, 36));
    EXPECT_EQ(size(fader.darkShadow), std::pair(22, 38));
    EXPECT_EQ(fader.knobCentreY(1), fader.rect.Top + 33);
    EXPECT_EQ(fader.knobCentreY(0), fader.rect.Bottom - 18);
    EXPECT_EQ(ShadeFader::panelWidth(1), 21);
}

TEST_F(ShadeFaderTest, MiddleTickIsFullWidthAndTheOthersInset) {
    const Limage& track = fader.trackImage;
    int tick = mixColour(back, fore, 0.4f);
    // Tick i lies on row trunc(i * 10 + 18 (+ 0.5 in the upper half)).
    EXPECT_EQ(pixelAt(track, 0, 68), tick);
    EXPECT_EQ(pixelAt(track, 32, 68), tick);
    for (int row : {28, 38, 78, 108}) {
        EXPECT_EQ(pixelAt(track, 2, row), back) << row;
        EXPECT_EQ(pixelAt(track, 3, row), tick) << row;
        EXPECT_EQ(pixelAt(track, 29, row), tick) << row;
        EXPECT_EQ(pixelAt(track, 30, row), back) << row;
    }
    EXPECT_EQ(pixelAt(track, 3, 29), back);
    // End lines over the whole width, in the tick colour itself.
    for (int row : {18, 19, 117, 118})
        EXPECT_EQ(pixelAt(track, 0, row), fore) << row;
    EXPECT_EQ(pixelAt(track, 0, 20), back);
    // The slot runs down the middle of the panel.
    EXPECT_EQ(pixelAt(track, 16, 14), scaleColour(back, 0.6f));
    EXPECT_EQ(pixelAt(track, 13, 14), scaleColour(back, 0.8f));
    EXPECT_EQ(pixelAt(track, 19, 122), scaleColour(back, 0.8f));
}

TEST(ShadeFaderTicks, UpperHalfTicksRoundHalfAPixelLower) {
    ShadeFader fader;
    fader.backColour = back;
    fader.foreColour = fore;
    double value = 0;
    fader.setUp(0, 0, 100, "", &value, 8);  // ticks at 12.5, 25, 37.5, ...
    int tick = mixColour(back, fore, 0.4f);
    EXPECT_EQ(pixelAt(fader.trackImage, 5, 31), tick);  // i = 1: 12.5 + 18 + 0.5
    EXPECT_EQ(pixelAt(fader.trackImage, 5, 30), back);
    EXPECT_EQ(pixelAt(fader.trackImage, 5, 80), tick);  // i = 5: 62.5 + 18
    EXPECT_EQ(pixelAt(fader.trackImage, 0, 68), tick);  // i = 4 is the highlighted one
}

TEST_F(ShadeFaderTest, KnobIsDrawnAtTheBoundValueWithItsIndexLine) {
    fader.draw();
    int centreX = (fader.rect.Left + fader.rect.Right) / 2;
    EXPECT_EQ(pixelAt(raster, centreX, fader.knobCentreY(0.5)), 0);
    EXPECT_NE(pixelAt(raster, centreX, fader.knobCentreY(0.5) - 1), 0);
    ASSERT_EQ(window.clips.size(), 1u);
    EXPECT_EQ(window.clips[0].Bottom, fader.rect.Bottom + 11);
    EXPECT_EQ(window.clips[0].Right, fader.rect.Right + 1);
    // The area below the rectangle is cleared to the background.
    EXPECT_EQ(pixelAt(raster, fader.rect.Left, fader.rect.Bottom + 10), back);
    EXPECT_EQ(pixelAt(raster, fader.rect.Left, fader.rect.Bottom + 11), 0x123456);
    value = 1.7;  // shown at the top, and left as it is
    fader.draw();
    EXPECT_EQ(pixelAt(raster, centreX, top), 0);
    EXPECT_EQ(value, 1.7);
}

TEST_F(ShadeFaderTest, PressNearTheKnobGrabsItAndFartherAwayJumps) {
    int knob = fader.knobCentreY(0.5);
    EXPECT_FALSE(fader.drag(30, knob + 10, true));
    EXPECT_EQ(value, 0.5);
    EXPECT_EQ(capturedFader, &fader);
    EXPECT_FALSE(fader.drag(30, knob - 17, true));
    EXPECT_EQ(value, 0.5);
    EXPECT_TRUE(fader.drag(30, knob + 18, true));
    EXPECT_DOUBLE_EQ(value, 1 - (knob + 18.0 - top) / 100);
    EXPECT_EQ(window.clips.size(), 1u);
}

TEST_F(ShadeFaderTest, CaptionBandDoesNotReact) {
    value = 1;
    EXPECT_FALSE(fader.drag(30, fader.rect.Top + 15, true));
    EXPECT_EQ(capturedFader, nullptr);
    EXPECT_FALSE(fader.drag(30, fader.rect.Top + 16, true));  // grabs the knob at the top
    EXPECT_EQ(capturedFader, &fader);
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(fader.drag(fader.rect.Right + 1, 100, true));
    EXPECT_TRUE(fader.drag(fader.rect.Right, fader.rect.Bottom, true));
    EXPECT_EQ(value, 0);
}

TEST_F(ShadeFaderTest, DragMovesRelativeToThePressAndClamps) {
    int knob = fader.knobCentreY(0.5);
    fader.drag(30, knob, true);
    EXPECT_TRUE(fader.drag(500, knob - 20, false));  // anywhere, once captured
    EXPECT_DOUBLE_EQ(value, 0.7);
    EXPECT_TRUE(fader.drag(30, knob - 250, false));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(fader.drag(30, knob - 300, false));
    EXPECT_TRUE(fader.drag(30, knob + 400, false));
    EXPECT_EQ(value, 0);
}

TEST_F(ShadeFaderTest, MoveWithoutCaptureOrValueDoesNothing) {
    EXPECT_FALSE(fader.drag(30, 100, false));
    EXPECT_EQ(value, 0.5);
    ShadeFader other;
    capturedFader = &other;
    EXPECT_FALSE(fader.drag(30, 60, false));
    EXPECT_EQ(value, 0.5);
    ShadeFader unbound;
    unbound.setUp(20, 40, 100, "", nullptr, 10);
    capturedFader = nullptr;
    EXPECT_FALSE(unbound.drag(30, 100, true));
    EXPECT_EQ(capturedFader, nullptr);
    unbound.raster = &raster;
    unbound.windowCanvas = &window;
    unbound.draw();
    EXPECT_TRUE(window.clips.empty());
}

TEST_F(ShadeFaderTest, GrabbingAValueBeyondTheEndsFollowsAtOnce) {
    value = 1.7;
    EXPECT_TRUE(fader.drag(30, top, true));  // grabbed at the top: written back as 1
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(fader.drag(30, top + 10, false));
    EXPECT_DOUBLE_EQ(value, 0.9);
}

// The wheel reacts where a press does, moves the value by its step without capturing the
// fader, redraws it, and stops at the ends; a value beyond an end comes back inside at once.
TEST_F(ShadeFaderTest, WheelStepsTheValueOverTheActiveAreaAndStopsAtTheEnds) {
    fader.wheelStep = 0.02;
    const int knobBefore = fader.knobCentreY(0.5);
    EXPECT_TRUE(fader.wheel(30, 100, 3));
    EXPECT_DOUBLE_EQ(value, 0.56);
    EXPECT_EQ(window.clips.size(), 1u);
    const int centreX = (fader.rect.Left + fader.rect.Right) / 2;
    EXPECT_EQ(pixelAt(raster, centreX, fader.knobCentreY(0.56)), 0);  // the knob's index line
    EXPECT_NE(fader.knobCentreY(0.56), knobBefore);
    EXPECT_EQ(capturedFader, nullptr);
    EXPECT_TRUE(fader.wheel(fader.rect.Right, fader.rect.Bottom, -1));
    EXPECT_DOUBLE_EQ(value, 0.54);
    EXPECT_FALSE(fader.wheel(30, fader.rect.Top + 15, 1));  // the caption band
    EXPECT_FALSE(fader.wheel(fader.rect.Left - 1, 100, 1));
    EXPECT_FALSE(fader.wheel(30, 100, 0));
    EXPECT_DOUBLE_EQ(value, 0.54);
    EXPECT_EQ(window.clips.size(), 2u);
    value = 0.99;
    EXPECT_TRUE(fader.wheel(30, 100, 1));
    EXPECT_EQ(value, 1.0);
    EXPECT_FALSE(fader.wheel(30, 100, 5));
    value = 1.7;
    EXPECT_TRUE(fader.wheel(30, 100, -1));
    EXPECT_EQ(value, 1.0);
}
