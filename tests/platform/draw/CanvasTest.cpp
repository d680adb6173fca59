// The canvas's pixel conventions: lines, rectangles, frames, polygons, ellipses, bitmaps, clips.
#include "platform/draw/Canvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/draw/Bitmap.h"
#include "tests/platform/draw/GuardedRows.h"

namespace platform {
namespace {

constexpr Colour background = 0xFFFFFF;
constexpr Colour penInk = 0x0000FF;
constexpr Colour brushInk = 0xFF0000;

// A white bitmap whose canvas draws lines in red and fills in blue.
struct Sheet {
    Bitmap bitmap;
    Canvas& canvas;

    Sheet(int width, int height) : canvas(bitmap.canvas()) {
        bitmap.create(width, height);
        canvas.setBrushColour(background);
        canvas.fillRect(0, 0, width, height);
        canvas.setPenColour(penInk);
        canvas.setBrushColour(brushInk);
    }

    // One text line per row: '.' background, '#' pen, 'o' brush, '?' anything else.
    std::string picture() const {
        std::string out;
        for (int y = 0; y < bitmap.height(); ++y) {
            for (int x = 0; x < bitmap.width(); ++x) {
                const Colour c = canvas.pixel(x, y);
                out += c == background ? '.' : c == penInk ? '#' : c == brushInk ? 'o' : '?';
            }
            out += '\n';
        }
        return out;
    }
};

std::string rows(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines)
        out += std::string(line) + '\n';
    return out;
}

TEST(CanvasTest, LinesExcludeTheirEndPointInEveryDirection) {
    Sheet sheet(7, 7);
    Canvas& c = sheet.canvas;
    c.moveTo(1, 0);
    c.lineTo(5, 0);  // right
    c.moveTo(5, 6);
    c.lineTo(1, 6);  // left
    c.moveTo(0, 1);
    c.lineTo(0, 5);  // down
    c.moveTo(3, 3);
    c.lineTo(3, 3);  // to itself: nothing
    c.moveTo(6, 5);
    c.lineTo(6, 1);  // up
    EXPECT_EQ(sheet.picture(),
              rows({".####..", "#......", "#.....#", "#.....#", "#.....#", "......#", "..####."}));
    EXPECT_EQ(c.penPosition().x, 6);
    EXPECT_EQ(c.penPosition().y, 1);
}

TEST(CanvasTest, DiagonalsAreExactAndOtherSlopesStepAlongTheLongerAxis) {
    Sheet sheet(7, 7);
    Canvas& c = sheet.canvas;
    c.moveTo(0, 0);
    c.lineTo(3, 3);
    c.lineTo(6, 0);
    c.moveTo(0, 6);
    c.lineTo(3, 3);  // ends where the first diagonal is drawn already
    c.moveTo(6, 6);
    c.lineTo(4, 4);
    EXPECT_EQ(sheet.picture(),
              rows({"#......", ".#...#.", "..#.#..", "...#...", "..#....", ".#...#.", "#.....#"}));
    // Other slopes take one pixel per step of the longer axis, rounding the shorter one.
    Sheet sloped(7, 7);
    sloped.canvas.moveTo(0, 0);
    sloped.canvas.lineTo(6, 2);
    sloped.canvas.moveTo(6, 6);
    sloped.canvas.lineTo(4, 0);
    EXPECT_EQ(sloped.picture(),
              rows({"##.....", "..###..", ".....#.", ".....#.", ".....#.", "......#", "......#"}));
}

TEST(CanvasTest, RectanglesCoverLeftAndTopButNotRightAndBottom) {
    Sheet sheet(6, 5);
    sheet.canvas.fillRect(1, 1, 4, 3);
    sheet.canvas.fillRect(Rect{5, 4, 5, 5});  // empty: Right == Left
    sheet.canvas.fillRect(Rect{3, 4, 1, 5});  // inverted
    EXPECT_EQ(sheet.picture(), rows({"......", ".ooo..", ".ooo..", "......", "......"}));
    // A frame is the border just inside the same rectangle, also in the brush colour.
    Sheet framed(7, 6);
    framed.canvas.frameRect(Rect{1, 1, 6, 5});
    framed.canvas.frameRect(Rect{0, 0, 1, 6});  // one column wide
    EXPECT_EQ(framed.picture(),
              rows({"o......", "oooooo.", "oo...o.", "oo...o.", "oooooo.", "o......"}));
}

TEST(CanvasTest, AClearBrushPaintsNoFillsButStillOutlines) {
    Sheet sheet(6, 6);
    Canvas& c = sheet.canvas;
    c.setBrushStyle(BrushStyle::clear);
    c.fillRect(0, 0, 6, 6);
    c.frameRect(Rect{0, 0, 6, 6});
    const Point square[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}};
    c.polygon(square, 4);
    EXPECT_EQ(sheet.picture(), rows({"......", ".####.", ".#..#.", ".#..#.", ".####.", "......"}));
}

