// AboutPictures: the about screen's pictures and the application icon, drawn by the program.
#pragma once

#include <vector>

class Limage;

// The pictures are drawn, not loaded: a metronome, a pair of notes, a loudspeaker and a tuning
// fork, in the warm and cool colours of the about screen's texts. The three small ones are
// copied onto the screen as they are, so each is painted over a backdrop, the part of the
// composed screen it will cover, and fits in without a seam. The metronome stands on black,
// which the screen's soft-key copy makes transparent.
class AboutPictures {
  public:
    // The sizes of the pictures; the metronome's height places it on the screen.
    static constexpr int metronomeWidth = 120;
    static constexpr int metronomeHeight = 140;
    static constexpr int notesSize = 64;
    static constexpr int speakerSize = 96;
    static constexpr int forkSize = 48;

    static bool metronome(Limage& picture);
    // Each small picture is centred on (cx, cy) of the backdrop.
    static bool notes(Limage& picture, const Limage& backdrop, int cx, int cy);
    static bool speaker(Limage& picture, const Limage& backdrop, int cx, int cy);
    static bool tuningFork(Limage& picture, const Limage& backdrop, int cx, int cy);

    // The application icon, size x size red, green, blue, alpha rows (transparent corners).
    static std::vector<unsigned char> icon(int size);
};
