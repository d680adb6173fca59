// Click detection over a recorded track.
#include "ClickTrack.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace e2e {

bool ClickTrack::load(const std::string& path, int channels) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t frameBytes = 2 * static_cast<size_t>(channels);
    size_t count = bytes.size() / frameBytes;
    left_.resize(count);
    right_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&bytes[i * frameBytes]);
        left_[i] = static_cast<short>(p[0] | (p[1] << 8));
        right_[i] = channels > 1 ? static_cast<short>(p[2] | (p[3] << 8)) : left_[i];
    }
    return true;
}

std::vector<long> pulseStarts(const std::vector<int>& bpms, int beats, int pulsesPerBeat) {
    std::vector<long> starts;
    long barStart = 0;
    const int pulses = beats * pulsesPerBeat;
    for (int bpm : bpms) {
        const auto length = static_cast<std::int64_t>(std::trunc(60.0L / bpm * beats * 44100.0L));
        for (int p = 0; p < pulses; ++p)
            starts.push_back(barStart + static_cast<long>(length * p / pulses));
        barStart += static_cast<long>(length);
    }
    return starts;
}

static Click measure(const std::vector<short>& s, size_t first) {
    Click click;
    click.start = static_cast<long>(first) - 1;
    size_t end = std::min(s.size(), first + 200);
    click.cut = end < first + 200;
    for (size_t i = first; i < end; ++i) {
        click.peak = std::max(click.peak, std::abs(static_cast<int>(s[i])));
        if (i > first && (s[i] < 0) != (s[i - 1] < 0) && s[i] != 0) ++click.crossings;
    }
    return click;
}

std::vector<Click> ClickTrack::clicks(int minSilence) const {
    std::vector<Click> found;
    long silent = minSilence;
    for (size_t i = 0; i < left_.size(); ++i) {
        if (left_[i] == 0) {
            ++silent;
            continue;
        }
        if (silent >= minSilence) found.push_back(measure(left_, i));
        silent = 0;
    }
    return found;
}

}  // namespace e2e
