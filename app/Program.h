// Program: every process-wide object of Brevant, built and destroyed in the one stated order.
#pragma once

#include <memory>

#include "audio/AudioEngine.h"

class Wmain;

// C++ does not order globals across files, so the program's long-lived objects are members of
// this one object, declared in the order in which they must be built:
//   1. the window modules: the main window's module (the metronome, which loads the settings,
//      the main container and the dial rasters); the popup menu, about screen and dialog
//      modules keep only plain values that need no construction;
//   2. the plain objects: the foundation values and the program log, then the AudioEngine.
// The blend table bank is built by the first Limage, before anything is painted.
// Destruction runs in reverse: the AudioEngine goes first, the metronome last, writing the
// settings after every window is gone.
class Program {
  public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The program entry: the application title, the three windows, the message loop. Returns
    // the process's exit status.
    int run();

  private:
    std::unique_ptr<Wmain> mainModule;
    AudioEngine audio;
};