TEST(CanvasTest, PolygonFillsThePixelsWhoseCentresAreInsideAndOutlinesThePath) {
    Sheet sheet(7, 7);
    Canvas& c = sheet.canvas;
    c.setPenColour(brushInk);
    const Point square[] = {{1, 1}, {5, 1}, {5, 5}, {1, 5}};
    c.polygon(square, 4);
    Sheet outlined(7, 7);
    outlined.canvas.polygon(square, 4);
    // The fill alone covers x 1..4, y 1..4; the outline adds column 5 and row 5.
    EXPECT_EQ(outlined.picture(),
              rows({".......", ".#####.", ".#ooo#.", ".#ooo#.", ".#ooo#.", ".#####.", "......."}));
    EXPECT_EQ(sheet.picture(),
              rows({".......", ".ooooo.", ".ooooo.", ".ooooo.", ".ooooo.", ".ooooo.", "......."}));
}

TEST(CanvasTest, PolygonFillFollowsSlopedEdges) {
    Sheet sheet(9, 5);
    Canvas& c = sheet.canvas;
    c.setPenColour(brushInk);
    c.setBrushColour(0x00FF00);
    // A triangle whose sides pass exactly through pixel corners at 45 degrees.
    const Point triangle[] = {{0, 4}, {4, 0}, {8, 4}};
    c.polygon(triangle, 3);
    // Inside pixels are green ('?'); the outline in the pen colour covers the edges.
    EXPECT_EQ(sheet.picture(),
              rows({"....o....", "...o?o...", "..o???o..", ".o?????o.", "ooooooooo"}));
}

TEST(CanvasTest, PolygonFillUsesTheEvenOddRule) {
    Sheet sheet(21, 21);
    Canvas& c = sheet.canvas;
    // A five-pointed star drawn in one stroke: its pentagon in the middle is enclosed twice,
    // so the even-odd rule leaves it empty while the five points are filled.
    const Point star[] = {{10, 0}, {16, 18}, {0, 7}, {20, 7}, {4, 18}};
    c.setPenColour(background);
    c.polygon(star, 5);
    EXPECT_EQ(c.pixel(10, 10), background);
    EXPECT_EQ(c.pixel(10, 4), brushInk);   // top point
    EXPECT_EQ(c.pixel(3, 8), brushInk);    // left point
    EXPECT_EQ(c.pixel(17, 8), brushInk);   // right point
    EXPECT_EQ(c.pixel(6, 15), brushInk);   // lower left point
    EXPECT_EQ(c.pixel(14, 15), brushInk);  // lower right point
}

TEST(CanvasTest, EllipseIsInscribedWithItsOutlineInThePen) {
    Sheet tiny(4, 4);
    tiny.canvas.ellipse(1, 1, 2, 2);  // one pixel
    tiny.canvas.ellipse(3, 3, 3, 4);  // no width: nothing
    tiny.canvas.ellipse(4, 2, 2, 4);  // corners given right-to-left
    EXPECT_EQ(tiny.picture(), rows({"....", ".#..", "..##", "..##"}));
    Sheet sheet(7, 7);
    sheet.canvas.ellipse(1, 1, 6, 6);
    EXPECT_EQ(sheet.picture(),
              rows({".......", "..###..", ".#ooo#.", ".#ooo#.", ".#ooo#.", "..###..", "......."}));
}

