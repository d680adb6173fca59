// JackSoundDevice: the sound device as a client of a JACK server, with two audio ports and a
// MIDI clock port.
#include "platform/sound/JackSoundDevice.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <sched.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/sound/SoundBuffer.h"
#include "platform/system/Clock.h"

namespace platform {

namespace {

constexpr unsigned char midiStart = 0xFA;
constexpr unsigned char midiClock = 0xF8;
constexpr unsigned char midiStop = 0xFC;

void writeMidi(void* midi, std::uint32_t frame, unsigned char byte) {
    jack_midi_event_write(midi, frame, &byte, 1);
}

const char* serverName() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return name != nullptr && name[0] != '\0' ? name : "default";
}

// A count is said at 1, 2, 4, 8, ... so that a run of them cannot flood the messages.
bool passedPowerOfTwo(unsigned reported, unsigned now) {
    return now > reported && std::bit_floor(now) > reported;
}

}  // namespace

JackSoundDevice::JackSoundDevice() {
    shadowMixer.voices.clear();
    for (SoundVoice& voice : shadow)
        shadowMixer.voices.push_back(&voice);
}

JackSoundDevice::~JackSoundDevice() {
    releasePrimaryBuffer();
    closeClient();
    freeBuffers();
}

// A server that runs may still refuse a new client for a moment: under load libjack now and then
// fails to start its own thread for it or to map the server's memory, and a server full of ports
// takes none until another client leaves. That is worth a few more tries; a server that does not
// answer at all is not, so that choosing a device is not slowed where none runs.
bool JackSoundDevice::createInterface() {
    if (client != nullptr) return true;
    for (int attempt = 1;; attempt++) {
        bool serverAnswered = false;
        if (openClient(&serverAnswered)) return true;
        if (!serverAnswered || attempt == openAttempts) return false;
        lock();
        note("the JACK server did not take the client; trying again (%d of %d)", attempt + 1,
             openAttempts);
        unlock();
        sleepMilliseconds(openRetryMs);
    }
}

bool JackSoundDevice::createPrimaryBuffer() {
    return client != nullptr;
}

bool JackSoundDevice::setPrimaryFormat(int channels, int rate, int bits) {
    if (client == nullptr || rate != serverRate || bits != 16 || channels < 1 || channels > 2)
        return false;
    if (rate < minRate || rate > maxRate) {
        note("the JACK server runs at %d Hz; Brevant plays at %d to %d Hz", rate, minRate, maxRate);
        return false;
    }
    lock();
    outputChannels = channels;
    outputRate = rate;
    unlock();
    wantedChannels = channels;
    if (startOutput()) return true;
    releasePrimaryBuffer();
    return false;
}

// Deactivating waits for the process callback to end, so no mixing runs after it.
void JackSoundDevice::releasePrimaryBuffer() {
    if (wantedChannels == 0) return;
    if (client != nullptr && !serverGone.load()) jack_deactivate(client);
    lock();
    note(
        "JACK output closed after %.1f s of output mixed, %u xruns, %u periods mixed from "
        "the last state and %u run after the server's next cycle began",
        static_cast<double>(framesMixed()) / outputRate, xrunCount.load(), missedCount.load(),
        lateCount.load());
    outputChannels = 0;
    period = 0;
    wantedChannels = 0;
    unlock();
}

