// Wmain: the main window's module, the objects that live from start-up to shutdown.
#pragma once

#include "app/BeatDial.h"
#include "engine/Metronome.h"
#include "platform/draw/Rect.h"
#include "shadeui/ShadeUI.h"

class AudioEngine;

// Built before any window exists, in this order: the metronome (which loads the settings), the
// main container, the dial's two rasters (empty until the first layout). Destroyed in reverse:
// the metronome goes last, and its destruction writes the settings file. The object is large
// (the metronome holds two whole bars): keep it on the heap.
class Wmain {
  public:
    explicit Wmain(AudioEngine& audio);
    Wmain(AudioEngine& audio, const SettingsPlace& place);

    Metronome metronome;
    ShadeUI mainContainer;
    BeatDial dial;
    platform::Rect linkRect{-1, -1, -1, -1};  // the web-site text; a click inside opens the page
};
