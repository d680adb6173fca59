// Timing run: ten minutes of virtual playing with random changes, every click onset checked.
//
// The metronome plays on the offline device as the main loop drives it: 1 ms of output, then a
// tick. Every 0.3 to 5 s the tempo, the beats or the sound change at random. Afterwards every
// click onset in the output is compared with where it belongs: each bar's own beat grid, taken up
// at every switch at the beat phase where the old bar stopped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/WavLoader.h"
#include "engine/Metronome.h"
#include "platform/sound/OfflineSoundDevice.h"

namespace {

constexpr int rate = 44100;
constexpr double runSeconds = 600.0;
constexpr int threshold = 1000;  // an onset: the first sample this loud ...
constexpr int quietRun = 200;    // ... after at least this many quieter ones

using Samples = std::vector<std::int16_t>;

// One stretch of output played by one bar, from the switch that started it.
struct Segment {
    long long start = 0;             // output sample where the bar took over
    Samples bar;                     // the bar's samples
    int beats = 1;                   // beats in the bar
    double idealPosition = 0;        // where in the bar it should have started (real, in samples)
    long long position = -1;         // where it did start, found in the output; -1 when nowhere
    std::vector<long long> changes;  // output samples of the changes this bar answers
};

bool loud(std::int16_t s) {
    return s >= threshold || s <= -threshold;
}

// Onsets of a looping bar, as positions in the bar; the quiet run may reach back over its end.
std::vector<int> barOnsets(const Samples& bar) {
    const int n = static_cast<int>(bar.size());
    std::vector<int> onsets;
    int quiet = 0;
    for (int k = -n; k < n; k++) {
        bool isLoud = loud(bar[(k + n) % n]);
        if (isLoud && quiet >= quietRun && k >= 0) onsets.push_back(k);
        quiet = isLoud ? 0 : quiet + 1;
    }
    return onsets;
}

std::vector<long long> outputOnsets(const Samples& out) {
    std::vector<long long> onsets;
    long long quiet = quietRun;  // the output starts in silence
    for (long long k = 0; k < static_cast<long long>(out.size()); k++) {
        bool isLoud = loud(out[k]);
        if (isLoud && quiet >= quietRun) onsets.push_back(k);
        quiet = isLoud ? 0 : quiet + 1;
    }
    return onsets;
}

// The beat the new bar continues in: the same one while the bar still has it, one earlier when
// it lost its last beat, else the position modulo its beats, so the beat grid runs on.
double mappedBeat(double p, int beats) {
    if (p > beats) p -= 1.0;
    if (p >= beats) p = std::fmod(p, static_cast<double>(beats));
    return p;
}

// Finds where in the bar the output from `start` to `end` was taken, near the ideal place: the
// splice must match sample for sample.
long long findPosition(const Samples& out, long long start, long long end, const Segment& s) {
    const long long n = static_cast<long long>(s.bar.size());
    const long long guess = static_cast<long long>(std::floor(s.idealPosition));
    for (long long d : {0LL, -1LL, 1LL, -2LL, 2LL, -3LL, 3LL}) {
        long long q = ((guess + d) % n + n) % n;
        long long k = start;
        while (k < end && out[k] == s.bar[(q + k - start) % n])
            k++;
        if (k == end) return q;
    }
    return -1;
}

class TimingRun {
  public:
    AudioEngine audio;
    platform::OfflineSoundDevice* device = nullptr;
    std::unique_ptr<Metronome> m;
    Samples out;
    std::vector<Segment> segments;
    std::mt19937 random{20261208};

    bool open(const std::string& folder);
    void run();
    void report();