TEST(CanvasTest, WideEllipseStaysInsideItsRectangleAndIsSymmetric) {
    Sheet sheet(14, 8);
    sheet.canvas.ellipse(Rect{1, 1, 13, 7});
    const std::string picture = sheet.picture();
    EXPECT_EQ(picture,
              rows({"..............", "....######....", "..##oooooo##..", ".#oooooooooo#.",
                    ".#oooooooooo#.", "..##oooooo##..", "....######....", ".............."}));
    // Far larger than the bitmap, as the dial's shading ellipses are: its part is filled.
    Sheet large(20, 20);
    large.canvas.ellipse(-150, -200, 70, 269);
    EXPECT_EQ(large.canvas.pixel(0, 0), brushInk);
    EXPECT_EQ(large.canvas.pixel(19, 19), brushInk);
}

TEST(CanvasTest, DrawAndSetPixelAreCutToTheTarget) {
    Sheet sheet(5, 4);
    Bitmap source;
    source.create(3, 3);
    source.canvas().setBrushColour(brushInk);
    source.canvas().fillRect(0, 0, 3, 3);
    source.canvas().setPixel(2, 2, penInk);
    sheet.canvas.draw(3, 2, source.pixels());
    sheet.canvas.draw(-2, -2, source.pixels());
    sheet.canvas.draw(9, 0, source.pixels());
    sheet.canvas.setPixel(1, 0, 0x123456);
    sheet.canvas.setPixel(5, 0, penInk);  // outside: ignored
    EXPECT_EQ(sheet.canvas.pixel(1, 0), 0x123456);
    EXPECT_EQ(sheet.canvas.pixel(5, 0), -1);
    EXPECT_EQ(sheet.canvas.pixel(0, -1), -1);
    EXPECT_EQ(sheet.picture(), rows({"#?...", ".....", "...oo", "...oo"}));
}

TEST(CanvasTest, ClipLimitsEveryOperationUntilCleared) {
    Sheet sheet(6, 5);
    Canvas& c = sheet.canvas;
    c.setClip(Rect{1, 1, 4, 3});
    EXPECT_TRUE(c.hasClip());
    c.fillRect(0, 0, 6, 5);
    c.moveTo(0, 4);
    c.lineTo(5, 4);
    c.setPixel(4, 2, penInk);
    c.clearClip();
    c.setPixel(5, 0, penInk);
    c.setClip(Rect{-10, 5, 10, 20});  // wholly below the bitmap
    c.fillRect(-100, -100, 100, 100);
    c.clearClip();
    EXPECT_EQ(sheet.picture(), rows({".....#", ".ooo..", ".ooo..", "......", "......"}));
}

TEST(CanvasTest, NothingIsWrittenOutsideTheRowsWhateverTheCoordinates) {
    GuardedRows guarded(8, 6);
    Canvas c(guarded.pixels());
    c.setPenColour(0x010203);
    c.setBrushColour(0x040506);
    const int far = 2000000000;
    c.fillRect(-far, -far, far, far);
    c.frameRect(Rect{-1, -1, 9, 7});
    c.moveTo(-far, -far);
    c.lineTo(far, far);
    c.moveTo(-3, 2);
    c.lineTo(11, 5);
    c.ellipse(-far, -far, far, far);
    c.ellipse(-4, -4, 12, 10);
    const Point star[] = {{-20, 3}, {30, -9}, {4, 40}, {far, 2}, {-far, far}};
    c.polygon(star, 5);
    c.draw(-3, -3, guarded.pixels());
    c.draw(5, 4, guarded.pixels());
    EXPECT_TRUE(guarded.guardsIntact());
    EXPECT_EQ(c.pixel(0, 0), 0x040506);
    Canvas none;  // no rows at all
    none.fillRect(0, 0, 10, 10);
    none.ellipse(0, 0, 4, 4);
    none.polygon(star, 5);
    none.polygon(nullptr, 3);
    none.textOut(0, 0, "text");
    EXPECT_EQ(none.pixel(0, 0), -1);
}

}  // namespace
}  // namespace platform
