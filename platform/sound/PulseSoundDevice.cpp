// PulseSoundDevice: the sound device on the desktop's sound server (PulseAudio, or PipeWire).
#include "platform/sound/PulseSoundDevice.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/system/Clock.h"

namespace platform {

namespace {

// The priority asked for the mixing thread: below a sound server's own threads, which commonly
// run at 5 or more, above every thread that is not real-time.
constexpr int realtimePriority = 4;

int framesOfUsec(pa_usec_t usec) {
    return static_cast<int>(usec * SoundDevice::sampleRate / 1000000u);
}

std::int64_t microsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void dropOperation(pa_operation* operation) {
    if (operation != nullptr) pa_operation_unref(operation);
}

}  // namespace

int PulseSoundDevice::latencyFromEnvironment() {
    const char* text = std::getenv("BREVANT_LATENCY_MS");
    if (text == nullptr || text[0] == '\0') return defaultLatencyMs;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0') return defaultLatencyMs;
    if (value < minLatencyMs) return minLatencyMs;
    if (value > maxLatencyMs) return maxLatencyMs;
    return static_cast<int>(value);
}

PulseSoundDevice::PulseSoundDevice(int latencyMs) : latencyMs(latencyMs) {
    lastLatency = latencyMs * sampleRate / 1000;
}

PulseSoundDevice::~PulseSoundDevice() {
    releasePrimaryBuffer();
    stopLoop();
    freeBuffers();
}

bool PulseSoundDevice::createInterface() {
    if (mainloop != nullptr) return contextReady();
    if (!startLoop()) return false;
    lock();
    const bool started = connectContext();
    unlock();
    if (started && waitFor(&PulseSoundDevice::contextReady, &PulseSoundDevice::contextFailed)) {
        lock();
        scheduleSupervisor();
        unlock();
        return true;
    }
    stopLoop();
    return false;
}

bool PulseSoundDevice::createPrimaryBuffer() {
    lock();
    const bool ready = contextReady();
    unlock();
    return ready;
}

bool PulseSoundDevice::setPrimaryFormat(int channels, int rate, int bits) {
    if (rate != sampleRate || bits != 16 || channels < 1 || channels > 2) return false;
    lock();
    if (channels != streamChannels) dropStream();
    streamChannels = channels;
    outputChannels = channels;
    wantCorked = !anyPlaying();
    const bool opened = stream != nullptr || openStream();
    unlock();
    if (opened && waitFor(&PulseSoundDevice::streamIsReady, &PulseSoundDevice::streamFailed))
        return true;
    releasePrimaryBuffer();
    return false;
}

void PulseSoundDevice::releasePrimaryBuffer() {
    if (mainloop == nullptr) return;
    lock();
    if (streamChannels != 0)
        note("sound stream closed after %.1f s of output mixed and %u underruns",
             static_cast<double>(framesMixed()) / sampleRate, underrunCount);
    dropStream();
    streamChannels = 0;
    outputChannels = 0;
    period = 0;
    unlock();
}

void PulseSoundDevice::lock() {
    if (mainloop != nullptr) pa_threaded_mainloop_lock(mainloop);
}

void PulseSoundDevice::unlock() {
    if (mainloop != nullptr) pa_threaded_mainloop_unlock(mainloop);
}

// The server's figure, interpolated since its last timing report, from the newest frame written
// to the one being heard. It cannot be read for a moment after the stream was emptied or moved;
// the last figure stands in meanwhile.
int PulseSoundDevice::latencyFrames() {
    lock();
    pa_usec_t usec = 0;
    int negative = 0;
    if (streamIsReady() && pa_stream_get_latency(stream, &usec, &negative) == 0)
        lastLatency = negative != 0 ? 0 : framesOfUsec(usec);
    const int frames = lastLatency;
    unlock();
    return frames;
}

bool PulseSoundDevice::heardClock(HeardClock& out) {
    lock();
    clockWanted = true;
    out = lastHeard;
    unlock();
    return out.serial != 0;
}

unsigned PulseSoundDevice::underruns() {
    lock();
    const unsigned count = underrunCount;
    unlock();
    return count;
}

bool PulseSoundDevice::streamReady() {
    lock();
    const bool ready = streamIsReady();
    unlock();
    return ready;
}

bool PulseSoundDevice::streamIsReady() {
    return stream != nullptr && pa_stream_get_state(stream) == PA_STREAM_READY;
}

bool PulseSoundDevice::corked() {
    lock();
    const bool result = wantCorked;
    unlock();
    return result;
}

int PulseSoundDevice::grantedBufferFrames() {
    lock();
    const int frames = bufferFrames;
    unlock();
    return frames;
}

int PulseSoundDevice::grantedRequestFrames() {
    lock();
    const int frames = requestFrames;
    unlock();
    return frames;
}

bool PulseSoundDevice::startLoop() {
    mainloop = pa_threaded_mainloop_new();
    if (mainloop == nullptr) return false;
    pa_threaded_mainloop_set_name(mainloop, "brevant-sound");
    if (pa_threaded_mainloop_start(mainloop) == 0) return true;
    pa_threaded_mainloop_free(mainloop);
    mainloop = nullptr;
    return false;
}

// Stopping waits for the library's thread to end; it must not hold the lock.
void PulseSoundDevice::stopLoop() {
    if (mainloop == nullptr) return;
    lock();
    closing = true;
    if (supervisor != nullptr) pa_threaded_mainloop_get_api(mainloop)->time_free(supervisor);
    supervisor = nullptr;
    dropStream();
    dropContext();
    unlock();
    pa_threaded_mainloop_stop(mainloop);
    pa_threaded_mainloop_free(mainloop);
    mainloop = nullptr;
}

// No autospawn: a desktop starts its own server, and a program that starts one by itself would
// leave it behind.
bool PulseSoundDevice::connectContext() {
    connectStarted = clockMilliseconds();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Brevant");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "brevant");
    context =
        pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop), "Brevant", properties);
    pa_proplist_free(properties);
    if (context == nullptr) return false;
    pa_context_set_state_callback(context, &PulseSoundDevice::onContextState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0) return true;
    dropContext();
    return false;
}

