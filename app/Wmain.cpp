// The main window's module objects.
#include "app/Wmain.h"

Wmain::Wmain(AudioEngine& audio) : metronome(audio), dial(metronome, mainContainer) {}

Wmain::Wmain(AudioEngine& audio, const SettingsPlace& place)
    : metronome(audio, place), dial(metronome, mainContainer) {}
