// The caption tokens that shaded buttons draw as small vector icons instead of text.
#pragma once

#include "base/AnsiString.h"

namespace platform {
class Canvas;
}

// The tokens, in the order a caption is compared against them. A caption is a token only when
// it equals one byte for byte.
inline constexpr const char* glyphTokens[] = {"<",       ">",       "<up>",    "<down>",
                                              "<plus>",  "<minus>", "<cross>", "<sound>",
                                              "<reset>", "<tap>",   "<play>",  "<wave>"};
inline constexpr int glyphTokenCount = 12;

// The token's index in glyphTokens, or -1 when the caption is plain text.
int glyphIndex(const AnsiString& caption);
bool isGlyphToken(const AnsiString& caption);

// Draws the token's icon centred on (cx, cy) with the canvas's current pen and brush, which the
// caller has set to the text colour. A caption that is no token draws nothing; so does "<tap>",
// whose face stays blank on purpose.
void drawGlyph(const AnsiString& caption, platform::Canvas& canvas, int cx, int cy);
