// SoundVoice: the plain state of one playing buffer, as the mixer reads and advances it.
#pragma once

#include <cstdint>

namespace platform {

// Everything the mixer needs to take samples from one buffer. It is plain data: the mixer reads
// and advances it on the audio thread while the device lock is held, and the window thread
// changes it only under the same lock.
//
// The position is kept as an integer sample index plus a 32-bit fraction. At the device rate the
// step is exactly one sample, the fraction stays 0, and a looping buffer of L samples therefore
// repeats every L output frames for ever, with no drift.
struct SoundVoice {
    static constexpr std::uint64_t unitStep = std::uint64_t{1} << 32;

    const std::int16_t* samples = nullptr;  // the sample data, shared with duplicates
    std::uint32_t length = 0;               // samples in the data
    std::uint32_t position = 0;             // index of the next sample taken
    std::uint32_t fraction = 0;             // progress from position towards position + 1
    std::uint64_t step = unitStep;          // source samples per output frame, 32.32 fixed point
    float gainLeft = 1.0f;                  // amplitude factors after volume and pan
    float gainRight = 1.0f;
    float gainMono = 1.0f;    // amplitude factor after volume alone
    std::uint32_t delay = 0;  // output frames of silence before the first sample is taken
    bool playing = false;
    bool looping = false;
};

}  // namespace platform
