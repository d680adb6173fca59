// A FreeType face at one size: cell metrics from the face's own tables, glyphs rendered once.
#include "platform/draw/FontFace.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {

// One FreeType instance for the process. Each face holds a share of it, so it is never shut
// down while a face made from it still exists, whatever order statics are destroyed in.
std::shared_ptr<FT_LibraryRec_> freeType() {
    static std::shared_ptr<FT_LibraryRec_> library = [] {
        FT_Library handle = nullptr;
        if (FT_Init_FreeType(&handle) != 0) return std::shared_ptr<FT_LibraryRec_>();
        return std::shared_ptr<FT_LibraryRec_>(handle, [](FT_Library l) { FT_Done_FreeType(l); });
    }();
    return library;
}

// The outlines are hinted as strongly as for one-bit rendering, which puts stems on whole pixels
// both ways, and then rendered antialiased: small text comes out crisp, as a desktop font at
// 11 pixels is expected to look, with smooth curves. Embedded bitmap strikes are skipped: they
// are one bit deep.
constexpr FT_Int32 loadFlags = FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP;

// Windows-1252 code points of the bytes 0x80..0x9F; the rest of the bytes are Latin-1. The
// five bytes the code page leaves undefined map to the replacement character.
constexpr std::uint16_t windows1252[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

FT_ULong codePoint(unsigned char character) {
    if (character >= 0x80 && character < 0xA0) return windows1252[character - 0x80];
    return character;
}

}  // namespace

struct FontFace::Engine {
    std::shared_ptr<FT_LibraryRec_> library;
    FT_Face face = nullptr;
    FontFace::Emboldening emboldening = FontFace::Emboldening::none;
    // Font units to pixels at the chosen size.
    double scale = 0;

    ~Engine() {
        if (face) FT_Done_Face(face);
    }
};

FontFace::FontFace(std::unique_ptr<Engine> e) : engine(std::move(e)) {}

FontFace::~FontFace() = default;

namespace {

// The face's cell in font units: the Windows ascent and descent when the face has them (that is
// the cell the name "Tahoma" stands for), else the horizontal header's.
void cellUnits(FT_Face face, double& ascent, double& descent) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
        return;
    }
    ascent = face->ascender;
    descent = -face->descender;
}

}  // namespace

std::unique_ptr<FontFace> FontFace::open(const std::string& file, int index, int height,
                                         Emboldening emboldening) {
    auto engine = std::make_unique<Engine>();
    engine->library = freeType();
    engine->emboldening = emboldening;
    if (!engine->library || height == 0) return nullptr;
    if (FT_New_Face(engine->library.get(), file.c_str(), index, &engine->face) != 0) {
        engine->face = nullptr;
        return nullptr;
    }
    FT_Face face = engine->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
    double ascent = 0, descent = 0;
    cellUnits(face, ascent, descent);
    if (ascent + descent <= 0) return nullptr;
    // A negative height is the em itself; a positive one is the cell, which spans more than
    // the em by the ratio of the cell to the em in font units.
    const double em = height < 0 ? -height : height * face->units_per_EM / (ascent + descent);
    const FT_F26Dot6 size = static_cast<FT_F26Dot6>(std::lround(em * 64));
    if (size <= 0 || FT_Set_Char_Size(face, 0, size, 72, 72) != 0) return nullptr;
    engine->scale = (size / 64.0) / face->units_per_EM;
    std::unique_ptr<FontFace> result(new FontFace(std::move(engine)));
    result->measure(height);
    return result;
}

void FontFace::measure(int height) {
    FT_Face face = engine->face;
    double ascent = 0, descent = 0;
    cellUnits(face, ascent, descent);
    cellAscent = static_cast<int>(std::lround(ascent * engine->scale));
    cellDescent = static_cast<int>(std::lround(descent * engine->scale));
    // A cell height asked for is the cell height given, whatever the rounding of the two parts.
    if (height > 0) cellDescent = std::max(0, height - cellAscent);
    familyName = face->family_name ? face->family_name : "";
    // The underline sits on its position below the baseline but always inside the cell.
    const double thickness = std::max(1.0, face->underline_thickness * engine->scale);
    lineThickness = std::max(1, static_cast<int>(std::lround(thickness)));
    const double centre = -face->underline_position * engine->scale;
    lineOffset = std::max(1, static_cast<int>(std::lround(centre - thickness / 2)));
    if (lineOffset + lineThickness > cellDescent) {
        lineOffset = std::max(1, cellDescent - lineThickness);
        lineThickness = std::max(1, std::min(lineThickness, cellDescent - lineOffset));
    }
}

long FontFace::ink(unsigned char character) {
    long sum = 0;
    for (const unsigned char c : glyph(character).coverage)
        sum += c;
    return sum;
}

// Thickens the strokes by about a fifteenth of the em, rounded to whole pixels (at least one) so
// that the hinted stems stay on the pixel grid: bold stays crisp at 9 to 11 pixels.
void FontFace::embolden(FT_GlyphSlotRec_* slot, FontGlyph& into) {
    if (engine->emboldening == Emboldening::none || slot->format != FT_GLYPH_FORMAT_OUTLINE) return;
    const int pixels =
        std::max(1, static_cast<int>(std::lround(slot->face->size->metrics.x_ppem / 15.0)));
    const FT_Pos strength = 64 * pixels;
    // Only the upright strokes thicken: thicker bars would close the small counters of e and a.
    FT_Outline_EmboldenXY(&slot->outline, strength, 0);
    // The outline grew by half the strength on each side; moving it right by that half puts
    // its edges back on whole pixels, with the left edge where it was.
    FT_Outline_Translate(&slot->outline, strength / 2, 0);
    if (engine->emboldening == Emboldening::widened) into.advance += pixels;
}

const FontGlyph& FontFace::glyph(unsigned char character) {
    if (!rendered[character]) {
        render(character, glyphs[character]);
        rendered[character] = true;
    }
    return glyphs[character];
}

void FontFace::render(unsigned char character, FontGlyph& into) {
    into = FontGlyph{};
    // Control characters take no room and show nothing.
    if (character < 0x20) return;
    FT_Face face = engine->face;
    if (FT_Load_Char(face, codePoint(character), loadFlags) != 0) return;
    FT_GlyphSlot slot = face->glyph;
    into.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    embolden(slot, into);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.width == 0 || bitmap.rows == 0) return;
    into.left = slot->bitmap_left;
    into.top = slot->bitmap_top;
    into.width = static_cast<int>(bitmap.width);
    into.rows = static_cast<int>(bitmap.rows);
    into.coverage.resize(static_cast<std::size_t>(into.width) * into.rows);
    for (int y = 0; y < into.rows; ++y) {
        const unsigned char* from = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::copy(from, from + into.width, into.coverage.begin() + std::ptrdiff_t{y} * into.width);
    }
}

}  // namespace platform
