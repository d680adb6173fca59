// A font face opened at one size and weight, with its cell metrics and its rendered glyphs.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/draw/FontGlyph.h"

struct FT_GlyphSlotRec_;

namespace platform {

// Made by FontLibrary, which keeps one per name, height and weight. Characters are the bytes of
// the program's 8-bit text, read as Windows-1252; each is rendered once and kept.
class FontFace {
  public:
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // How a face is made heavier than its outlines are drawn: not at all; thicker strokes
    // and wider advances (a regular face standing in for a bold one); or thicker strokes on
    // the face's own advances (a bold face whose strokes are no heavier than the regular's).
    enum class Emboldening { none, widened, thickened };

    // Opens the file's face; nullptr when it cannot be opened or sized. A negative height is
    // the em height in pixels, a positive one the cell height.
    static std::unique_ptr<FontFace> open(const std::string& file, int index, int height,
                                          Emboldening emboldening);

    // Pixels from the cell's top to the baseline, and from the baseline to the cell's bottom.
    int ascent() const { return cellAscent; }
    int descent() const { return cellDescent; }
    int cellHeight() const { return cellAscent + cellDescent; }
    // The underline's first row below the baseline and its thickness, in pixels.
    int underlineOffset() const { return lineOffset; }
    int underlineThickness() const { return lineThickness; }
    // The family the face calls itself, for reports ("Tahoma", "DejaVu Sans").
    const std::string& family() const { return familyName; }

    // The sum of the coverage of a character's glyph: how much ink it puts down.
    long ink(unsigned char character);

    const FontGlyph& glyph(unsigned char character);
    int advance(unsigned char character) { return glyph(character).advance; }

  private:
    struct Engine;
    explicit FontFace(std::unique_ptr<Engine> engine);
    void measure(int height);
    void render(unsigned char character, FontGlyph& into);
    void embolden(FT_GlyphSlotRec_* slot, FontGlyph& into);

    std::unique_ptr<Engine> engine;
    std::array<FontGlyph, 256> glyphs;
    std::array<bool, 256> rendered{};
    int cellAscent = 0;
    int cellDescent = 0;
    int lineOffset = 1;
    int lineThickness = 1;
    std::string familyName;
};

}  // namespace platform