void PulseSoundDevice::dropContext() {
    if (context == nullptr) return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
}

// The whole latency is asked for, output included (ADJUST_LATENCY); the server splits it between
// its device buffer and ours. It gives its device half of what is left after two requests, so a
// small request (an eighth) leaves the device the longer buffer and the server wakes less often:
// at 40 ms it was about a quarter less of its CPU than with quarter-size requests, while our margin
// before the stream runs dry stays half the latency either way. Without prebuffering a stream
// that ran dry plays on at once, and what comes too late is dropped: the beat grid stays on the
// output's clock instead of moving later by the gap.
pa_buffer_attr PulseSoundDevice::bufferAttributes() const {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = sampleRate;
    spec.channels = static_cast<std::uint8_t>(streamChannels);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength =
        static_cast<std::uint32_t>(pa_usec_to_bytes(latencyMs * PA_USEC_PER_MSEC, &spec));
    attr.prebuf = 0;
    const auto frameBytes = static_cast<std::uint32_t>(pa_frame_size(&spec));
    attr.minreq = attr.tlength / frameBytes / 8 * frameBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    return attr;
}

bool PulseSoundDevice::openStream() {
    if (!contextReady() || streamChannels == 0) return false;
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = sampleRate;
    spec.channels = static_cast<std::uint8_t>(streamChannels);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, "Click track");
    stream = pa_stream_new_with_proplist(context, "Click track", &spec, nullptr, properties);
    pa_proplist_free(properties);
    if (stream == nullptr) return false;
    pa_stream_set_state_callback(stream, &PulseSoundDevice::onStreamState, this);
    pa_stream_set_write_callback(stream, &PulseSoundDevice::onWrite, this);
    pa_stream_set_underflow_callback(stream, &PulseSoundDevice::onUnderflow, this);
    pa_stream_set_moved_callback(stream, &PulseSoundDevice::onMoved, this);
    pa_stream_set_latency_update_callback(stream, &PulseSoundDevice::onTimingUpdate, this);
    const pa_buffer_attr attr = bufferAttributes();
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) == 0)
        return true;
    dropStream();
    return false;
}

