// Text on the canvas: measuring, drawing in the font colour inside the cell, styles, clipping,
// and a library without fonts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/draw/Bitmap.h"
#include "platform/draw/Canvas.h"
#include "platform/draw/FontFace.h"
#include "platform/draw/FontLibrary.h"
#include "tests/platform/draw/GuardedRows.h"

namespace platform {
namespace {

constexpr Colour white = 0xFFFFFF;

// A white bitmap with the canvas set for text without a background.
struct TextSheet {
    Bitmap bitmap;
    Canvas& canvas;

    TextSheet(int width, int height) : canvas(bitmap.canvas()) {
        bitmap.create(width, height);
        canvas.setBrushColour(white);
        canvas.fillRect(0, 0, width, height);
        canvas.setBrushStyle(BrushStyle::clear);
    }

    int changedPixels() const {
        int count = 0;
        for (int y = 0; y < bitmap.height(); ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                count += canvas.pixel(x, y) != white;
        return count;
    }
};

#define REQUIRE_FONT()                                     \
    if (!FontLibrary::shared().face("Tahoma", -11, false)) \
    GTEST_SKIP() << "no font on this "                     \
                    "machine"

TEST(CanvasTextTest, WidthIsTheSumOfTheCharactersAndHeightTheCell) {
    REQUIRE_FONT();
    TextSheet sheet(10, 10);
    Canvas& c = sheet.canvas;
    const int play = c.textWidth("Play");
    EXPECT_GT(play, 10);
    EXPECT_EQ(c.textWidth("PlayPlay"), 2 * play);
    EXPECT_EQ(c.textWidth(""), 0);
    EXPECT_EQ(c.textWidth("\t"), 0);    // control characters take no room
    EXPECT_GT(c.textWidth("\x80"), 0);  // the euro sign of Windows-1252
    // An 11-pixel character sits in a cell a little taller than the character.
    const int cell = c.textHeight("X");
    EXPECT_GE(cell, 12);
    EXPECT_LE(cell, 15);
    EXPECT_EQ(c.textHeight(""), cell);
    c.font().height = -24;
    EXPECT_GT(c.textHeight("X"), 2 * cell - 4);
    EXPECT_GT(c.textWidth("Play"), 2 * play - 4);
    c.font().height = 20;  // a positive height asks for the cell itself
    EXPECT_EQ(c.textHeight("X"), 20);
}

TEST(CanvasTextTest, TextDrawsInTheFontColourInsideItsCell) {
    REQUIRE_FONT();
    TextSheet sheet(80, 30);
    Canvas& c = sheet.canvas;
    c.font().colour = 0x0000FF;  // red
    const int w = c.textWidth("Hgj|"), h = c.textHeight("Hgj|");
    c.textOut(10, 5, "Hgj|");
    bool fullInk = false;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const Colour p = c.pixel(x, y);
            if (p == white) continue;
            EXPECT_TRUE(x >= 10 && x < 10 + w && y >= 5 && y < 5 + h) << x << "," << y;
            // Every touched pixel lies between the background and the font colour.
            EXPECT_EQ(p & 0xFF, 0xFF);
            EXPECT_EQ((p >> 8) & 0xFF, (p >> 16) & 0xFF);
            fullInk |= p == 0x0000FF;
        }
    }
    EXPECT_TRUE(fullInk);  // hinted stems are whole pixels of the font colour
    EXPECT_GT(sheet.changedPixels(), 30);
}

TEST(CanvasTextTest, ASolidBrushFillsTheCellFirst) {
    REQUIRE_FONT();
    TextSheet sheet(60, 30);
    Canvas& c = sheet.canvas;
    c.setBrushStyle(BrushStyle::solid);
    c.setBrushColour(0x00FF00);
    c.font().colour = 0;
    const int w = c.textWidth("Tap"), h = c.textHeight("Tap");
    c.textOut(3, 4, "Tap");
    EXPECT_EQ(c.pixel(3, 4), 0x00FF00);
    EXPECT_EQ(c.pixel(3 + w - 1, 4 + h - 1), 0x00FF00);
    EXPECT_EQ(c.pixel(3 + w, 4), white);
    EXPECT_EQ(c.pixel(3, 4 + h), white);
    EXPECT_EQ(c.pixel(2, 4), white);
    int ink = 0;
    for (int y = 4; y < 4 + h; ++y)
        for (int x = 3; x < 3 + w; ++x) ink += c.pixel(x, y) == 0;
    EXPECT_GT(ink, 10);  // the letters, in the font colour over the brush
}

TEST(CanvasTextTest, BoldIsHeavierAndUnderlineAddsALineInsideTheCell) {
    REQUIRE_FONT();
    TextSheet regular(100, 20), bold(100, 20), underlined(100, 20);
    regular.canvas.textOut(0, 0, "Hello world");
    bold.canvas.font().bold = true;
    bold.canvas.textOut(0, 0, "Hello world");
    EXPECT_GT(bold.changedPixels(), regular.changedPixels() * 5 / 4);
    underlined.canvas.font().underline = true;
    const int w = underlined.canvas.textWidth("Hello world");
    const int h = underlined.canvas.textHeight("Hello world");
    underlined.canvas.textOut(0, 0, "Hello world");
    // Some row below the letters is covered from the first to the last column of the text.
    bool line = false;
    for (int y = 0; y < h; ++y) {
        int inked = 0;
        for (int x = 0; x < w; ++x)
            inked += underlined.canvas.pixel(x, y) == 0;
        line |= inked == w;
    }
    EXPECT_TRUE(line);
    EXPECT_EQ(underlined.canvas.pixel(w, h - 1), white);
}

TEST(CanvasTextTest, TextAtTheEdgesAndInAClipStaysInside) {
    REQUIRE_FONT();
    GuardedRows guarded(20, 8);
    Canvas c(guarded.pixels());
    c.setBrushColour(0x808080);
    c.font().height = -24;
    c.font().underline = true;
    c.textOut(-7, -9, "Wg");
    c.textOut(15, 3, "Wg");
    c.textOut(-2000000000, 2000000000, "Wg");
    std::string all;  // every byte but 0, control characters included
    for (int i = 1; i < 256; ++i)
        all += static_cast<char>(i);
    c.textOut(0, 0, all);
    EXPECT_TRUE(guarded.guardsIntact());
    TextSheet sheet(60, 20);
    sheet.canvas.setBrushStyle(BrushStyle::solid);
    sheet.canvas.setBrushColour(0);
    sheet.canvas.setClip(Rect{0, 0, 5, 20});
    sheet.canvas.textOut(0, 0, "WWWW");
    EXPECT_EQ(sheet.changedPixels(), 5 * sheet.canvas.textHeight("W"));
}

TEST(CanvasTextTest, WithoutAnyFontTextMeasuresZeroAndDrawsNothing) {
    FontLibrary none(FontLibrary::Options{false, {"/nonexistent/font/folder"}});
    EXPECT_EQ(none.face("Tahoma", -11, false), nullptr);
    EXPECT_EQ(none.fileFor("Tahoma", true), "");
    TextSheet sheet(40, 20);
    Canvas& c = sheet.canvas;
    c.setFontLibrary(&none);
    c.setBrushStyle(BrushStyle::solid);
    c.setBrushColour(0);
    EXPECT_EQ(c.textWidth("Play"), 0);
    EXPECT_EQ(c.textHeight("Play"), 0);
    c.textOut(2, 2, "Play");
    EXPECT_EQ(sheet.changedPixels(), 0);
}

TEST(CanvasTextTest, TheTahomaFolderGivesATahomaFace) {
    struct stat info {};
    if (stat(FontLibrary::tahomaFolder, &info) != 0) GTEST_SKIP() << "fonts-wine not installed";
    FontLibrary wineOnly(FontLibrary::Options{false, {FontLibrary::tahomaFolder}});
    FontFace* regular = wineOnly.face("Tahoma", -11, false);
    ASSERT_NE(regular, nullptr);
    EXPECT_EQ(regular->family(), "Tahoma");
    EXPECT_NE(wineOnly.face("Tahoma", -11, true), regular);
    EXPECT_EQ(wineOnly.face("Tahoma", -11, false), regular);
    EXPECT_NE(wineOnly.fileFor("Tahoma", true).find("tahomabd.ttf"), std::string::npos);
    // The process-wide library finds the same face among the system's fonts.
    EXPECT_EQ(FontLibrary::shared().face("Tahoma", -11, false)->family(), "Tahoma");
}

}  // namespace
}  // namespace platform
