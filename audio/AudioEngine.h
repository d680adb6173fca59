// AudioEngine: the program's path to the loudspeakers, sounds played from memory.
#pragma once

#include <cstdint>
#include <memory>

#include "audio/AudioEngine_sound.h"
#include "base/Llist.h"

namespace platform {
class SoundDevice;
struct SoundTransport;
struct HeardClock;
}  // namespace platform

// Opens the output device, turns blocks of 16-bit mono samples into sounds, plays them with
// volume, pan, pitch and looping, and reads and moves their play cursors. A sound is addressed by
// its index in `sounds`. Every operation but init does nothing (false, -1 or 0) until an init has
// succeeded. Failures are words in the program log; nothing is shown to the user.
//
// The device state (the device, its output, whether it is open) is shared by every engine in the
// process; the program has one engine.
class AudioEngine {
  public:
    std::int8_t channels = 0;  // 0 until init succeeds; 1 mono, 2 stereo, 3 stereo, pan doubled
    Llist<AudioEngine_sound> sounds{0, 1, true};

    AudioEngine() = default;
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // Opens the desktop's output for the window with channel mode 1, 2 or 3: the sound server
    // when one answers, else SDL (platform::SoundDevice::createDefault says which).
    bool init(void* window, int mode);
    // Opens the given device instead: tests and benchmarks pass an offline device.
    bool init(void* window, int mode, std::unique_ptr<platform::SoundDevice> device);

    // Copies `count` samples into a new sound of `copies` buffers; its index, or -1.
    int loadSound(const std::int16_t* samples, int count, int copies);
    // volume: linear gain 0..1; pan: -1 (left) .. 1 (right); factor: multiplier of the native
    // rate; loop: play endlessly.
    bool playSound(int index, double volume, double pan, double factor, bool loop);
    void setSoundVolume(int index, double gain);
    // Starts the sound's first buffer looping at `gain`, `frames` output frames from now: its
    // first sample is the frame after the last one a sound told to stop at its end (at the
    // same moment, `frames` ahead) plays, so that one follows the other without a gap.
    bool playSoundAfter(int index, std::uint32_t frames, double gain);
    // Lets the sound's first buffer play on to its end and stop there.
    void stopAtEnd(int index);
    // Stops, releases and removes one sound; later sounds move down one index.
    void releaseSound(int index);
    void releaseAllSounds();
    // The play cursor of the sound's first buffer, in samples; 0 when there is none.
    std::uint32_t playPosition(int index);
    // Moves the play cursor of the sound's first buffer to a byte position (aligned down to a
    // sample; refused at or past the end).
    void setPlayPosition(int index, std::uint32_t bytePosition);

    // The sample of the sound's first buffer that is being heard now: its play cursor less the
    // output latency, kept inside the sound, which loops (at the device rate). It equals
    // playPosition where the output has no latency. 0 when there is no such sound.
    std::uint32_t heardPosition(int index);
    // The open device's rate, at which every sound plays at factor 1; 44100 without a device.
    int sampleRate();
    // Marks the sound's first buffer as the loop a device's clock output follows, with
    // `pulsesPerLoop` pulses per loop; an index of no sound ends the clock. Call it under the same
    // Lock as the play or switch it belongs to, so that the clock moves on the same frame.
    void setClockSound(int index, int pulsesPerLoop);
    // The clock goes on with sound `index` where the sound it follows ends (a bar queued to
    // start on the frame after the sounding one's last). Call it under the lock.
    void queueClockSound(int index, int pulsesPerLoop);
    // The device's transport (JACK's); false when it has none. Read it under a Lock together
    // with mixedFrames.
    bool transport(platform::SoundTransport& out);
    // Output frames mixed since init, and how many of them are not heard yet; 0 without a device.
    // Read them under one Lock so that they belong together.
    std::uint64_t mixedFrames();
    int outputLatency();
    // The device's newest reading of its clock against the host's; false when it has none.
    bool heardClock(platform::HeardClock& out);
    // The device's upkeep between two passes of the main loop: reopening a lost output, and
    // passing its messages to the program log and to standard error.
    void service();

    // Holds the device lock for its lifetime, so that the mixer does not advance between the
    // calls made meanwhile: they act as one step against the output. Locks nest. Keep the scope
    // short: the output waits. Does nothing while no device is open.
    class Lock {
      public:
        explicit Lock(AudioEngine& engine);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        platform::SoundDevice* device;
    };

    // Whether an init has succeeded (and the device has not been closed since).
    static bool initialized();
    // The open device, or null: tests and benchmarks drive an offline device through it.
    static platform::SoundDevice* device();

  private:
    void closeDevice();
    static void passMessages(platform::SoundDevice& device);
};
