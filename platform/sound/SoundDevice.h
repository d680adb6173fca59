// SoundDevice: an output device at its own rate (44100 Hz unless it says otherwise), 16 bits,
// with buffers and one mixer behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound/SoundMixer.h"

namespace platform {

class SoundBuffer;

// The transport of a device that has one (JACK's), as the last period saw it.
struct SoundTransport {
    bool rolling = false;
    // A timebase master gives the tempo, the beats per bar and where its bar began.
    bool hasBarBeat = false;
    double beatsPerMinute = 0.0;
    int beatsPerBar = 0;
    // The mixer frame (as framesMixed counts) where the master's current bar began.
    std::int64_t barStartFrame = 0;
    // A bar placed further than this from barStartFrame is off the master's grid: less cannot be
    // told from how barStartFrame wavers (a master's whole ticks) or is no lost output period.
    int barStartSlack = 0;
};

// One reading of the output's sample clock against the computer's: output frame `frame` (as
// framesMixed counts them, with a fraction) was heard at `hostMicros`, microseconds of the
// system's raw monotonic clock (CLOCK_MONOTONIC_RAW, the host clock of network sessions).
// `serial` grows by one with each new reading.
struct HeardClock {
    double frame = 0.0;
    std::int64_t hostMicros = 0;
    std::uint64_t serial = 0;
};

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
    // The rate of a device that converts whatever its output takes (the server's, SDL's, the
    // offline one unless told otherwise).
    static constexpr int sampleRate = 44100;
    // The rates a device may run at; the program's buffers are sized for the highest.
    static constexpr int minRate = 8000;
    static constexpr int maxRate = 96000;
    static constexpr std::uint32_t maxBufferBytes = 0x0FFFFFFF;

    // Which device createDefault makes: the desktop's choice, or one the user named.
    enum class Kind { automatic, pulse, sdl, jack };
    // "pulse", "sdl" or "jack" to its kind; false for any other name.
    static bool kindFromName(const char* name, Kind& kind);
    // The kind the next createDefault makes (automatic unless asked).
    static void request(Kind kind);

    // The device for this desktop. A requested kind is made as asked (its interface created
    // already when it is the server's or JACK's). Otherwise: the SDL device with its driver when
    // SDL_AUDIODRIVER is set; else the sound server's device when a server answers; else the
    // JACK device when a JACK server runs (none is started); else the SDL device with SDL's own
    // order of drivers.
    static std::unique_ptr<SoundDevice> createDefault();

    SoundDevice() = default;
    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    virtual bool createInterface() = 0;
    // Nothing to arrange on this system: every program shares the output.
    virtual bool setCooperativeLevel(void* window);
    virtual bool createPrimaryBuffer() = 0;
    // The rate the output takes without conversion, known once the interface exists; the rate
    // to give setPrimaryFormat.
    virtual int nativeRate() { return sampleRate; }
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
    // Frames per second of the output, and of every buffer played at its own speed.
    int rate() const { return outputRate; }
    // Frames the output asks for at a time (0 until the output runs).
    int periodFrames() const { return period; }

    // Frames between the mixer and the ear now: a frame mixed now is heard this many frames of
    // output later. 0 where nobody listens (offline, SDL's disk and dummy drivers). Call it with
    // the lock held, so that it matches framesMixed().
    virtual int latencyFrames() { return 0; }
    // The newest reading of the output's clock taken from the output's own timing reports, which
    // are exact where latencyFrames() is an estimate between them; false for a device without
    // such reports. Call it with the lock held.
    virtual bool heardClock(HeardClock& /*out*/) { return false; }
    // Output frames mixed since the device was made; it grows only while the output runs.
    std::uint64_t framesMixed() const { return mixedFrames; }

    // Work the window thread does for the device now and then (reopening a lost output). Call it
    // without the lock held.
    virtual void service() {}

    // A device with a clock output (JACK's MIDI clock) sends `pulsesPerLoop` evenly spaced pulses
    // per loop of the playing buffer, pulse k on its sample floor(length * k / pulsesPerLoop), a
    // start when the buffer starts and a stop when it stops or goes; null ends the clock. Moving
    // the clock to another buffer under the same lock as the switch keeps it on the same frame.
    // Call it with the lock held. Other devices have no such output.
    virtual void setClockBuffer(SoundBuffer* /*buffer*/, int /*pulsesPerLoop*/) {}
    // The clock goes on with `buffer` where the buffer it follows now ends: for a buffer queued
    // to start, after a delay, on the frame after the sounding one's last. With the lock held.
    virtual void queueClockBuffer(SoundBuffer* /*buffer*/, int /*pulsesPerLoop*/) {}
    // The device's transport, with the lock held; false for a device without one.
    virtual bool readTransport(SoundTransport& /*out*/) { return false; }

    // The device's messages (which output opened and how, losses, recoveries, underruns), oldest
    // first: copies one into `out` and returns true, or returns false when there is none.
    bool takeMessage(char* out, std::size_t size);
    // Adds a message, formatted as printf does; the oldest is dropped when the queue is full.
    // The caller holds the lock, or no other thread uses the device yet.
    void note(const char* format, ...) __attribute__((format(printf, 2, 3)));

  protected:
    int outputChannels = 0;
    int outputRate = sampleRate;
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
    // Every voice of the mixer, for a device that keeps a copy of their state.
    const std::vector<SoundVoice*>& voices() const { return mixer.voices; }
    static SoundVoice* voiceOf(SoundBuffer* buffer);
    // Called with the lock held when a buffer leaves the mixer, before its samples may be freed.
    virtual void voiceDetached(SoundVoice* /*voice*/) {}

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
