// PulseSoundDevice: the sound device on the desktop's sound server (PulseAudio, or PipeWire).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/sound/SoundDevice.h"

struct timeval;
struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_time_event;
struct pa_mainloop_api;
struct pa_buffer_attr;

namespace platform {

// One playback stream on the server's default output, fed by the mixer in the stream's write
// callback on the client library's own thread. The device lock is that thread's lock: the
// callbacks run holding it, so while the window thread holds it the mixer does not run.
//
// The stream holds about latencyMs of sound (80 ms unless BREVANT_LATENCY_MS asks for 10 to
// 200) and the server asks for an eighth of it at a time, so that a busy machine has tens of
// milliseconds to run the mixer before the output runs dry. 80 ms wakes the mixer and the server
// a third as often as 40 ms did, its 10 ms requests still fall inside the quarter beat in which
// a new bar is switched in at 240 BPM, and the dial follows the heard position, so the longer
// buffer only delays the first click after Play. When it runs dry all the same the
// buffer grows, up to 200 ms. The server's own latency figure, interpolated between its timing
// reports, tells which mixed frame is being heard; the reports themselves, asked for with each
// request once the clock is read, tell exactly which frame was heard when.
//
// While no buffer plays the stream is corked and emptied, so the server does no work for it.
// A lost server (restarted, crashed) or a lost stream (its output removed) is looked after on
// the library's thread: a supervisor wakes once a second and connects again when it must, so
// that the window thread never waits for the server and the buffers play on from where they
// were as soon as a server answers.
class PulseSoundDevice : public SoundDevice {
  public:
    static constexpr int defaultLatencyMs = 80;
    static constexpr int minLatencyMs = 10;
    static constexpr int maxLatencyMs = 200;

    // The latency BREVANT_LATENCY_MS asks for, kept inside 10..200; 80 when it is unset or not
    // a number.
    static int latencyFromEnvironment();

    explicit PulseSoundDevice(int latencyMs = latencyFromEnvironment());
    ~PulseSoundDevice() override;

    // Connects to the server and waits until it answers, at most connectTimeoutMs.
    bool createInterface() override;
    bool createPrimaryBuffer() override;
    // Opens the stream and waits until the server accepts it, at most connectTimeoutMs. A
    // server running at another rate resamples our 44100 Hz.
    bool setPrimaryFormat(int channels, int rate, int bits) override;
    void releasePrimaryBuffer() override;

    void lock() override;
    void unlock() override;

    int latencyFrames() override;
    bool heardClock(HeardClock& out) override;

    // What the device knows of itself, for tests and measurements; each takes the lock.
    unsigned underruns();
    bool streamReady();
    bool corked();
    // The stream's buffer as the server granted it, in frames (0 before).
    int grantedBufferFrames();
    int grantedRequestFrames();

  private:
    static constexpr int connectTimeoutMs = 3000;
    static constexpr int superviseIntervalMs = 1000;
    // A connection that has not become ready in this time is given up and tried again.
    static constexpr int stalledConnectionMs = 5000;
    static constexpr std::uint32_t growthIntervalMs = 2000;

    int latencyMs;
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    pa_time_event* supervisor = nullptr;
    std::uint32_t connectStarted = 0;  // clock milliseconds of the last connection attempt
    std::uint32_t lastGrowth = 0;      // clock milliseconds when the buffer last grew
    int streamChannels = 0;            // 0 until the output format is set
    int bufferFrames = 0;
    int requestFrames = 0;
    int lastLatency = 0;
    int idleFrames = 0;  // frames mixed since the last buffer stopped playing by itself
    unsigned underrunCount = 0;
    HeardClock lastHeard;
    bool timingAsked = false;
    bool clockWanted = false;
    bool wantCorked = true;
    bool lost = false;  // the server or stream went away; cleared when it plays again
    bool realtimeTried = false;
    bool closing = false;

    bool startLoop();
    void stopLoop();
    bool connectContext();
    void dropContext();
    pa_buffer_attr bufferAttributes() const;
    bool openStream();
    void dropStream();
    bool waitFor(bool (PulseSoundDevice::*ready)(), bool (PulseSoundDevice::*failed)());
    bool streamIsReady();
    bool contextReady();
    bool contextFailed();
    bool streamFailed();
    void fill(std::size_t bytes);
    void askForTiming();
    void applyCork(bool cork, bool flush);
    void uncork();
    void activityChanged() override;
    void growBuffer();
    void supervise();
    void scheduleSupervisor();
    void noteStreamOpened();
    void askForRealtime();

    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void onUnderflow(pa_stream* stream, void* self);
    static void onTimingUpdate(pa_stream* stream, void* self);
    static void onTimingAnswered(pa_stream* stream, int success, void* self);
    static void onMoved(pa_stream* stream, void* self);
    static void onBufferGrown(pa_stream* stream, int success, void* self);
    static void onSupervisor(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv,
                             void* self);
};

}  // namespace platform
