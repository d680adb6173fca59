// SpotLight: the raster module's start-up static, whose construction builds the table bank.
#pragma once

#include "graphics/Limage.h"

// One instance, `spotLight`, lives for the whole process. Constructing its image builds the blend
// table bank, so the bank is ready before the first paint; it has no other data and no other
// role. Any Limage constructed earlier builds the bank just the same.
class SpotLight {
  public:
    Limage image;
};

extern SpotLight spotLight;