void PulseSoundDevice::dropStream() {
    if (stream == nullptr) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    timingAsked = false;
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

// The window thread waits for the library's thread by looking now and then, so that the wait
// has an end even when the server never answers.
bool PulseSoundDevice::waitFor(bool (PulseSoundDevice::*ready)(),
                               bool (PulseSoundDevice::*failed)()) {
    const std::uint32_t start = clockMilliseconds();
    while (clockMilliseconds() - start < static_cast<std::uint32_t>(connectTimeoutMs)) {
        lock();
        const bool isReady = (this->*ready)();
        const bool hasFailed = (this->*failed)();
        unlock();
        if (isReady) return true;
        if (hasFailed) return false;
        sleepMilliseconds(2);
    }
    return false;
}

bool PulseSoundDevice::contextReady() {
    return context != nullptr && pa_context_get_state(context) == PA_CONTEXT_READY;
}

bool PulseSoundDevice::contextFailed() {
    return context == nullptr || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context));
}

bool PulseSoundDevice::streamFailed() {
    return stream == nullptr || !PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
}

// Runs on the library's thread with the lock held: it only mixes into the server's own memory.
// A buffer played once that has ended leaves silence; once the stream holds nothing else the
// stream is corked, without emptying it, so that nothing audible is cut.
void PulseSoundDevice::fill(std::size_t bytes) {
    const std::size_t frameBytes = 2u * static_cast<std::size_t>(streamChannels);
    while (bytes >= frameBytes) {
        void* data = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || data == nullptr) return;
        size -= size % frameBytes;
        if (size == 0) {
            pa_stream_cancel_write(stream);
            return;
        }
        const int frames = static_cast<int>(size / frameBytes);
        mix(static_cast<std::int16_t*>(data), frames);
        pa_stream_write(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= size;
        idleFrames = anyPlaying() ? 0 : idleFrames + frames;
    }
    if (idleFrames > 2 * bufferFrames && !wantCorked) applyCork(true, false);
    askForTiming();
}

// The library asks for the server's timing on its own only every second or so once the stream
// runs; once someone reads the clock, it is asked for with each request of the server's.
void PulseSoundDevice::askForTiming() {
    if (!clockWanted || timingAsked || wantCorked) return;
    pa_operation* asked =
        pa_stream_update_timing_info(stream, &PulseSoundDevice::onTimingAnswered, this);
    if (asked == nullptr) return;
    timingAsked = true;
    pa_operation_unref(asked);
}

void PulseSoundDevice::onTimingAnswered(pa_stream* /*stream*/, int /*success*/, void* self) {
    static_cast<PulseSoundDevice*>(self)->timingAsked = false;
}

void PulseSoundDevice::applyCork(bool cork, bool flush) {
    if (cork == wantCorked) return;
    wantCorked = cork;
    idleFrames = 0;
    if (!streamIsReady()) return;  // a stream opened later starts in this state
    if (!cork) {
        uncork();
        return;
    }
    dropOperation(pa_stream_cork(stream, 1, nullptr, nullptr));
    if (flush) dropOperation(pa_stream_flush(stream, nullptr, nullptr));
}

// The stream does not wait for data before it plays, so it is given what it asks for first:
// otherwise the start of the bar would arrive late and be dropped.
void PulseSoundDevice::uncork() {
    const std::size_t writable = pa_stream_writable_size(stream);
    if (writable != static_cast<std::size_t>(-1)) fill(writable);
    dropOperation(pa_stream_cork(stream, 0, nullptr, nullptr));
}

