// Records brevant:left for the given seconds into 16-bit stereo frames (left copied to right),
// as clicks reads them. Its process callback runs in the server's graph, as the program's does,
// so nothing is lost to a writer thread that a loaded machine starves. Samples go to their frame
// of the server's clock, so a period the server skipped stays silent in its place.
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <signal.h>
#include <unistd.h>

#include "../../platform/sound/JackCycleClock.h"

namespace {

jack_client_t* client = nullptr;
jack_port_t* input = nullptr;
std::vector<short> samples;
std::atomic<std::size_t> used{0};
platform::JackCycleClock cycles;
jack_nframes_t origin = 0;
bool started = false;
std::size_t lastAt = 0;
std::size_t lastFrames = 0;

short sampleOf(float value) {
    return static_cast<short>(std::lrint(value * 32768.0f));
}

// A period that read the next one's time (this client ran late) read its own period's output,
// which goes back where it belongs, or (when brevant ran its next period meanwhile) a copy of the
// next one's, which is simply overwritten.
void placeLatePeriod(std::uint32_t ahead, const float* in, jack_nframes_t n) {
    if (ahead > lastAt || lastAt + lastFrames > samples.size()) return;
    bool copy = lastFrames == n;
    for (std::size_t i = 0; copy && i < n; i++)
        copy = samples[lastAt + i] == sampleOf(in[i]);
    for (std::size_t i = 0; !copy && i < lastFrames; i++)
        samples[lastAt - ahead + i] = samples[lastAt + i];
}

int onProcess(jack_nframes_t n, void*) {
    const jack_nframes_t now = jack_last_frame_time(client);
    cycles.advance(now, n);
    if (!started) origin = now;
    started = true;
    const auto* in = static_cast<const float*>(jack_port_get_buffer(input, n));
    if (cycles.previousAhead() > 0) placeLatePeriod(cycles.previousAhead(), in, n);
    std::size_t at = static_cast<jack_nframes_t>(now - origin);
    lastAt = at;
    lastFrames = 0;
    for (jack_nframes_t i = 0; i < n && at < samples.size(); i++, lastFrames++)
        samples[at++] = sampleOf(in[i]);
    used.store(std::max(used.load(), std::min(at, samples.size())));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: jackrecord <seconds> <out.raw>\n");
        return 2;
    }
    jack_status_t status{};
    client = jack_client_open("jackrecord", JackNoStartServer, &status);
    if (client == nullptr) return 1;
    samples.resize(static_cast<std::size_t>(std::atof(argv[1]) * jack_get_sample_rate(client)));
    input = jack_port_register(client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, onProcess, nullptr);
    if (jack_activate(client) != 0) return 1;
    if (jack_connect(client, "brevant:left", jack_port_name(input)) != 0) return 1;
    while (used.load() < samples.size())
        usleep(100000);
    jack_client_close(client);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    for (short s : samples) {
        const unsigned char frame[4] = {
            static_cast<unsigned char>(s & 0xFF), static_cast<unsigned char>((s >> 8) & 0xFF),
            static_cast<unsigned char>(s & 0xFF), static_cast<unsigned char>((s >> 8) & 0xFF)};
        std::fwrite(frame, 1, 4, out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
