// ShadeButton: caption syntax, faces and lamp, drawing with the pressed look, and the click.
#include "shadeui/ShadeButton.h"

#include <gtest/gtest.h>

#include "ShadeTestSupport.h"
#include "graphics/Drawing.h"

namespace {

constexpr int yellow = 0x0000FFFF;
constexpr int back = 0xE9E9E9;  // the light model's background times the button shade

ShadeButton toggleOf(int width, const AnsiString& caption, bool* var) {
    ShadeButton button;
    button.backColour = back;
    button.foreColour = 0x484848;
    button.setUpToggle(0, 0, width, 22, caption, var);
    return button;
}

ShadeButton plainOf(int width, int height, const AnsiString& caption) {
    ShadeButton button;
    button.backColour = back;
    button.foreColour = 0x484848;
    button.setUpButton(0, 0, width, height, caption, 7);
    return button;
}

// The first and last column of the lamp on a row of the on face, -1 when there is none.
std::pair<int, int> yellowSpan(const Limage& face, int row) {
    int first = -1, last = -1;
    for (int x = 0; x < face.width; x++) {
        if (pixelAt(face, x, row) != yellow) continue;
        if (first < 0) first = x;
        last = x;
    }
    return {first, last};
}

// The topmost row where two faces differ, -1 when they are equal.
int firstDifferingRow(const Limage& a, const Limage& b) {
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            if (pixelAt(a, x, y) != pixelAt(b, x, y)) return y;
    return -1;
}

}  // namespace

TEST(ShadeButton, LampSpanFollowsTheWidth) {
    bool on = false;
    ShadeButton wide = toggleOf(71, "<sound>", &on);
    ShadeButton narrow = toggleOf(22, "", &on);
    for (int row : {2, 3}) {
        EXPECT_EQ(yellowSpan(wide.onImage, row), std::make_pair(20, 50));
        EXPECT_EQ(yellowSpan(narrow.onImage, row), std::make_pair(4, 17));
    }
    EXPECT_EQ(yellowSpan(wide.onImage, 1).first, -1);
    EXPECT_EQ(yellowSpan(wide.onImage, 4).first, -1);
    EXPECT_EQ(countPixels(wide.offImage, yellow), 0);
    // The off lamp is the face colour darkened, over the same span.
    int faceColour = scaleColour(back, 0.85f);
    EXPECT_EQ(pixelAt(wide.offImage, 20, 2), scaleColour(faceColour, 0.7f));
    EXPECT_EQ(pixelAt(wide.offImage, 50, 3), scaleColour(faceColour, 0.7f));
}

TEST(ShadeButton, FaceHasFrameBevelAndGradientBrighterAfterHash) {
    const Limage& face = plainOf(22, 22, "").offImage;
    int faceColour = scaleColour(back, 0.85f);
    EXPECT_EQ(pixelAt(face, 0, 0), scaleColour(back, 0.58f));
    EXPECT_EQ(pixelAt(face, 21, 21), scaleColour(back, 0.58f));
    EXPECT_EQ(pixelAt(face, 5, 1), scaleColour(faceColour, 1.15f));
    EXPECT_EQ(pixelAt(face, 5, 20), scaleColour(faceColour, 0.9f));
    EXPECT_EQ(pixelAt(face, 1, 2), scaleColour(faceColour, 0.93f));
    EXPECT_EQ(pixelAt(face, 20, 19), scaleColour(faceColour, 1.07f));
    const Limage& bright = plainOf(30, 22, "#").offImage;
    EXPECT_EQ(pixelAt(bright, 5, 1), scaleColour(scaleColour(back, 1.17f), 1.15f));
}

TEST(ShadeButton, CaptionSuffixAndPrefixes) {
    ShadeButton play = plainOf(40, 22, "Play@-12");
    EXPECT_EQ(play.labelOffset, -12);
    EXPECT_TRUE(samePixels(play.offImage, plainOf(40, 22, "Play").offImage));
    EXPECT_EQ(plainOf(40, 22, "Play@x").labelOffset, 0);
    EXPECT_EQ(plainOf(40, 22, "Play@").labelOffset, 0);

    ShadeButton label = plainOf(40, 22, "#$Tone@5");
    EXPECT_TRUE(label.labelOnly);
    EXPECT_EQ(label.label, "Tone");
    EXPECT_EQ(label.labelOffset, 5);
    EXPECT_TRUE(plainOf(40, 22, "Play").label.empty());

    ShadeButton blank = plainOf(22, 22, "");
    EXPECT_TRUE(samePixels(blank.offImage, blank.onImage));
    EXPECT_TRUE(samePixels(blank.offImage, plainOf(22, 22, "<tap>").offImage));
    EXPECT_FALSE(samePixels(blank.offImage, plainOf(22, 22, "<Play>").offImage));
}

TEST(ShadeButton, MomentaryCaptionSitsOnePixelHigher) {
    bool on = false;
    ShadeButton plain = plainOf(40, 22, "Ab");
    ShadeButton toggle = toggleOf(40, "Ab", &on);
    int plainTop = firstDifferingRow(plain.offImage, plainOf(40, 22, "").offImage);
    int toggleTop = firstDifferingRow(toggle.offImage, toggleOf(40, "", &on).offImage);
    ASSERT_GT(plainTop, 4);
    EXPECT_EQ(plainTop + 1, toggleTop);
}

