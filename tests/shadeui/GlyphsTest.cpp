// Glyph tokens: which captions are icons, and the exact pixels of the icons on a 22 x 22 face.
#include "shadeui/Glyphs.h"

#include <gtest/gtest.h>

#include "ShadeTestSupport.h"

namespace {

constexpr int ink = 0x102030;

// A 22 x 22 white image with the token drawn in `ink` at the face centre (11, 11).
Limage drawn(const char* token) {
    Limage image;
    image.create(22, 22);
    image.fill(0xFFFFFF);
    image.canvas().setPenColour(ink);
    image.canvas().setBrushColour(ink);
    drawGlyph(token, image.canvas(), 11, 11);
    return image;
}

bool has(const Limage& image, int dx, int dy) {
    return pixelAt(image, 11 + dx, 11 + dy) == ink;
}

struct GlyphCase {
    const char* token;
    int count;  // -1: not checked; the two diagonals of the cross share two pixels
    std::vector<std::pair<int, int>> inked, clear;
};

}  // namespace

TEST(Glyphs, OnlyWholeCaseSensitiveTokensAreIcons) {
    EXPECT_EQ(glyphIndex("<"), 0);
    EXPECT_EQ(glyphIndex("<wave>"), 11);
    for (const char* text : {"<Play>", "<up>x", " <up>", ""})
        EXPECT_FALSE(isGlyphToken(text)) << text;
    EXPECT_EQ(countPixels(drawn("<tap>"), ink), 0);
    EXPECT_EQ(countPixels(drawn("Play"), ink), 0);
}

TEST(Glyphs, PlusIsTwoBarsTwoPixelsThick) {
    Limage image = drawn("<plus>");
    for (int x = 7; x <= 14; x++) {
        EXPECT_TRUE(pixelAt(image, x, 10) == ink && pixelAt(image, x, 11) == ink) << x;
        EXPECT_TRUE(pixelAt(image, 10, x) == ink && pixelAt(image, 11, x) == ink) << x;
    }
    EXPECT_EQ(countPixels(image, ink), 28);
}

TEST(Glyphs, WaveIsOneSinePeriodThreePixelsThick) {
    Limage image = drawn("<wave>");
    EXPECT_EQ(countPixels(image, ink), 30);
    const int offsets[10] = {0, -1, -2, -2, -1, 1, 2, 2, 1, 0};
    for (int i = 0; i < 10; i++)
        for (int d = -1; d <= 1; d++)
            EXPECT_TRUE(has(image, -5 + i, offsets[i] + d)) << i << " " << d;
}

// The ends of every stroke, where a line's excluded end point makes or breaks the icon.
TEST(Glyphs, StrokeEndsOfTheOtherIcons) {
    const GlyphCase cases[] = {
        {"<", 21, {{-3, 0}, {-1, 0}, {0, -3}, {2, -3}, {2, 3}}, {{0, 0}, {-4, 0}, {3, -4}}},
        {">", 21, {{3, 0}, {1, 0}, {0, -3}, {-2, -3}, {-2, 3}}, {{0, 0}, {4, 0}}},
        {"<up>", 21, {{0, -3}, {0, -1}, {-3, 0}, {-3, 2}, {3, 2}}, {{0, 0}, {0, -4}}},
        {"<down>", 21, {{0, 3}, {0, 1}, {-3, 0}, {-3, -2}, {3, -2}}, {{0, 0}, {0, 4}}},
        {"<minus>", 16, {{-4, -1}, {3, 0}}, {{4, 0}, {0, -2}}},
        {"<cross>", 26, {{-4, -3}, {-3, -3}, {2, 3}, {3, 3}, {2, -3}, {-4, 3}}, {{3, 4}, {-5, 4}}},
        {"<play>", 25, {{-2, -4}, {-2, 4}, {2, 0}}, {{-2, 5}, {2, 1}, {3, 0}}},
        {"<sound>", -1, {{-3, -2}, {-1, 2}, {0, 0}, {1, 0}, {2, -4}, {2, 4}}, {{3, 0}, {-4, 0}}},
        {"<reset>",
         -1,
         {{-6, 0}, {5, 0}, {-3, -3}, {2, -3}, {-1, -1}, {-3, 3}, {-1, 1}},
         {{6, 0}, {0, -4}, {0, 4}}},
    };
    for (const GlyphCase& c : cases) {
        Limage image = drawn(c.token);
        if (c.count >= 0) {
            EXPECT_EQ(countPixels(image, ink), c.count) << c.token;
        }
        for (auto [x, y] : c.inked)
            EXPECT_TRUE(has(image, x, y)) << c.token << " " << x << "," << y;
        for (auto [x, y] : c.clear)
            EXPECT_FALSE(has(image, x, y)) << c.token << " " << x << "," << y;
    }
}