  private:
    std::vector<long long> unservedChanges;
    int brokenSplices = 0;
    void change();
    void step(int frames);
    void settle(Segment& segment, long long end);
};

// Fixes where the segment started in its bar from the output it played up to `end`.
void TimingRun::settle(Segment& segment, long long end) {
    if (segment.position >= 0) return;
    long long found = findPosition(out, segment.start, end, segment);
    if (found < 0) {
        // Say where the first few splices break, to point at the fault.
        if (brokenSplices < 3) {
            long long n = static_cast<long long>(segment.bar.size());
            long long q = static_cast<long long>(std::floor(segment.idealPosition));
            long long k = segment.start;
            while (k < end && out[k] == segment.bar[(q + k - segment.start) % n])
                k++;
            std::fprintf(stderr, "bar at output sample %lld breaks %lld samples in\n",
                         segment.start, k - segment.start);
        }
        brokenSplices++;
        found = static_cast<long long>(std::floor(segment.idealPosition));
    }
    segment.position = found;
}

bool TimingRun::open(const std::string& folder) {
    if (!audio.init(nullptr, 2, std::make_unique<platform::OfflineSoundDevice>())) return false;
    device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
    m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
    const std::filesystem::path data = BREVANT_DATA_DIR;
    const char* names[] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};
    for (int i = 0; i < 4; i++)
        if (!loadWavSamples((data / names[i]).string(), m->samples[i])) return false;
    m->setDefaults();
    m->volume = 1.0;
    return true;
}

void TimingRun::change() {
    std::uniform_int_distribution<int> kind(0, 2), beats(0, 9), sound(0, 3), bpm(40, 240);
    switch (kind(random)) {
        case 0:
            m->tempo = (bpm(random) - 40) / 200.0;
            break;
        case 1:
            m->beats = beats(random);
            break;
        default:
            m->sound = sound(random);
            break;
    }
    m->rebuild = true;
    unservedChanges.push_back(static_cast<long long>(out.size()));
}

// One pass of the main loop: output for a while, then a tick. A bar rendered by the tick becomes
// the next segment; a switch starts it at the current output sample.
void TimingRun::step(int frames) {
    Samples stereo = device->render(frames);
    for (int i = 0; i < frames; i++)
        out.push_back(stereo[2 * i]);
    long long now = static_cast<long long>(out.size());
    // tick() is these two calls; made one by one, a rebuild and a switch in the same tick are
    // both seen.
    m->rebuildIfRequested();
    if (m->pending && segments.back().start >= 0) {
        Segment next;
        next.start = -1;
        next.bar.assign(m->pcmBar, m->pcmBar + m->barLength);
        next.beats = m->barBeats;
        next.changes.swap(unservedChanges);
        segments.push_back(std::move(next));
    }
    bool wasPending = m->pending;
    m->switchIfPending();
    if (wasPending && !m->pending) {
        // The old bar's place is read from the output it played, not from the engine.
        Segment& before = segments[segments.size() - 2];
        settle(before, now);
        Segment& next = segments.back();
        long long n = static_cast<long long>(before.bar.size());
        long long oldPosition = (before.position + now - before.start) % n;
        double p = static_cast<double>(oldPosition * before.beats) / n;
        next.start = now;
        next.idealPosition = next.bar.size() * mappedBeat(p, next.beats) / next.beats;
    }
}

void TimingRun::run() {
    m->running = true;
    m->restart();
    Segment first;
    first.bar.assign(m->pcmBar, m->pcmBar + m->barLength);
    first.beats = m->barBeats;
    segments.push_back(first);
    std::uniform_real_distribution<double> gap(0.3, 5.0);
    const long long total = static_cast<long long>(runSeconds * rate);
    long long nextChange = static_cast<long long>(gap(random) * rate);
    long long ms = 0;
    while (static_cast<long long>(out.size()) < total) {
        ms++;
        step(static_cast<int>(ms * rate / 1000 - (ms - 1) * rate / 1000));  // 44 or 45 frames
        if (static_cast<long long>(out.size()) >= nextChange) {
            change();
            nextChange += static_cast<long long>(gap(random) * rate);
        }
    }
    if (segments.back().start < 0) segments.pop_back();  // a bar still waiting never sounded
    settle(segments.back(), static_cast<long long>(out.size()));
}

