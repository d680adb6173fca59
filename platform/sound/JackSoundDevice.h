// JackSoundDevice: the sound device as a client of a JACK server, with two audio ports and a
// MIDI clock port.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/sound/JackCycleClock.h"
#include "platform/sound/SoundDevice.h"
#include "platform/sound/SoundVoice.h"

struct _jack_client;
struct _jack_port;

namespace platform {

// The client "brevant" of the JACK server that runs (JACK_DEFAULT_SERVER may name it; no server
// is ever started): audio ports "left" and "right", connected to the first two physical
// playback ports unless BREVANT_JACK_CONNECT=0, and a MIDI port "clock". The output runs at the
// server's rate, which nativeRate() gives once the interface exists.
//
// The mixer runs in JACK's process callback, on the server's real-time thread. That thread
// never waits: it takes the device lock only with a try. When the window thread holds the lock,
// the period is mixed from a copy of the voices taken at the end of the last period (the last
// state), and the voices themselves catch up by as many frames at the next period, so that the
// beat grid stays on the server's frame clock. The clock pulses the copy sent are then settled
// against those the clock owes for the same frames, which differ when the window thread moved the
// clock meanwhile. Such periods are counted and reported like xruns.
//
// A server that goes away (killed, restarted) is noticed by service() on the window thread,
// which connects again at most once a second; the buffers keep their positions meanwhile, so a
// playing bar sounds again at once.
class JackSoundDevice : public SoundDevice {
  public:
    static constexpr const char* clientName = "brevant";

    JackSoundDevice();
    ~JackSoundDevice() override;

    // Connects to the running server; false when none runs. A server that answers but takes no
    // client is tried a few times, half a second apart.
    bool createInterface() override;
    bool createPrimaryBuffer() override;
    int nativeRate() override { return serverRate; }
    // The rate must be the server's; the channels 1 (the same signal on both ports) or 2.
    bool setPrimaryFormat(int channels, int rate, int bits) override;
    void releasePrimaryBuffer() override;

    void lock() override { mutex.lock(); }
    void unlock() override { mutex.unlock(); }

    // The output port's playback latency plus the period being mixed ahead, less the frames of
    // the current period already past.
    int latencyFrames() override;
    void service() override;
    void setClockBuffer(SoundBuffer* buffer, int pulsesPerLoop) override;
    void queueClockBuffer(SoundBuffer* buffer, int pulsesPerLoop) override;
    bool readTransport(SoundTransport& out) override;

    // What the device knows of itself, for tests and measurements.
    unsigned xruns() const { return xrunCount.load(); }
    unsigned missedLocks() const { return missedCount.load(); }
    bool connected() const { return client != nullptr && !serverGone.load(); }

  private:
    static constexpr int chunkFrames = 512;
    static constexpr int shadowCapacity = 16;
    static constexpr std::uint32_t reconnectIntervalMs = 1000;
    static constexpr int openAttempts = 4;
    static constexpr std::uint32_t openRetryMs = 500;

    std::recursive_mutex mutex;
    _jack_client* client = nullptr;
    _jack_port* audioPorts[2] = {nullptr, nullptr};
    _jack_port* clockPort = nullptr;
    int serverRate = 0;
    int wantedChannels = 0;  // the output format once set; kept across a lost server
    std::uint32_t lastAttempt = 0;
    std::int16_t scratch[chunkFrames * 2] = {};

    // The copy of the voices the real-time thread mixes when it cannot take the lock.
    SoundVoice shadow[shadowCapacity];
    const SoundVoice* shadowSource[shadowCapacity] = {};  // the voice each copy was taken of
    SoundMixer shadowMixer;
    int shadowClock = -1;  // the clock's voice among the copies, or -1
    int shadowPulses = 0;
    std::uint64_t framesBehind = 0;
    std::uint64_t copyPulses = 0;  // clock pulses the copies sent for those frames
    std::uint64_t pulsesHeld = 0;  // pulses sent ahead of the clock, held back from the next ones
    JackCycleClock cycleClock;
    std::atomic<bool> shadowValid{false};
    std::atomic<bool> shadowMixing{false};

    // The clock: the voice it follows, its pulses per loop, and whether a start was sent.
    SoundVoice* clockVoice = nullptr;
    int clockPulses = 0;
    SoundVoice* clockNext = nullptr;  // the voice queued to take the clock where clockVoice ends
    int clockNextPulses = 0;
    bool clockRunning = false;

    SoundTransport transport;  // written by the process callback under the lock

    std::atomic<unsigned> xrunCount{0};
    std::atomic<unsigned> missedCount{0};
    std::atomic<unsigned> lateCount{0};  // periods that read the next period's frame time
    std::atomic<bool> serverGone{false};
    unsigned xrunsReported = 0;
    unsigned missedReported = 0;

    // Opens the client and its ports; `serverAnswered` (when given) tells whether a server
    // answered, also when the open failed.
    bool openClient(bool* serverAnswered = nullptr);
    void closeClient();
    bool startOutput();
    void connectToPlayback();
    void reconnect();
    void reportCounts();
    void voiceDetached(SoundVoice* voice) override;

    void process(std::uint32_t frames);
    std::uint32_t countSkippedFrames(std::uint32_t frames);
    void mixLocked(float* left, float* right, void* midi, std::uint32_t frames);
    void mixShadow(float* left, float* right, void* midi, std::uint32_t frames,
                   std::uint32_t skipped);
    void settlePulses(void* midi);
    std::uint64_t clockPulsesAhead(std::uint64_t frames) const;
    void writeLatePulses(void* midi, std::uint64_t count);
    void skipShadow(void* midi, std::uint32_t skipped, int channels);
    std::uint64_t sendOwedPulses(void* midi, const SoundVoice* voice, int pulses,
                                 std::uint64_t from, std::uint64_t count);
    static std::uint64_t pulsesBetween(std::uint64_t from, std::uint64_t to, std::uint64_t length,
                                       int pulses);
    void catchUp();
    bool startedMeanwhile(const SoundVoice* voice) const;
    void keepShadow();
    void queryTransport();
    std::uint64_t sendClock(void* midi, const SoundVoice* voice, int pulses, std::uint32_t frames);
    void takeQueuedClock();
    void sendQueuedClock(void* midi, std::uint32_t frames);
    std::uint64_t writePulses(void* midi, std::uint64_t length, std::uint64_t n,
                              std::uint64_t position, std::uint64_t offset, std::uint64_t end);
    void toPorts(float* left, float* right, std::uint32_t offset, int frames) const;

    static int onProcess(std::uint32_t frames, void* self);
    static int onXrun(void* self);
    static void onShutdown(void* self);
};

}  // namespace platform