// A stop silences at once: what the stream still holds of the bar is thrown away.
void PulseSoundDevice::activityChanged() {
    if (streamChannels == 0) return;
    const bool playing = anyPlaying();
    applyCork(!playing, !playing);
}

// The mixing thread asks once for a real-time priority, which is granted to a privileged user
// or within RLIMIT_RTPRIO (as a desktop's limits.conf or realtime group gives it). Without it
// the device still works; the stream's buffer is the margin then.
void PulseSoundDevice::askForRealtime() {
    if (realtimeTried) return;
    realtimeTried = true;
    rlimit limit{};
    int priority = realtimePriority;
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_max != RLIM_INFINITY &&
        static_cast<int>(limit.rlim_max) < priority && geteuid() != 0) {
        priority = static_cast<int>(limit.rlim_max);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_RTPRIO, &limit);
    }
    sched_param param{};
    param.sched_priority = priority;
    const int error = priority > 0 ? pthread_setschedparam(pthread_self(),
                                                           SCHED_FIFO | SCHED_RESET_ON_FORK, &param)
                                   : EPERM;
    if (error == 0)
        note("sound thread runs at real-time priority %d", priority);
    else
        note("sound thread runs without real-time priority (%s)", std::strerror(error));
}

void PulseSoundDevice::noteStreamOpened() {
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    const int frameBytes = 2 * streamChannels;
    if (attr != nullptr) {
        bufferFrames = static_cast<int>(attr->tlength) / frameBytes;
        requestFrames = static_cast<int>(attr->minreq) / frameBytes;
    }
    period = requestFrames;
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &usec, &negative) == 0 && negative == 0)
        lastLatency = framesOfUsec(usec);
    const char* output = pa_stream_get_device_name(stream);
    note(
        "sound through the server \"%s\" to \"%s\": %d Hz, %d channels, buffer %d frames "
        "(%.1f ms), request %d frames (%.1f ms), target latency %d ms",
        pa_context_get_server(context) != nullptr ? pa_context_get_server(context) : "?",
        output != nullptr ? output : "?", sampleRate, streamChannels, bufferFrames,
        1000.0 * bufferFrames / sampleRate, requestFrames, 1000.0 * requestFrames / sampleRate,
        latencyMs);
}

// Once a second on the library's thread: a lost server is connected again, a connection that
// hangs is given up, and a lost stream is opened again on the server's default output.
void PulseSoundDevice::supervise() {
    if (closing) return;
    const std::uint32_t now = clockMilliseconds();
    if (contextFailed()) {
        dropStream();
        dropContext();
        connectContext();
    } else if (!contextReady() &&
               now - connectStarted > static_cast<std::uint32_t>(stalledConnectionMs)) {
        note("the sound server does not answer; trying again");
        dropStream();
        dropContext();
        connectContext();
    } else if (contextReady() && streamChannels != 0 && streamFailed()) {
        dropStream();
        openStream();
    }
}

void PulseSoundDevice::scheduleSupervisor() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, superviseIntervalMs * PA_USEC_PER_MSEC);
    if (supervisor == nullptr)
        supervisor = api->time_new(api, &when, &PulseSoundDevice::onSupervisor, this);
    else
        api->time_restart(supervisor, &when);
}

void PulseSoundDevice::onSupervisor(pa_mainloop_api* /*api*/, pa_time_event* /*event*/,
                                    const struct timeval* /*tv*/, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    device->supervise();
    if (!device->closing) device->scheduleSupervisor();
}

void PulseSoundDevice::onContextState(pa_context* context, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && device->streamChannels != 0 && device->stream == nullptr)
        device->openStream();
    if (PA_CONTEXT_IS_GOOD(state) || device->closing || device->lost) return;
    device->lost = true;
    device->note("sound server lost (%s); connecting again every second",
                 pa_strerror(pa_context_errno(context)));
}

void PulseSoundDevice::onStreamState(pa_stream* stream, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        device->noteStreamOpened();
        if (!device->wantCorked) device->uncork();
        if (device->lost) device->note("sound back");
        device->lost = false;
        return;
    }
    if (PA_STREAM_IS_GOOD(state) || device->closing || device->lost) return;
    device->lost = true;
    device->note("sound output lost; opening it again");
}

