// The common base of shaded controls.
#include "shadeui/ShadeControl.h"

#include "graphics/Limage.h"
#include "platform/draw/Canvas.h"

bool ShadeControl::canDraw() const {
    return raster != nullptr && windowCanvas != nullptr && raster->isValid();
}

void ShadeControl::setColour(platform::Canvas& canvas, int colour) {
    canvas.setPenColour(colour);
    canvas.setBrushColour(colour);
}
