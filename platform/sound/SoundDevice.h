// SoundDevice: an output device at 44100 Hz, 16 bits, with buffers and one mixer behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound/SoundMixer.h"

namespace platform {

class SoundBuffer;

// The device's operations come in the order a program opens sound: create the interface, set the
// cooperative level, create the primary buffer (the output), set its format, then create sound
// buffers. The output runs from the moment its format is set. The derived devices decide where
// the mixed frames go: SdlSoundDevice to the loudspeakers, OfflineSoundDevice into memory.
//
// Destroying the device releases the interface. Buffers still alive then are freed with it.
//
// The mixer runs ahead of the ear: a frame mixed now is heard latencyFrames() later. The device
// counts the frames it has mixed, so that a caller can tell which of them is being heard.
class SoundDevice {
  public:
    static constexpr int sampleRate = 44100;
    static constexpr std::uint32_t maxBufferBytes = 0x0FFFFFFF;

    // The device for this desktop: the SDL device with its driver when SDL_AUDIODRIVER is set;
    // else the sound server's device when a server answers; else the SDL device with SDL's own
    // order of drivers. Its interface is created already when it is the server's.
    static std::unique_ptr<SoundDevice> createDefault();

    SoundDevice() = default;
    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    virtual bool createInterface() = 0;
    // Nothing to arrange on this system: every program shares the output.
    virtual bool setCooperativeLevel(void* window);
    virtual bool createPrimaryBuffer() = 0;
    // Opens the output at `rate` Hz with `bits` per sample and `channels` (1 or 2) and starts it.
    virtual bool setPrimaryFormat(int channels, int rate, int bits) = 0;
    // Stops the output. Buffers stay valid but are no longer mixed.
    virtual void releasePrimaryBuffer() = 0;

    // A silent mono buffer of `bytes` bytes (even, 4 or more); null on failure.
    SoundBuffer* createBuffer(std::uint32_t bytes);

    // The device lock: while it is held the mixer does not run, so several calls act as one step.
    // It is recursive.
    virtual void lock() = 0;
    virtual void unlock() = 0;

    int channels() const { return outputChannels; }
    // Frames the output asks for at a time (0 until the output runs).
    int periodFrames() const { return period; }

    // Frames between the mixer and the ear now: a frame mixed now is heard this many frames of
    // output later. 0 where nobody listens (offline, SDL's disk and dummy drivers). Call it with
    // the lock held, so that it matches framesMixed().
    virtual int latencyFrames() { return 0; }
    // Output frames mixed since the device was made; it grows only while the output runs.
    std::uint64_t framesMixed() const { return mixedFrames; }

    // Work the window thread does for the device now and then (reopening a lost output). Call it
    // without the lock held.
    virtual void service() {}

    // The device's messages (which output opened and how, losses, recoveries, underruns), oldest
    // first: copies one into `out` and returns true, or returns false when there is none.
    bool takeMessage(char* out, std::size_t size);
    // Adds a message, formatted as printf does; the oldest is dropped when the queue is full.
    // The caller holds the lock, or no other thread uses the device yet.
    void note(const char* format, ...) __attribute__((format(printf, 2, 3)));

  protected:
    int outputChannels = 0;
    int period = 0;

    // Renders frames of the output format with the lock already held (by the audio callback's
    // caller or by the derived device).
    void mix(std::int16_t* out, int frames) {
        mixer.render(out, frames, outputChannels);
        mixedFrames += static_cast<std::uint64_t>(frames);
    }
    // Whether any buffer plays; with the lock held.
    bool anyPlaying() const;
    // Called with the lock held after a buffer started, stopped or went: an output may rest
    // while nothing plays.
    virtual void activityChanged() {}
    // A device may refuse new buffers or duplicates (a test device that simulates failures).
    virtual bool mayCreateBuffer(bool /*duplicate*/) { return true; }
    // Frees the buffers still alive; the output must be stopped already.
    void freeBuffers();

  private:
    friend class SoundBuffer;
    static constexpr int maxMessages = 16;
    static constexpr int messageSize = 200;

    SoundMixer mixer;
    std::vector<SoundBuffer*> buffers;
    std::uint64_t mixedFrames = 0;
    // A fixed ring, so that the audio thread may note without allocating.
    char messages[maxMessages][messageSize] = {};
    int firstMessage = 0;
    int messageCount = 0;

    SoundBuffer* duplicate(const SoundBuffer& source);
    void attach(SoundBuffer* buffer);
    void detach(SoundBuffer* buffer);
};

}  // namespace platform