struct Tally {
    long long clicks = 0, missing = 0, extra = 0;
    long long steadyWorst = 0;  // samples off the bar's own grid
    double switchWorst = 0.0;   // samples off the continued grid, first click after a switch
    double switchSum = 0.0;
    long long switchClicks = 0;
};

// Compares the detected onsets of one segment with its ideal ones. The integer grid is the bar as
// it was found in the output; the real grid is where the bar should have been started.
void checkSegment(const Segment& s, long long end, const std::vector<long long>& detected,
                  bool afterSwitch, Tally& tally) {
    const long long n = static_cast<long long>(s.bar.size());
    std::vector<std::pair<long long, double>> ideal;  // integer grid, real grid
    for (int c : barOnsets(s.bar)) {
        long long first = ((c - s.position) % n + n) % n;
        double real = std::fmod(c - s.idealPosition + 2.0 * n, static_cast<double>(n));
        for (long long k = first; s.start + k < end; k += n)
            ideal.push_back({s.start + k, s.start + real + (k - first)});
    }
    std::sort(ideal.begin(), ideal.end());
    auto from = std::lower_bound(detected.begin(), detected.end(), s.start);
    auto to = std::lower_bound(detected.begin(), detected.end(), end);
    std::vector<bool> used(ideal.size(), false);
    for (auto d = from; d != to; ++d) {
        auto near = std::lower_bound(ideal.begin(), ideal.end(), std::make_pair(*d - 3, -1e300));
        if (near == ideal.end() || near->first > *d + 3) {
            tally.extra++;
            continue;
        }
        std::size_t i = near - ideal.begin();
        used[i] = true;
        tally.clicks++;
        tally.steadyWorst = std::max(tally.steadyWorst, std::llabs(*d - near->first));
        if (afterSwitch && i == 0) {
            double error = std::fabs(*d - near->second);
            tally.switchWorst = std::max(tally.switchWorst, error);
            tally.switchSum += error;
            tally.switchClicks++;
        }
    }
    tally.missing += std::count(used.begin(), used.end(), false);
}

void TimingRun::report() {
    std::vector<long long> detected = outputOnsets(out);
    Tally tally;
    std::vector<double> delays;
    for (std::size_t i = 0; i < segments.size(); i++) {
        long long end = i + 1 < segments.size() ? segments[i + 1].start : out.size();
        checkSegment(segments[i], end, detected, i > 0, tally);
        for (long long c : segments[i].changes)
            delays.push_back((segments[i].start - c) * 1000.0 / rate);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("virtual time          %.0f s, %zu samples, 1 ms steps\n", runSeconds, out.size());
    std::printf("changes               %zu served by %zu switches\n", delays.size(),
                segments.size() - 1);
    std::printf("clicks counted        %lld (detected onsets %zu)\n", tally.clicks,
                detected.size());
    std::printf("missing / extra       %lld / %lld\n", tally.missing, tally.extra);
    std::printf("broken splices        %d (output not the bar sample for sample)\n", brokenSplices);
    std::printf("steady onset error    %lld samples at most\n", tally.steadyWorst);
    std::printf("across a switch       %.3f samples at most, %.3f mean, over %lld switches\n",
                tally.switchWorst, tally.switchClicks ? tally.switchSum / tally.switchClicks : 0.0,
                tally.switchClicks);
    if (!delays.empty())
        std::printf("change to switch      median %.1f ms, largest %.1f ms\n",
                    delays[delays.size() / 2], delays.back());
}

}  // namespace

int main() {
    char pattern[] = "/tmp/brevant-timing-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) return 1;
    int result = 1;
    {
        TimingRun run;
        if (run.open(folder)) {
            run.run();
            run.report();
            result = 0;
        } else {
            std::fprintf(stderr, "cannot open the offline device or the sample files\n");
        }
    }
    std::filesystem::remove_all(folder);
    return result;
}