// The process callback runs from activation on: the output format is set before it.
bool JackSoundDevice::openClient(bool* serverAnswered) {
    jack_status_t status{};
    client = jack_client_open(clientName, JackNoStartServer, &status);
    if (serverAnswered != nullptr) *serverAnswered = (status & JackServerFailed) == 0;
    if (client == nullptr) return false;
    serverGone.store(false);
    serverRate = static_cast<int>(jack_get_sample_rate(client));
    audioPorts[0] =
        jack_port_register(client, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    audioPorts[1] =
        jack_port_register(client, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    clockPort = jack_port_register(client, "clock", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    const bool callbacksSet =
        jack_set_process_callback(client, &JackSoundDevice::onProcess, this) == 0 &&
        jack_set_xrun_callback(client, &JackSoundDevice::onXrun, this) == 0;
    jack_on_shutdown(client, &JackSoundDevice::onShutdown, this);
    if (audioPorts[0] != nullptr && audioPorts[1] != nullptr && clockPort != nullptr &&
        callbacksSet)
        return true;
    closeClient();
    return false;
}

void JackSoundDevice::closeClient() {
    if (client == nullptr) return;
    jack_client_close(client);
    client = nullptr;
    audioPorts[0] = audioPorts[1] = clockPort = nullptr;
}

bool JackSoundDevice::startOutput() {
    period = static_cast<int>(jack_get_buffer_size(client));
    cycleClock.reset();
    if (jack_activate(client) != 0) return false;
    connectToPlayback();
    lock();
    note(
        "sound through the JACK server \"%s\" as \"%s\": %d Hz, %d channels, period %d frames "
        "(%.1f ms)",
        serverName(), jack_get_client_name(client), outputRate, outputChannels, period,
        1000.0 * period / outputRate);
    unlock();
    return true;
}

// A mono output sounds on both ports; a single physical port gets both.
void JackSoundDevice::connectToPlayback() {
    const char* connect = std::getenv("BREVANT_JACK_CONNECT");
    if (connect != nullptr && std::strcmp(connect, "0") == 0) return;
    const char** targets = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                          JackPortIsPhysical | JackPortIsInput);
    if (targets == nullptr || targets[0] == nullptr) {
        lock();
        note("the JACK server has no playback ports; connect brevant:left and right by hand");
        unlock();
        if (targets != nullptr) jack_free(targets);
        return;
    }
    const char* second = targets[1] != nullptr ? targets[1] : targets[0];
    jack_connect(client, jack_port_name(audioPorts[0]), targets[0]);
    jack_connect(client, jack_port_name(audioPorts[1]), second);
    jack_free(targets);
}

int JackSoundDevice::latencyFrames() {
    if (!connected() || outputChannels == 0) return 0;
    jack_latency_range_t range{};
    jack_port_get_latency_range(audioPorts[0], JackPlaybackLatency, &range);
    const long behind = static_cast<long>(range.max) + jack_get_buffer_size(client) -
                        static_cast<long>(jack_frames_since_cycle_start(client));
    return static_cast<int>(std::max(0L, behind));
}

// A client whose server went away is unusable: it is closed here, off the server's threads,
// and a new one is opened at most once a second.
void JackSoundDevice::service() {
    reportCounts();
    if (client != nullptr && serverGone.load()) {
        closeClient();
        lastAttempt = clockMilliseconds();
        lock();
        note("JACK server lost; connecting again every second");
        unlock();
        return;
    }
    if (client == nullptr && wantedChannels != 0) reconnect();
}

void JackSoundDevice::reconnect() {
    const std::uint32_t now = clockMilliseconds();
    if (now - lastAttempt < reconnectIntervalMs) return;
    lastAttempt = now;
    if (!openClient()) return;
    if (serverRate != outputRate) {
        lock();
        note("the JACK server runs at %d Hz now; the sound was made for %d Hz and plays at %d Hz",
             serverRate, outputRate, serverRate);
        unlock();
    }
    if (!startOutput()) {
        closeClient();
        return;
    }
    lock();
    note("sound back");
    unlock();
}

void JackSoundDevice::reportCounts() {
    const unsigned xruns = xrunCount.load();
    const unsigned missed = missedCount.load();
    lock();
    if (passedPowerOfTwo(xrunsReported, xruns))
        note("JACK xrun (%u so far; %.2f s of output mixed)", xruns,
             static_cast<double>(framesMixed()) / outputRate);
    if (passedPowerOfTwo(missedReported, missed))
        note("sound lock busy for a period; mixed from the last state (%u times so far)", missed);
    unlock();
    xrunsReported = xruns;
    missedReported = missed;
}

void JackSoundDevice::setClockBuffer(SoundBuffer* buffer, int pulsesPerLoop) {
    clockVoice = voiceOf(buffer);
    clockPulses = pulsesPerLoop;
    clockNext = nullptr;
}

void JackSoundDevice::queueClockBuffer(SoundBuffer* buffer, int pulsesPerLoop) {
    clockNext = voiceOf(buffer);
    clockNextPulses = pulsesPerLoop;
}

// The queued voice takes the clock once the one it follows has ended (or gone).
void JackSoundDevice::takeQueuedClock() {
    if (clockNext == nullptr) return;
    if (clockVoice != nullptr && (clockVoice->playing || clockVoice->looping)) return;
    clockVoice = clockNext;
    clockPulses = clockNextPulses;
    clockNext = nullptr;
}

// The copies may point at the leaving voice's samples: they are given up, and the real-time
// thread is waited for if it mixes them right now, before the samples may be freed.
void JackSoundDevice::voiceDetached(SoundVoice* voice) {
    if (voice == clockNext) clockNext = nullptr;
    if (voice == clockVoice) {
        clockVoice = nullptr;
        takeQueuedClock();
    }
    shadowValid.store(false);
    while (shadowMixing.load())
        sched_yield();
}

int JackSoundDevice::onProcess(std::uint32_t frames, void* self) {
    static_cast<JackSoundDevice*>(self)->process(frames);
    return 0;
}

// On the server's real-time thread: nothing here allocates, waits or logs.
void JackSoundDevice::process(std::uint32_t frames) {
    auto* left = static_cast<float*>(jack_port_get_buffer(audioPorts[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(audioPorts[1], frames));
    void* midi = jack_port_get_buffer(clockPort, frames);
    jack_midi_clear_buffer(midi);
    const std::uint32_t skipped = countSkippedFrames(frames);
    if (!mutex.try_lock()) {
        mixShadow(left, right, midi, frames, skipped);
        return;
    }
    mixLocked(left, right, midi, frames);
    mutex.unlock();
}

// A period the server did not run us for (an xrun) is owed to the voices like one mixed from the
// copy, so that the grid stays on the server's frames. It is known one period later, once the
// step is sure not to be a late read of the next period's time.
std::uint32_t JackSoundDevice::countSkippedFrames(std::uint32_t frames) {
    const std::uint32_t skipped = cycleClock.advance(jack_last_frame_time(client), frames);
    framesBehind += skipped;
    if (cycleClock.previousAhead() > 0) lateCount.fetch_add(1);
    return skipped;
}

void JackSoundDevice::mixLocked(float* left, float* right, void* midi, std::uint32_t frames) {
    if (outputChannels == 0) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
        return;
    }
    settlePulses(midi);
    catchUp();
    queryTransport();
    takeQueuedClock();
    sendClock(midi, clockVoice, clockPulses, frames);
    sendQueuedClock(midi, frames);
    for (std::uint32_t offset = 0; offset < frames; offset += chunkFrames) {
        const int n = static_cast<int>(std::min<std::uint32_t>(chunkFrames, frames - offset));
        mix(scratch, n);
        toPorts(left, right, offset, n);
    }
    keepShadow();
}

// The copies play on as the voices would have; the clock follows its copy. Frames the server
// skipped meanwhile are skipped by the copies too, so that what they play stays on the server's
// frames however long the lock stays busy.
void JackSoundDevice::mixShadow(float* left, float* right, void* midi, std::uint32_t frames,
                                std::uint32_t skipped) {
    missedCount.fetch_add(1);
    shadowMixing.store(true);
    const int channels = outputChannels;
    if (!shadowValid.load() || channels == 0) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    } else {
        skipShadow(midi, skipped, channels);
        copyPulses += sendClock(midi, shadowClock >= 0 ? &shadow[shadowClock] : nullptr,
                                shadowPulses, frames);
        for (std::uint32_t offset = 0; offset < frames; offset += chunkFrames) {
            const int n = static_cast<int>(std::min<std::uint32_t>(chunkFrames, frames - offset));
            shadowMixer.render(scratch, n, channels);
            toPorts(left, right, offset, n);
        }
    }
    shadowMixing.store(false);
    framesBehind += frames;
}

// The voices are about to catch up by the frames the copies played and the server skipped. A
// receiver counts the pulses to find the beat, so it must get as many as the clock owes for those
// frames: those of periods the server skipped were never sent, and those the copies sent follow
// the clock as it was when they were taken, which the window thread may have moved meanwhile (a
// tempo switched in, a bar queued). The pulses missing go out late, at this period's first frame;
// any sent too many are held back from the next ones.
void JackSoundDevice::settlePulses(void* midi) {
    const std::uint64_t sent = copyPulses;
    copyPulses = 0;
    const SoundVoice* voice = clockVoice;
    if (framesBehind == 0 || voice == nullptr || !clockRunning || startedMeanwhile(voice)) return;
    const std::uint64_t owed = clockPulsesAhead(framesBehind);
    if (owed < sent) {
        pulsesHeld += sent - owed;
        return;
    }
    writeLatePulses(midi, owed - sent);
}

// Pulses whose frames have passed go out at the period's first frame, less any sent ahead.
void JackSoundDevice::writeLatePulses(void* midi, std::uint64_t count) {
    const std::uint64_t ahead = std::min(count, pulsesHeld);
    pulsesHeld -= ahead;
    for (std::uint64_t i = ahead; i < count; i++)
        writeMidi(midi, 0, midiClock);
}

// The pulses of the next `frames` frames: the clock's voice plays them, or, once it ends, the voice
// queued to take the clock after its delay.
std::uint64_t JackSoundDevice::clockPulsesAhead(std::uint64_t frames) const {
    const SoundVoice* voice = clockVoice;
    std::uint64_t pulses = 0;
    if (voice->playing && clockPulses > 0 && voice->length > 0) {
        const std::uint64_t from = voice->position;
        const std::uint64_t to =
            voice->looping ? from + frames : std::min<std::uint64_t>(voice->length, from + frames);
        pulses = pulsesBetween(from, to, voice->length, clockPulses);
        if (voice->looping) return pulses;
    }
    const SoundVoice* next = clockNext;
    if (next == nullptr || !next->playing || clockNextPulses <= 0 || next->length == 0 ||
        frames <= next->delay)
        return pulses;
    const std::uint64_t from = next->position;
    const std::uint64_t to = from + (frames - next->delay);
    return pulses + pulsesBetween(from, to, next->length, clockNextPulses);
}

// The copies skip what the server skipped; the pulses of those frames go out at once.
void JackSoundDevice::skipShadow(void* midi, std::uint32_t skipped, int channels) {
    if (skipped == 0) return;
    const SoundVoice* clock = shadowClock >= 0 ? &shadow[shadowClock] : nullptr;
    if (clock != nullptr)
        copyPulses += sendOwedPulses(midi, clock, shadowPulses, clock->position, skipped);
    for (std::uint32_t done = 0; done < skipped;) {
        const int n = static_cast<int>(std::min<std::uint32_t>(chunkFrames, skipped - done));
        shadowMixer.render(scratch, n, channels);
        done += static_cast<std::uint32_t>(n);
    }
}

// The pulses of a looping voice's `count` frames from `from` on, written at the period's first
// frame; returns how many fell due.
std::uint64_t JackSoundDevice::sendOwedPulses(void* midi, const SoundVoice* voice, int pulses,
                                              std::uint64_t from, std::uint64_t count) {
    if (count == 0 || !voice->playing || !voice->looping || pulses <= 0 || voice->length == 0)
        return 0;
    const std::uint64_t owed = pulsesBetween(from, from + count, voice->length, pulses);
    writeLatePulses(midi, owed);
    return owed;
}

// Pulses of a loop of `length` frames with `pulses` a round on its frames `from` to `to` (not
// included), counted through its rounds: pulse k falls on floor(length * k / pulses), so those of
// a round before x are ceil(x * pulses / length).
std::uint64_t JackSoundDevice::pulsesBetween(std::uint64_t from, std::uint64_t to,
                                             std::uint64_t length, int pulses) {
    const std::uint64_t n = static_cast<std::uint64_t>(pulses);
    const auto before = [&](std::uint64_t x) {
        return x / length * n + (x % length * n + length - 1) / length;
    };
    return before(to) - before(from);
}

// The voices advance by the frames the copies played, so that they stay on the server's clock;
// what they mix meanwhile was heard already (or lost, when they changed) and is dropped. A voice
// started meanwhile from its first sample (a start, not a switch, which lands within the bar)
// sits that out and begins with this period, whole.
void JackSoundDevice::catchUp() {
    if (framesBehind == 0) return;
    SoundVoice* held[shadowCapacity] = {};
    int heldCount = 0;
    for (SoundVoice* voice : voices()) {
        if (heldCount == shadowCapacity || !startedMeanwhile(voice)) continue;
        voice->playing = false;
        held[heldCount++] = voice;
    }
    while (framesBehind > 0) {
        const int n = static_cast<int>(std::min<std::uint64_t>(chunkFrames, framesBehind));
        mix(scratch, n);
        framesBehind -= static_cast<std::uint64_t>(n);
    }
    for (int i = 0; i < heldCount; i++)
        held[i]->playing = true;
}

// A voice queued meanwhile to start after a delay is not one: its delay counts from the frame the
// voices are at, so it catches up with them.
bool JackSoundDevice::startedMeanwhile(const SoundVoice* voice) const {
    if (!voice->playing || voice->position != 0 || voice->fraction != 0 || voice->delay > 0)
        return false;
    for (int i = 0; i < shadowCapacity; i++)
        if (shadowSource[i] == voice && shadow[i].playing) return false;
    return true;
}

// The master's position is that of this period's first frame, which is the next frame the mixer
// mixes (or, while the cycle clock has a step to confirm, that many frames after it): its bar
// began as many frames before as its beats and ticks into the bar take.
void JackSoundDevice::queryTransport() {
    jack_position_t position{};
    const jack_transport_state_t state = jack_transport_query(client, &position);
    transport.rolling = state == JackTransportRolling;
    transport.hasBarBeat = (position.valid & JackPositionBBT) != 0 &&
                           position.beats_per_minute > 0.0 && position.beats_per_bar >= 1.0f &&
                           position.ticks_per_beat > 0.0 && position.beat >= 1;
    if (!transport.hasBarBeat) return;
    transport.beatsPerMinute = position.beats_per_minute;
    transport.beatsPerBar = static_cast<int>(position.beats_per_bar);
    // Whole ticks place the bar start to a tick (about 17 frames at 90 BPM, 1920 ticks a beat);
    // a master that gives the tick in double resolution places it to the frame.
    const double tick = (position.valid & JackTickDouble) != 0 ? position.tick_double
                                                               : static_cast<double>(position.tick);
    const double offset =
        (position.valid & JackBBTFrameOffset) != 0 ? static_cast<double>(position.bbt_offset) : 0.0;
    const double beatsIntoBar = (position.beat - 1) + tick / position.ticks_per_beat;
    const double framesIntoBar =
        beatsIntoBar * 60.0 / position.beats_per_minute * outputRate - offset;
    const std::uint64_t positionFrame = framesMixed() + cycleClock.unconfirmed();
    transport.barStartFrame = static_cast<std::int64_t>(positionFrame) -
                              static_cast<std::int64_t>(std::llround(framesIntoBar));
    // A period lost or gained by the grid moves the bar by a whole period; a master's whole
    // ticks move barStartFrame by up to a tick from one period to the next.
    const double tickFrames =
        (position.valid & JackTickDouble) != 0
            ? 1.0
            : 60.0 / position.beats_per_minute / position.ticks_per_beat * outputRate + 1.0;
    transport.barStartSlack = std::max(period / 2, static_cast<int>(std::ceil(tickFrames)));
}

bool JackSoundDevice::readTransport(SoundTransport& out) {
    if (!connected()) return false;
    out = transport;
    return true;
}

void JackSoundDevice::keepShadow() {
    const std::vector<SoundVoice*>& list = voices();
    shadowClock = -1;
    shadowPulses = clockPulses;
    for (int i = 0; i < shadowCapacity; i++) {
        const bool present = static_cast<std::size_t>(i) < list.size();
        shadow[i] = present ? *list[i] : SoundVoice{};
        shadowSource[i] = present ? list[i] : nullptr;
        if (present && list[i] == clockVoice) shadowClock = i;
    }
    shadowValid.store(true);
}

// Pulse k of the loop falls on its sample floor(L * k / N); the first one at or after the
// voice's position is k = ceil(position * N / L). Pulses past the loop's end continue into its
// next round, since floor(L * (k + N) / N) = L + floor(L * k / N). Returns the pulses that fell
// due.
std::uint64_t JackSoundDevice::sendClock(void* midi, const SoundVoice* voice, int pulses,
                                         std::uint32_t frames) {
    if (voice == nullptr || !voice->playing || pulses <= 0 || voice->length == 0) {
        if (clockRunning) writeMidi(midi, 0, midiStop);
        clockRunning = false;
        pulsesHeld = 0;
        return 0;
    }
    if (!clockRunning) writeMidi(midi, 0, midiStart);
    clockRunning = true;
    const std::uint64_t length = voice->length;
    const std::uint64_t n = static_cast<std::uint64_t>(pulses);
    const std::uint64_t position = voice->position;
    // A voice that ends at its last sample gives no pulses past it: the queued one goes on.
    const std::uint64_t end =
        voice->looping ? frames : std::min<std::uint64_t>(frames, length - position);
    return writePulses(midi, length, n, position, 0, end);
}

// Pulses of the queued voice in this period: it starts after its delay at its first sample.
void JackSoundDevice::sendQueuedClock(void* midi, std::uint32_t frames) {
    const SoundVoice* voice = clockNext;
    if (voice == nullptr || !voice->playing || clockNextPulses <= 0 || voice->length == 0) return;
    if (voice->delay >= frames || clockVoice == nullptr || clockVoice->looping) return;
    writePulses(midi, voice->length, static_cast<std::uint64_t>(clockNextPulses), voice->position,
                voice->delay, frames);
}

// Pulse k of a loop of `length` samples falls `offset` frames after the period's start plus its
// sample floor(length * k / n) less the voice's position; those before `end` are written, but for
// any held back. Returns the pulses that fell due, written or held.
std::uint64_t JackSoundDevice::writePulses(void* midi, std::uint64_t length, std::uint64_t n,
                                           std::uint64_t position, std::uint64_t offset,
                                           std::uint64_t end) {
    std::uint64_t due = 0;
    for (std::uint64_t k = (position * n + length - 1) / length;; k++, due++) {
        const std::uint64_t at = offset + length * k / n - position;
        if (at >= end) break;
        if (pulsesHeld > 0) {
            pulsesHeld--;
            continue;
        }
        writeMidi(midi, static_cast<std::uint32_t>(at), midiClock);
    }
    return due;
}

// Samples of full scale become 1.0 exactly, so a recording in 16 bits gives them back unchanged.
void JackSoundDevice::toPorts(float* left, float* right, std::uint32_t offset, int frames) const {
    constexpr float scale = 1.0f / 32768.0f;
    left += offset;
    right += offset;
    if (outputChannels == 2) {
        for (int i = 0; i < frames; i++) {
            left[i] = scratch[2 * i] * scale;
            right[i] = scratch[2 * i + 1] * scale;
        }
        return;
    }
    for (int i = 0; i < frames; i++)
        left[i] = right[i] = scratch[i] * scale;
}

int JackSoundDevice::onXrun(void* self) {
    static_cast<JackSoundDevice*>(self)->xrunCount.fetch_add(1);
    return 0;
}

void JackSoundDevice::onShutdown(void* self) {
    static_cast<JackSoundDevice*>(self)->serverGone.store(true);
}

}  // namespace platform