void PulseSoundDevice::onWrite(pa_stream* /*stream*/, std::size_t bytes, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    device->askForRealtime();
    device->fill(bytes);
}

// Counted, and noted at 1, 2, 4, 8, ... so that a run of them cannot flood the messages.
// A machine too busy to keep the stream full gets a longer one: half as long again, at most
// every two seconds (one stall often runs the stream dry several times), up to 200 ms. The dial
// follows, since it reads the server's own latency figure.
void PulseSoundDevice::growBuffer() {
    const std::uint32_t now = clockMilliseconds();
    if (latencyMs >= maxLatencyMs || now - lastGrowth < growthIntervalMs) return;
    lastGrowth = now;
    latencyMs = std::min(maxLatencyMs, latencyMs * 3 / 2);
    const pa_buffer_attr attr = bufferAttributes();
    dropOperation(pa_stream_set_buffer_attr(stream, &attr, &PulseSoundDevice::onBufferGrown, this));
}

void PulseSoundDevice::onBufferGrown(pa_stream* stream, int success, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    if (success == 0 || attr == nullptr || device->stream != stream) return;
    const int frameBytes = 2 * device->streamChannels;
    device->bufferFrames = static_cast<int>(attr->tlength) / frameBytes;
    device->requestFrames = static_cast<int>(attr->minreq) / frameBytes;
    device->period = device->requestFrames;
    device->note(
        "sound buffer raised after underruns: target latency %d ms, buffer %d frames "
        "(%.1f ms)",
        device->latencyMs, device->bufferFrames, 1000.0 * device->bufferFrames / sampleRate);
}

void PulseSoundDevice::onUnderflow(pa_stream* /*stream*/, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    device->growBuffer();
    const unsigned count = ++device->underrunCount;
    if ((count & (count - 1)) == 0)
        device->note("sound buffer ran dry (%u times so far; %.2f s of output mixed)", count,
                     static_cast<double>(device->framesMixed()) / sampleRate);
}

// The server's raw report, without the library's interpolation: when it was made (the server
// reads the wall clock right after its output thread answered), how far the server had read
// into the stream, and how much of that its output still held. Taken together with what we
// have written and mixed, it says which mixed frame was heard then. The report's time can only
// come late (the server's thread was held up after its output answered), never early. A report
// from a stream that is not playing (corked), that has run dry, or after a flush says nothing.
void PulseSoundDevice::onTimingUpdate(pa_stream* stream, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    const pa_timing_info* info = pa_stream_get_timing_info(stream);
    if (device->stream != stream || device->wantCorked || info == nullptr) return;
    if (!info->synchronized_clocks || info->write_index_corrupt || info->read_index_corrupt ||
        info->playing == 0 || info->write_index < info->read_index)
        return;
    const double frameBytes = 2.0 * device->streamChannels;
    const double queued = static_cast<double>(info->write_index - info->read_index) / frameBytes;
    const double inOutput = static_cast<double>(info->sink_usec) * sampleRate / 1e6;
    const std::int64_t wallMicros =
        static_cast<std::int64_t>(info->timestamp.tv_sec) * 1000000 + info->timestamp.tv_usec;
    const std::int64_t wallToRaw = microsOf(CLOCK_REALTIME) - microsOf(CLOCK_MONOTONIC_RAW);
    device->lastHeard.frame = static_cast<double>(device->framesMixed()) - queued - inOutput;
    device->lastHeard.hostMicros = wallMicros - wallToRaw;
    device->lastHeard.serial++;
}

void PulseSoundDevice::onMoved(pa_stream* stream, void* self) {
    auto* device = static_cast<PulseSoundDevice*>(self);
    const char* output = pa_stream_get_device_name(stream);
    device->note("sound moved to the output \"%s\"", output != nullptr ? output : "?");
}

}  // namespace platform
