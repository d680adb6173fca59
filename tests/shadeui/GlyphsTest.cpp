// Glyph tokens: which captions are icons, and the exact pixels of the icons on a 22 x 22 face.
#include "shadeui/Glyphs.h"

#include <gtest/gtest.h>

#include "ShadeTestSupport.h"

namespace {

constexpr int ink = 0x102030;
constexpr int paper = 0xFFFFFF;

// A 22 x 22 white image with the token drawn in `ink` at the face centre (11, 11).
Limage drawn(const char* token) {
    Limage image;
    image.create(22, 22);
    image.fill(paper);
    image.canvas().setPenColour(ink);
    image.canvas().setBrushColour(ink);
    drawGlyph(token, image.canvas(), 11, 11);
    return image;
}

// The set pixels, as offsets from the centre.
std::vector<std::pair<int, int>> inked(const Limage& image) {
    std::vector<std::pair<int, int>> points;
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++)
            if (pixelAt(image, x, y) == ink) points.push_back({x - 11, y - 11});
    return points;
}

bool has(const Limage& image, int dx, int dy) {
    return pixelAt(image, 11 + dx, 11 + dy) == ink;
}

}  // namespace

TEST(Glyphs, OnlyWholeCaseSensitiveTokensAreIcons) {
    EXPECT_EQ(glyphIndex("<"), 0);
    EXPECT_EQ(glyphIndex("<wave>"), 11);
    EXPECT_FALSE(isGlyphToken("<Play>"));
    EXPECT_FALSE(isGlyphToken("<up>x"));
    EXPECT_FALSE(isGlyphToken(" <up>"));
    EXPECT_FALSE(isGlyphToken(""));
}

TEST(Glyphs, PlusIsTwoBarsTwoPixelsThick) {
    Limage image = drawn("<plus>");
    for (int x = 7; x <= 14; x++) {
        EXPECT_TRUE(pixelAt(image, x, 10) == ink && pixelAt(image, x, 11) == ink) << x;
        EXPECT_TRUE(pixelAt(image, 10, x) == ink && pixelAt(image, 11, x) == ink) << x;
    }
    EXPECT_EQ(countPixels(image, ink), 28);
}

TEST(Glyphs, MinusIsTheHorizontalBarAlone) {
    Limage image = drawn("<minus>");
    EXPECT_EQ(countPixels(image, ink), 16);
    EXPECT_TRUE(has(image, -4, -1) && has(image, 3, 0));
    EXPECT_FALSE(has(image, 4, 0));
}

TEST(Glyphs, WaveIsOneSinePeriodThreePixelsThick) {
    Limage image = drawn("<wave>");
    EXPECT_EQ(countPixels(image, ink), 30);
    const int offsets[10] = {0, -1, -2, -2, -1, 1, 2, 2, 1, 0};
    for (int i = 0; i < 10; i++)
        for (int d = -1; d <= 1; d++)
            EXPECT_TRUE(has(image, -5 + i, offsets[i] + d)) << i << " " << d;
}

TEST(Glyphs, ChevronsAreThreePixelsThickAndMirrored) {
    Limage left = drawn("<");
    EXPECT_TRUE(has(left, -3, 0) && has(left, -2, 0) && has(left, -1, 0));
    EXPECT_FALSE(has(left, 0, 0) || has(left, -4, 0));
    for (int x = 0; x <= 2; x++)
        EXPECT_TRUE(has(left, x, -3) && has(left, x, 3)) << x;
    Limage right = drawn(">");
    for (auto [x, y] : inked(left))
        EXPECT_TRUE(has(right, -x, y)) << x << "," << y;
    EXPECT_EQ(inked(left).size(), inked(right).size());
}

TEST(Glyphs, UpAndDownAreTheTransposedChevrons) {
    Limage left = drawn("<");
    Limage up = drawn("<up>");
    Limage down = drawn("<down>");
    // "<up>" is "<" turned a quarter: its rows are the chevron's columns.
    for (auto [x, y] : inked(left)) {
        EXPECT_TRUE(has(up, y, x)) << x << "," << y;
        EXPECT_TRUE(has(down, y, -x)) << x << "," << y;
    }
}

TEST(Glyphs, PlayIsARightPointingTriangle) {
    Limage image = drawn("<play>");
    for (int y = -4; y <= 4; y++)
        EXPECT_TRUE(has(image, -2, y)) << y;
    EXPECT_FALSE(has(image, -2, 5));
    EXPECT_TRUE(has(image, 2, 0));
    EXPECT_FALSE(has(image, 2, 1) || has(image, 2, -1) || has(image, 3, 0));
    EXPECT_EQ(countPixels(image, ink), 9 + 7 + 5 + 3 + 1);
}

TEST(Glyphs, CrossIsTwoDoubleDiagonals) {
    Limage image = drawn("<cross>");
    for (int i = 0; i < 7; i++) {
        EXPECT_TRUE(has(image, -4 + i, -3 + i) && has(image, -3 + i, -3 + i)) << i;
        EXPECT_TRUE(has(image, 2 - i, -3 + i) && has(image, 3 - i, -3 + i)) << i;
    }
    EXPECT_FALSE(has(image, 3, 4) || has(image, -5, 4));
}

TEST(Glyphs, SoundAndResetAreSolidShapes) {
    Limage sound = drawn("<sound>");
    for (int y = -2; y <= 2; y++)
        for (int x = -3; x <= 0; x++)
            EXPECT_TRUE(has(sound, x, y)) << x << "," << y;
    EXPECT_TRUE(has(sound, 2, -4) && has(sound, 2, 4) && has(sound, 1, 0));
    EXPECT_FALSE(has(sound, 3, 0) || has(sound, -4, 0));

    Limage reset = drawn("<reset>");
    for (int x = -6; x <= 5; x++)
        EXPECT_TRUE(has(reset, x, 0)) << x;
    EXPECT_FALSE(has(reset, 6, 0));
    EXPECT_TRUE(has(reset, -3, -3) && has(reset, 2, -3) && has(reset, -1, -1));
    EXPECT_TRUE(has(reset, -3, 3) && has(reset, 2, 3) && has(reset, -1, 1));
    EXPECT_FALSE(has(reset, 0, -4) || has(reset, 0, 4));
}

TEST(Glyphs, TapAndPlainTextDrawNothing) {
    EXPECT_EQ(countPixels(drawn("<tap>"), ink), 0);
    EXPECT_EQ(countPixels(drawn("Play"), ink), 0);
}