TEST(ShadeButton, ClickHitsRightEdgeButNotBottomEdgeAndSetsTheBoundValue) {
    bool on = false;
    ShadeButton toggle = toggleOf(22, "", &on);
    toggle.rect = {10, 20, 32, 42};
    for (auto [x, y] : {std::pair{20, 42}, {33, 30}, {9, 30}, {20, 19}})
        EXPECT_FALSE(toggle.clickTest(x, y)) << x << "," << y;
    EXPECT_FALSE(toggle.pressed || on);
    EXPECT_TRUE(toggle.clickTest(32, 41));
    EXPECT_TRUE(toggle.pressed && on && toggle.isOn());
    toggle.invert = true;
    EXPECT_FALSE(toggle.isOn());

    int choice = 0;
    ShadeButton radio = plainOf(22, 22, "");
    radio.radioVar = &choice;
    radio.radioValue = 3;
    EXPECT_FALSE(radio.isOn());
    EXPECT_TRUE(radio.clickTest(5, 5));
    EXPECT_EQ(choice, 3);
    EXPECT_TRUE(radio.isOn());
}

class ShadeButtonDraw : public ::testing::Test {
  protected:
    Limage raster;
    RecordingCanvas window;
    bool on = true;
    ShadeButton button;

    void SetUp() override {
        raster.create(100, 60);
        raster.fill(0x123456);
        button.raster = &raster;
        button.windowCanvas = &window;
        button.backColour = back;
        button.foreColour = 0x484848;
        button.setUpToggle(10, 20, 30, 22, "<plus>", &on);
    }
};

TEST_F(ShadeButtonDraw, CopiesTheFaceOfTheBoundStateAndPresentsItsRectangle) {
    button.draw();
    for (int y = 0; y < 22; y++)
        for (int x = 0; x < 30; x++)
            ASSERT_EQ(pixelAt(raster, 10 + x, 20 + y), pixelAt(button.onImage, x, y));
    ASSERT_EQ(window.clips.size(), 1u);
    platform::Rect clip = window.clips[0];
    EXPECT_EQ(clip.Left, 10);
    EXPECT_EQ(clip.Top, 20);
    EXPECT_EQ(clip.Right, 41);
    EXPECT_EQ(clip.Bottom, 43);
    EXPECT_FALSE(window.clipped);
    on = false;
    button.draw();
    EXPECT_EQ(pixelAt(raster, 10 + 15, 20 + 2), pixelAt(button.offImage, 15, 2));
}

TEST_F(ShadeButtonDraw, PressedLookShiftsTheFaceDownWithAShadowRowAndColumn) {
    button.pressed = true;
    button.draw();
    const Limage& face = button.onImage;
    // One pixel lower: raster row 20 keeps the old background, row 21 holds face row 0.
    EXPECT_EQ(pixelAt(raster, 20, 20), 0x123456);
    EXPECT_EQ(pixelAt(raster, 20, 21), pixelAt(face, 10, 0));
    EXPECT_EQ(pixelAt(raster, 20, 25), pixelAt(face, 10, 4));
    // Row Top + 2 is darkened to about 224/255, column Left + 1 to about 216/255.
    int shadedRow = pixelAt(raster, 20, 22) & 0xFF;
    EXPECT_EQ(shadedRow, T0[0xE0 * 256 + (pixelAt(face, 10, 1) & 0xFF)]);
    int shadedColumn = pixelAt(raster, 11, 30) & 0xFF;
    EXPECT_EQ(shadedColumn, T0[0xD8 * 256 + (pixelAt(face, 1, 9) & 0xFF)]);
    // The clip stops above the last two rows of the rectangle, and is reset afterwards.
    EXPECT_EQ(pixelAt(raster, 20, 40), pixelAt(face, 10, 19));
    EXPECT_EQ(pixelAt(raster, 20, 41), 0x123456);
    EXPECT_EQ(raster.clipX2, 99);
}

TEST_F(ShadeButtonDraw, LabelIsDrawnAboveAndNothingWithoutTargets) {
    ShadeButton label;
    label.raster = &raster;
    label.windowCanvas = &window;
    label.setUpButton(40, 40, 20, 10, "$Tone", 1);
    label.draw();
    int inked = 0;
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 100; x++)
            inked += pixelAt(raster, x, y) != 0x123456;
    EXPECT_GT(inked, 0);
    // The button itself shows nothing: its faces hold what lay under it.
    EXPECT_EQ(pixelAt(raster, 40, 40), 0x123456);
    EXPECT_EQ(pixelAt(raster, 59, 49), 0x123456);

    ShadeButton loose;
    loose.setUpButton(0, 0, 22, 22, "", 1);
    loose.draw();  // no raster, no window: nothing to do, nothing to crash on
    loose.raster = &raster;
    loose.draw();
    EXPECT_TRUE(window.clips.size() == 1u);
}
