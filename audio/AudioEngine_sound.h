// AudioEngine_sound: one loaded sound, a source buffer and its duplicates played round robin.
#pragma once

#include <cstdint>

#include "base/Llist.h"

namespace platform {
class SoundBuffer;
}

// A sound holds several buffers over the same samples so that it can be started again while it
// still sounds. Sounds are stored by value in the engine's list: copying one copies its buffer
// handles, not the buffers; the engine releases them once, through release().
class AudioEngine_sound {
  public:
    std::int32_t nextBuffer = -1;    // the buffer the next play uses; -1 when there is none
    std::int32_t frequency = 44100;  // the native sample rate in Hz
    Llist<platform::SoundBuffer*> buffers{0, 1, true};  // the source first, then duplicates

    AudioEngine_sound() = default;
    // Takes over `buffer` and adds copies - 1 duplicates of it.
    AudioEngine_sound(platform::SoundBuffer* buffer, int copies);

    // Sets the volume of every buffer from a linear gain, and centres them.
    void setVolume(double gain);
    // Volume (linear gain), pan (-1..1) and frequency factor of the buffer the next play uses.
    bool setParameters(double volume, double pan, double factor);
    // Starts that buffer, once or looping, and moves on to the next one.
    bool play(bool loop);
    // Releases every buffer; the sound itself stays until it is removed from the list.
    void release();

    // The scale values the engine hands to the device, from linear gain and pan.
    static int volumeValue(double gain);
    static int panValue(double pan);
    static std::uint32_t frequencyValue(std::int32_t native, double factor);
};
